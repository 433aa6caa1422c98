#include "validate/validate_file.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "formats/geotiff.h"
#include "stream/box_type.h"
#include "stream/byte_reader.h"
#include "stream/file_stream.h"
#include "validate/box_walk.h"
#include "validate/check_groups.h"
#include "validate/codestream_checks.h"

namespace bq {

namespace {

constexpr std::uint32_t kBrandJpm = fourCC("jpm ");

// The text of the first label box among `boxes`, without trailing NULs; empty when there is
// none.
std::string firstLabel(ByteStream& stream, const std::vector<BoxAt>& boxes) {
    for (const BoxAt& box : boxes) {
        if (box.type == kTypeLbl && box.payloadLength <= kMaxCheckedPayload) {
            std::string text(static_cast<std::size_t>(box.payloadLength), '\0');
            if (stream.seek(box.payloadOffset) && !text.empty()) {
                stream.readBytes(reinterpret_cast<std::uint8_t*>(text.data()),
                                 static_cast<std::uint32_t>(text.size()));
            }
            if (!stream.good()) {
                return {};
            }
            // Writers often end a label with a NUL, as a C string.
            while (!text.empty() && text.back() == '\0') {
                text.pop_back();
            }
            return text;
        }
    }
    return {};
}

// What a walk of the rows gathers: the row of each box's offset, and the boxes that
// georeference the image.
struct RowWalk {
    ByteStream& stream;
    Findings& findings;
    int next = 0;
    std::map<std::uint64_t, int> rows;
    std::vector<std::string> labels;  // of the associations enclosing the boxes walked
    GeoBoxes geo;
};

// Rows as `list` numbers them: every top-level box after the signature, each association
// followed by the boxes nested in it. Associations, labels and nested XML boxes are checked
// on the way.
void numberRows(std::vector<BoxAt>& boxes, RowWalk& walk) {
    const std::size_t depth = walk.labels.size();
    for (BoxAt& box : boxes) {
        // The signature box opening the file is the file's own, not a row.
        if (box.type == kTypeSignature && box.offset == 0) {
            continue;
        }
        box.row = walk.next++;
        walk.rows.emplace(box.offset, *box.row);
        if (depth > 0 && box.type == kTypeXml) {
            checkXmlBox(walk.stream, box, XmlPlace::Nested, walk.findings);
            if (depth >= 2 && walk.labels[depth - 1] == "gml.root-instance" &&
                walk.labels[depth - 2] == "gml.data" && !walk.geo.gmlRootInstance) {
                walk.geo.gmlRootInstance = box;
            }
        }
        if (depth == 0 && box.type == kTypeUuid && !walk.geo.geoJp2 &&
            box.payloadLength >= kGeoJp2Identifier.size() && walk.stream.seek(box.payloadOffset)) {
            std::array<std::uint8_t, 16> id{};
            walk.stream.readBytes(id.data(), 16);
            if (walk.stream.good() && id == kGeoJp2Identifier) {
                walk.geo.geoJp2 = box;
            }
        }
        if (box.type == kTypeLbl) {
            checkLabelBox(walk.stream, box, walk.findings);
        }
        if (box.type == kTypeAsoc && depth < kMaxCheckedDepth) {
            std::vector<BoxAt> inner =
                walkBoxes(walk.stream, box.payloadOffset, box.payloadOffset + box.payloadLength,
                          box.path, walk.findings);
            checkAssociation(box, inner, walk.findings);
            walk.labels.push_back(firstLabel(walk.stream, inner));
            numberRows(inner, walk);
            walk.labels.pop_back();
        }
    }
}

// Names what the first bytes say a file is that holds no JP2 family signature box.
std::string foreignFormat(const std::array<std::uint8_t, 4>& head, std::uint64_t size,
                          std::string& message) {
    if (size >= 4 && head[0] == 0xFF && head[1] == 0x4F && head[2] == 0xFF && head[3] == 0x51) {
        message = "a raw JPEG 2000 codestream (SOC, SIZ), not a JP2 file";
        return "j2c";
    }
    if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) {
        message = "a JPEG (JFIF/Exif) file, not a JPEG 2000 file";
        return "jpeg";
    }
    message = size == 0 ? "the file is empty" : "the file does not start with a signature box";
    return "unknown";
}

void checkBoxes(ByteStream& stream, std::uint64_t size, ValidationReport& report) {
    Findings& findings = report.findings;
    std::vector<BoxAt> boxes = walkBoxes(stream, 0, size, {}, findings);
    RowWalk walk{stream, findings, 0, {}, {}, {}};
    numberRows(boxes, walk);

    Rules rules = Rules::Jp2;
    report.format = "jp2";
    for (const BoxAt& box : boxes) {
        if (box.type != kTypeFtyp || box.payloadLength < 4) {
            continue;
        }
        std::array<std::uint8_t, 4> brand{};
        if (stream.seek(box.payloadOffset)) {
            stream.readBytes(brand.data(), 4);
        }
        const std::uint32_t value = loadU32(brand.data());
        rules = value == kBrandJpx ? Rules::Jpx : Rules::Jp2;
        report.format = value == kBrandJpx ? "jpx" : value == kBrandJpm ? "jpm" : "jp2";
        break;
    }

    HeaderFacts header;
    bool seenHeader = false;
    bool seenCodestream = false;
    for (const BoxAt& box : boxes) {
        switch (box.type) {
            case kTypeSignature:
                checkSignatureBox(stream, box, findings);
                break;
            case kTypeFtyp:
                checkFileTypeBox(stream, box, rules, findings);
                break;
            case kTypeJp2h:
                if (!seenHeader) {
                    header = checkJp2HeaderBox(stream, box, rules, findings);
                    seenHeader = true;
                }
                break;
            case kTypeJp2c:
                if (const auto facts = checkCodestream(stream, box.payloadOffset, box.payloadLength,
                                                       box.path, findings);
                    facts && !seenCodestream) {
                    checkHeaderAgainstCodestream(header, *facts, findings);
                    report.codestream = facts;
                }
                seenCodestream = true;
                break;
            case kTypeXml:
                checkXmlBox(stream, box, XmlPlace::TopLevel, findings);
                break;
            case kTypeUuid:
                checkUuidBox(stream, box, findings);
                break;
            case fourCC("uinf"):
                checkUuidInfoBox(stream, box, findings);
                break;
            default:
                break;
        }
    }
    checkTopLevel(boxes, header, rules, findings);
    checkGeoreferencing(stream, walk.geo, findings);
    if (rules == Rules::Jpx) {
        checkJpx(stream, boxes, size, findings);
    }
    if (report.format == "jpm") {
        findings.error("formatIsJp2OrJpx", false,
                       "a JPM (compound image) file, which this check does not cover", "ftyp");
    }
    for (Finding& finding : findings.all()) {
        if (finding.offset) {
            if (const auto row = walk.rows.find(*finding.offset); row != walk.rows.end()) {
                finding.row = row->second;
            }
        }
    }
}

}  // namespace

