// Profiles: every condition on a value that meets it and one that does not, the faults a
// profile is refused for (with their line), and the shipped profiles.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "validate/profile.h"

namespace bq {
namespace {

using Json = nlohmann::ordered_json;

ProfileSubject subject() {
    ProfileSubject s;
    s.info = Json::parse(R"({
      "jp2Header": {"imageHeader": {"components": 3},
                    "captureResolution": {"horizontal": {"pixelsPerInch": 300.4}},
                    "colourSpecs": [{"method": 2}]},
      "codestream": {"coding": {"progressionOrder": "RPCL", "sop": true, "layers": null,
                                "precincts": [{"width": 128}, {"width": 256}]},
                     "comments": [{"text": "Created by a codec"}, {"text": "KB_MASTER_1"}]}})");
    s.info["codestream"]["comments"].push_back({{"text", std::string(kMaxMatchedText + 1, 'x')}});
    s.facts = Json::parse(R"({"boxes": {"xml": 1}, "tileParts": {"markers": {"PLT": 7}}})");
    return s;
}

struct RuleCase {
    const char* condition;  // the rule's key and condition, TOML
    bool holds;
};

const RuleCase kRules[] = {
    {"key = 'jp2Header.imageHeader.components'\nequals = 3", true},
    {"key = 'jp2Header.imageHeader.components'\nequals = 1", false},
    {"key = 'jp2Header.captureResolution.horizontal.pixelsPerInch'\nequals = 300\ntolerance = 0.5",
     true},
    {"key = 'jp2Header.captureResolution.horizontal.pixelsPerInch'\nequals = 300\ntolerance = 0.1",
     false},
    {"key = 'codestream.coding.progressionOrder'\nequals = 'RPCL'", true},
    {"key = 'codestream.coding.progressionOrder'\nequals = 'LRCP'", false},
    {"key = 'codestream.coding.sop'\nequals = true", true},
    {"key = 'codestream.coding.sop'\nequals = false", false},
    {"key = 'codestream.coding.precincts[*].width'\nequals = [128, 256]", true},
    {"key = 'codestream.coding.precincts[*].width'\nequals = [256, 128]", false},
    {"key = 'codestream.coding.precincts[*].width'\nequals = [128]", false},
    {"key = 'codestream.coding.precincts[*].width'\nequals = 128", false},  // every element
    {"key = 'codestream.coding.precincts[?].width'\nequals = 256", true},   // some element
    {"key = 'codestream.coding.precincts[1].width'\nequals = 256", true},
    {"key = 'codestream.coding.precincts[2].width'\nequals = 256", false},  // no such element
    {"key = 'codestream.coding.progressionOrder'\noneOf = ['RLCP', 'RPCL']", true},
    {"key = 'codestream.coding.progressionOrder'\noneOf = ['LRCP', 'RLCP']", false},
    {"key = 'jp2Header.captureResolution.horizontal.pixelsPerInch'\nmin = 300\nmax = 301", true},
    {"key = 'jp2Header.captureResolution.horizontal.pixelsPerInch'\nmin = 301", false},
    {"key = 'jp2Header.captureResolution.horizontal.pixelsPerInch'\nmin = 301\ntolerance = 1",
     true},
    {"key = 'jp2Header.captureResolution.horizontal.pixelsPerInch'\nmax = 300", false},
    {"key = 'codestream.coding.precincts[*].width'\nmin = 100", true},
    {"key = 'codestream.coding.precincts[*].width'\nmin = 200", false},
    {"key = 'codestream.comments[?].text'\nmatches = '^KB_MASTER_[0-9]+$'", true},
    {"key = 'codestream.comments[*].text'\nmatches = '^KB_MASTER'", false},
    {"key = 'codestream.comments[2].text'\nmatches = 'x'", false},  // too long to match
    {"key = 'boxes.xml'\npresent = true", true},
    {"key = 'boxes.jp2i'\npresent = true", false},  // a count of 0
    {"key = 'tileParts.markers.COD'\nabsent = true", true},
    {"key = 'tileParts.markers.PLT'\nabsent = true", false},
    {"key = 'codestream.coding.layers'\nabsent = true", true},  // null: not known
    {"key = 'codestream.coding.layers'\nequals = 1", false},
    {"key = 'codestream.tileSize.width'\nmin = 0", false},  // absent meets no range
};

TEST(Profile, EachConditionHoldsOrFailsOnTheSubject) {
    const ProfileSubject s = subject();
    for (const RuleCase& c : kRules) {
        const std::string text =
            std::string("[[rule]]\nname = 'r'\nmessage = 'm'\n") + c.condition + "\n";
        std::string error;
        const auto profile = loadProfile(text, "p.toml", error);
        ASSERT_TRUE(profile) << c.condition << "\n" << error;
        Findings findings;
        applyProfile(*profile, s, findings);
        EXPECT_EQ(findings.all().empty(), c.holds) << c.condition;
        if (!c.holds && !findings.all().empty()) {
            EXPECT_EQ(findings.all().front().test, "profile:r");
        }
    }
}

struct BadCase {
    const char* text;
    const char* lead;  // how the message starts: file, line, rule
    const char* what;  // what it says
};

const BadCase kBad[] = {
    {"[[rule]]\nname = 'a'\nmessage = \n", "p.toml:3: ", "not TOML"},
    {"[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'codestream.coding.level'\nequals = 5\n",
     "p.toml:4: rule 'a': ", "unknown key path"},
    {"[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'boxes.toolong'\npresent = true\n",
     "p.toml:4: rule 'a': ", "unknown key path"},
    {"[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'jp2Header.imageHeader.components'\n"
     "equals = 'three'\n",
     "p.toml:5: rule 'a': ", "a number"},
    {"[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'codestream.coding.progressionOrder'\n"
     "min = 3\n",
     "p.toml:5: rule 'a': ", "not a number"},
    {"[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'codestream.coding.layers'\nbigger = 3\n",
     "p.toml:5: rule 'a': ", "unknown condition"},
    {"\n[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'codestream.coding.layers'\n",
     "p.toml:2: rule 'a': ", "needs one condition"},
    {"[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'codestream.comments[?].text'\nmatches = '('\n",
     "p.toml:5: rule 'a': ", "not a regular expression"},
    {"[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'codestream.coding.layers'\nequals = 1\n"
     "present = true\n",
     "p.toml:1: rule 'a': ", "one condition"},
    {"[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'codestream.coding.layers'\nabsent = false\n",
     "p.toml:5: rule 'a': ", "absent = true"},
    {"[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'codestream.coding.layers'\nequals = 1\n"
     "[[rule]]\nname = 'a'\nmessage = 'm'\nkey = 'codestream.coding.layers'\nequals = 2\n",
     "p.toml:6: rule 'a': ", "a second rule"},
    {"[profile]\nname = 'x'\n", "p.toml:1: ", "at least one [[rule]]"},
};

TEST(Profile, FaultsNameTheFileLineAndRule) {
    for (const BadCase& c : kBad) {
        std::string error;
        EXPECT_FALSE(loadProfile(c.text, "p.toml", error)) << c.text;
        EXPECT_TRUE(error.starts_with(c.lead)) << c.text << "\n" << error;
        EXPECT_NE(error.find(c.what), std::string::npos) << c.text << "\n" << error;
    }
}

TEST(Profile, ShippedProfilesLoad) {
    const std::filesystem::path folder = std::filesystem::path(BOXQUILL_SOURCE_DIR) / "profiles";
    for (const char* name : {"kb-master-2014.toml", "bodleian.toml", "ndnp.toml"}) {
        std::ifstream in(folder / name, std::ios::binary);
        ASSERT_TRUE(in) << name;
        std::ostringstream text;
        text << in.rdbuf();
        std::string error;
        const auto profile = loadProfile(text.str(), name, error);
        ASSERT_TRUE(profile) << error;
        EXPECT_GE(profile->rules.size(), 10u) << name;
    }
}

}  // namespace
}  // namespace bq
