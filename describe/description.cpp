#include "describe/description.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace bq {

namespace {

using Json = nlohmann::ordered_json;

// Twelve significant digits: resolutions read as 2834.64566929, not as every digit a double
// holds, while coordinates in degrees (7.123456789, a pixel of 9.576245946e-05) keep the
// digits a georeferencing check needs.
std::string numberText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.12g", value);
    return buffer;
}

bool isScalar(const Json& value) {
    if (value.is_array()) {
        return std::none_of(value.begin(), value.end(),
                            [](const Json& item) { return item.is_structured(); });
    }
    return !value.is_object();
}

std::string scalarText(const Json& value) {
    if (value.is_null()) {
        return "none";
    }
    if (value.is_string()) {
        // One line a field: control characters (a comment's line breaks) are escaped.
        std::string text;
        for (const char c : value.get_ref<const std::string&>()) {
            if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
                text += c;
            } else {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
                text += escaped;
            }
        }
        return text;
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? "yes" : "no";
    }
    if (value.is_number_float()) {
        return numberText(value.get<double>());
    }
    if (value.is_array()) {
        std::string text;
        for (const Json& item : value) {
            text += (text.empty() ? "" : ", ") + scalarText(item);
        }
        return text.empty() ? "none" : text;
    }
    return value.dump();
}

void writeObject(const Json& object, const std::string& indent, std::string& out) {
    std::size_t width = 0;
    for (const auto& [key, value] : object.items()) {
        if (isScalar(value)) {
            width = std::max(width, key.size());
        }
    }
    for (const auto& [key, value] : object.items()) {
        if (value.is_string() &&
            value.get_ref<const std::string&>().find_first_of("\r\n") != std::string::npos) {
            // A text of several lines (an XMP packet, a comment) as a block under its key;
            // lines end in LF, CR LF or, as some packets have them, CR alone.
            out += indent + key + ":\n";
            std::string_view rest = value.get_ref<const std::string&>();
            while (!rest.empty()) {
                const std::size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
                out += indent + "  " + scalarText(Json(std::string(rest.substr(0, end)))) + "\n";
                const bool crLf = rest.substr(end).starts_with("\r\n");
                rest.remove_prefix(std::min(end + (crLf ? 2 : 1), rest.size()));
            }
        } else if (isScalar(value)) {
            out += indent + key + ":" + std::string(width - key.size() + 1, ' ') +
                   scalarText(value) + "\n";
        } else if (value.is_object()) {
            out += indent + key + ":\n";
            writeObject(value, indent + "  ", out);
        } else {
            std::size_t index = 0;
            for (const Json& item : value) {
                out += indent + key + "[" + std::to_string(index++) + "]:";
                if (item.is_object()) {
                    out += "\n";
                    writeObject(item, indent + "  ", out);
                } else {
                    out += ' ';
                    out += item.dump();
                    out += '\n';
                }
            }
        }
    }
}

}  // namespace

Json objectWithRoom(std::size_t keys) {
    Json object = Json::object();
    object.get_ref<Json::object_t&>().reserve(keys);
    return object;
}

Json descriptionJson(const Description& description) {
    Json json = description.fields;
    json["warnings"] = description.warnings;
    return json;
}

Json descriptionJson(Description&& description) {
    Json json = std::move(description.fields);
    json.get_ref<Json::object_t&>().reserve(json.size() + 1);
    json["warnings"] = std::move(description.warnings);
    return json;
}

std::string descriptionText(const Description& description) {
    std::string out;
    writeObject(description.fields, "", out);
    for (const std::string& warning : description.warnings) {
        out += "warning: " + warning + "\n";
    }
    return out;
}

}  // namespace bq
