#pragma once
// The one well-formedness check for every XML read or written (XML boxes, XMP packets, GML
// grids). It walks the text once, without recursion, keeping only the names of the open
// elements, so that no input can exhaust the stack or the memory; a DOM parser handed a text
// that passed it is bounded by the same limits.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace bq {

// Deeper than any XMP or GML needs; a DOM parser descends one call per level.
inline constexpr std::size_t kMaxXmlDepth = 256;
// Elements and attributes together: each costs a DOM parser about 100 bytes however short
// it is in the text, so this bounds a parse at about 100 MB.
inline constexpr std::size_t kMaxXmlNodes = 1'000'000;

struct XmlFault {
    std::string what;
    std::size_t offset = 0;
    std::size_t line = 1;
    std::size_t column = 1;
};

// Why `text` is not well-formed XML, or is beyond the limits above; none when it is fine.
// One root element; outside it only white space, comments and processing instructions (and
// one DOCTYPE before it); end tags matching their start tags; quoted attribute values.
std::optional<XmlFault> checkXml(std::string_view text);

// The fault as "not well-formed XML: WHAT at offset N (line L, column C)"; empty when the
// text is fine.
std::string xmlProblem(std::string_view text);

}  // namespace bq
