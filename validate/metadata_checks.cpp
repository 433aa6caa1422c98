// The metadata boxes: XML boxes and the XMP uuid box well-formed, and the uuid info box's
// list and URL boxes (ISO/IEC 15444-1 I.7).

#include <array>
#include <string>
#include <string_view>

#include "formats/xml_check.h"
#include "stream/box_type.h"
#include "stream/byte_reader.h"
#include "validate/check_groups.h"

namespace bq {

namespace {

constexpr std::uint32_t kTypeUlst = fourCC("ulst");
constexpr std::uint32_t kTypeUrl = fourCC("url ");
constexpr std::array<std::uint8_t, 16> kXmpUuid = {0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8,
                                                   0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC};

std::string n(std::uint64_t value) {
    return std::to_string(value);
}

void checkXmlText(std::span<const std::uint8_t> bytes, const BoxAt& box, XmlPlace place,
                  Findings& findings) {
    // Some writers end the text with a NUL as a C string would. NUL is no XML character, so a
    // top-level XML box or XMP packet that ends in one is not well-formed. GMLJP2 writers
    // pad the XML nested in associations the same way and their readers take it as a C string:
    // there the padding is a warning of its own.
    const std::string_view text = xmlTextOf(bytes);
    const std::size_t padding = bytes.size() - text.size();
    if (place == XmlPlace::Nested) {
        findings.warning("xmlHasNoTrailingNull", padding == 0,
                         std::to_string(padding) + " NUL bytes after the XML", box.path,
                         box.offset);
    }
    std::string problem = xmlProblem(text);
    if (problem.empty() && place == XmlPlace::TopLevel && padding > 0) {
        problem = std::to_string(padding) + " NUL bytes after the XML; NUL is no XML character";
    }
    findings.error("containsWellformedXML", problem.empty(), problem, box.path, box.offset);
}

}  // namespace

std::string_view xmlTextOf(std::span<const std::uint8_t> bytes) {
    std::size_t length = bytes.size();
    while (length > 0 && bytes[length - 1] == 0) {
        --length;
    }
    return {reinterpret_cast<const char*>(bytes.data()), length};
}

bool isUtf8(std::span<const std::uint8_t> bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t lead = bytes[i];
        const std::size_t more = lead < 0x80         ? 0
                                 : (lead >> 5) == 6  ? 1
                                 : (lead >> 4) == 14 ? 2
                                 : (lead >> 3) == 30 ? 3
                                                     : 9;
        if (more == 9 || more > bytes.size() - i - 1) {
            return false;
        }
        for (std::size_t k = 1; k <= more; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        i += more + 1;
    }
    return true;
}

namespace {

void checkUrl(std::span<const std::uint8_t> payload, const BoxAt& box, Findings& findings) {
    const auto error = [&](std::string_view test, bool ok, const std::string& message) {
        return findings.error(test, ok, message, box.path, box.offset);
    };
    if (!error("boxLengthIsValid", payload.size() >= 4,
               "payload of " + n(payload.size()) + " bytes; at least 4 expected")) {
        return;
    }
    error("versionIsValid", payload[0] == 0, "version " + n(payload[0]) + "; 0 required");
    error("flagIsValid", payload[1] == 0 && payload[2] == 0 && payload[3] == 0, "flags not 0");
    const auto location = payload.subspan(4);
    const bool terminated = !location.empty() && location.back() == 0;
    error("locHasNullTerminator", terminated, "location without its terminating null");
    error("locIsUTF8", isUtf8(terminated ? location.first(location.size() - 1) : location),
          "location is not UTF-8");
}

}  // namespace

void checkXmlBox(ByteStream& stream, const BoxAt& box, XmlPlace place, Findings& findings) {
    if (const auto payload = readPayload(stream, box, "containsWellformedXML", findings)) {
        checkXmlText(*payload, box, place, findings);
    }
}

void checkUuidBox(ByteStream& stream, const BoxAt& box, Findings& findings) {
    if (!findings.error("boxLengthIsValid", box.payloadLength >= 16,
                        "payload of " + n(box.payloadLength) + " bytes; a 16-byte UUID first",
                        box.path, box.offset)) {
        return;
    }
    const auto payload = readPayload(stream, box, "uuidBoxIsChecked", findings);
    if (payload && std::equal(kXmpUuid.begin(), kXmpUuid.end(), payload->begin())) {
        checkXmlText(std::span(*payload).subspan(16), box, XmlPlace::TopLevel, findings);
    }
}

void checkUuidInfoBox(ByteStream& stream, const BoxAt& box, Findings& findings) {
    const auto payload = readPayload(stream, box, "uuidInfoBoxIsChecked", findings);
    if (!payload) {
        return;
    }
    const std::vector<BoxAt> inner = walkBytes(*payload, box.payloadOffset, box.path, findings);
    std::uint64_t lists = 0;
    std::uint64_t urls = 0;
    for (const BoxAt& child : inner) {
        const auto bytes = payloadIn(*payload, box.payloadOffset, child);
        if (child.type == kTypeUlst) {
            ++lists;
            std::uint16_t ids = 0;
            ByteReader(bytes).u16(ids);
            findings.error("boxLengthIsValid", bytes.size() == 2 + std::size_t{ids} * 16,
                           "payload of " + n(bytes.size()) + " bytes for " + n(ids) + " UUIDs",
                           child.path, child.offset);
        } else if (child.type == kTypeUrl) {
            ++urls;
            checkUrl(bytes, child, findings);
        }
    }
    findings.error("containsOneListBox", lists == 1, n(lists) + " UUID list boxes", box.path,
                   box.offset);
    findings.error("containsOneURLBox", urls == 1, n(urls) + " URL boxes", box.path, box.offset);
}

}  // namespace bq
