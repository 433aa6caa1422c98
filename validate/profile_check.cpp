// Applying a profile: each rule's key path resolved in the file's description or the facts,
// its condition tested, and a finding under "profile:NAME" for each rule that fails.

#include <algorithm>
#include <cmath>
#include <map>

#include "codestream/marker_table.h"
#include "describe/describe_file.h"
#include "formats/box_span.h"
#include "validate/profile.h"

namespace bq {

namespace {

using OJson = nlohmann::ordered_json;

void collect(const OJson& node, const std::vector<KeyStep>& steps, std::size_t i,
             std::vector<const OJson*>& out) {
    if (i == steps.size()) {
        if (!node.is_null()) {
            out.push_back(&node);
        }
        return;
    }
    if (!node.is_object()) {
        return;
    }
    const auto found = node.find(steps[i].key);
    if (found == node.end()) {
        return;
    }
    const OJson& child = *found;
    switch (steps[i].index) {
        case KeyStep::Index::None:
            collect(child, steps, i + 1, out);
            break;
        case KeyStep::Index::At:
            if (child.is_array() && steps[i].at < child.size()) {
                collect(child[steps[i].at], steps, i + 1, out);
            }
            break;
        case KeyStep::Index::Every:
        case KeyStep::Index::Some:
            if (child.is_array()) {
                for (const OJson& element : child) {
                    collect(element, steps, i + 1, out);
                }
            }
            break;
    }
}

std::vector<const OJson*> resolve(const KeyPath& key, const ProfileSubject& subject) {
    static const OJson kZero = 0;
    std::vector<const OJson*> values;
    collect(key.source == KeySource::Fact ? subject.facts : subject.info, key.steps, 0, values);
    // A count of what a file does not hold is 0, not missing.
    if (values.empty() && key.source == KeySource::Fact && key.type == KeyType::Number) {
        values.push_back(&kZero);
    }
    return values;
}

bool sameValue(const OJson& value, const nlohmann::json& expected, double tolerance) {
    if (value.is_number() && expected.is_number()) {
        return std::fabs(value.get<double>() - expected.get<double>()) <= tolerance;
    }
    if (value.is_string() && expected.is_string()) {
        return value.get_ref<const std::string&>() == expected.get_ref<const std::string&>();
    }
    if (value.is_boolean() && expected.is_boolean()) {
        return value.get<bool>() == expected.get<bool>();
    }
    return false;
}

bool holds(const ProfileRule& rule, const OJson& value) {
    switch (rule.condition) {
        case Condition::Equals:
            return sameValue(value, rule.expected, rule.tolerance);
        case Condition::OneOf:
            return std::any_of(
                rule.expected.begin(), rule.expected.end(),
                [&](const nlohmann::json& one) { return sameValue(value, one, rule.tolerance); });
        case Condition::Range: {
            if (!value.is_number()) {
                return false;
            }
            const double v = value.get<double>();
            return (!rule.min || v >= *rule.min - rule.tolerance) &&
                   (!rule.max || v <= *rule.max + rule.tolerance);
        }
        case Condition::Matches: {
            if (!value.is_string()) {
                return false;
            }
            const std::string& text = value.get_ref<const std::string&>();
            return text.size() <= kMaxMatchedText && std::regex_search(text, *rule.regex);
        }
        case Condition::Present:
        case Condition::Absent:
            break;
    }
    return false;
}

// Whether a present value counts as there: a count of 0 does not.
bool isThere(const KeyPath& key, const OJson& value) {
    return !(key.source == KeySource::Fact && value.is_number() && value.get<double>() == 0);
}

bool ruleHolds(const ProfileRule& rule, const std::vector<const OJson*>& values) {
    const auto there = std::count_if(values.begin(), values.end(),
                                     [&](const OJson* v) { return isThere(rule.key, *v); });
    if (rule.condition == Condition::Present) {
        return there > 0;
    }
    if (rule.condition == Condition::Absent) {
        return there == 0;
    }
    if (values.empty()) {
        return false;
    }
    if (rule.condition == Condition::Equals && rule.expected.is_array()) {
        // A [*] path against a list: the same values in the same order.
        return values.size() == rule.expected.size() &&
               std::equal(values.begin(), values.end(), rule.expected.begin(),
                          [&](const OJson* v, const nlohmann::json& e) {
                              return sameValue(*v, e, rule.tolerance);
                          });
    }
    const auto one = [&](const OJson* v) { return holds(rule, *v); };
    return rule.key.anyElement() ? std::any_of(values.begin(), values.end(), one)
                                 : std::all_of(values.begin(), values.end(), one);
}

// What the file has, for the message: the value, or the list of them, shortened.
std::string shown(const std::vector<const OJson*>& values, bool list) {
    constexpr std::size_t kShown = 160;
    if (values.empty()) {
        return "absent";
    }
    std::string text;
    if (!list) {
        text = values.front()->dump();
    } else {
        text = "[";
        for (const OJson* value : values) {
            text += (text.size() > 1 ? ", " : "") + value->dump();
            if (text.size() > kShown) {
                break;
            }
        }
        text += "]";
    }
    if (text.size() > kShown) {
        text = text.substr(0, kShown) + "...";
    }
    return text;
}

}  // namespace

nlohmann::ordered_json profileFacts(std::span<const std::string> boxTypes,
                                    const nlohmann::ordered_json& info,
                                    const std::optional<CodestreamFacts>& codestream) {
    OJson facts = OJson::object();
    std::map<std::string, std::uint64_t> counts;
    const auto count = [&counts](std::string type) {
        // Type names are four characters; rules name them without the trailing blanks.
        while (!type.empty() && type.back() == ' ') {
            type.pop_back();
        }
        ++counts[type];
    };
    std::for_each(boxTypes.begin(), boxTypes.end(), count);
    const auto header = info.find("jp2Header");
    if (header != info.end() && header->contains("boxes") && (*header)["boxes"].is_array()) {
        for (const OJson& type : (*header)["boxes"]) {
            if (type.is_string()) {
                count(type.get<std::string>());
            }
        }
        static const OJson kNone = OJson::array();
        const auto colours = header->find("colourSpecs");
        const OJson& list = colours != header->end() && colours->is_array() ? *colours : kNone;
        for (const OJson& colour : list) {
            const auto icc = colour.find("iccProfile");
            if (icc == colour.end()) {
                continue;
            }
            if (const auto text = icc->find("description");
                text != icc->end() && text->is_string()) {
                facts["icc"] = {{"description", *text}};
                break;
            }
        }
    }
    facts["boxes"] = counts;
    if (codestream) {
        OJson main = OJson::object();
        OJson tileParts = OJson::object();
        // The table's named markers only: its first row and its last ones are no markers.
        for (const MarkerRow& row : kMarkerTable) {
            const std::string_view name(row.name);
            if (name.size() != 3 || name[0] < 'A' || name[0] > 'Z') {
                continue;
            }
            if (codestream->mainHeaderMarkers[row.code]) {
                main[row.name] = 1;
            }
            if (codestream->tilePartMarkers[row.code] != 0) {
                tileParts[row.name] = codestream->tilePartMarkers[row.code];
            }
        }
        facts["mainHeader"] = {{"markers", main}};
        facts["tileParts"] = {
            {"markers", tileParts},
            {"count", codestream->tileParts},
            {"perTile",
             {{"min", codestream->fewestTileParts}, {"max", codestream->mostTileParts}}}};
    }
    return facts;
}

ProfileSubject profileSubject(std::span<const Box* const> rows,
                              const std::optional<CodestreamFacts>& codestream) {
    ProfileSubject subject;
    std::vector<std::string> types;
    if (!rows.empty()) {
        // Moved, not copied as descriptionJson would: the same keys, "warnings" last.
        Description description = describeFile(rows);
        subject.info = std::move(description.fields);
        subject.info["warnings"] = std::move(description.warnings);
        for (const Box* box : rows) {
            if (box != nullptr) {
                types.push_back(typeName(box->type));
            }
        }
    }
    subject.facts = profileFacts(types, subject.info, codestream);
    return subject;
}

void applyProfile(const Profile& profile, const ProfileSubject& subject, Findings& findings) {
    for (const ProfileRule& rule : profile.rules) {
        const std::vector<const OJson*> values = resolve(rule.key, subject);
        const bool ok = ruleHolds(rule, values);
        std::string message;
        if (!ok) {
            message = rule.message + " (" + rule.key.text + " is " +
                      shown(values, rule.key.isList()) + ")";
        }
        findings.check("profile:" + rule.name, ok, rule.severity, message);
    }
}

}  // namespace bq
