#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "stream/byte_stream.h"

namespace bq {

// One component as SIZ gives it: Ssiz (bit 7 the sign, the low seven bits the depth less
// one) and its sub-sampling.
struct SizComponent {
    std::uint8_t ssiz = 0;
    std::uint8_t dx = 0;  // XRsiz
    std::uint8_t dy = 0;  // YRsiz
};

struct ImageSize {
    std::uint16_t rsiz = 0;
    std::uint32_t xsiz = 0;
    std::uint32_t ysiz = 0;
    std::uint32_t xosiz = 0;
    std::uint32_t yosiz = 0;
    std::uint32_t xtsiz = 0;
    std::uint32_t ytsiz = 0;
    std::uint32_t xtosiz = 0;
    std::uint32_t ytosiz = 0;
    std::uint16_t csiz = 0;                // the component count the segment states
    std::vector<SizComponent> components;  // as many as Csiz, when the segment holds them
};

// A SIZ segment's fields after its length: none when they stop before Csiz.
std::optional<ImageSize> decodeSiz(std::span<const std::uint8_t> segment);

// COD: the default coding style.
struct CodingStyle {
    std::uint8_t scod = 0;  // bit 0 precincts given, bit 1 SOP, bit 2 EPH
    std::uint8_t progression = 0;
    std::uint16_t layers = 0;
    std::uint8_t multipleComponentTransform = 0;
    std::uint8_t levels = 0;
    std::uint8_t codeBlockWidthExponent = 0;   // xcb: width 2^(xcb + 2)
    std::uint8_t codeBlockHeightExponent = 0;  // ycb
    std::uint8_t codeBlockStyle = 0;
    std::uint8_t transform = 0;           // 0 9-7 irreversible, 1 5-3 reversible
    std::vector<std::uint8_t> precincts;  // PPx in the low, PPy in the high nibble
};

// A COD segment's fields after its length: none when they stop before the transform; the
// precincts as far as the segment holds them.
std::optional<CodingStyle> decodeCod(std::span<const std::uint8_t> segment);

// QCD: the default quantization.
struct Quantization {
    std::uint8_t sqcd = 0;
    int style() const { return sqcd & 0x1F; }
    int guardBits() const { return sqcd >> 5; }
};

struct CodestreamComment {
    std::uint16_t registration = 0;  // 1: Latin-1 text; else binary
    std::uint32_t length = 0;        // of its data
    std::string text;                // Latin-1 as UTF-8, for registration 1
};

// The codestream's main header: from SOC to the first tile-part (or the end marker).
struct MainHeader {
    std::optional<ImageSize> size;
    std::optional<CodingStyle> coding;
    std::optional<Quantization> quantization;
    // Which other main header markers occur.
    bool hasCoc = false;
    bool hasQcc = false;
    bool hasRgn = false;
    bool hasPoc = false;
    bool hasTlm = false;
    bool hasPlm = false;
    bool hasPpm = false;
    bool hasCrg = false;
    std::vector<CodestreamComment> comments;
    std::uint64_t length = 0;           // bytes from SOC to the first SOT
    bool complete = false;              // the first SOT (or the end marker) was reached
    std::optional<std::string> fault;   // what stopped the walk early
    std::vector<std::string> warnings;  // what SIZ and COD say that cannot be so
};

// Comments kept, and the text kept of each.
constexpr std::size_t kMaxComments = 64;
constexpr std::size_t kMaxCommentText = 4096;

// Reads the main header of the codestream `stream` holds from position 0 on, `count` bytes
// long. Segments other than SIZ, COD, QCD and COM are passed by their lengths.
MainHeader readMainHeader(ByteStream& stream, std::uint64_t count);

// "LRCP", ...; empty for a value with no name.
std::string progressionName(std::uint8_t order);
// The capabilities Rsiz announces, as words.
std::string capabilitiesText(std::uint16_t rsiz);
// The code-block style flags set, as words ("none" when none is).
std::string codeBlockStyleText(std::uint8_t style);
// "none", "scalar derived", "scalar expounded"; empty else.
std::string quantizationName(int style);

}  // namespace bq
