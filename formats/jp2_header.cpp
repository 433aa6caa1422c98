#include "formats/jp2_header.h"

#include "formats/box_span.h"

namespace bq {

namespace {

constexpr std::uint32_t kIhdr = 0x69686472;
constexpr std::uint32_t kBpcc = 0x62706363;
constexpr std::uint32_t kColr = 0x636F6C72;
constexpr std::uint32_t kPclr = 0x70636C72;
constexpr std::uint32_t kCmap = 0x636D6170;
constexpr std::uint32_t kCdef = 0x63646566;
constexpr std::uint32_t kRes = 0x72657320;
constexpr std::uint32_t kResc = 0x72657363;
constexpr std::uint32_t kResd = 0x72657364;

std::string cutShort(std::uint32_t type, std::size_t length) {
    return quoted(type) + " is too short for its fields (" + std::to_string(length) + " bytes)";
}

// Keeps the first of a box that may appear once, and warns of the others.
template <typename T>
void keepFirst(std::optional<T>& slot, std::optional<T> value, std::uint32_t type,
               std::size_t length, std::vector<std::string>& warnings) {
    if (!value) {
        warnings.push_back(cutShort(type, length));
    } else if (slot) {
        warnings.push_back("more than one " + quoted(type) + " box: the first is shown");
    } else {
        slot = std::move(value);
    }
}

void checkAxis(const char* box, const char* axis, const ResolutionAxis& value,
               std::vector<std::string>& warnings) {
    if (value.numerator == 0) {
        warnings.push_back(std::string(box) + " " + axis + " resolution has numerator 0");
    }
    if (value.denominator == 0) {
        warnings.push_back(std::string(box) + " " + axis + " resolution has denominator 0");
    }
}

void readResolutions(std::span<const std::uint8_t> payload, Jp2Header& header) {
    SpanBoxes inner = splitBoxes(payload);
    if (inner.fault) {
        header.warnings.push_back("in 'res ': " + *inner.fault);
    }
    for (const SpanBox& box : inner.boxes) {
        if (box.type != kResc && box.type != kResd) {
            continue;
        }
        auto& slot = box.type == kResc ? header.capture : header.display;
        keepFirst(slot, decodeResolution(box.payload), box.type, box.payload.size(),
                  header.warnings);
    }
    for (const auto& [slot, name] : {std::pair{&header.capture, "'resc' capture"},
                                     std::pair{&header.display, "'resd' display"}}) {
        if (*slot) {
            checkAxis(name, "vertical", (*slot)->vertical, header.warnings);
            checkAxis(name, "horizontal", (*slot)->horizontal, header.warnings);
        }
    }
}

// The channels a colour space describes: the component mapping's when there is one (a
// palette makes columns of one component), else the image's components.
void checkColourFit(Jp2Header& header) {
    if (!header.imageHeader) {
        return;
    }
    const std::size_t channels =
        header.componentMapping ? header.componentMapping->size() : header.imageHeader->components;
    for (const ColourBox& colour : header.colours) {
        if (!colour.enumerated) {
            continue;
        }
        const int needed = enumeratedSpaceChannels(*colour.enumerated);
        if (needed > 0 && channels < static_cast<std::size_t>(needed)) {
            header.warnings.push_back("colour space " + enumeratedSpaceName(*colour.enumerated) +
                                      " needs " + std::to_string(needed) +
                                      " channels, the image has " + std::to_string(channels));
        }
    }
}

void checkDepths(Jp2Header& header) {
    if (!header.imageHeader) {
        return;
    }
    const ImageHeader& image = *header.imageHeader;
    if (image.bpc == kDepthVaries && !header.bitsPerComponent) {
        header.warnings.push_back(
            "the image header says the depths vary (BPC 255) but there is no 'bpcc' box");
    } else if (image.bpc != kDepthVaries && header.bitsPerComponent) {
        header.warnings.push_back(
            "a 'bpcc' box is present though the image header gives one depth");
    }
    if (header.bitsPerComponent && header.bitsPerComponent->size() != image.components) {
        header.warnings.push_back("'bpcc' has " + std::to_string(header.bitsPerComponent->size()) +
                                  " entries for " + std::to_string(image.components) +
                                  " components");
    }
}

}  // namespace

Jp2Header decodeJp2Header(std::span<const std::uint8_t> payload) {
    Jp2Header header;
    SpanBoxes inner = splitBoxes(payload);
    if (inner.fault) {
        header.warnings.push_back("in 'jp2h': " + *inner.fault);
    }
    for (const SpanBox& box : inner.boxes) {
        header.order.push_back(box.type);
        const std::size_t length = box.payload.size();
        switch (box.type) {
            case kIhdr:
                keepFirst(header.imageHeader, decodeImageHeader(box.payload), box.type, length,
                          header.warnings);
                break;
            case kBpcc:
                keepFirst(header.bitsPerComponent,
                          std::optional<std::vector<std::uint8_t>>(
                              std::vector<std::uint8_t>(box.payload.begin(), box.payload.end())),
                          box.type, length, header.warnings);
                break;
            case kColr:
                if (auto colour = decodeColourBox(box.payload)) {
                    if ((colour->method == 2 || colour->method == 3) && !colour->profile) {
                        header.warnings.push_back(
                            "the ICC profile in 'colr' is shorter than its header (" +
                            std::to_string(colour->profileLength) + " bytes)");
                    }
                    header.colours.push_back(std::move(*colour));
                } else {
                    header.warnings.push_back(cutShort(box.type, length));
                }
                break;
            case kPclr:
                keepFirst(header.palette, decodePalette(box.payload), box.type, length,
                          header.warnings);
                if (header.palette && !header.palette->complete) {
                    header.warnings.push_back("'pclr' holds fewer bytes than its entries need");
                }
                break;
            case kCmap:
                keepFirst(header.componentMapping, decodeComponentMapping(box.payload), box.type,
                          length, header.warnings);
                break;
            case kCdef:
                keepFirst(header.channels, decodeChannelDefinitions(box.payload), box.type, length,
                          header.warnings);
                break;
            case kRes:
                readResolutions(box.payload, header);
                break;
            default:
                break;
        }
    }
    if (header.order.empty() || header.order.front() != kIhdr) {
        header.warnings.push_back(header.imageHeader
                                      ? "the image header is not the first box in the JP2 header"
                                      : "the JP2 header has no image header");
    }
    if (header.colours.empty()) {
        header.warnings.push_back("the JP2 header has no colour box");
    }
    checkDepths(header);
    checkColourFit(header);
    return header;
}

}  // namespace bq
