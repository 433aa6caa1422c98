#include "formats/world_file.h"

#include <charconv>
#include <cmath>

#include "formats/geo_transform.h"

namespace bq {

std::optional<std::array<double, 6>> parseWorldFile(std::string_view text, std::string& why) {
    // A, D, B, E, C, F: x step, y step along a row, x step down a column, y step, and the
    // centre of the first pixel.
    std::array<double, 6> values{};
    std::size_t count = 0;
    std::size_t at = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    if (text.starts_with("\xEF\xBB\xBF")) {
        at = 3;
    }
    while (true) {
        while (at < text.size() && blank(text[at])) {
            ++at;
        }
        if (at == text.size()) {
            break;
        }
        std::size_t end = at;
        while (end < text.size() && !blank(text[end])) {
            ++end;
        }
        std::string_view word = text.substr(at, end - at);
        if (count == values.size()) {
            why = "the world file holds more than six numbers";
            return std::nullopt;
        }
        if (word.starts_with('+')) {
            word.remove_prefix(1);
        }
        double value = 0;
        const auto [stop, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc() || stop != word.data() + word.size() || !std::isfinite(value)) {
            why = "line " + std::to_string(count + 1) + " of the world file is not a number: '" +
                  std::string(text.substr(at, std::min<std::size_t>(end - at, 40))) + "'";
            return std::nullopt;
        }
        values[count++] = value;
        at = end;
    }
    if (count < values.size()) {
        why = "the world file holds " + std::to_string(count) + " numbers, not six";
        return std::nullopt;
    }
    const auto [a, d, b, e, c, f] = values;
    // The file names the first pixel's centre.
    const std::array<double, 6> geoTransform = cornerFromCentre({c, a, b, f, d, e});
    if (const auto fault = geoTransformFault(geoTransform)) {
        why = "the world file: " + *fault;
        return std::nullopt;
    }
    return geoTransform;
}

}  // namespace bq
