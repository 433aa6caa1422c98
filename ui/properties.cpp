#include "ui/properties.h"

#include <string>

#include "box/box.h"
#include "describe/describe_box.h"

namespace bq {

std::string propertiesText(App& app, int row) {
    const Box* box = app.boxes().boxAt(row);
    return box != nullptr ? describeBoxText(*box) : std::string();
}

std::string propertiesTitle(App& app, int row) {
    const Box* box = app.boxes().boxAt(row);
    constexpr std::string_view kSuffix = "Properties";
    if (box == nullptr) {
        return std::string(kSuffix);
    }
    // Without the indentation that shows the row's depth in the list, nor a type's padding.
    const auto trimmed = [](const std::string& text) {
        const std::size_t first = text.find_first_not_of(' ');
        return first == std::string::npos
                   ? std::string()
                   : text.substr(first, text.find_last_not_of(' ') - first + 1);
    };
    return trimmed(upperTypeText(box->type)) + " " + trimmed(box->description()) + " - " +
           std::string(kSuffix);
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
