#include "ui/properties.h"

#include <algorithm>
#include <string>

#include "box/box.h"

namespace bq {

std::string propertiesText(App& app, int row) {
    BoxList& boxes = app.boxes();
    const Box* box = boxes.boxAt(row);
    if (box == nullptr) {
        return {};
    }
    // Until the description of a box by the inspect layer comes in: what the row shows,
    // without the indentation that marks nesting.
    const auto unindented = [](std::string text) {
        return text.substr(std::min(text.find_first_not_of("| "), text.size()));
    };
    return "ID: " + unindented(boxes.cellText(row, 0)) +
           "\nDescription: " + unindented(boxes.cellText(row, 1)) +
           "\nType: " + upperTypeText(box->type) + "\nDepth: " + std::to_string(box->depth) +
           "\nSize: " + boxes.sizeText(row) + "\n";
}

std::string withCrLf(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            result.push_back('\r');
        }
        result.push_back(text[i]);
    }
    return result;
}

}  // namespace bq
