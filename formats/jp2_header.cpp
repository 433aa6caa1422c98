#include "formats/jp2_header.h"

#include "formats/box_span.h"
#include "stream/box_type.h"

namespace bq {

namespace {

std::string cutShort(std::uint32_t type, std::size_t length) {
    return quoted(type) + " is too short for its fields (" + std::to_string(length) + " bytes)";
}

// Warnings past kMaxHeaderWarnings are only counted: a box repeated a million times would
// otherwise say the same thing a million times.
class Warnings {
  public:
    explicit Warnings(std::vector<std::string>& lines) : lines_(lines) {}
    void add(std::string line) {
        if (lines_.size() < kMaxHeaderWarnings) {
            lines_.push_back(std::move(line));
        } else {
            ++leftOut_;
        }
    }
    void close() {
        if (leftOut_ > 0) {
            lines_.push_back(std::to_string(leftOut_) +
                             " more warnings about the JP2 header "
                             "not shown");
        }
    }

  private:
    std::vector<std::string>& lines_;
    std::size_t leftOut_ = 0;
};

// Keeps the first of a box that may appear once, and warns of the others.
template <typename T>
void keepFirst(std::optional<T>& slot, std::optional<T> value, std::uint32_t type,
               std::size_t length, Warnings& warnings) {
    if (!value) {
        warnings.add(cutShort(type, length));
    } else if (slot) {
        warnings.add("more than one " + quoted(type) + " box: the first is shown");
    } else {
        slot = std::move(value);
    }
}

void checkAxis(const char* box, const char* axis, const ResolutionAxis& value, Warnings& warnings) {
    if (value.numerator == 0) {
        warnings.add(std::string(box) + " " + axis + " resolution has numerator 0");
    }
    if (value.denominator == 0) {
        warnings.add(std::string(box) + " " + axis + " resolution has denominator 0");
    }
}

void readResolutions(std::span<const std::uint8_t> payload, Jp2Header& header, Warnings& warnings) {
    SpanBoxes inner = splitBoxes(payload);
    if (inner.fault) {
        warnings.add("in 'res ': " + *inner.fault);
    }
    for (const SpanBox& box : inner.boxes) {
        if (box.type != kTypeResc && box.type != kTypeResd) {
            continue;
        }
        auto& slot = box.type == kTypeResc ? header.capture : header.display;
        keepFirst(slot, decodeResolution(box.payload), box.type, box.payload.size(), warnings);
    }
    for (const auto& [slot, name] : {std::pair{&header.capture, "'resc' capture"},
                                     std::pair{&header.display, "'resd' display"}}) {
        if (*slot) {
            checkAxis(name, "vertical", (*slot)->vertical, warnings);
            checkAxis(name, "horizontal", (*slot)->horizontal, warnings);
        }
    }
}

// The channels a colour space describes: the component mapping's when there is one (a
// palette makes columns of one component), else the image's components.
void checkColourFit(const Jp2Header& header, Warnings& warnings) {
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
            warnings.add("colour space " + enumeratedSpaceName(*colour.enumerated) + " needs " +
                         std::to_string(needed) + " channels, the image has " +
                         std::to_string(channels));
        }
    }
}

void checkDepths(const Jp2Header& header, Warnings& warnings) {
    if (!header.imageHeader) {
        return;
    }
    const ImageHeader& image = *header.imageHeader;
    if (image.bpc == kDepthVaries && !header.bitsPerComponent) {
        warnings.add("the image header says the depths vary (BPC 255) but there is no 'bpcc' box");
    } else if (image.bpc != kDepthVaries && header.bitsPerComponent) {
        warnings.add("a 'bpcc' box is present though the image header gives one depth");
    }
    if (header.bitsPerComponent && header.bitsPerComponent->size() != image.components) {
        warnings.add("'bpcc' has " + std::to_string(header.bitsPerComponent->size()) +
                     " entries for " + std::to_string(image.components) + " components");
    }
}

}  // namespace

Jp2Header decodeJp2Header(std::span<const std::uint8_t> payload) {
    Jp2Header header;
    Warnings warnings(header.warnings);
    SpanBoxes inner = splitBoxes(payload);
    if (inner.fault) {
        warnings.add("in 'jp2h': " + *inner.fault);
    }
    std::size_t resolutionBoxes = 0;
    for (const SpanBox& box : inner.boxes) {
        header.order.push_back(box.type);
        const std::size_t length = box.payload.size();
        switch (box.type) {
            case kTypeIhdr:
                keepFirst(header.imageHeader, decodeImageHeader(box.payload), box.type, length,
                          warnings);
                break;
            case kTypeBpcc:
                keepFirst(header.bitsPerComponent,
                          std::optional<std::vector<std::uint8_t>>(
                              std::vector<std::uint8_t>(box.payload.begin(), box.payload.end())),
                          box.type, length, warnings);
                break;
            case kTypeColr:
                if (header.colours.size() == kMaxColourBoxes) {
                    ++header.coloursLeftOut;
                } else if (auto colour = decodeColourBox(box.payload)) {
                    if ((colour->method == 2 || colour->method == 3) && !colour->profile) {
                        warnings.add("the ICC profile in 'colr' is shorter than its header (" +
                                     std::to_string(colour->profileLength) + " bytes)");
                    }
                    header.colours.push_back(std::move(*colour));
                } else {
                    warnings.add(cutShort(box.type, length));
                }
                break;
            case kTypePclr:
                keepFirst(header.palette, decodePalette(box.payload), box.type, length, warnings);
                if (header.palette && !header.palette->complete) {
                    warnings.add("'pclr' holds fewer bytes than its entries need");
                }
                break;
            case kTypeCmap:
                keepFirst(header.componentMapping, decodeComponentMapping(box.payload), box.type,
                          length, warnings);
                break;
            case kTypeCdef:
                keepFirst(header.channels, decodeChannelDefinitions(box.payload), box.type, length,
                          warnings);
                break;
            case kTypeRes:
                if (++resolutionBoxes == 2) {
                    warnings.add("more than one 'res ' box: the first of each resolution is shown");
                }
                readResolutions(box.payload, header, warnings);
                break;
            default:
                break;
        }
    }
    if (header.order.empty() || header.order.front() != kTypeIhdr) {
        warnings.add(header.imageHeader ? "the image header is not the first box in the JP2 header"
                                        : "the JP2 header has no image header");
    }
    if (header.colours.empty()) {
        warnings.add("the JP2 header has no colour box");
    }
    checkDepths(header, warnings);
    checkColourFit(header, warnings);
    warnings.close();
    return header;
}

}  // namespace bq
