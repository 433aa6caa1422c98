#include "validate/codestream_checks.h"

#include <algorithm>
#include <bit>
#include <map>
#include <span>
#include <sstream>
#include <tuple>
#include <type_traits>

#include "codestream/main_header.h"
#include "codestream/marker_table.h"
#include "codestream/parse_codestream.h"
#include "stream/byte_reader.h"

namespace bq {

namespace {

// Markers of the current edition that the shared table does not list.
constexpr std::uint8_t kCodeCap = 0x50;
constexpr std::uint8_t kCodePrf = 0x56;
constexpr std::uint8_t kCodeCpf = 0x59;
// Rsiz bit 14: a CAP segment is in the main header.
constexpr std::uint16_t kRsizCap = 0x4000;
// Rsiz bit 15: the extended (JPX) coding tools, listed by the bits below it.
constexpr std::uint16_t kRsizExtensions = 0x8000;
// Rsiz's profile field all ones: the profile is the one a PRF segment gives.
constexpr std::uint16_t kRsizProfileInPrf = 0x0FFF;

// TLM entries, and PLM's sums, kept to compare with the tile-parts: 8 MiB each.
constexpr std::size_t kMaxTlmEntries = std::size_t{1} << 20;
// Failures listed per test: a codestream of a million broken tile-parts must not fill memory
// with findings.
constexpr std::uint32_t kMaxFailuresListed = 100;
constexpr std::uint64_t kImpliedTile = 0xFFFFFFFF;

// Bytes fetched per read: one read usually covers a SOT, its tile-part header and SOD.
constexpr std::size_t kChunk = 1024;

// A finding's message, put together only when a test fails: most tests pass, and a tiled
// codestream runs some for each of thousands of tile-parts.
template <typename... Parts>
struct Message {
    std::tuple<Parts...> parts;
    std::string str() const {
        std::ostringstream out;
        std::apply([&out](const auto&... part) { (out << ... << part); }, parts);
        return out.str();
    }
};
template <typename... Parts>
Message<std::decay_t<const Parts&>...> cat(const Parts&... parts) {
    return {{parts...}};
}
std::string text(std::string_view message) {
    return std::string(message);
}
template <typename... Parts>
std::string text(const Message<Parts...>& message) {
    return message.str();
}

// The codestream read through a chunk buffer: a position within the codestream in, the bytes
// there out, never past the codestream's end. Tile data is passed over by the caller's jumps.
class Cursor {
  public:
    Cursor(ByteStream& stream, std::uint64_t base, std::uint64_t length)
        : stream_(stream), base_(base), length_(length) {}

    std::uint64_t length() const { return length_; }

    // `count` bytes at `pos`; empty when they pass the end or the stream fails.
    std::span<const std::uint8_t> at(std::uint64_t pos, std::size_t count) {
        if (pos > length_ || count > length_ - pos) {
            return {};
        }
        if (pos < bufferPos_ || pos + count > bufferPos_ + buffer_.size()) {
            const std::uint64_t size =
                std::min<std::uint64_t>(std::max(count, kChunk), length_ - pos);
            buffer_.resize(static_cast<std::size_t>(size));
            bufferPos_ = pos;
            if (!stream_.seek(base_ + pos)) {
                buffer_.clear();
                return {};
            }
            stream_.readBytes(buffer_.data(), static_cast<std::uint32_t>(size));
            if (!stream_.good()) {
                buffer_.clear();
                return {};
            }
        }
        return std::span<const std::uint8_t>(buffer_).subspan(
            static_cast<std::size_t>(pos - bufferPos_), count);
    }
    // The marker at `pos`, or 0 when none fits.
    std::uint16_t marker(std::uint64_t pos) {
        const auto bytes = at(pos, 2);
        return bytes.empty() ? 0 : loadU16(bytes.data());
    }

  private:
    ByteStream& stream_;
    std::uint64_t base_;
    std::uint64_t length_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t bufferPos_ = 0;
};

// A marker segment: its marker, where it starts, its length field and its fields after it.
struct Segment {
    std::uint16_t marker = 0;
    std::uint64_t pos = 0;
    std::uint16_t length = 0;
    std::vector<std::uint8_t> body;
    std::uint64_t end() const { return pos + 2 + length; }
};

std::string markerName(std::uint16_t marker) {
    const std::size_t row = findMarkerRow(static_cast<std::uint8_t>(marker & 0xFF));
    if ((marker >> 8) == kMarkerPrefix && row < kMarkerRowCount && row != 0) {
        return kMarkerTable[row].name;
    }
    std::ostringstream out;
    out << "0x" << std::hex << std::uppercase << marker;
    return out.str();
}

// Rsiz's values in the standard and its amendments, bit 14 (CAP) aside: with bit 15 the
// extended coding tools in any combination; else profiles 0 and 1, the cinema and long-term
// storage profiles (3 to 7), broadcast (0x01, 0x02, 0x03 with a main level of 0 to 11 in the low
// nibble), IMF (0x04 to 0x09, a sub level of 0 to 9 and a main level of 0 to 11), or the
// profile given by PRF.
bool rsizIsKnown(std::uint16_t rsiz) {
    if ((rsiz & kRsizExtensions) != 0) {
        return true;
    }
    const unsigned profile = rsiz & static_cast<unsigned>(~kRsizCap);
    const unsigned family = profile >> 8, subLevel = (profile >> 4) & 0x0F,
                   mainLevel = profile & 0x0F;
    return profile <= 7 || profile == kRsizProfileInPrf ||
           (family >= 1 && family <= 3 && subLevel == 0 && mainLevel <= 11) ||
           (family >= 4 && family <= 9 && subLevel <= 9 && mainLevel <= 11);
}

class Checker {
  public:
    Checker(ByteStream& stream, std::uint64_t offset, std::uint64_t length, const std::string& box,
            Findings& findings)
        : cursor_(stream, offset, length), base_(offset), box_(box), findings_(findings) {}

    std::optional<CodestreamFacts> run();

