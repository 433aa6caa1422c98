#include "codestream/main_header.h"

#include <span>

#include "formats/jp2_header_boxes.h"

namespace bq {

namespace {

constexpr std::uint16_t kSoc = 0xFF4F;
constexpr std::uint16_t kSiz = 0xFF51;
constexpr std::uint16_t kCod = 0xFF52;
constexpr std::uint16_t kCoc = 0xFF53;
constexpr std::uint16_t kTlm = 0xFF55;
constexpr std::uint16_t kPlm = 0xFF57;
constexpr std::uint16_t kQcd = 0xFF5C;
constexpr std::uint16_t kQcc = 0xFF5D;
constexpr std::uint16_t kRgn = 0xFF5E;
constexpr std::uint16_t kPoc = 0xFF5F;
constexpr std::uint16_t kPpm = 0xFF60;
constexpr std::uint16_t kCrg = 0xFF63;
constexpr std::uint16_t kCom = 0xFF64;
constexpr std::uint16_t kSot = 0xFF90;
constexpr std::uint16_t kEoc = 0xFFD9;

constexpr std::uint8_t kMaxDecompositionLevels = 32;

// Reads big-endian fields from a segment held in memory; a read past its end gives 0 and
// marks the segment short.
struct Fields {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    bool shortOf = false;

