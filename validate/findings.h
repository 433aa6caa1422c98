#pragma once
// What a check of a file finds: each finding names the test that made it (the field's usual
// names, so rules written against other validators' results carry over), how grave it is, and
// where in the file it lies.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace bq {

enum class Severity : std::uint8_t {
    Error,    // the file breaks the standard
    Warning,  // legal, but likely a problem
};

struct Finding {
    std::string test;
    Severity severity = Severity::Error;
    std::string message;  // one line, with the values involved
    std::string box;      // the box's path, "jp2h/colr[1]"; empty for the file as a whole
    std::optional<std::uint64_t> offset;  // in the file
    std::optional<int> row;               // the row `list` gives the box, when it has one
};

// The findings of one check, in the order they were made, and the tests that ran.
class Findings {
  public:
    // Records that `test` ran; a failure makes a finding. Returns `ok`, so a check can stop
    // where a failed test makes the next meaningless.
    bool check(std::string_view test, bool ok, Severity severity, std::string_view message,
               std::string_view box = {}, std::optional<std::uint64_t> offset = std::nullopt);
    bool error(std::string_view test, bool ok, std::string_view message, std::string_view box = {},
               std::optional<std::uint64_t> offset = std::nullopt) {
        return check(test, ok, Severity::Error, message, box, offset);
    }
    bool warning(std::string_view test, bool ok, std::string_view message,
                 std::string_view box = {}, std::optional<std::uint64_t> offset = std::nullopt) {
        return check(test, ok, Severity::Warning, message, box, offset);
    }

    // A limit of the check itself (a payload or a count too large to check whole): a warning
    // when reached, and never a test that passed, since it tests nothing about the file.
    bool limit(std::string_view test, bool ok, std::string_view message, std::string_view box = {},
               std::optional<std::uint64_t> offset = std::nullopt);

    const std::vector<Finding>& all() const { return findings_; }
    std::vector<Finding>& all() { return findings_; }
    // The tests that ran and never failed, sorted by name.
    std::vector<std::string> passed() const;
    bool hasErrors() const;
    std::size_t count(Severity severity) const;

  private:
    // Looked up by a view, without making a string: a file runs hundreds of checks.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept {
            return std::hash<std::string_view>{}(name);
        }
    };
    using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

    std::vector<Finding> findings_;
    NameSet ran_;
    NameSet failed_;
};

}  // namespace bq
