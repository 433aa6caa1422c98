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
    return box != nullptr ? idText(*box) + " " + box->description() + " - " + std::string(kSuffix)
                          : std::string(kSuffix);
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
