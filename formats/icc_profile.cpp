#include "formats/icc_profile.h"

#include <algorithm>

#include "stream/byte_reader.h"

namespace bq {

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::uint32_t kTagDesc = 0x64657363;   // 'desc'
constexpr std::uint32_t kTypeMluc = 0x6D6C7563;  // 'mluc'

// UTF-16BE to UTF-8, stopping at a NUL; lone surrogates become U+FFFD.
std::string utf16ToUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size() && out.size() < kMaxIccDescription; i += 2) {
        std::uint32_t c = (std::uint32_t{bytes[i]} << 8) | bytes[i + 1];
        if (c == 0) {
            break;
        }
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const std::uint32_t low = (std::uint32_t{bytes[i + 2]} << 8) | bytes[i + 3];
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<std::string> describeTag(std::span<const std::uint8_t> tag) {
    ByteReader reader(tag);
    std::uint32_t type = 0;
    std::uint32_t reserved = 0;
    std::uint32_t count = 0;
    if (!reader.u32(type) || !reader.u32(reserved) || !reader.u32(count)) {
        return std::nullopt;
    }
    if (type == kTagDesc) {
        // textDescriptionType: an ASCII count (NUL included), then the characters.
        const auto text = reader.take(std::min<std::size_t>(count, reader.remaining()));
        std::string out;
        for (const std::uint8_t c : text) {
            if (c == 0 || out.size() >= kMaxIccDescription) {
                break;
            }
            out += static_cast<char>(c);
        }
        return out;
    }
    if (type == kTypeMluc && count > 0) {
        // multiLocalizedUnicodeType: record size, then records of language, country, length
        // and an offset from the tag's start.
        std::uint32_t recordSize = 0;
        std::uint16_t language = 0;
        std::uint16_t country = 0;
        std::uint32_t length = 0;
        std::uint32_t offset = 0;
        if (!reader.u32(recordSize) || !reader.u16(language) || !reader.u16(country) ||
            !reader.u32(length) || !reader.u32(offset)) {
            return std::nullopt;
        }
        if (offset > tag.size() || length > tag.size() - offset) {
            return std::nullopt;
        }
        return utf16ToUtf8(tag.subspan(offset, length));
    }
    return std::nullopt;
}

}  // namespace

std::optional<IccProfile> decodeIccProfile(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderSize) {
        return std::nullopt;
    }
    IccProfile profile;
    ByteReader reader(bytes);
    std::uint32_t cmm = 0;
    std::uint32_t version = 0;
    reader.u32(profile.size);
    reader.u32(cmm);
    reader.u32(version);
    reader.u32(profile.deviceClass);
    reader.u32(profile.colourSpace);
    reader.u32(profile.connectionSpace);
    profile.versionMajor = static_cast<std::uint8_t>(version >> 24);
    profile.versionMinor = static_cast<std::uint8_t>((version >> 20) & 0x0F);
    profile.versionBugfix = static_cast<std::uint8_t>((version >> 16) & 0x0F);
    profile.signatureOk =
        bytes[36] == 'a' && bytes[37] == 'c' && bytes[38] == 's' && bytes[39] == 'p';

    ByteReader tags(bytes.subspan(kHeaderSize));
    if (!tags.u32(profile.tagCount)) {
        return profile;
    }
    // Each entry is 12 bytes; the count cannot claim more entries than the bytes hold.
    const std::size_t entries = std::min<std::size_t>(profile.tagCount, tags.remaining() / 12);
    profile.tagTableInside = entries == profile.tagCount;
    profile.tags.reserve(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        std::uint32_t signature = 0;
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
        tags.u32(signature);
        tags.u32(offset);
        tags.u32(size);
        profile.tags.push_back(signature);
        const bool inside = offset <= bytes.size() && size <= bytes.size() - offset;
        profile.tagTableInside = profile.tagTableInside && inside;
        if (signature == kTagDesc && inside && !profile.description) {
            profile.description = describeTag(bytes.subspan(offset, size));
        }
    }
    return profile;
}

std::string iccVersionText(const IccProfile& profile) {
    return std::to_string(profile.versionMajor) + "." + std::to_string(profile.versionMinor) + "." +
           std::to_string(profile.versionBugfix);
}

std::string iccClassName(std::uint32_t deviceClass) {
    switch (deviceClass) {
        case 0x73636E72:
            return "input device";  // 'scnr'
        case 0x6D6E7472:
            return "display device";  // 'mntr'
        case 0x70727472:
            return "output device";  // 'prtr'
        case 0x6C696E6B:
            return "device link";  // 'link'
        case 0x73706163:
            return "colour space";  // 'spac'
        case 0x61627374:
            return "abstract";  // 'abst'
        case 0x6E6D636C:
            return "named colour";  // 'nmcl'
        default:
            return {};
    }
}

}  // namespace bq