  private:
    template <typename M>
    bool error(std::string_view test, bool ok, const M& message, std::uint64_t pos) {
        return record(test, ok, Severity::Error, message, pos);
    }
    template <typename M>
    bool warning(std::string_view test, bool ok, const M& message, std::uint64_t pos) {
        return record(test, ok, Severity::Warning, message, pos);
    }
    template <typename M>
    bool record(std::string_view test, bool ok, Severity severity, const M& message,
                std::uint64_t pos) {
        // A test of what should follow the codestream's end (SIZ after a lone SOC) points at
        // that end, not past the file.
        pos = std::min(pos, cursor_.length());
        if (ok) {
            return findings_.check(test, true, severity, {}, box_, base_ + pos);
        }
        const std::uint32_t failures = ++failures_[test];
        if (failures > kMaxFailuresListed) {
            return false;
        }
        std::string line = text(message);
        if (failures == kMaxFailuresListed) {
            line += " (later failures of this test are not listed)";
        }
        return findings_.check(test, false, severity, line, box_, base_ + pos);
    }
    std::optional<Segment> readSegment(std::uint64_t pos, std::uint64_t limit);
    // True when the header goes on after this segment.
    void checkHeaderSegment(const Segment& segment, bool tilePart);
    void checkSiz(const Segment& segment);
    void checkCod(const Segment& segment);
    void checkCoc(const Segment& segment);
    void checkCodeBlocks(ByteReader& fields, std::uint8_t scod, std::uint64_t pos);
    void checkRgn(const Segment& segment);
    // A COC's or QCC's component: one of SIZ's, named once in a header (`seen`).
    void checkComponentOnce(std::string_view rangeTest, std::string_view onceTest,
                            std::string_view marker, std::uint16_t component,
                            std::vector<bool>& seen, std::uint64_t pos);
    // QCD's and QCC's quantization style, and the length it needs for what follows it.
    void checkQuantization(std::string_view lengthTest, std::string_view lengthName,
                           std::uint16_t length, std::uint8_t style, std::size_t rest,
                           std::uint64_t pos);
    void checkQcd(const Segment& segment);
    void checkQcc(const Segment& segment);
    void checkPoc(const Segment& segment);
    void checkCrg(const Segment& segment);
    void checkCom(const Segment& segment);
    void checkCap(const Segment& segment);
    // PRF and CPF: one or more 16-bit fields after the length.
    void checkProfileSegment(const Segment& segment, std::string_view test);
    void checkTlm(const Segment& segment);
    void checkPlm(const Segment& segment);
    void checkTlmEntry(std::uint16_t isot, std::uint64_t pos, std::uint64_t length);
    // Reads a component index: one byte for fewer than 257 components, else two.
    std::uint16_t component(ByteReader& fields) const;
    std::size_t componentBytes() const { return csiz_ < 257 ? 1 : 2; }
    void walkTileParts(std::uint64_t pos);
    // Checks one tile-part from its SOT at `pos`; the position after it, or none when the
    // walk cannot go on.
    std::optional<std::uint64_t> checkTilePart(std::uint64_t pos);
    // Counts a tile-part of tile `isot` and tests its place among the tile's.
    void noteTilePart(std::uint16_t isot, std::uint8_t tpsot, std::uint8_t tnsot,
                      std::uint64_t pos);
    void resetHeader() {
        cocSeen_.assign(csiz_, false);
        qccSeen_.assign(csiz_, false);
    }

