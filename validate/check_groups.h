#pragma once
// The groups of tests a file check runs, each over the boxes it concerns. The engine
// (validate_file.cpp) walks the file and calls them; each records its findings and returns
// what the later, file-level tests need.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "formats/jp2_header_boxes.h"
#include "stream/byte_stream.h"
#include "validate/box_walk.h"
#include "validate/codestream_checks.h"
#include "validate/findings.h"

namespace bq {

// The rules a file is held to: JPX relaxes some of JP2's (colour methods, precedence).
enum class Rules : std::uint8_t { Jp2, Jpx };

// What the JP2 header says, for the tests against the codestream.
struct HeaderFacts {
    std::optional<ImageHeader> imageHeader;
    std::optional<std::vector<std::uint8_t>> bitsPerComponent;
    std::uint64_t imageHeaderOffset = 0;
};

// 'jP  ': its length and its fixed content.
void checkSignatureBox(ByteStream& stream, const BoxAt& box, Findings& findings);
// 'ftyp': its length, brand, minor version and compatibility list; returns the brand.
std::optional<std::uint32_t> checkFileTypeBox(ByteStream& stream, const BoxAt& box, Rules rules,
                                              Findings& findings);
// 'jp2h' and every box in it.
HeaderFacts checkJp2HeaderBox(ByteStream& stream, const BoxAt& box, Rules rules,
                              Findings& findings);
// The order and counts of the top-level boxes.
void checkTopLevel(const std::vector<BoxAt>& boxes, const HeaderFacts& header, Rules rules,
                   Findings& findings);
// The image header against the codestream's SIZ.
void checkHeaderAgainstCodestream(const HeaderFacts& header, const CodestreamFacts& codestream,
                                  Findings& findings);
// 'xml ', 'uuid' (the XMP packet well-formed) and 'uinf' (its list and URL boxes).
// Where an XML box stands: at the top level, or nested in an association (GMLJP2).
enum class XmlPlace : std::uint8_t { TopLevel, Nested };
void checkXmlBox(ByteStream& stream, const BoxAt& box, XmlPlace place, Findings& findings);
void checkUuidBox(ByteStream& stream, const BoxAt& box, Findings& findings);
void checkUuidInfoBox(ByteStream& stream, const BoxAt& box, Findings& findings);

// The JPX rules over the top-level boxes of a file of `fileSize` bytes.
void checkJpx(ByteStream& stream, const std::vector<BoxAt>& boxes, std::uint64_t fileSize,
              Findings& findings);
// An association box (its boxes `inner`) and a label box, wherever they stand.
void checkAssociation(const BoxAt& box, const std::vector<BoxAt>& inner, Findings& findings);
void checkLabelBox(ByteStream& stream, const BoxAt& box, Findings& findings);
// The boxes that georeference the image: the first GeoJP2 uuid box, and the XML box of the
// "gml.root-instance" association inside "gml.data".
struct GeoBoxes {
    std::optional<BoxAt> geoJp2;
    std::optional<BoxAt> gmlRootInstance;
};
void checkGeoreferencing(ByteStream& stream, const GeoBoxes& geo, Findings& findings);
// An XML box's text without the NUL bytes some writers end it with.
std::string_view xmlTextOf(std::span<const std::uint8_t> bytes);
// Whether the bytes are UTF-8.
bool isUtf8(std::span<const std::uint8_t> bytes);

}  // namespace bq
