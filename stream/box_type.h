#pragma once

#include <cstdint>

namespace bq {

// A box type as a 32-bit value: four ASCII characters, the first in the most significant byte.
constexpr std::uint32_t fourCC(const char (&code)[5]) {
    return (std::uint32_t{static_cast<unsigned char>(code[0])} << 24) |
           (std::uint32_t{static_cast<unsigned char>(code[1])} << 16) |
           (std::uint32_t{static_cast<unsigned char>(code[2])} << 8) |
           std::uint32_t{static_cast<unsigned char>(code[3])};
}

constexpr std::uint32_t kTypeAsoc = fourCC("asoc");
constexpr std::uint32_t kTypeFtyp = fourCC("ftyp");
constexpr std::uint32_t kTypeJp2c = fourCC("jp2c");
constexpr std::uint32_t kTypeJp2h = fourCC("jp2h");
constexpr std::uint32_t kTypeLbl = fourCC("lbl ");
constexpr std::uint32_t kTypeRreq = fourCC("rreq");
constexpr std::uint32_t kTypeUuid = fourCC("uuid");
constexpr std::uint32_t kTypeXml = fourCC("xml ");
constexpr std::uint32_t kTypeSignature = fourCC("jP  ");
// The boxes of the JP2 header.
constexpr std::uint32_t kTypeIhdr = fourCC("ihdr");
constexpr std::uint32_t kTypeBpcc = fourCC("bpcc");
constexpr std::uint32_t kTypeColr = fourCC("colr");
constexpr std::uint32_t kTypePclr = fourCC("pclr");
constexpr std::uint32_t kTypeCmap = fourCC("cmap");
constexpr std::uint32_t kTypeCdef = fourCC("cdef");
constexpr std::uint32_t kTypeRes = fourCC("res ");
constexpr std::uint32_t kTypeResc = fourCC("resc");
constexpr std::uint32_t kTypeResd = fourCC("resd");
constexpr std::uint32_t kBrandJp2 = fourCC("jp2 ");
constexpr std::uint32_t kBrandJpx = fourCC("jpx ");

constexpr std::uint32_t kBoxHeaderSize = 8;
// Length 1, the type, then a 64-bit length.
constexpr std::uint32_t kExtendedHeaderSize = 16;
// The largest payload whose plain header's 32-bit length (payload + 8) still fits.
constexpr std::uint64_t kMaxPlainPayload = 0xFFFFFFFFull - kBoxHeaderSize;

}  // namespace bq
