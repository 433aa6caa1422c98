#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace bq {

// What `info` says about a file or a box: named fields (numbers as numbers, nested objects
// and arrays) and one line per fault found. The CLI prints it as text or JSON, the
// Properties dialog as text.
struct Description {
    nlohmann::ordered_json fields = nlohmann::ordered_json::object();
    std::vector<std::string> warnings;
};

// An empty object with room for `keys` entries. The ordered map behind an object copies
// every entry, subtrees and all, each time it grows (its keys are const, so they cannot
// move): objects that gather large subtrees make room first.
nlohmann::ordered_json objectWithRoom(std::size_t keys);

// The fields and then the warnings, as one JSON object ("warnings" the last key).
nlohmann::ordered_json descriptionJson(const Description& description);
nlohmann::ordered_json descriptionJson(Description&& description);

// Aligned "key: value" lines, nested objects indented under their key, arrays of objects as
// "key[i]:", then "warning: ..." lines. Lines end in "\n".
std::string descriptionText(const Description& description);

}  // namespace bq
