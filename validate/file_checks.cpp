// The file's own rules (ISO/IEC 15444-1 I.5): the signature and file type boxes, the order
// and counts of the top-level boxes, and the image header against the codestream.

#include <algorithm>
#include <array>
#include <string>

#include "stream/box_type.h"
#include "stream/byte_reader.h"
#include "validate/check_groups.h"

namespace bq {

namespace {

constexpr std::uint32_t kTypeIpr = fourCC("jp2i");
constexpr std::array<std::uint8_t, 4> kSignature = {0x0D, 0x0A, 0x87, 0x0A};

std::string n(std::uint64_t value) {
    return std::to_string(value);
}

std::uint64_t count(const std::vector<BoxAt>& boxes, std::uint32_t type) {
    return static_cast<std::uint64_t>(std::count_if(
        boxes.begin(), boxes.end(), [type](const BoxAt& box) { return box.type == type; }));
}

}  // namespace

void checkSignatureBox(ByteStream& stream, const BoxAt& box, Findings& findings) {
    if (!findings.error("boxLengthIsValid", box.payloadLength == 4,
                        "payload of " + n(box.payloadLength) + " bytes; expected 4", box.path,
                        box.offset)) {
        return;
    }
    std::array<std::uint8_t, 4> bytes{};
    const bool read =
        stream.seek(box.payloadOffset) && (stream.readBytes(bytes.data(), 4), stream.good());
    findings.error("signatureIsValid", read && bytes == kSignature,
                   "signature " + n(loadU32(bytes.data())) + "; 0x0D0A870A required", box.path,
                   box.offset);
}

std::optional<std::uint32_t> checkFileTypeBox(ByteStream& stream, const BoxAt& box, Rules rules,
                                              Findings& findings) {
    const auto payload = readPayload(stream, box, "fileTypeBoxIsChecked", findings);
    if (!payload) {
        return std::nullopt;
    }
    if (!findings.error(
            "boxLengthIsValid", payload->size() >= 8 && payload->size() % 4 == 0,
            "payload of " + n(payload->size()) + " bytes; 8 and more in steps of 4 expected",
            box.path, box.offset)) {
        return payload->size() >= 4 ? std::optional(loadU32(payload->data())) : std::nullopt;
    }
    const std::uint32_t brand = loadU32(payload->data());
    const std::uint32_t wanted = rules == Rules::Jpx ? kBrandJpx : kBrandJp2;
    findings.error("brandIsValid", brand == wanted,
                   "brand '" + typeText(brand) + "'; '" + typeText(wanted) + "' required", box.path,
                   box.offset);
    findings.error("minorVersionIsValid", loadU32(payload->data() + 4) == 0,
                   "minor version " + n(loadU32(payload->data() + 4)) + "; 0 required", box.path,
                   box.offset);
    bool listed = false;
    for (std::size_t at = 8; at + 4 <= payload->size(); at += 4) {
        // A JPX file lists 'jpx ' or its baseline 'jpxb'; both read 'jp2 ' too.
        const std::uint32_t entry = loadU32(payload->data() + at);
        listed = listed || entry == wanted || (rules == Rules::Jpx && entry == fourCC("jpxb"));
    }
    findings.error("compatibilityListIsValid", listed,
                   "compatibility list without '" + typeText(wanted) + "'", box.path, box.offset);
    return brand;
}

void checkTopLevel(const std::vector<BoxAt>& boxes, const HeaderFacts& header, Rules rules,
                   Findings& findings) {
    const auto error = [&](std::string_view test, bool ok, const std::string& message,
                           const BoxAt* box = nullptr) {
        findings.error(test, ok, message, box ? box->path : std::string(),
                       box ? std::optional(box->offset) : std::nullopt);
    };
    error("containsSignatureBox", count(boxes, kTypeSignature) > 0, "no signature box");
    error("containsFileTypeBox", count(boxes, kTypeFtyp) > 0, "no file type box");
    error("containsJP2HeaderBox", count(boxes, kTypeJp2h) > 0, "no JP2 header box");
    // A JPX file may carry its codestreams in fragments instead.
    if (rules == Rules::Jp2) {
        error("containsContiguousCodestreamBox", count(boxes, kTypeJp2c) > 0,
              "no contiguous codestream box");
    }
    if (header.imageHeader && header.imageHeader->intellectualProperty == 1) {
        error("containsIntellectualPropertyBox", count(boxes, kTypeIpr) > 0,
              "IPR is 1 but there is no intellectual property box");
    }
    if (!boxes.empty()) {
        error("firstBoxIsSignatureBox", boxes.front().type == kTypeSignature,
              "first box '" + typeText(boxes.front().type) + "'", &boxes.front());
    }
    if (boxes.size() > 1) {
        error("secondBoxIsFileTypeBox", boxes[1].type == kTypeFtyp,
              "second box '" + typeText(boxes[1].type) + "'", &boxes[1]);
    } else if (!boxes.empty()) {
        error("secondBoxIsFileTypeBox", false, "no box after the first");
    }
    const auto headerBox = std::find_if(boxes.begin(), boxes.end(),
                                        [](const BoxAt& box) { return box.type == kTypeJp2h; });
    const auto codestream = std::find_if(boxes.begin(), boxes.end(),
                                         [](const BoxAt& box) { return box.type == kTypeJp2c; });
    if (headerBox != boxes.end() && codestream != boxes.end()) {
        error("locationJP2HeaderBoxIsValid", headerBox < codestream,
              "the JP2 header box follows the first codestream box", &*headerBox);
    } else if (rules == Rules::Jp2) {
        // Without both boxes the header cannot stand before the codestream, as it must.
        error("locationJP2HeaderBoxIsValid", false,
              "no JP2 header box before a contiguous codestream box");
    }
    for (const auto& [type, test] : {std::pair{kTypeSignature, "noMoreThanOneSignatureBox"},
                                     std::pair{kTypeFtyp, "noMoreThanOneFileTypeBox"},
                                     std::pair{kTypeJp2h, "noMoreThanOneJP2HeaderBox"}}) {
        error(test, count(boxes, type) <= 1,
              n(count(boxes, type)) + " '" + typeText(type) + "' boxes");
    }
}

void checkHeaderAgainstCodestream(const HeaderFacts& header, const CodestreamFacts& codestream,
                                  Findings& findings) {
    if (!header.imageHeader) {
        return;
    }
    const ImageHeader& ihdr = *header.imageHeader;
    const std::string box = "jp2h/ihdr";
    const auto error = [&](std::string_view test, bool ok, const std::string& message) {
        return findings.error(test, ok, message, box, header.imageHeaderOffset);
    };
    error("heightConsistentWithSIZ", ihdr.height == codestream.height,
          "height " + n(ihdr.height) + ", SIZ " + n(codestream.height));
    error("widthConsistentWithSIZ", ihdr.width == codestream.width,
          "width " + n(ihdr.width) + ", SIZ " + n(codestream.width));
    if (!error("nCConsistentWithSIZ", ihdr.components == codestream.components.size(),
               "NC " + n(ihdr.components) + ", Csiz " + n(codestream.components.size()))) {
        return;
    }
    for (std::size_t i = 0; i < codestream.components.size(); ++i) {
        std::uint8_t byte = ihdr.bpc;
        if (byte == kDepthVaries) {
            if (!header.bitsPerComponent || i >= header.bitsPerComponent->size()) {
                return;
            }
            byte = (*header.bitsPerComponent)[i];
        }
        const BitDepth depth = bitDepth(byte);
        const auto& component = codestream.components[i];
        error("bPCSignConsistentWithSIZ", depth.isSigned == component.isSigned,
              "component " + n(i) + ": signedness differs from SIZ");
        error("bPCDepthConsistentWithSIZ", depth.bits == component.bitDepth,
              "component " + n(i) + ": " + n(static_cast<std::uint64_t>(depth.bits)) +
                  " bits, SIZ " + n(component.bitDepth));
    }
}

}  // namespace bq