    std::uint32_t get(std::size_t width) {
        if (width > bytes.size() - at) {
            shortOf = true;
            at = bytes.size();
            return 0;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            value = (value << 8) | bytes[at++];
        }
        return value;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(get(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(get(2)); }
    std::uint32_t u32() { return get(4); }
};

}  // namespace

std::optional<ImageSize> decodeSiz(std::span<const std::uint8_t> segment) {
    Fields f{segment};
    ImageSize size;
    size.rsiz = f.u16();
    size.xsiz = f.u32();
    size.ysiz = f.u32();
    size.xosiz = f.u32();
    size.yosiz = f.u32();
    size.xtsiz = f.u32();
    size.ytsiz = f.u32();
    size.xtosiz = f.u32();
    size.ytosiz = f.u32();
    size.csiz = f.u16();
    if (f.shortOf) {
        return std::nullopt;
    }
    // Lsiz bounds Csiz: a segment holds at most 21843 components of three bytes.
    for (std::uint16_t i = 0; i < size.csiz && f.bytes.size() - f.at >= 3; ++i) {
        SizComponent component;
        component.ssiz = f.u8();
        component.dx = f.u8();
        component.dy = f.u8();
        size.components.push_back(component);
    }
    return size;
}

namespace {

std::optional<CodingStyle> decodeCod(Fields f) {
    CodingStyle style;
    style.scod = f.u8();
    style.progression = f.u8();
    style.layers = f.u16();
    style.multipleComponentTransform = f.u8();
    style.levels = f.u8();
    style.codeBlockWidthExponent = f.u8();
    style.codeBlockHeightExponent = f.u8();
    style.codeBlockStyle = f.u8();
    style.transform = f.u8();
    if (f.shortOf) {
        return std::nullopt;
    }
    if ((style.scod & 1) != 0) {
        for (int level = 0; level <= style.levels && f.at < f.bytes.size(); ++level) {
            style.precincts.push_back(f.u8());
        }
    }
    return style;
}

CodestreamComment decodeCom(Fields f) {
    CodestreamComment comment;
    comment.registration = f.u16();
    comment.length = static_cast<std::uint32_t>(f.bytes.size() - f.at);
    if (comment.registration == 1) {
        for (std::size_t i = f.at; i < f.bytes.size() && comment.text.size() < kMaxCommentText;
             ++i) {
            const std::uint8_t c = f.bytes[i];
            if (c < 0x80) {
                comment.text += static_cast<char>(c);
            } else {
                comment.text += static_cast<char>(0xC0 | (c >> 6));
                comment.text += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    }
    return comment;
}

void checkSiz(const ImageSize& size, std::vector<std::string>& warnings) {
    if (size.csiz == 0 || size.csiz > kMaxComponents) {
        warnings.push_back("SIZ gives " + std::to_string(size.csiz) +
                           " components; a codestream has 1 to " + std::to_string(kMaxComponents));
    }
    if (size.components.size() < size.csiz) {
        warnings.push_back("SIZ gives " + std::to_string(size.csiz) + " components but holds " +
                           std::to_string(size.components.size()));
    }
    // The first only: a segment of thousands of components says it once.
    for (std::size_t i = 0; i < size.components.size(); ++i) {
        if (size.components[i].dx == 0 || size.components[i].dy == 0) {
            warnings.push_back("SIZ gives component " + std::to_string(i) + " a sub-sampling of 0");
            break;
        }
    }
}

void checkCod(const CodingStyle& style, std::vector<std::string>& warnings) {
    if (style.levels > kMaxDecompositionLevels) {
        warnings.push_back("COD gives " + std::to_string(style.levels) +
                           " decomposition levels; at most " +
                           std::to_string(kMaxDecompositionLevels) + " are allowed");
    }
    const std::size_t resolutions = std::size_t{style.levels} + 1;
    if ((style.scod & 1) != 0 && style.precincts.size() < resolutions) {
        warnings.push_back("COD gives precinct sizes for " +
                           std::to_string(style.precincts.size()) + " of its " +
                           std::to_string(resolutions) + " resolution levels");
    }
}

}  // namespace

MainHeader readMainHeader(ByteStream& stream, std::uint64_t count) {
    MainHeader header;
    if (!stream.seek(0)) {
        header.fault = "the codestream cannot be read";
        return header;
    }
    std::uint16_t marker = 0;
    stream.readU16(marker);
    if (!stream.good() || marker != kSoc) {
        header.fault = "the codestream does not start with SOC";
        return header;
    }
    std::vector<std::uint8_t> segment;
    for (;;) {
        const std::uint64_t at = stream.tell();
        stream.readU16(marker);
        if (!stream.good()) {
            header.fault = "the main header runs past the codestream's end";
            return header;
        }
        if (marker == kSot || marker == kEoc) {
            header.length = at;
            header.complete = true;
            return header;
        }
        if ((marker >> 8) != 0xFF || marker < 0xFF30) {
            header.fault = "no marker at offset " + std::to_string(at) + " of the codestream";
            return header;
        }
        if (marker <= 0xFF3F) {
            continue;  // markers without a segment
        }
        std::uint16_t length = 0;
        stream.readU16(length);
        if (!stream.good() || length < 2) {
            header.fault = "a marker segment at offset " + std::to_string(at) + " is damaged";
            return header;
        }
        const std::uint64_t end = stream.tell() + length - 2u;
        if (end > count) {
            header.fault = "a marker segment at offset " + std::to_string(at) +
                           " runs past the codestream's end";
            return header;
        }
        const bool decode = marker == kSiz || marker == kCod || marker == kQcd ||
                            (marker == kCom && header.comments.size() < kMaxComments);
        if (decode) {
            segment.resize(length - 2u);
            stream.readBytes(segment.data(), static_cast<std::uint32_t>(segment.size()));
            if (!stream.good()) {
                header.fault = "a marker segment at offset " + std::to_string(at) + " is cut short";
                return header;
            }
            const Fields fields{segment};
            switch (marker) {
                case kSiz:
                    if (!header.size) {
                        header.size = decodeSiz(fields.bytes);
                        if (header.size) {
                            checkSiz(*header.size, header.warnings);
                        }
                    }
                    break;
                case kCod:
                    if (!header.coding) {
                        header.coding = decodeCod(fields);
                        if (header.coding) {
                            checkCod(*header.coding, header.warnings);
                        }
                    }
                    break;
                case kQcd:
                    if (!header.quantization && !segment.empty()) {
                        header.quantization = Quantization{segment[0]};
                    }
                    break;
                default:
                    header.comments.push_back(decodeCom(fields));
                    break;
            }
        } else if (!stream.seek(end)) {
            header.fault = "the codestream cannot be read";
            return header;
        }
        header.hasCoc = header.hasCoc || marker == kCoc;
        header.hasQcc = header.hasQcc || marker == kQcc;
        header.hasRgn = header.hasRgn || marker == kRgn;
        header.hasPoc = header.hasPoc || marker == kPoc;
        header.hasTlm = header.hasTlm || marker == kTlm;
        header.hasPlm = header.hasPlm || marker == kPlm;
        header.hasPpm = header.hasPpm || marker == kPpm;
        header.hasCrg = header.hasCrg || marker == kCrg;
    }
}

std::string progressionName(std::uint8_t order) {
    static constexpr const char* kNames[] = {"LRCP", "RLCP", "RPCL", "PCRL", "CPRL"};
    return order < 5 ? kNames[order] : "";
}

std::string capabilitiesText(std::uint16_t rsiz) {
    std::string text;
    const auto add = [&text](const std::string& word) {
        text += (text.empty() ? "" : ", ") + word;
    };
    const std::uint16_t profile = rsiz & 0x3FFF;
    switch (profile) {
        case 0:
            add("no restrictions");
            break;
        case 1:
            add("profile 0");
            break;
        case 2:
            add("profile 1");
            break;
        case 3:
            add("2K digital cinema");
            break;
        case 4:
            add("4K digital cinema");
            break;
        case 5:
            add("scalable 2K digital cinema");
            break;
        case 6:
            add("scalable 4K digital cinema");
            break;
        case 7:
            add("long-term storage");
            break;
        default:
            if ((profile & 0xFF00) == 0x0100) {
                add("broadcast contribution");
            } else if ((profile & 0xFF00) == 0x0400) {
                add("interoperable master format");
            } else {
                add("profile " + std::to_string(profile));
            }
            break;
    }
    if ((rsiz & 0x8000) != 0) {
        add("extended capabilities");
    }
    if ((rsiz & 0x4000) != 0) {
        add("high-throughput");
    }
    return text;
}

std::string codeBlockStyleText(std::uint8_t style) {
    static constexpr const char* kFlags[] = {"selective arithmetic coding bypass",
                                             "reset context probabilities",
                                             "termination on each coding pass",
                                             "vertically causal context",
                                             "predictable termination",
                                             "segmentation symbols",
                                             "high-throughput blocks"};
    std::string text;
    for (int bit = 0; bit < 7; ++bit) {
        if ((style & (1 << bit)) != 0) {
            text += (text.empty() ? "" : ", ") + std::string(kFlags[bit]);
        }
    }
    return text.empty() ? "none" : text;
}

std::string quantizationName(int style) {
    switch (style) {
        case 0:
            return "none";
        case 1:
            return "scalar derived";
        case 2:
            return "scalar expounded";
        default:
            return {};
    }
}

}  // namespace bq
