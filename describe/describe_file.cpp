#include "describe/describe_file.h"

#include <string>

#include "box/file_type_box.h"
#include "codestream/codestream_box.h"
#include "describe/decode_box.h"
#include "describe/describe_box.h"
#include "describe/georeferencing.h"
#include "describe/header_fields.h"

namespace bq {

namespace {

// The image header against the codestream's SIZ: both describe the same image.
void compareWithSiz(const Jp2Header& header, const MainHeader& main,
                    std::vector<std::string>& warnings) {
    if (!header.imageHeader || !main.size) {
        return;
    }
    const ImageHeader& image = *header.imageHeader;
    const ImageSize& size = *main.size;
    const auto mismatch = [&warnings](const std::string& what, std::uint64_t ihdr,
                                      std::uint64_t siz) {
        if (ihdr != siz) {
            warnings.push_back("the image header's " + what + " is " + std::to_string(ihdr) +
                               ", the codestream's " + std::to_string(siz));
        }
    };
    mismatch("width", image.width, std::uint64_t{size.xsiz} - std::min(size.xosiz, size.xsiz));
    mismatch("height", image.height, std::uint64_t{size.ysiz} - std::min(size.yosiz, size.ysiz));
    mismatch("component count", image.components, size.components.size());
    for (std::size_t i = 0; i < size.components.size(); ++i) {
        std::optional<std::uint8_t> depth;
        if (image.bpc != kDepthVaries) {
            depth = image.bpc;
        } else if (header.bitsPerComponent && i < header.bitsPerComponent->size()) {
            depth = (*header.bitsPerComponent)[i];
        }
        const std::uint8_t ssiz = size.components[i].ssiz;
        if (depth && *depth != ssiz) {
            const BitDepth ours = bitDepth(*depth);
            const BitDepth theirs = bitDepth(ssiz);
            warnings.push_back("component " + std::to_string(i) + ": the JP2 header says " +
                               std::to_string(ours.bits) +
                               (ours.isSigned ? " bits signed" : " bits") + ", the codestream " +
                               std::to_string(theirs.bits) +
                               (theirs.isSigned ? " bits signed" : " bits"));
        }
    }
}

}  // namespace

Description describeFile(std::span<const Box* const> rows) {
    Description description;
    description.fields = objectWithRoom(12);
    nlohmann::ordered_json& fields = description.fields;
    std::vector<std::string>& warnings = description.warnings;

    const FileTypeBox* fileType = nullptr;
    const Box* jp2Header = nullptr;
    const CodestreamBox* codestream = nullptr;
    bool codestreamBeforeHeader = false;
    int topLevel = 0;
    int codestreams = 0;
    int extraHeaders = 0;
    for (const Box* box : rows) {
        if (box == nullptr || box->depth != 0) {
            continue;
        }
        if (topLevel++ == 0 && box->type != kTypeFtyp) {
            warnings.push_back("the file type box is not the first box after the signature");
        }
        if (box->type == kTypeFtyp && fileType == nullptr) {
            fileType = dynamic_cast<const FileTypeBox*>(box);
        } else if (box->type == kTypeJp2h) {
            if (jp2Header == nullptr) {
                jp2Header = box;
            } else if (++extraHeaders == 1) {
                warnings.push_back("more than one JP2 header box: the first is described");
            }
        } else if (box->type == kTypeJp2c) {
            ++codestreams;
            if (codestream == nullptr) {
                codestream = dynamic_cast<const CodestreamBox*>(box);
                codestreamBeforeHeader = jp2Header == nullptr;
            }
        }
    }
    fields["boxes"] = rows.size();
    if (fileType != nullptr) {
        Description box = describeBox(*fileType);
        fields["fileType"] = box.fields["fileType"];
        warnings.insert(warnings.end(), box.warnings.begin(), box.warnings.end());
    } else {
        warnings.push_back("the file has no file type box");
    }
    if (codestreamBeforeHeader) {
        warnings.push_back("no JP2 header before the codestream");
    }
    std::optional<Jp2Header> header;
    if (jp2Header != nullptr) {
        header = decodeJp2HeaderBox(*jp2Header, warnings);
        if (header) {
            fields["jp2Header"] = jp2HeaderFields(*header, warnings);
        }
    } else {
        warnings.push_back("the file has no JP2 header");
    }
    fields["codestreams"] = codestreams;
    if (codestream != nullptr) {
        if (const auto main = decodeMainHeaderBox(*codestream, warnings)) {
            fields["codestream"] = codestreamFields(*main, *codestream);
            if (header) {
                compareWithSiz(*header, *main, warnings);
            }
        }
    } else {
        warnings.push_back("the file has no codestream");
    }
    std::optional<RasterSize> size;
    if (header && header->imageHeader) {
        size = RasterSize{header->imageHeader->width, header->imageHeader->height};
    }
    describeGeoreferencing(rows, size, description);
    return description;
}

}  // namespace bq