ValidationReport validateStream(ByteStream& stream, std::uint64_t size) {
    ValidationReport report;
    std::array<std::uint8_t, 12> head{};
    if (size > 0 && stream.seek(0)) {
        stream.readBytes(head.data(),
                         static_cast<std::uint32_t>(std::min<std::uint64_t>(size, head.size())));
    }
    // A file whose first box is a signature box, however damaged its content, is checked
    // box by box; anything else is named for what it is.
    const bool signatureFirst = size >= 8 && loadU32(head.data() + 4) == kTypeSignature;
    if (!signatureFirst) {
        std::string message;
        report.format = foreignFormat({head[0], head[1], head[2], head[3]}, size, message);
        report.findings.error("containsSignatureBox", false, message, {}, 0);
        if (report.format == "j2c") {
            report.codestream = checkCodestream(stream, 0, size, {}, report.findings);
            return report;
        }
        if (report.format != "unknown" || size < 8) {
            return report;
        }
    }
    checkBoxes(stream, size, report);
    return report;
}

ValidationReport validateFile(const std::string& path) {
    FileStream stream;
    if (!stream.open(path, "rb")) {
        ValidationReport report;
        report.findings.error(kFileReadableTest, false, "cannot open the file");
        return report;
    }
    const std::int64_t size = stream.sizeWide();
    if (size < 0) {
        ValidationReport report;
        report.findings.error(kFileReadableTest, false, "cannot measure the file");
        return report;
    }
    return validateStream(stream, static_cast<std::uint64_t>(size));
}

}  // namespace bq
