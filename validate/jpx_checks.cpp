// The JPX rules (ISO/IEC 15444-2 Annex M) beyond those JP2 shares: the reader requirements,
// the codestream and compositing layer headers, fragment tables and data references; and
// association and label boxes, which JP2 files use too (GMLJP2).

#include <algorithm>
#include <string>

#include "stream/box_type.h"
#include "stream/byte_reader.h"
#include "validate/check_groups.h"

namespace bq {

namespace {

constexpr std::uint32_t kTypeJpch = fourCC("jpch");
constexpr std::uint32_t kTypeJplh = fourCC("jplh");
constexpr std::uint32_t kTypeFtbl = fourCC("ftbl");
constexpr std::uint32_t kTypeFlst = fourCC("flst");
constexpr std::uint32_t kTypeDtbl = fourCC("dtbl");

std::string n(std::uint64_t value) {
    return std::to_string(value);
}

std::uint64_t count(const std::vector<BoxAt>& boxes, std::uint32_t type) {
    return static_cast<std::uint64_t>(std::count_if(
        boxes.begin(), boxes.end(), [type](const BoxAt& box) { return box.type == type; }));
}

// ML, FUAM, DCM, NSF standard features with their masks, NVF vendor features with theirs,
// and nothing after.
void checkReaderRequirements(ByteStream& stream, const BoxAt& box, Findings& findings) {
    const auto payload = readPayload(stream, box, "readerRequirementsBoxIsChecked", findings);
    if (!payload) {
        return;
    }
    ByteReader reader(*payload);
    std::uint8_t maskLength = 0;
    reader.u8(maskLength);
    if (!findings.error("maskLengthIsValid",
                        maskLength == 1 || maskLength == 2 || maskLength == 4 || maskLength == 8,
                        "mask length " + n(maskLength) + "; 1, 2, 4 or 8 allowed", box.path,
                        box.offset)) {
        return;
    }
    reader.take(2u * maskLength);  // FUAM, DCM
    std::uint16_t standard = 0;
    reader.u16(standard);
    reader.take(std::size_t{standard} * (2u + maskLength));
    std::uint16_t vendor = 0;
    reader.u16(vendor);
    reader.take(std::size_t{vendor} * (16u + maskLength));
    findings.error("boxLengthIsValid", reader.ok() && reader.remaining() == 0,
                   "payload of " + n(payload->size()) + " bytes for " + n(standard) +
                       " standard and " + n(vendor) + " vendor features",
                   box.path, box.offset);
}

// A header box whose first box (after an optional label) must be `first` when present.
void checkHeaderBox(ByteStream& stream, const BoxAt& box, std::uint32_t first,
                    std::string_view test, Findings& findings) {
    const std::vector<BoxAt> inner = walkBoxes(
        stream, box.payloadOffset, box.payloadOffset + box.payloadLength, box.path, findings);
    auto at = inner.begin();
    if (at != inner.end() && at->type == kTypeLbl) {
        ++at;
    }
    const bool has = count(inner, first) > 0;
    findings.error(test, !has || (at != inner.end() && at->type == first),
                   "'" + typeText(first) + "' is not the first box", box.path, box.offset);
}

// The fragment list: each fragment in this file (DR 0) lies inside it; any other points to
// an entry of the data reference box.
void checkFragmentTable(ByteStream& stream, const BoxAt& box, std::uint64_t fileSize,
                        std::uint64_t references, Findings& findings) {
    const auto payload = readPayload(stream, box, "fragmentTableBoxIsChecked", findings);
    if (!payload) {
        return;
    }
    const std::vector<BoxAt> inner = walkBytes(*payload, box.payloadOffset, box.path, findings);
    findings.error("containsOneFragmentListBox", count(inner, kTypeFlst) == 1,
                   n(count(inner, kTypeFlst)) + " fragment list boxes", box.path, box.offset);
    for (const BoxAt& list : inner) {
        if (list.type != kTypeFlst) {
            continue;
        }
        ByteReader reader(payloadIn(*payload, box.payloadOffset, list));
        std::uint16_t fragments = 0;
        reader.u16(fragments);
        findings.error(
            "boxLengthIsValid", list.payloadLength == 2 + std::uint64_t{fragments} * 14,
            "payload of " + n(list.payloadLength) + " bytes for " + n(fragments) + " fragments",
            list.path, list.offset);
        for (std::uint16_t i = 0; i < fragments && reader.ok(); ++i) {
            std::uint64_t offset = 0;
            std::uint32_t length = 0;
            std::uint16_t reference = 0;
            if (!reader.u64(offset) || !reader.u32(length) || !reader.u16(reference)) {
                break;
            }
            if (reference == 0) {
                findings.error("fragmentIsInsideFile",
                               offset <= fileSize && length <= fileSize - offset,
                               "fragment " + n(i) + " at " + n(offset) + " of " + n(length) +
                                   " bytes ends past the file's " + n(fileSize),
                               list.path, list.offset);
            } else {
                findings.error("dataReferenceExists", reference <= references,
                               "fragment " + n(i) + " names data reference " + n(reference) +
                                   " of " + n(references),
                               list.path, list.offset);
            }
        }
    }
}

std::uint64_t dataReferences(ByteStream& stream, const std::vector<BoxAt>& boxes) {
    for (const BoxAt& box : boxes) {
        std::uint8_t bytes[2] = {};
        if (box.type == kTypeDtbl && box.payloadLength >= 2 && stream.seek(box.payloadOffset)) {
            stream.readBytes(bytes, 2);
            return stream.good() ? loadU16(bytes) : 0;
        }
    }
    return 0;
}

}  // namespace

void checkJpx(ByteStream& stream, const std::vector<BoxAt>& boxes, std::uint64_t fileSize,
              Findings& findings) {
    const auto rreq = std::find_if(boxes.begin(), boxes.end(),
                                   [](const BoxAt& box) { return box.type == kTypeRreq; });
    if (!findings.error("containsReaderRequirementsBox", rreq != boxes.end(),
                        "no reader requirements box")) {
        return;
    }
    findings.warning("readerRequirementsBoxFollowsFileTypeBox",
                     rreq != boxes.begin() && (rreq - 1)->type == kTypeFtyp,
                     "the reader requirements box does not follow the file type box", rreq->path,
                     rreq->offset);
    checkReaderRequirements(stream, *rreq, findings);

    const std::uint64_t references = dataReferences(stream, boxes);
    const std::uint64_t codestreams = count(boxes, kTypeJp2c) + count(boxes, kTypeFtbl);
    findings.error("containsCodestream", codestreams > 0,
                   "neither a codestream box nor a fragment table");
    findings.error(
        "codestreamHeaderCountIsValid", count(boxes, kTypeJpch) <= codestreams,
        n(count(boxes, kTypeJpch)) + " codestream headers for " + n(codestreams) + " codestreams");
    for (const BoxAt& box : boxes) {
        if (box.type == kTypeJpch) {
            checkHeaderBox(stream, box, kTypeIhdr, "firstCodestreamHeaderBoxIsImageHeaderBox",
                           findings);
        } else if (box.type == kTypeJplh) {
            checkHeaderBox(stream, box, kTypeLbl, "firstCompositingLayerHeaderBoxIsLabelBox",
                           findings);
        } else if (box.type == kTypeFtbl) {
            checkFragmentTable(stream, box, fileSize, references, findings);
        }
    }
}

void checkAssociation(const BoxAt& box, const std::vector<BoxAt>& inner, Findings& findings) {
    findings.error("associationIsNotEmpty", !inner.empty(), "an empty association", box.path,
                   box.offset);
}

void checkLabelBox(ByteStream& stream, const BoxAt& box, Findings& findings) {
    const auto payload = readPayload(stream, box, "labelBoxIsChecked", findings);
    if (!payload) {
        return;
    }
    findings.error("labelIsUTF8", isUtf8(*payload), "label text is not UTF-8", box.path,
                   box.offset);
}

}  // namespace bq
