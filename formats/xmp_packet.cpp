#include "formats/xmp_packet.h"

#include <rapidxml/rapidxml.hpp>
#include <vector>

namespace bq {

std::string xmlProblem(std::string_view text) {
    // The parser writes into what it reads, and needs a terminating NUL.
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    try {
        rapidxml::xml_document<char> document;
        document.parse<rapidxml::parse_non_destructive | rapidxml::parse_validate_closing_tags>(
            copy.data());
    } catch (const rapidxml::parse_error& error) {
        const char* where = error.where<char>();
        std::size_t offset = text.size();
        if (where >= copy.data() && where <= copy.data() + text.size()) {
            offset = static_cast<std::size_t>(where - copy.data());
        }
        std::size_t line = 1;
        std::size_t column = 1;
        for (std::size_t i = 0; i < offset; ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        return "not well-formed XML: " + std::string(error.what()) + " at offset " +
               std::to_string(offset) + " (line " + std::to_string(line) + ", column " +
               std::to_string(column) + ")";
    }
    return {};
}

}  // namespace bq
