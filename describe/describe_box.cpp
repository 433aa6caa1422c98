#include "describe/describe_box.h"

#include <algorithm>

#include "box/file_type_box.h"
#include "box/uuid_box.h"
#include "describe/decode_box.h"
#include "describe/georeferencing.h"
#include "describe/header_fields.h"
#include "describe/payload_bytes.h"
#include "formats/box_span.h"
#include "formats/xml_check.h"
#include "formats/xmp_packet.h"

namespace bq {

namespace {

using Json = nlohmann::ordered_json;

void describeFileType(const FileTypeBox& box, Description& description) {
    Json compatibility = Json::array();
    const int count = std::clamp(box.compatCount, 0, FileTypeBox::kMaxCompatibility);
    bool listsJp2 = false;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t entry = box.compatibility[static_cast<std::size_t>(i)];
        compatibility.push_back(typeName(entry));
        listsJp2 = listsJp2 || entry == kBrandJp2;
    }
    description.fields["fileType"] = {{"brand", typeName(box.brand)},
                                      {"minorVersion", box.minorVersion},
                                      {"compatibility", compatibility}};
    if (box.brand == kBrandJp2 && !listsJp2) {
        description.warnings.push_back(
            "the brand is 'jp2 ' but the compatibility list lacks 'jp2 '");
    }
}

void describeUuid(const Box& box, Description& description) {
    std::string why;
    const std::optional<PayloadBytes> payload = payloadBytes(box, kMaxDecodedPayload, why);
    if (!payload || payload->bytes.size() < 16) {
        description.warnings.push_back("the UUID box is shorter than its identifier");
        return;
    }
    std::string hex;
    static constexpr char kDigits[] = "0123456789abcdef";
    for (const std::uint8_t byte : payload->bytes.first(16)) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    const auto* uuid = dynamic_cast<const UuidBox*>(&box);
    description.fields["uuid"] = {{"id", hex}, {"geoTiff", uuid != nullptr && uuid->isGeoTiff}};
    if (std::equal(kXmpUuid.begin(), kXmpUuid.end(), payload->bytes.begin())) {
        // The packet itself, as `xmp FILE` prints it.
        const auto packet = payload->bytes.subspan(16);
        description.fields["uuid"]["xmp"] = std::string(packet.begin(), packet.end());
    }
    describeGeoJp2Payload(payload->bytes, description);
}

}  // namespace

std::string headerFormText(HeaderForm form) {
    switch (form) {
        case HeaderForm::Extended:
            return "extended";
        case HeaderForm::ToEnd:
            return "to end";
        default:
            return "plain";
    }
}

Description describeBox(const Box& box) {
    Description description;
    Json& fields = description.fields;
    fields["type"] = typeName(box.type);
    fields["typeCode"] = box.type;
    fields["offset"] = box.fileOffset ? Json(*box.fileOffset) : Json(nullptr);
    fields["headerForm"] = headerFormText(box.headerForm);
    fields["headerLength"] = box.headerSize();
    fields["length"] = box.headerSize() + box.payloadSize;
    fields["payloadSize"] = box.payloadSize;

    if (const auto* fileType = dynamic_cast<const FileTypeBox*>(&box)) {
        describeFileType(*fileType, description);
    } else if (box.type == kTypeJp2h) {
        if (auto header = decodeJp2HeaderBox(box, description.warnings)) {
            fields["jp2Header"] = jp2HeaderFields(*header, description.warnings);
        }
    } else if (const auto* codestream = dynamic_cast<const CodestreamBox*>(&box)) {
        if (auto header = decodeMainHeaderBox(*codestream, description.warnings)) {
            fields["codestream"] = codestreamFields(*header, *codestream);
        }
    } else if (box.type == kTypeUuid) {
        describeUuid(box, description);
    } else if (box.type == kTypeXml) {
        // Any XML box holding a GML grid: a single box cannot see the labels around it.
        const std::string text = box.text();
        if (const std::string problem = xmlProblem(text); !problem.empty()) {
            description.warnings.push_back("the XML box is " + problem);
        } else {
            describeGmlText(text, description);
        }
    }
    return description;
}

std::string describeBoxText(const Box& box) {
    return descriptionText(describeBox(box));
}

}  // namespace bq
