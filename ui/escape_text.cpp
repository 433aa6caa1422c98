#include "ui/escape_text.h"

#include <cstddef>
#include <cstdio>

namespace bq {
namespace {

void appendHex(std::string& out, const char* format, unsigned value) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, format, value);
    out += escaped;
}

// The length of the UTF-8 sequence at the start of `text` and its code point; 0 when the
// bytes are no sequence (a stray continuation, an overlong form, a surrogate, past U+10FFFF,
// or cut short).
std::size_t utf8Sequence(std::string_view text, char32_t& point) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        point = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        point = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        point = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        point = lead & 0x07u;
        least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0u) != 0x80) {
            return 0;
        }
        point = (point << 6) | (next & 0x3Fu);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return 0;
    }
    return length;
}

}  // namespace

std::string escapeText(std::string_view text, Escape mode) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t point = 0;
        const std::size_t length = utf8Sequence(text, point);
        const char c = text[0];
        if (length == 0) {
            appendHex(out, "\\x%02x", static_cast<unsigned char>(c));
            text.remove_prefix(1);
            continue;
        }
        if (point >= 0x80 && point < 0xA0) {
            appendHex(out, "\\u%04x", static_cast<unsigned>(point));
        } else if (point >= 0x20 && point != 0x7F) {
            out.append(text.substr(0, length));
        } else if (mode == Escape::Lines &&
                   (c == '\n' || c == '\t' || (c == '\r' && text.substr(1, 1) == "\n"))) {
            out += c;
        } else if (mode == Escape::Field && (c == '\n' || c == '\t' || c == '\r')) {
            out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
        } else {
            appendHex(out, "\\x%02x", static_cast<unsigned char>(c));
        }
        text.remove_prefix(length);
    }
    return out;
}

}  // namespace bq
