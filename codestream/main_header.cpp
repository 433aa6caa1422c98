#include "codestream/main_header.h"

#include <span>

#include "codestream/marker_table.h"
#include "formats/jp2_header_boxes.h"
#include "stream/byte_reader.h"

namespace bq {

namespace {

constexpr std::uint8_t kMaxDecompositionLevels = 32;

}  // namespace

std::optional<ImageSize> decodeSiz(std::span<const std::uint8_t> segment) {
    ByteReader f(segment);
    ImageSize size;
    f.u16(size.rsiz);
    for (std::uint32_t* field : {&size.xsiz, &size.ysiz, &size.xosiz, &size.yosiz, &size.xtsiz,
                                 &size.ytsiz, &size.xtosiz, &size.ytosiz}) {
        f.u32(*field);
    }
    f.u16(size.csiz);
    if (!f.ok()) {
        return std::nullopt;
    }
    // Lsiz bounds Csiz: a segment holds at most 21843 components of three bytes.
    for (std::uint16_t i = 0; i < size.csiz && f.remaining() >= 3; ++i) {
        SizComponent component;
        f.u8(component.ssiz);
        f.u8(component.dx);
        f.u8(component.dy);
        size.components.push_back(component);
    }
    return size;
}

std::optional<CodingStyle> decodeCod(std::span<const std::uint8_t> segment) {
    ByteReader f(segment);
    CodingStyle style;
    for (std::uint8_t* field : {&style.scod, &style.progression}) {
        f.u8(*field);
    }
    f.u16(style.layers);
    for (std::uint8_t* field :
         {&style.multipleComponentTransform, &style.levels, &style.codeBlockWidthExponent,
          &style.codeBlockHeightExponent, &style.codeBlockStyle, &style.transform}) {
        f.u8(*field);
    }
    if (!f.ok()) {
        return std::nullopt;
    }
    if ((style.scod & 1) != 0) {
        std::uint8_t precinct = 0;
        for (int level = 0; level <= style.levels && f.u8(precinct); ++level) {
            style.precincts.push_back(precinct);
        }
    }
    return style;
}

namespace {

CodestreamComment decodeCom(std::span<const std::uint8_t> segment) {
    ByteReader f(segment);
    CodestreamComment comment;
    f.u16(comment.registration);
    const auto data = f.rest();  // empty when the registration was cut short
    comment.length = static_cast<std::uint32_t>(data.size());
    if (comment.registration == 1) {
        for (std::size_t i = 0; i < data.size() && comment.text.size() < kMaxCommentText; ++i) {
            const std::uint8_t c = data[i];
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
    if (!stream.good() || marker != fullMarker(kCodeSoc)) {
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
        if (marker == fullMarker(kCodeSot) || marker == fullMarker(kCodeEoc)) {
            header.length = at;
            header.complete = true;
            return header;
        }
        if (marker < fullMarker(kCodeBareFirst)) {
            header.fault = "no marker at offset " + std::to_string(at) + " of the codestream";
            return header;
        }
        if (isBareMarker(marker)) {
            continue;
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
        const bool decode =
            marker == fullMarker(kCodeSiz) || marker == fullMarker(kCodeCod) ||
            marker == fullMarker(kCodeQcd) ||
            (marker == fullMarker(kCodeCom) && header.comments.size() < kMaxComments);
        if (decode) {
            segment.resize(length - 2u);
            stream.readBytes(segment.data(), static_cast<std::uint32_t>(segment.size()));
            if (!stream.good()) {
                header.fault = "a marker segment at offset " + std::to_string(at) + " is cut short";
                return header;
            }
            switch (marker) {
                case fullMarker(kCodeSiz):
                    if (!header.size) {
                        header.size = decodeSiz(segment);
                        if (header.size) {
                            checkSiz(*header.size, header.warnings);
                        }
                    }
                    break;
                case fullMarker(kCodeCod):
                    if (!header.coding) {
                        header.coding = decodeCod(segment);
                        if (header.coding) {
                            checkCod(*header.coding, header.warnings);
                        }
                    }
                    break;
                case fullMarker(kCodeQcd):
                    if (!header.quantization && !segment.empty()) {
                        header.quantization = Quantization{segment[0]};
                    }
                    break;
                default:
                    header.comments.push_back(decodeCom(segment));
                    break;
            }
        } else if (!stream.seek(end)) {
            header.fault = "the codestream cannot be read";
            return header;
        }
        header.hasCoc = header.hasCoc || marker == fullMarker(kCodeCoc);
        header.hasQcc = header.hasQcc || marker == fullMarker(kCodeQcc);
        header.hasRgn = header.hasRgn || marker == fullMarker(kCodeRgn);
        header.hasPoc = header.hasPoc || marker == fullMarker(kCodePoc);
        header.hasTlm = header.hasTlm || marker == fullMarker(kCodeTlm);
        header.hasPlm = header.hasPlm || marker == fullMarker(kCodePlm);
        header.hasPpm = header.hasPpm || marker == fullMarker(kCodePpm);
        header.hasCrg = header.hasCrg || marker == fullMarker(kCodeCrg);
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
