// Loading a profile from TOML: every fault names the file, the line and the rule, and comes
// back as a result (toml++ is built without exceptions here).

#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "validate/profile.h"

namespace bq {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kConditionKeys[] = {"equals",  "oneOf",   "min",   "max",
                                               "matches", "present", "absent"};
constexpr std::string_view kRuleKeys[] = {"name", "message", "severity", "key", "tolerance"};
// A profile is a few dozen rules; this keeps a crafted one from costing much.
constexpr std::size_t kMaxRules = 1000;
constexpr std::size_t kMaxListed = 256;

long lineOf(const toml::node& node) {
    return static_cast<long>(node.source().begin.line);
}

// Builds "FILE:LINE: rule 'NAME': what".
class Fault {
  public:
    Fault(const std::string& file, std::string& error) : file_(file), error_(error) {}
    std::nullopt_t operator()(long line, std::string_view rule, std::string_view what) const {
        error_ = file_ + ":" + std::to_string(line) + ": " +
                 (rule.empty() ? std::string() : "rule '" + std::string(rule) + "': ") +
                 std::string(what);
        return std::nullopt;
    }

  private:
    const std::string& file_;
    std::string& error_;
};

const char* typeWord(KeyType type) {
    switch (type) {
        case KeyType::Number:
            return "a number";
        case KeyType::String:
            return "a string";
        case KeyType::Boolean:
            return "true or false";
        case KeyType::Any:
            break;
    }
    return "a value";
}

// The TOML value as JSON when it is a value a key of `type` can hold.
std::optional<Json> scalarOf(const toml::node& node, KeyType type) {
    const bool any = type == KeyType::Any;
    if (const auto* n = node.as_integer(); n && (any || type == KeyType::Number)) {
        return Json(n->get());
    }
    if (const auto* n = node.as_floating_point(); n && (any || type == KeyType::Number)) {
        return std::isfinite(n->get()) ? std::optional<Json>(Json(n->get())) : std::nullopt;
    }
    if (const auto* n = node.as_string(); n && (any || type == KeyType::String)) {
        return Json(n->get());
    }
    if (const auto* n = node.as_boolean(); n && (any || type == KeyType::Boolean)) {
        return Json(n->get());
    }
    return std::nullopt;
}

// A list of values a key of `type` can hold; none when it is not one.
std::optional<Json> listOf(const toml::node& node, KeyType type) {
    const toml::array* array = node.as_array();
    if (array == nullptr || array->empty() || array->size() > kMaxListed) {
        return std::nullopt;
    }
    Json list = Json::array();
    for (const toml::node& element : *array) {
        auto value = scalarOf(element, type);
        if (!value) {
            return std::nullopt;
        }
        list.push_back(std::move(*value));
    }
    return list;
}

std::optional<double> numberOf(const toml::node& node) {
    if (const auto* n = node.as_integer()) {
        return static_cast<double>(n->get());
    }
    if (const auto* n = node.as_floating_point(); n && std::isfinite(n->get())) {
        return n->get();
    }
    return std::nullopt;
}

std::optional<ProfileRule> loadRule(const toml::table& table, const Fault& fault) {
    ProfileRule rule;
    rule.line = lineOf(table);
    const toml::node* name = table.get("name");
    if (name == nullptr || !name->is_string()) {
        return fault(rule.line, {}, "a rule needs a name (a string)");
    }
    rule.name = name->as_string()->get();
    const bool nameOk = !rule.name.empty() && rule.name.size() <= 64 &&
                        std::all_of(rule.name.begin(), rule.name.end(), [](char c) {
                            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                   (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
                        });
    if (!nameOk) {
        return fault(lineOf(*name), {}, "a rule's name is 1 to 64 letters, digits, '-', '_', '.'");
    }
    const auto bad = [&](const toml::node& at, std::string_view what) {
        return fault(lineOf(at), rule.name, what);
    };
    for (const auto& [key, value] : table) {
        const std::string_view k = key.str();
        if (std::find(std::begin(kRuleKeys), std::end(kRuleKeys), k) == std::end(kRuleKeys) &&
            std::find(std::begin(kConditionKeys), std::end(kConditionKeys), k) ==
                std::end(kConditionKeys)) {
            return bad(value, "unknown condition or field '" + std::string(k) + "'");
        }
    }
    const toml::node* message = table.get("message");
    if (message == nullptr || !message->is_string()) {
        return bad(table, "a rule needs a message (a string)");
    }
    rule.message = message->as_string()->get();
    if (const toml::node* severity = table.get("severity")) {
        const auto* text = severity->as_string();
        if (text == nullptr || (text->get() != "error" && text->get() != "warning")) {
            return bad(*severity, "severity is \"error\" or \"warning\"");
        }
        rule.severity = text->get() == "error" ? Severity::Error : Severity::Warning;
    }
    const toml::node* key = table.get("key");
    if (key == nullptr || !key->is_string()) {
        return bad(table, "a rule needs a key (a string naming a value)");
    }
    std::string why;
    auto path = parseKeyPath(key->as_string()->get(), why);
    if (!path) {
        return bad(*key, why);
    }
    rule.key = std::move(*path);
    const KeyType type = rule.key.type;

    std::vector<std::string_view> given;
    for (const std::string_view condition : kConditionKeys) {
        if (table.contains(condition)) {
            given.push_back(condition);
        }
    }
    const bool range = table.contains("min") || table.contains("max");
    if (given.empty()) {
        return bad(table,
                   "a rule needs one condition: equals, oneOf, min/max, matches, "
                   "present or absent");
    }
    const bool bothBounds = given.size() == 2 && table.contains("min") && table.contains("max");
    if (given.size() > 1 && !bothBounds) {
        return bad(table, "a rule has one condition (min and max go together)");
    }
    const std::string_view condition = given.front();
    const toml::node& value = *table.get(condition);
    const std::string keyText = "'" + rule.key.text + "' is ";
    if (const toml::node* tolerance = table.get("tolerance")) {
        const auto number = numberOf(*tolerance);
        if (!number || *number < 0) {
            return bad(*tolerance, "tolerance is a number of at least 0");
        }
        if (type != KeyType::Number || (!range && condition != "equals" && condition != "oneOf")) {
            return bad(*tolerance, "tolerance goes with a number's equals, oneOf, min or max");
        }
        rule.tolerance = *number;
    }
    if (condition == "equals") {
        rule.condition = Condition::Equals;
        auto expected =
            value.is_array() && rule.key.isList() ? listOf(value, type) : scalarOf(value, type);
        if (!expected) {
            return bad(value, "equals: " + keyText + typeWord(type) +
                                  (rule.key.isList() ? " (or a list of them)" : ""));
        }
        rule.expected = std::move(*expected);
    } else if (condition == "oneOf") {
        rule.condition = Condition::OneOf;
        auto expected = listOf(value, type);
        if (!expected) {
            return bad(value, "oneOf: a list of values, each " + std::string(typeWord(type)));
        }
        rule.expected = std::move(*expected);
    } else if (range) {
        rule.condition = Condition::Range;
        if (type != KeyType::Number) {
            return bad(value, "min and max: " + keyText + typeWord(type) + ", not a number");
        }
        for (const auto& [bound, slot] : {std::pair{"min", &rule.min}, {"max", &rule.max}}) {
            if (const toml::node* node = table.get(bound)) {
                *slot = numberOf(*node);
                if (!*slot) {
                    return bad(*node, std::string(bound) + " is a number");
                }
            }
        }
        if (rule.min && rule.max && *rule.min > *rule.max) {
            return bad(value, "min is above max");
        }
    } else if (condition == "matches") {
        rule.condition = Condition::Matches;
        if (type != KeyType::String) {
            return bad(value, "matches: " + keyText + typeWord(type) + ", not a string");
        }
        const auto* text = value.as_string();
        if (text == nullptr || text->get().size() > 1024) {
            return bad(value, "matches is a regular expression (a string of at most 1024 bytes)");
        }
        rule.pattern = text->get();
        try {
            rule.regex = std::make_shared<const std::regex>(rule.pattern, std::regex::ECMAScript);
        } catch (const std::regex_error& failure) {
            return bad(value, "matches: not a regular expression: " + std::string(failure.what()));
        }
    } else {
        rule.condition = condition == "present" ? Condition::Present : Condition::Absent;
        const auto* flag = value.as_boolean();
        if (flag == nullptr || !flag->get()) {
            return bad(value, std::string(condition) + " is written " + std::string(condition) +
                                  " = true");
        }
    }
    return rule;
}

}  // namespace

std::optional<Profile> loadProfile(std::string_view text, const std::string& file,
                                   std::string& error) {
    const Fault fault(file, error);
    toml::parse_result parsed = toml::parse(text, file);
    if (!parsed) {
        const toml::parse_error& failure = parsed.error();
        return fault(static_cast<long>(failure.source().begin.line), {},
                     "not TOML: " + std::string(failure.description()));
    }
    const toml::table& root = parsed.table();
    Profile profile;
    profile.file = file;
    for (const auto& [key, value] : root) {
        if (key.str() != "profile" && key.str() != "rule") {
            return fault(lineOf(value), {},
                         "unknown table '" + std::string(key.str()) +
                             "' (a profile holds [profile] and [[rule]] tables)");
        }
    }
    if (const toml::node* header = root.get("profile")) {
        const toml::table* table = header->as_table();
        const toml::node* name = table != nullptr ? table->get("name") : nullptr;
        if (name == nullptr || !name->is_string()) {
            return fault(lineOf(*header), {}, "[profile] needs a name (a string)");
        }
        profile.name = name->as_string()->get();
    }
    const toml::node* rules = root.get("rule");
    const toml::array* list = rules != nullptr ? rules->as_array() : nullptr;
    if (list == nullptr || list->empty()) {
        return fault(rules != nullptr ? lineOf(*rules) : 1, {},
                     "a profile holds at least one [[rule]]");
    }
    if (list->size() > kMaxRules) {
        return fault(lineOf(*rules), {}, "a profile holds at most 1000 rules");
    }
    std::set<std::string, std::less<>> names;
    for (const toml::node& node : *list) {
        const toml::table* table = node.as_table();
        if (table == nullptr) {
            return fault(lineOf(node), {}, "each rule is a [[rule]] table");
        }
        auto rule = loadRule(*table, fault);
        if (!rule) {
            return std::nullopt;
        }
        if (!names.insert(rule->name).second) {
            return fault(rule->line, rule->name, "a second rule of this name");
        }
        profile.rules.push_back(std::move(*rule));
    }
    return profile;
}

}  // namespace bq
