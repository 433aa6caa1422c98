#pragma once
// Institutional profiles: rules over what `info --json` says of a file and over the facts the
// validator's walk gathers, each a condition on one key path. A profile is loaded and checked
// whole before any file is read; applying it adds one finding per failed rule, under the test
// name "profile:RULE".

#include <memory>
#include <optional>
#include <regex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "box/box.h"
#include "validate/codestream_checks.h"
#include "validate/findings.h"
#include "validate/profile_keys.h"

namespace bq {

enum class Condition : unsigned char { Equals, OneOf, Range, Matches, Present, Absent };

struct ProfileRule {
    std::string name;
    std::string message;
    Severity severity = Severity::Error;
    KeyPath key;
    Condition condition = Condition::Present;
    nlohmann::json expected;  // equals: a value, or a list for a [*] path; oneOf: a list
    std::optional<double> min;
    std::optional<double> max;
    double tolerance = 0;  // widens equals (numbers) and the range on both sides
    std::string pattern;   // matches: an ECMAScript regular expression, searched for
    std::shared_ptr<const std::regex> regex;
    long line = 0;  // where the rule starts in its file
};

struct Profile {
    std::string file;  // as it was named
    std::string name;
    std::vector<ProfileRule> rules;
};

// Reads a profile's TOML text. On any fault (TOML that does not parse, an unknown key path,
// a value of the wrong type for its condition, an unknown or missing condition) none, with
// `error` set to "FILE:LINE: rule 'NAME': what is wrong".
std::optional<Profile> loadProfile(std::string_view text, const std::string& file,
                                   std::string& error);

// What the rules look at for one file: its description as `info --json` gives it, and the
// facts the engine adds (see profile_keys.h).
struct ProfileSubject {
    nlohmann::ordered_json info = nlohmann::ordered_json::object();
    nlohmann::ordered_json facts = nlohmann::ordered_json::object();
};

// The facts from the type names of the file's boxes (every row, nested ones too), the
// description (the JP2 header's boxes, the ICC profile) and the codestream's walk.
nlohmann::ordered_json profileFacts(std::span<const std::string> boxTypes,
                                    const nlohmann::ordered_json& info,
                                    const std::optional<CodestreamFacts>& codestream);
// The subject of a file from its rows as the editor reads them (none for a file it cannot
// open: every value is then absent) and what the validator's walk found.
ProfileSubject profileSubject(std::span<const Box* const> rows,
                              const std::optional<CodestreamFacts>& codestream);

// Runs every rule of `profile` on `subject`, recording each under "profile:NAME".
void applyProfile(const Profile& profile, const ProfileSubject& subject, Findings& findings);

// Texts longer than this do not match a rule's regular expression: the standard library's
// matcher recurses about once a character (a 1,000-character text overflows a 1 MiB stack
// with a nested pattern), and a file chooses its texts' lengths.
constexpr std::size_t kMaxMatchedText = 512;

}  // namespace bq