    Cursor cursor_;
    std::uint64_t base_;
    const std::string& box_;
    Findings& findings_;
    std::optional<ImageSize> siz_;
    std::uint16_t csiz_ = 0;
    std::uint32_t tileCount_ = 0;
    bool hasCap_ = false;
    bool hasPrf_ = false;
    // Components named by COC and QCC in the header being read, at most one each.
    std::vector<bool> cocSeen_;
    std::vector<bool> qccSeen_;
    // One small record per tile of the grid.
    struct TileState {
        std::uint8_t parts = 0;  // tile-parts found, up to 255
        std::uint8_t tnsot = 0;  // the first non-zero TNsot found
        // Some writers list a whole tile's packets in the PLT of its first tile-part; that
        // is judged once the tile's data has all been seen.
        bool pltMismatch = false;
        std::uint64_t pltBytes = 0;
        std::uint64_t dataBytes = 0;
        std::uint64_t pltFirstPos = 0;
    };
    std::vector<TileState> tiles_;
    std::uint32_t tilesFound_ = 0;
    std::uint64_t strayTileParts_ = 0;  // of tiles outside the grid
    std::uint64_t tilePartsFound_ = 0;
    // TLM's entries by Ztlm, then in tile-part order: the tile (kImpliedTile when Stlm
    // implies it) in the high, Ptlm in the low 32 bits.
    std::vector<std::pair<std::uint8_t, std::vector<std::uint64_t>>> tlmSegments_;
    std::vector<std::uint64_t> tlm_;
    bool tlmUsable_ = true;
    std::uint64_t tlmMismatches_ = 0;
    std::string tlmFirstMismatch_;
    std::uint64_t tlmFirstPos_ = 0;
    // PLM's packet lengths added up per tile-part, by Zplm, then in tile-part order.
    std::vector<std::pair<std::uint8_t, std::vector<std::uint64_t>>> plmSegments_;
    std::vector<std::uint64_t> plm_;
    bool plmUsable_ = true;
    std::uint64_t plmStored_ = 0;
    std::uint64_t plmMismatches_ = 0;
    std::string plmFirstMismatch_;
    std::uint64_t plmFirstPos_ = 0;
    std::map<std::string_view, std::uint32_t> failures_;  // test names are literals
    bool hasPpm_ = false;
    bool hasPpt_ = false;
    std::array<bool, 256> mainMarkers_{};
    std::array<std::uint32_t, 256> tilePartMarkers_{};
};

std::optional<Segment> Checker::readSegment(std::uint64_t pos, std::uint64_t limit) {
    Segment segment;
    segment.pos = pos;
    const auto head = cursor_.at(pos, 4);
    if (head.empty() || pos + 4 > limit) {
        error("markerSegmentIsComplete", false,
              cat("the marker segment at ", pos, " is cut short by the end of its header"), pos);
        return std::nullopt;
    }
    segment.marker = loadU16(head.data());
    segment.length = loadU16(head.data() + 2);
    if (!error("markerSegmentIsComplete", segment.length >= 2 && segment.end() <= limit,
               cat(markerName(segment.marker), " gives a length of ", segment.length,
                   ", which does not fit the ", limit - pos, " bytes left"),
               pos)) {
        return std::nullopt;
    }
    const auto body = cursor_.at(pos + 4, segment.length - 2u);
    segment.body.assign(body.begin(), body.end());
    return segment;
}

std::uint16_t Checker::component(ByteReader& fields) const {
    std::uint16_t index = 0;
    if (csiz_ < 257) {
        std::uint8_t narrow = 0;
        fields.u8(narrow);
        index = narrow;
    } else {
        fields.u16(index);
    }
    return index;
}

void Checker::checkSiz(const Segment& s) {
    const std::uint64_t p = s.pos;
    error("lsizIsValid", s.length >= 41 && s.length <= 49190,
          cat("Lsiz is ", s.length, "; 41 to 49190 expected"), p);
    siz_ = decodeSiz(s.body);
    if (!siz_) {
        return;
    }
    const ImageSize& z = *siz_;
    csiz_ = z.csiz;
    // The per-component records follow Csiz at once: checks below may return early.
    resetHeader();
    error("rsizIsValid", rsizIsKnown(z.rsiz),
          cat("Rsiz is 0x", std::hex, z.rsiz, std::dec, ", a value no edition defines"), p);
    error("xsizIsValid", z.xsiz >= 1, "Xsiz is 0", p);
    error("ysizIsValid", z.ysiz >= 1, "Ysiz is 0", p);
    error("xOsizIsValid", z.xosiz < z.xsiz,
          cat("XOsiz ", z.xosiz, " leaves no image before Xsiz ", z.xsiz), p);
    error("yOsizIsValid", z.yosiz < z.ysiz,
          cat("YOsiz ", z.yosiz, " leaves no image before Ysiz ", z.ysiz), p);
    error("xTsizIsValid", z.xtsiz >= 1, "XTsiz is 0", p);
    error("yTsizIsValid", z.ytsiz >= 1, "YTsiz is 0", p);
    // The first tile must hold the image's first column and row.
    const std::uint64_t tileEndX = std::uint64_t{z.xtosiz} + z.xtsiz;
    const std::uint64_t tileEndY = std::uint64_t{z.ytosiz} + z.ytsiz;
    error("xTOsizIsValid", z.xtosiz <= z.xosiz && tileEndX > z.xosiz,
          cat("XTOsiz ", z.xtosiz, " with XTsiz ", z.xtsiz, " misses XOsiz ", z.xosiz), p);
    error("yTOsizIsValid", z.ytosiz <= z.yosiz && tileEndY > z.yosiz,
          cat("YTOsiz ", z.ytosiz, " with YTsiz ", z.ytsiz, " misses YOsiz ", z.yosiz), p);
    error("csizIsValid", z.csiz >= 1 && z.csiz <= 16384,
          cat("Csiz is ", z.csiz, "; 1 to 16384 expected"), p);
    error("lsizConsistentWithCsiz", s.length == 38u + 3u * z.csiz,
          cat("Lsiz is ", s.length, " but Csiz ", z.csiz, " needs ", 38u + 3u * z.csiz), p);
    for (std::size_t i = 0; i < z.components.size(); ++i) {
        const SizComponent& c = z.components[i];
        error("ssizIsValid", (c.ssiz & 0x7F) < 38,
              cat("component ", i, " has a depth of ", (c.ssiz & 0x7F) + 1, " bits; 1 to 38"), p);
        error("xRsizIsValid", c.dx >= 1, cat("component ", i, " has XRsiz 0"), p);
        error("yRsizIsValid", c.dy >= 1, cat("component ", i, " has YRsiz 0"), p);
    }
    if (z.xtsiz == 0 || z.ytsiz == 0 || z.xtosiz > z.xsiz || z.ytosiz > z.ysiz) {
        return;
    }
    const std::uint64_t across = (std::uint64_t{z.xsiz} - z.xtosiz + z.xtsiz - 1) / z.xtsiz;
    const std::uint64_t down = (std::uint64_t{z.ysiz} - z.ytosiz + z.ytsiz - 1) / z.ytsiz;
    if (error("numberOfTilesIsValid", across * down <= std::uint64_t(kMaxTileCount),
              cat("SIZ makes ", across, " x ", down, " tiles; Isot addresses at most ",
                  kMaxTileCount),
              p)) {
        tileCount_ = static_cast<std::uint32_t>(across * down);
    }
}

// SPcod and SPcoc: levels, code-block size and style, transform and the precincts.
void Checker::checkCodeBlocks(ByteReader& f, std::uint8_t style, std::uint64_t p) {
    std::uint8_t levels = 0, xcb = 0, ycb = 0, cbStyle = 0, transform = 0;
    f.u8(levels);
    f.u8(xcb);
    f.u8(ycb);
    f.u8(cbStyle);
    f.u8(transform);
    if (!f.ok()) {
        return;
    }
    error("levelsIsValid", levels <= 32, cat(levels, " decomposition levels; at most 32"), p);
    error("codeBlockWidthExponentIsValid", xcb <= 8,
          cat("code-block width exponent ", xcb + 2, "; 2 to 10"), p);
    error("codeBlockHeightExponentIsValid", ycb <= 8,
          cat("code-block height exponent ", ycb + 2, "; 2 to 10"), p);
    error("sumHeightWidthExponentIsValid", xcb + ycb <= 8,
          cat("code-block exponents ", xcb + 2, " + ", ycb + 2, " exceed 12"), p);
    error("transformationIsValid", transform <= 1, cat("transformation ", transform, "; 0 or 1"),
          p);
    if ((style & 1) == 0) {
        return;
    }
    for (int r = 0; r <= levels && f.remaining() > 0; ++r) {
        std::uint8_t precinct = 0;
        f.u8(precinct);
        // Only the lowest resolution may have precincts of 1 (exponent 0).
        error("precinctSizeXIsValid", r == 0 || (precinct & 0x0F) != 0,
              cat("resolution ", r, " has precinct width exponent 0"), p);
        error("precinctSizeYIsValid", r == 0 || (precinct >> 4) != 0,
              cat("resolution ", r, " has precinct height exponent 0"), p);
    }
}

void Checker::checkCod(const Segment& s) {
    const std::uint64_t p = s.pos;
    error("lcodIsValid", s.length >= 12 && s.length <= 45,
          cat("Lcod is ", s.length, "; 12 to 45 expected"), p);
    const auto cod = decodeCod(s.body);
    if (!cod) {
        return;
    }
    error("orderIsValid", cod->progression <= 4,
          cat("progression order ", cod->progression, "; 0 to 4"), p);
    error("layersIsValid", cod->layers >= 1, "0 quality layers", p);
    error("multipleComponentTransformationIsValid", cod->multipleComponentTransform <= 1,
          cat("multiple component transformation ", cod->multipleComponentTransform, "; 0 or 1"),
          p);
    const unsigned expected = (cod->scod & 1) != 0 ? 13u + cod->levels : 12u;
    error("lcodConsistencyCheck", s.length == expected,
          cat("Lcod is ", s.length, " but Scod and the levels need ", expected), p);
    ByteReader f(std::span<const std::uint8_t>(s.body).subspan(5));
    checkCodeBlocks(f, cod->scod, p);
}

void Checker::checkComponentOnce(std::string_view rangeTest, std::string_view onceTest,
                                 std::string_view marker, std::uint16_t c, std::vector<bool>& seen,
                                 std::uint64_t p) {
    if (error(rangeTest, c < csiz_, cat(marker, " names component ", c, " of ", csiz_), p)) {
        error(onceTest, !seen[c], cat("a second ", marker, " for component ", c, " in one header"),
              p);
        seen[c] = true;
    }
}

void Checker::checkCoc(const Segment& s) {
    const std::uint64_t p = s.pos;
    error("lcocIsValid", s.length >= 9 && s.length <= 43,
          cat("Lcoc is ", s.length, "; 9 to 43 expected"), p);
    ByteReader f(s.body);
    const std::uint16_t c = component(f);
    std::uint8_t scoc = 0, levels = 0;
    f.u8(scoc);
    f.u8(levels);
    if (!f.ok()) {
        return;
    }
    checkComponentOnce("ccocIsValid", "maxOneCcocPerComponent", "COC", c, cocSeen_, p);
    const unsigned expected =
        static_cast<unsigned>(8 + componentBytes()) + ((scoc & 1) != 0 ? 1u + levels : 0u);
    error("lcocConsistencyCheck", s.length == expected,
          cat("Lcoc is ", s.length, " but Scoc and the levels need ", expected), p);
    ByteReader rest(std::span<const std::uint8_t>(s.body).subspan(componentBytes() + 1));
    checkCodeBlocks(rest, scoc, p);
}

void Checker::checkRgn(const Segment& s) {
    const std::uint64_t p = s.pos;
    error("lrgnIsValid", s.length == 4 + componentBytes(),
          cat("Lrgn is ", s.length, "; ", 4 + componentBytes(), " for ", csiz_, " components"), p);
    ByteReader f(s.body);
    const std::uint16_t c = component(f);
    std::uint8_t style = 0, shift = 0;
    f.u8(style);
    f.u8(shift);
    if (!f.ok()) {
        return;
    }
    error("crgnIsValid", c < csiz_, cat("RGN names component ", c, " of ", csiz_), p);
    error("roiStyleIsValid", style == 0, cat("ROI style ", style, "; 0 expected"), p);
    // A shift past the 38 bits a sample can hold plus the ROI's own bits shifts nothing in.
    error("roiShiftIsValid", shift <= 37 + 38, cat("ROI shift ", shift, " bits"), p);
}

// Sqcd/Sqcc and the step sizes after it: the style fixes how many bytes follow.
bool quantizationFits(std::uint8_t style, std::size_t rest) {
    switch (style & 0x1F) {
        case 0:
            return rest >= 1;
        case 1:
            return rest == 2;
        case 2:
            return rest >= 2 && rest % 2 == 0;
        default:
            return true;
    }
}

void Checker::checkQuantization(std::string_view lengthTest, std::string_view lengthName,
                                std::uint16_t length, std::uint8_t style, std::size_t rest,
                                std::uint64_t p) {
    error("qStyleIsValid", (style & 0x1F) <= 2,
          cat("quantization style ", style & 0x1F, "; 0 to 2"), p);
    error(lengthTest, quantizationFits(style, rest),
          cat(lengthName, " ", length, " does not fit quantization style ", style & 0x1F), p);
}

void Checker::checkQcd(const Segment& s) {
    const std::uint64_t p = s.pos;
    error("lqcdIsValid", s.length >= 4 && s.length <= 197,
          cat("Lqcd is ", s.length, "; 4 to 197 expected"), p);
    if (s.body.empty()) {
        return;
    }
    const std::uint8_t sqcd = s.body[0];
    checkQuantization("lqcdConsistencyCheck", "Lqcd", s.length, sqcd, s.body.size() - 1, p);
}

void Checker::checkQcc(const Segment& s) {
    const std::uint64_t p = s.pos;
    error("lqccIsValid", s.length >= 5 && s.length <= 199,
          cat("Lqcc is ", s.length, "; 5 to 199 expected"), p);
    ByteReader f(s.body);
    const std::uint16_t c = component(f);
    std::uint8_t sqcc = 0;
    if (!f.u8(sqcc)) {
        return;
    }
    checkComponentOnce("cqccIsValid", "maxOneCqccPerComponent", "QCC", c, qccSeen_, p);
    checkQuantization("lqccConsistencyCheck", "Lqcc", s.length, sqcc, f.remaining(), p);
}

void Checker::checkPoc(const Segment& s) {
    const std::uint64_t p = s.pos;
    const std::size_t entry = 5 + 2 * componentBytes();
    error("lpocIsValid", s.length >= 2 + entry && (s.length - 2u) % entry == 0,
          cat("Lpoc is ", s.length, "; 2 plus a multiple of ", entry), p);
    ByteReader f(s.body);
    while (f.remaining() >= entry) {
        std::uint8_t rs = 0, re = 0, order = 0;
        std::uint16_t layers = 0;
        f.u8(rs);
        const std::uint16_t cs = component(f);
        f.u16(layers);
        f.u8(re);
        const std::uint16_t ce = component(f);
        f.u8(order);
        error("rspocIsValid", rs <= 32, cat("RSpoc ", rs, "; 0 to 32"), p);
        error("cspocIsValid", cs < csiz_, cat("CSpoc ", cs, " of ", csiz_, " components"), p);
        error("lyepocIsValid", layers >= 1, "LYEpoc is 0", p);
        error("repocIsValid", re > rs && re <= 33, cat("REpoc ", re, " after RSpoc ", rs), p);
        // 0 stands for 256 (or 16384 with two-byte indices).
        const unsigned end = ce == 0 ? (csiz_ < 257 ? 256u : 16384u) : ce;
        error("cepocIsValid", end > cs, cat("CEpoc ", ce, " after CSpoc ", cs), p);
        error("orderIsValid", order <= 4, cat("progression order ", order, "; 0 to 4"), p);
    }
}

void Checker::checkCrg(const Segment& s) {
    const std::uint64_t p = s.pos;
    error("lcrgIsValid", s.length == 2u + 4u * csiz_,
          cat("Lcrg is ", s.length, " but ", csiz_, " components need ", 2u + 4u * csiz_), p);
    // Offsets are fractions of a sample's separation: each component needs its pair.
    ByteReader f(s.body);
    for (std::uint16_t i = 0; i < csiz_; ++i) {
        std::uint16_t x = 0, y = 0;
        error("xcrgIsValid", f.u16(x), cat("CRG holds no horizontal offset for component ", i), p);
        error("ycrgIsValid", f.u16(y), cat("CRG holds no vertical offset for component ", i), p);
        if (!f.ok()) {
            break;
        }
    }
}

void Checker::checkCom(const Segment& s) {
    const std::uint64_t p = s.pos;
    error("lcomIsValid", s.length >= 5, cat("Lcom is ", s.length, "; at least 5"), p);
    ByteReader f(s.body);
    std::uint16_t rcom = 0;
    if (!f.u16(rcom)) {
        return;
    }
    error("rcomIsValid", rcom <= 1, cat("Rcom is ", rcom, "; 0 or 1"), p);
    if (rcom == 1) {
        const auto text = f.rest();
        const auto bad = std::find_if(text.begin(), text.end(), [](std::uint8_t c) {
            return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
        });
        warning(
            "commentIsValid", bad == text.end(),
            cat("a Latin-1 comment holds control character ", bad == text.end() ? 0 : int{*bad}),
            p);
    }
}

void Checker::checkCap(const Segment& s) {
    ByteReader f(s.body);
    std::uint32_t pcap = 0;
    f.u32(pcap);
    const unsigned expected = 6u + 2u * static_cast<unsigned>(std::popcount(pcap));
    error("lcapIsValid", f.ok() && s.length == expected,
          cat("Lcap is ", s.length, " but Pcap ", pcap, " needs ", expected), s.pos);
}

void Checker::checkProfileSegment(const Segment& s, std::string_view test) {
    error(test, s.length >= 4 && s.length % 2 == 0,
          cat(markerName(s.marker), " length ", s.length, "; 2 plus two bytes a profile field"),
          s.pos);
}

void Checker::checkTlm(const Segment& s) {
    ByteReader f(s.body);
    std::uint8_t z = 0, stlm = 0;
    f.u8(z);
    f.u8(stlm);
    const std::size_t tileBytes = (stlm >> 4) & 3;
    const std::size_t lengthBytes = (stlm & 0x40) != 0 ? 4 : 2;
    const bool unique = std::none_of(tlmSegments_.begin(), tlmSegments_.end(),
                                     [z](const auto& seen) { return seen.first == z; });
    if (!error("tlmIsValid",
               f.ok() && tileBytes != 3 && (stlm & 0x8F) == 0 && unique &&
                   f.remaining() % (tileBytes + lengthBytes) == 0,
               cat("TLM ", int{z}, " with Stlm ", int{stlm}, " and Ltlm ", s.length,
                   unique ? " cannot be read" : " repeats its Ztlm"),
               s.pos)) {
        tlmUsable_ = false;
        return;
    }
    std::vector<std::uint64_t> entries;
    while (f.remaining() > 0 && tlmUsable_) {
        std::uint64_t tile = kImpliedTile, length = 0;
        if (tileBytes != 0) {
            f.uint(tileBytes, tile);
        }
        f.uint(lengthBytes, length);
        entries.push_back(tile << 32 | length);
        tlmUsable_ = entries.size() < kMaxTlmEntries;
    }
    tlmSegments_.emplace_back(z, std::move(entries));
}

void Checker::checkTlmEntry(std::uint16_t isot, std::uint64_t pos, std::uint64_t length) {
    const std::uint64_t k = tilePartsFound_;
    std::string mismatch;
    if (k >= tlm_.size()) {
        mismatch = cat("tile-part ", k, " has no TLM entry; TLM holds ", tlm_.size()).str();
    } else {
        const std::uint64_t tile = tlm_[k] >> 32 == kImpliedTile ? k : tlm_[k] >> 32;
        const std::uint64_t ptlm = tlm_[k] & 0xFFFFFFFF;
        if (tile != isot || ptlm != length) {
            mismatch = cat("TLM gives tile-part ", k, " tile ", tile, " and ", ptlm,
                           " bytes; it is of tile ", isot, " and ", length, " bytes")
                           .str();
        }
    }
    if (!mismatch.empty() && tlmMismatches_++ == 0) {
        tlmFirstMismatch_ = mismatch;
        tlmFirstPos_ = pos;
    }
}

void Checker::checkHeaderSegment(const Segment& s, bool tilePart) {
    const std::uint8_t code = static_cast<std::uint8_t>(s.marker & 0xFF);
    switch (code) {
        case kCodeCod:
            checkCod(s);
            return;
        case kCodeCoc:
            checkCoc(s);
            return;
        case kCodeQcd:
            checkQcd(s);
            return;
        case kCodeQcc:
            checkQcc(s);
            return;
        case kCodeRgn:
            checkRgn(s);
            return;
        case kCodePoc:
            checkPoc(s);
            return;
        case kCodeCom:
            checkCom(s);
            return;
        default:
            break;
    }
    const bool mainOnly = code == kCodeCrg || code == kCodeTlm || code == kCodePlm ||
                          code == kCodePpm || code == kCodeCap || code == kCodePrf ||
                          code == kCodeCpf;
    const bool tileOnly = code == kCodePlt || code == kCodePpt;
    if (tilePart) {
        error("markerAllowedInTilePartHeader", !mainOnly && code != kCodeSiz,
              cat(markerName(s.marker), " may not stand in a tile-part header"), s.pos);
    } else {
        error("markerAllowedInMainHeader", !tileOnly && code != kCodeSiz,
              cat(markerName(s.marker), " may not stand in the main header"), s.pos);
    }
    hasPpm_ = hasPpm_ || code == kCodePpm;
    hasPpt_ = hasPpt_ || code == kCodePpt;
    if (code == kCodeTlm && !tilePart) {
        checkTlm(s);
    } else if (code == kCodePlm && !tilePart) {
        checkPlm(s);
    } else if (code == kCodeCrg && !tilePart) {
        checkCrg(s);
    } else if (code == kCodeCap && !tilePart) {
        hasCap_ = true;
        checkCap(s);
    } else if (code == kCodePrf && !tilePart) {
        hasPrf_ = true;
        checkProfileSegment(s, "lprfIsValid");
    } else if (code == kCodeCpf && !tilePart) {
        checkProfileSegment(s, "lcpfIsValid");
    }
    warning("markerIsKnown", mainOnly || tileOnly || code == kCodeSiz,
            cat("unknown marker ", markerName(s.marker), " with a segment of ", s.length, " bytes"),
            s.pos);
}

// Adds up packet lengths of PLT or PLM: seven bits a byte, the high bit set on all but a
// length's last byte. False when the last length is left open.
bool addPacketLengths(std::span<const std::uint8_t> bytes, std::uint64_t& sum) {
    std::uint64_t value = 0;
    for (const std::uint8_t byte : bytes) {
        value = (value << 7) | (byte & 0x7Fu);
        if ((byte & 0x80) == 0) {
            sum += value;
            value = 0;
        }
    }
    return bytes.empty() || (bytes.back() & 0x80) == 0;
}

void Checker::checkPlm(const Segment& s) {
    // Zplm, then for each tile-part Nplm and its Nplm bytes of packet lengths.
    std::vector<std::uint64_t> sums;
    bool whole = !s.body.empty();
    for (std::size_t i = 1; i < s.body.size() && whole;) {
        const std::size_t count = s.body[i++];
        std::uint64_t sum = 0;
        whole = count <= s.body.size() - i &&
                addPacketLengths(std::span(s.body).subspan(i, count), sum);
        sums.push_back(sum);
        i += count;
    }
    error("plmIsValid", whole,
          cat("PLM's Nplm and packet lengths do not fit its ", s.length, " bytes"), s.pos);
    plmStored_ += sums.size();
    plmUsable_ = plmUsable_ && whole && plmStored_ <= kMaxTlmEntries;
    if (plmUsable_) {
        plmSegments_.emplace_back(s.body[0], std::move(sums));
    } else {
        plmSegments_.clear();
    }
}

// Markers only a tile's first tile-part may hold, and the tests naming them.
constexpr std::pair<std::uint8_t, std::string_view> kFirstTilePartOnly[] = {
    {kCodeCod, "codInFirstTilePartOnly"},
    {kCodeCoc, "cocInFirstTilePartOnly"},
    {kCodeQcd, "qcdInFirstTilePartOnly"},
    {kCodeQcc, "qccInFirstTilePartOnly"},
    {kCodeRgn, "rgnInFirstTilePartOnly"}};

std::optional<std::uint64_t> Checker::checkTilePart(std::uint64_t pos) {
    const std::uint64_t length = cursor_.length();
    const auto sot = readSegment(pos, length);
    if (!sot) {
        return std::nullopt;
    }
    ByteReader f(sot->body);
    std::uint16_t isot = 0;
    std::uint32_t psot = 0;
    std::uint8_t tpsot = 0, tnsot = 0;
    f.u16(isot);
    f.u32(psot);
    f.u8(tpsot);
    f.u8(tnsot);
    if (!error("lsotIsValid", sot->length == 10 && f.ok(), cat("Lsot is ", sot->length, "; 10"),
               pos)) {
        return std::nullopt;
    }
    error("isotIsValid", isot < tileCount_,
          cat("Isot ", isot, " names no tile of the ", tileCount_), pos);
    error("psotIsValid", psot == 0 || psot >= 14, cat("Psot ", psot, " cannot hold SOT and SOD"),
          pos);
    error("tpsotIsValid", tpsot <= 254, "TPsot is 255", pos);
    // Psot 0: the tile-part runs to the end marker, so it must be the last.
    const std::uint64_t end = psot == 0 ? length - std::min<std::uint64_t>(length, 2) : pos + psot;
    if (!error("foundNextTilePartOrEOC", end <= length,
               cat("Psot ", psot, " runs ", end - length, " bytes past the codestream's end"),
               pos)) {
        // Its SOT stands, so its tile is found, though its data is cut.
        noteTilePart(isot, tpsot, tnsot, pos);
        return std::nullopt;
    }
    resetHeader();
    std::uint64_t at = sot->end();
    bool foundSod = false, hasPlt = false, pltOpen = false;
    std::uint64_t packetBytes = 0;
    std::array<bool, 256> here{};  // each marker counted once a tile-part header
    while (at + 2 <= end) {
        const std::uint16_t marker = cursor_.marker(at);
        if (marker == fullMarker(kCodeSod)) {
            foundSod = true;
            break;
        }
        if ((marker >> 8) == kMarkerPrefix && !here[marker & 0xFF]) {
            here[marker & 0xFF] = true;
            ++tilePartMarkers_[marker & 0xFF];
        }
        if (!error("foundNextMarker", (marker >> 8) == kMarkerPrefix,
                   cat("no marker where the tile-part header goes on at ", at), at)) {
            break;
        }
        if (isBareMarker(marker)) {
            at += 2;
            continue;
        }
        const auto segment = readSegment(at, end);
        if (!segment) {
            break;
        }
        const std::uint8_t code = static_cast<std::uint8_t>(marker & 0xFF);
        for (const auto& [only, test] : kFirstTilePartOnly) {
            if (code == only) {
                error(test, tpsot == 0,
                      cat(markerName(marker), " in tile-part ", int{tpsot}, " of tile ", isot,
                          "; only the first may hold it"),
                      at);
            }
        }
        if (code == kCodePlt) {
            hasPlt = true;
            pltOpen = !addPacketLengths(std::span(segment->body).subspan(1), packetBytes);
        }
        checkHeaderSegment(*segment, true);
        at = segment->end();
    }
    error("foundSODMarker", foundSod, cat("tile-part of tile ", isot, " has no SOD"), pos);
    if (foundSod && isot < tiles_.size()) {
        TileState& tile = tiles_[isot];
        tile.dataBytes += end - std::min(end, at + 2);
        tile.pltBytes += hasPlt ? packetBytes : 0;
    }
    if (foundSod && hasPlt) {
        const std::uint64_t data = end - std::min(end, at + 2);
        const bool ok = !pltOpen && packetBytes == data;
        if (!ok && !pltOpen && isot < tiles_.size()) {
            TileState& tile = tiles_[isot];
            tile.pltFirstPos = tile.pltMismatch ? tile.pltFirstPos : pos;
            tile.pltMismatch = true;
        } else {
            error("pltIsConsistent", ok,
                  cat("PLT's packets add up to ", packetBytes, " bytes",
                      pltOpen ? " and one open" : "", "; tile-part ", int{tpsot}, " of tile ", isot,
                      " holds ", data),
                  pos);
        }
    }
    if (!tlm_.empty() || !tlmSegments_.empty()) {
        checkTlmEntry(isot, pos, end - pos);
    }
    const std::uint64_t data = foundSod ? end - std::min(end, at + 2) : 0;
    if (!plm_.empty() && (tilePartsFound_ >= plm_.size() || plm_[tilePartsFound_] != data) &&
        plmMismatches_++ == 0) {
        plmFirstMismatch_ =
            cat("PLM's packets for tile-part ", tilePartsFound_, " add up to ",
                tilePartsFound_ < plm_.size() ? std::to_string(plm_[tilePartsFound_]) : "nothing",
                " bytes; it holds ", data)
                .str();
        plmFirstPos_ = pos;
    }
    const std::uint16_t next = cursor_.marker(end);
    const bool nextFound =
        next == fullMarker(kCodeEoc) || (psot != 0 && next == fullMarker(kCodeSot));
    // Psot 0 ends the tile-part at EOC itself, which foundEOCMarker tests.
    if (psot != 0) {
        error("foundNextTilePartOrEOC", nextFound,
              cat("no SOT or EOC where Psot ", psot, " ends the tile-part, at ", end), pos);
    }
    noteTilePart(isot, tpsot, tnsot, pos);
    if (!nextFound || next == fullMarker(kCodeEoc)) {
        return std::nullopt;
    }
    return end;
}

void Checker::noteTilePart(std::uint16_t isot, std::uint8_t tpsot, std::uint8_t tnsot,
                           std::uint64_t pos) {
    ++tilePartsFound_;
    strayTileParts_ += isot < tiles_.size() ? 0 : 1;
    if (isot < tiles_.size()) {
        TileState& tile = tiles_[isot];
        error("tilePartsInOrder", tpsot == tile.parts || tile.parts == 255,
              cat("tile ", isot, " has tile-part ", int{tpsot}, " where ", int{tile.parts},
                  " is next"),
              pos);
        error("tnsotIsConsistent",
              tnsot == 0 || (tpsot < tnsot && (tile.tnsot == 0 || tile.tnsot == tnsot)),
              cat("tile-part ", int{tpsot}, " of tile ", isot, " gives TNsot ", int{tnsot},
                  tpsot >= tnsot ? ", too few to hold it" : "; an earlier tile-part gave ",
                  tpsot >= tnsot ? std::string() : std::to_string(tile.tnsot)),
              pos);
        tilesFound_ += tile.parts == 0 ? 1 : 0;
        tile.parts = static_cast<std::uint8_t>(std::min(tile.parts + 1, 255));
        if (tile.tnsot == 0) {
            tile.tnsot = tnsot;
        }
    }
}

void Checker::walkTileParts(std::uint64_t pos) {
    tiles_.assign(tileCount_, {});
    std::stable_sort(tlmSegments_.begin(), tlmSegments_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& segment : tlmSegments_) {
        tlm_.insert(tlm_.end(), segment.second.begin(), segment.second.end());
    }
    std::stable_sort(plmSegments_.begin(), plmSegments_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& segment : plmSegments_) {
        plm_.insert(plm_.end(), segment.second.begin(), segment.second.end());
    }
    plmSegments_.clear();
    if (!plmUsable_) {
        plm_.clear();
    }
    const bool hasTlm = !tlmSegments_.empty();
    tlmSegments_.clear();
    tlmSegments_.shrink_to_fit();
    if (!tlmUsable_) {
        tlm_.clear();
    }
    std::optional<std::uint64_t> at = pos;
    while (at && cursor_.marker(*at) == fullMarker(kCodeSot)) {
        at = checkTilePart(*at);
    }
    error("foundExpectedNumberOfTiles", tilesFound_ == tileCount_ && strayTileParts_ == 0,
          cat("tile-parts name ", tilesFound_, " of the ", tileCount_, " tiles and ",
              strayTileParts_, " tile-parts name none of them"),
          pos);
    // Where tile-parts give their tiles' counts, a tile with none found is short too.
    const bool countsGiven = std::any_of(tiles_.begin(), tiles_.end(),
                                         [](const TileState& tile) { return tile.tnsot != 0; });
    std::uint32_t short_ = 0, first = 0;
    for (std::uint32_t i = 0; i < tiles_.size(); ++i) {
        if ((tiles_[i].tnsot != 0 && tiles_[i].parts != tiles_[i].tnsot) ||
            (countsGiven && tiles_[i].parts == 0)) {
            first = short_ == 0 ? i : first;
            ++short_;
        }
    }
    // Tile-parts of tiles outside the grid leave the grid's counts unknowable.
    error("foundExpectedNumberOfTileParts", short_ == 0 && strayTileParts_ == 0,
          cat(short_, " tiles have other than TNsot tile-parts (the first is tile ", first,
              " with ", short_ ? tiles_[first].parts : 0, " of ", short_ ? tiles_[first].tnsot : 0,
              "); ", strayTileParts_, " tile-parts of tiles outside the grid"),
          pos);
    for (std::uint32_t i = 0; i < tiles_.size(); ++i) {
        const TileState& tile = tiles_[i];
        if (tile.pltMismatch) {
            // Lengths that add up over the tile are readable, though not where they belong.
            record("pltIsConsistent", false,
                   tile.pltBytes == tile.dataBytes ? Severity::Warning : Severity::Error,
                   cat("PLT's packets of tile ", i, " do not add up to each tile-part's data; ",
                       tile.pltBytes, " bytes listed over the tile, which holds ", tile.dataBytes),
                   tile.pltFirstPos);
        }
    }
    if (!plm_.empty()) {
        if (plmMismatches_ == 0 && plm_.size() != tilePartsFound_) {
            plmFirstMismatch_ =
                cat("PLM describes ", plm_.size(), " tile-parts of ", tilePartsFound_).str();
            plmMismatches_ = 1;
        }
        error("plmIsConsistent", plmMismatches_ == 0,
              cat(plmFirstMismatch_, " (", plmMismatches_, " in all)"), plmFirstPos_);
    }
    if (hasTlm && tlmUsable_) {
        if (tlmMismatches_ == 0 && tlm_.size() > tilePartsFound_) {
            tlmFirstMismatch_ =
                cat("TLM holds ", tlm_.size(), " entries for ", tilePartsFound_, " tile-parts")
                    .str();
            tlmMismatches_ = 1;
        }
        error("tlmIsConsistent", tlmMismatches_ == 0,
              cat(tlmFirstMismatch_, " (", tlmMismatches_, " in all)"), tlmFirstPos_);
    }
    error("ppmAndPptNotBoth", !(hasPpm_ && hasPpt_), "both PPM and PPT hold packet headers", pos);
    const std::uint64_t length = cursor_.length();
    error("foundEOCMarker", length >= 2 && cursor_.marker(length - 2) == fullMarker(kCodeEoc),
          "the codestream does not end with EOC", length - std::min<std::uint64_t>(length, 2));
}

std::optional<CodestreamFacts> Checker::run() {
    const std::uint64_t length = cursor_.length();
    const bool soc =
        error("codestreamStartsWithSOCMarker", cursor_.marker(0) == fullMarker(kCodeSoc),
              "the codestream does not start with SOC", 0);
    if (!error("foundSIZMarker", cursor_.marker(2) == fullMarker(kCodeSiz),
               "SIZ does not follow SOC", 2) ||
        !soc) {
        return std::nullopt;
    }
    auto sizSegment = readSegment(2, length);
    if (!sizSegment) {
        return std::nullopt;
    }
    checkSiz(*sizSegment);
    if (!siz_) {
        return std::nullopt;
    }
    bool foundCod = false, foundQcd = false;
    std::uint64_t pos = sizSegment->end();
    for (;;) {
        const std::uint16_t marker = cursor_.marker(pos);
        if (marker == fullMarker(kCodeSot) || marker == fullMarker(kCodeEoc)) {
            break;
        }
        if (!error("foundNextMarker", (marker >> 8) == kMarkerPrefix,
                   cat("no marker where the main header goes on at ", pos), pos)) {
            break;
        }
        mainMarkers_[marker & 0xFF] = true;
        if (isBareMarker(marker)) {
            pos += 2;
            continue;
        }
        const auto segment = readSegment(pos, length);
        if (!segment) {
            break;
        }
        foundCod = foundCod || (marker & 0xFF) == kCodeCod;
        foundQcd = foundQcd || (marker & 0xFF) == kCodeQcd;
        checkHeaderSegment(*segment, false);
        pos = segment->end();
    }
    error("foundCODMarker", foundCod, "the main header has no COD", pos);
    error("foundQCDMarker", foundQcd, "the main header has no QCD", pos);
    error("capConsistentWithRsiz", hasCap_ == ((siz_->rsiz & kRsizCap) != 0),
          hasCap_ ? "CAP stands in the main header but Rsiz does not announce it"
                  : "Rsiz announces a CAP segment the main header lacks",
          2);
    // The profile field all ones means only PRF says which profile the codestream keeps.
    const bool prfAnnounced = (siz_->rsiz & kRsizExtensions) == 0 &&
                              (siz_->rsiz & kRsizProfileInPrf) == kRsizProfileInPrf;
    error("foundPRFMarker", hasPrf_ || !prfAnnounced,
          "Rsiz gives the profile to PRF, which the main header lacks", 2);
    warning("prfConsistentWithRsiz", !hasPrf_ || prfAnnounced,
            "PRF stands in the main header but Rsiz does not refer to it", 2);
    walkTileParts(pos);

    CodestreamFacts facts;
    facts.width = siz_->xsiz - std::min(siz_->xosiz, siz_->xsiz);
    facts.height = siz_->ysiz - std::min(siz_->yosiz, siz_->ysiz);
    for (const SizComponent& c : siz_->components) {
        facts.components.push_back(
            {static_cast<std::uint8_t>((c.ssiz & 0x7F) + 1), (c.ssiz & 0x80) != 0});
    }
    facts.mainHeaderMarkers = mainMarkers_;
    facts.mainHeaderMarkers[kCodeSoc] = true;
    facts.mainHeaderMarkers[kCodeSiz] = true;
    facts.tilePartMarkers = tilePartMarkers_;
    facts.tileParts = tilePartsFound_;
    for (const TileState& tile : tiles_) {
        if (tile.parts != 0) {
            facts.fewestTileParts =
                facts.fewestTileParts == 0
                    ? tile.parts
                    : std::min<std::uint32_t>(facts.fewestTileParts, tile.parts);
            facts.mostTileParts = std::max<std::uint32_t>(facts.mostTileParts, tile.parts);
        }
    }
    return facts;
}

}  // namespace

std::optional<CodestreamFacts> checkCodestream(ByteStream& stream, std::uint64_t offset,
                                               std::uint64_t length, const std::string& box,
                                               Findings& findings) {
    return Checker(stream, offset, length, box, findings).run();
}

}  // namespace bq
