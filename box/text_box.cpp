#include "box/text_box.h"

#include <algorithm>
#include <climits>
#include <new>

namespace bq {

namespace {

constexpr std::uint32_t kSpareCapacity = 500;

// The length of a text up to its first NUL, as a C string would have it.
std::string_view untilNul(std::string_view text) {
    const auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// Builds a zeroed buffer of `size` bytes that starts with `text`, or none when the memory (or
// an int capacity) cannot hold it.
bool makeTextBuffer(std::string_view text, std::uint64_t size, std::vector<std::uint8_t>& out,
                    int& capacity) {
    if (size > static_cast<std::uint64_t>(INT_MAX) || size <= text.size()) {
        return false;
    }
    try {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size), 0);
        std::copy(text.begin(), text.end(), buffer.begin());
        out.swap(buffer);
    } catch (const std::bad_alloc&) {
        return false;
    }
    capacity = static_cast<int>(size);
    return true;
}

}  // namespace

void TextBox::reserveText(std::uint32_t n) {
    // The buffer is reused only while it has room for n characters and the NUL.
    if (capacity > 0 && n < static_cast<std::uint32_t>(capacity) && n < data.size()) {
        data[n] = 0;
        payloadSize = n;
        return;
    }
    // A new buffer does not keep the old text. When it cannot be had the box stays as it was.
    std::vector<std::uint8_t> buffer;
    int newCapacity = 0;
    if (n > 0xFFFFFFFFu - kSpareCapacity ||
        !makeTextBuffer(std::string_view{}, std::uint64_t{n} + kSpareCapacity, buffer,
                        newCapacity)) {
        return;
    }
    data.swap(buffer);
    capacity = newCapacity;
    payloadSize = n;
}

// The text ends at its first NUL, as the content pane hands it over.
void TextBox::setText(std::string_view text) {
    const std::string_view content = untilNul(text);
    if (content.size() > 0xFFFFFFFFu - kSpareCapacity) {
        return;
    }
    const auto n = static_cast<std::uint32_t>(content.size());
    reserveText(n);
    if (payloadSize != n || data.size() <= n) {
        return;  // no room could be made
    }
    std::copy(content.begin(), content.end(), data.begin());
    data[n] = 0;
}

bool XmlBox::readPayload(ByteStream& stream, ReadContext& context) {
    return Box::readPayload(stream, context) && normaliseLineEnds();
}

bool XmlBox::importPayload(ByteStream& stream, std::uint32_t fileSize) {
    return Box::importPayload(stream, fileSize) && normaliseLineEnds();
}

// LF, CR and CR LF all become CR LF; the text ends at its first NUL.
bool XmlBox::normaliseLineEnds() {
    constexpr char kCr = '\r';
    constexpr char kLf = '\n';
    std::string out;
    try {
        out.reserve(static_cast<std::size_t>(payloadSize) * 2 + 1);
        char previous = '\0';
        for (const std::uint8_t byte : data) {
            const auto c = static_cast<char>(byte);
            if (c == '\0') {
                break;
            }
            if (c == kLf) {
                if (previous != kCr) {
                    out += kCr;
                }
            } else if (previous == kCr) {
                out += kLf;
            }
            out += c;
            previous = c;
        }
        if (previous == kCr) {
            out += kLf;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::vector<std::uint8_t> buffer;
    int newCapacity = 0;
    if (!makeTextBuffer(out, std::uint64_t{out.size()} + kSpareCapacity, buffer, newCapacity)) {
        return false;
    }
    data.swap(buffer);
    capacity = newCapacity;
    payloadSize = out.size();
    return true;
}

// One trailing NUL is a terminator some writers add, not part of the label.
bool LabelBox::readPayload(ByteStream& stream, ReadContext& context) {
    if (!Box::readPayload(stream, context)) {
        return false;
    }
    if (payloadSize != 0 && payloadSize <= data.size() && data[payloadSize - 1] == 0) {
        --payloadSize;
    }
    return true;
}

bool LabelBox::importPayload(ByteStream& stream, std::uint32_t fileSize) {
    if (!Box::importPayload(stream, fileSize)) {
        return false;
    }
    capacity =
        payloadSize > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(payloadSize);
    return true;
}

}  // namespace bq
