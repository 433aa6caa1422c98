#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace bq::test {

// The fixed fields of a SIZ segment; the defaults give one 1000 x 1000 tile of 3 components.
struct Siz {
    std::uint32_t xsiz = 1000;
    std::uint32_t ysiz = 1000;
    std::uint32_t xosiz = 0;
    std::uint32_t yosiz = 0;
    std::uint32_t xtsiz = 1000;
    std::uint32_t ytsiz = 1000;
    std::uint32_t xtosiz = 0;
    std::uint32_t ytosiz = 0;
    std::uint16_t csiz = 3;
};

// Builds codestream bytes inline, big-endian, marker by marker.
class Bytes {
  public:
    Bytes& u8(std::uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    Bytes& u16(std::uint16_t v) {
        return u8(static_cast<std::uint8_t>(v >> 8)).u8(static_cast<std::uint8_t>(v));
    }
    Bytes& u32(std::uint32_t v) {
        return u16(static_cast<std::uint16_t>(v >> 16)).u16(static_cast<std::uint16_t>(v));
    }
    Bytes& raw(std::initializer_list<std::uint8_t> values) {
        bytes.insert(bytes.end(), values);
        return *this;
    }
    // Filler that holds no 0xFF, so it can never look like a marker.
    Bytes& fill(std::size_t count, std::uint8_t value = 0x11) {
        bytes.insert(bytes.end(), count, value);
        return *this;
    }
    Bytes& marker(std::uint8_t code) { return u8(0xFF).u8(code); }
    // A marker with a segment of `length` (Lxxx) and length - 2 filler bytes.
    Bytes& segment(std::uint8_t code, std::uint16_t length) {
        marker(code).u16(length);
        return fill(length >= 2 ? length - 2u : 0u);
    }
    Bytes& soc() { return marker(0x4F); }
    Bytes& siz(const Siz& s, std::uint16_t lsiz = 0) {
        marker(0x51).u16(lsiz != 0 ? lsiz : static_cast<std::uint16_t>(38 + 3 * s.csiz)).u16(0);
        u32(s.xsiz).u32(s.ysiz).u32(s.xosiz).u32(s.yosiz).u32(s.xtsiz).u32(s.ytsiz);
        u32(s.xtosiz).u32(s.ytosiz).u16(s.csiz);
        for (int c = 0; c < s.csiz; ++c) {
            raw({0x07, 0x01, 0x01});
        }
        return *this;
    }
    Bytes& cod() { return marker(0x52).u16(12).raw({0, 0, 0, 1, 0, 5, 4, 4, 0, 0}); }
    Bytes& qcd() { return marker(0x5C).u16(4).raw({0x40, 0x48}); }
    Bytes& mainHeader(const Siz& s = {}) { return soc().siz(s).cod().qcd(); }
    Bytes& sot(std::uint16_t isot, std::uint32_t psot, std::uint8_t tpsot = 0,
               std::uint8_t tnsot = 1) {
        return marker(0x90).u16(10).u16(isot).u32(psot).u8(tpsot).u8(tnsot);
    }
    // A whole tile-part of `psot` bytes (at least 14): SOT, SOD and filler.
    Bytes& tilePart(std::uint16_t isot, std::uint32_t psot, std::uint8_t tpsot = 0,
                    std::uint8_t tnsot = 1) {
        sot(isot, psot, tpsot, tnsot).marker(0x93);
        return fill(psot - 14);
    }
    Bytes& eoc() { return marker(0xD9); }

    std::vector<std::uint8_t> bytes;
};

}  // namespace bq::test
