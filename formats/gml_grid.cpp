#include "formats/gml_grid.h"

#include <charconv>
#include <new>
#include <utility>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "formats/xml_check.h"

namespace bq {

namespace {

using Node = rapidxml::xml_node<char>;

// How deep the search for an element goes: a grid lies a few levels down, and a crafted
// nesting must not exhaust the stack.
constexpr int kMaxSearchDepth = 64;
// The most numbers read from one list: a point, an offset vector or a limit holds 2 or 3.
constexpr std::size_t kMaxListValues = 16;

// Prefixes vary from file to file (gml:, gmljp2:, none), so elements match by local name.
std::string_view localName(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view nameOf(const Node& node) {
    return {node.name(), node.name_size()};
}

const Node* child(const Node& parent, std::string_view name) {
    for (const Node* node = parent.first_node(); node != nullptr; node = node->next_sibling()) {
        if (node->type() == rapidxml::node_element && localName(nameOf(*node)) == name) {
            return node;
        }
    }
    return nullptr;
}

// Depth first, to kMaxSearchDepth.
const Node* descendant(const Node& parent, std::string_view name, int depth = 0) {
    if (depth > kMaxSearchDepth) {
        return nullptr;
    }
    for (const Node* node = parent.first_node(); node != nullptr; node = node->next_sibling()) {
        if (node->type() != rapidxml::node_element) {
            continue;
        }
        if (localName(nameOf(*node)) == name) {
            return node;
        }
        if (const Node* found = descendant(*node, name, depth + 1)) {
            return found;
        }
    }
    return nullptr;
}

std::optional<std::string> attribute(const Node* node, std::string_view name) {
    if (node == nullptr) {
        return std::nullopt;
    }
    for (const auto* a = node->first_attribute(); a != nullptr; a = a->next_attribute()) {
        if (localName({a->name(), a->name_size()}) == name) {
            return std::string(a->value(), a->value_size());
        }
    }
    return std::nullopt;
}

// The numbers of an element's text, split on white space and commas (gml:coordinates).
std::vector<double> numbers(const Node* node) {
    std::vector<double> values;
    if (node == nullptr) {
        return values;
    }
    const std::string_view text(node->value(), node->value_size());
    std::size_t pos = 0;
    while (pos < text.size() && values.size() < kMaxListValues) {
        const std::size_t start = text.find_first_not_of(" \t\r\n,", pos);
        if (start == std::string_view::npos) {
            break;
        }
        std::size_t end = text.find_first_of(" \t\r\n,", start);
        end = end == std::string_view::npos ? text.size() : end;
        const char* first = text.data() + start;
        if (*first == '+') {
            ++first;
        }
        double value = 0;
        const auto [ptr, ec] = std::from_chars(first, text.data() + end, value);
        if (ec != std::errc() || ptr != text.data() + end) {
            return {};
        }
        values.push_back(value);
        pos = end;
    }
    return values;
}

std::optional<std::array<std::int64_t, 2>> gridPoint(const Node* node) {
    const std::vector<double> values = numbers(node);
    if (values.size() != 2 || !(values[0] > -9e15 && values[0] < 9e15) ||
        !(values[1] > -9e15 && values[1] < 9e15)) {
        return std::nullopt;
    }
    return std::array<std::int64_t, 2>{static_cast<std::int64_t>(values[0]),
                                       static_cast<std::int64_t>(values[1])};
}

std::optional<int> parseCode(std::string_view digits) {
    int code = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
    if (ec != std::errc() || ptr != digits.data() + digits.size() || code <= 0) {
        return std::nullopt;
    }
    return code;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char a = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
        if (a != prefix[i]) {
            return false;
        }
    }
    return true;
}

GmlGridResult decodeGrid(const Node& root) {
    GmlGridResult result;
    const std::string_view rootName = localName(nameOf(root));
    const Node* grid = descendant(root, "RectifiedGrid");
    if (grid == nullptr) {
        result.fault = "the GML has no RectifiedGrid";
        return result;
    }
    GmlGrid& out = result.grid.emplace();
    out.version = rootName == "GMLJP2CoverageCollection" ? 2 : 1;
    const Node* origin = child(*grid, "origin");
    const Node* point = origin != nullptr ? child(*origin, "Point") : nullptr;
    out.srsName = attribute(grid, "srsName");
    if (!out.srsName) {
        out.srsName = attribute(point, "srsName");
    }
    if (out.srsName) {
        out.epsg = epsgFromSrsName(*out.srsName);
    }
    if (const Node* limits = child(*grid, "limits")) {
        if (const Node* envelope = child(*limits, "GridEnvelope")) {
            for (const auto& [which, point] : {std::pair{"low", &out.low}, {"high", &out.high}}) {
                const Node* node = child(*envelope, which);
                *point = gridPoint(node);
                if (node != nullptr && !*point) {
                    out.warnings.push_back(std::string("the GridEnvelope's ") + which +
                                           " is not two whole numbers within 9e15 of zero: the "
                                           "grid's size is not known");
                }
            }
        }
    }
    std::vector<double> position;
    if (point != nullptr) {
        position = numbers(child(*point, "pos"));
        if (position.empty()) {
            position = numbers(child(*point, "coordinates"));
        }
    }
    std::vector<std::vector<double>> vectors;
    for (const Node* node = grid->first_node(); node != nullptr; node = node->next_sibling()) {
        if (node->type() == rapidxml::node_element && localName(nameOf(*node)) == "offsetVector") {
            vectors.push_back(numbers(node));
        }
    }
    if (position.size() < 2) {
        result.grid.reset();
        result.fault = "the RectifiedGrid has no origin of two coordinates";
        return result;
    }
    if (vectors.size() != 2 || vectors[0].size() < 2 || vectors[1].size() < 2) {
        result.grid.reset();
        result.fault = "the RectifiedGrid has not two offset vectors of two values";
        return result;
    }
    out.origin = {position[0], position[1]};
    out.offset1 = {vectors[0][0], vectors[0][1]};
    out.offset2 = {vectors[1][0], vectors[1][1]};
    // Only the URN and the /def/crs/ URL name EPSG's own axis order; "EPSG:N" and the older
    // ".../gml/srs/epsg.xml#N" are read x, y, as GDAL reads them.
    if (out.epsg && isGeographicEpsg(*out.epsg) && out.srsName &&
        (startsWithNoCase(*out.srsName, "urn:") ||
         startsWithNoCase(*out.srsName, "http://www.opengis.net/def/crs/"))) {
        out.axesSwapped = true;
        for (auto* pair : {&out.origin, &out.offset1, &out.offset2}) {
            std::swap((*pair)[0], (*pair)[1]);
        }
    }
    return result;
}

}  // namespace

std::optional<int> epsgFromSrsName(std::string_view name) {
    for (const std::string_view prefix :
         {"urn:ogc:def:crs:epsg:", "http://www.opengis.net/def/crs/epsg/",
          "http://www.opengis.net/gml/srs/epsg.xml#", "epsg:"}) {
        if (!startsWithNoCase(name, prefix)) {
            continue;
        }
        name.remove_prefix(prefix.size());
        // The version between the prefix and the code: empty in the URN, "0" in the URL, none
        // after '#'.
        const std::size_t separator = name.find_last_of(":/");
        if (separator != std::string_view::npos) {
            name.remove_prefix(separator + 1);
        }
        return parseCode(name);
    }
    return std::nullopt;
}

bool isGeographicEpsg(int code) {
    return code >= 4000 && code <= 4999;
}

GmlGridResult decodeGmlGrid(std::string_view xml) {
    try {
        return decodeGmlGridInPlace(std::string(xml));
    } catch (const std::bad_alloc&) {
        GmlGridResult result;
        result.fault = "the XML is too large to parse";
        return result;
    }
}

GmlGridResult decodeGmlGridInPlace(std::string xml) {
    // rapidxml descends one call per nesting level and allocates about 100 bytes a node: the
    // check bounds both before it runs.
    if (const std::string problem = xmlProblem(xml); !problem.empty()) {
        GmlGridResult result;
        result.fault = "the GML is " + problem;
        return result;
    }
    // rapidxml parses in place, up to the string's terminating NUL; an element's text is its
    // value, so data nodes are not needed.
    rapidxml::xml_document<char> document;
    try {
        document.parse<rapidxml::parse_no_data_nodes>(xml.data());
    } catch (const rapidxml::parse_error& error) {
        GmlGridResult result;
        result.fault = std::string("the XML does not parse: ") + error.what();
        return result;
    } catch (const std::bad_alloc&) {
        GmlGridResult result;
        result.fault = "the XML is too large to parse";
        return result;
    }
    const Node* root = document.first_node();
    while (root != nullptr && root->type() != rapidxml::node_element) {
        root = root->next_sibling();
    }
    if (root == nullptr) {
        GmlGridResult result;
        result.fault = "the XML has no root element";
        return result;
    }
    return decodeGrid(*root);
}

}  // namespace bq
