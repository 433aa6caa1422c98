#pragma once
// TIFF files built inline for the GeoJP2 tests.

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace bq {

using Bytes = std::vector<std::uint8_t>;

// A TIFF or BigTIFF file in either byte order, the IFD behind the header, values behind it.
struct Tiff {
    bool little;
    Bytes bytes;
    struct Tag {
        std::uint16_t tag, type;
        std::uint64_t count;
        Bytes values;
    };
    std::vector<Tag> tags;

    void put(Bytes& b, std::uint64_t v, int n) const {
        for (int i = 0; i < n; ++i) {
            const int shift = little ? 8 * i : 8 * (n - 1 - i);
            b.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    }
    Tiff& shorts(std::uint16_t tag, std::vector<std::uint16_t> v) {
        Bytes b;
        for (auto x : v)
            put(b, x, 2);
        tags.push_back({tag, 3, static_cast<std::uint32_t>(v.size()), b});
        return *this;
    }
    Tiff& longs(std::uint16_t tag, std::uint32_t v) {
        Bytes b;
        put(b, v, 4);
        tags.push_back({tag, 4, 1, b});
        return *this;
    }
    Tiff& doubles(std::uint16_t tag, std::vector<double> v) {
        Bytes b;
        for (double x : v)
            put(b, std::bit_cast<std::uint64_t>(x), 8);
        tags.push_back({tag, 12, static_cast<std::uint32_t>(v.size()), b});
        return *this;
    }
    Tiff& ascii(std::uint16_t tag, const std::string& s) {
        tags.push_back(
            {tag, 2, static_cast<std::uint32_t>(s.size() + 1), Bytes(s.begin(), s.end())});
        tags.back().values.push_back(0);
        return *this;
    }
    // Version 43 is BigTIFF; the offsets count `gap` bytes of pixels left out after the header.
    Bytes build(std::uint16_t version = 42, std::uint64_t gap = 0) const {
        const bool big = version == 43;
        const std::size_t field = big ? 8 : 4;
        Bytes b = little ? Bytes{'I', 'I'} : Bytes{'M', 'M'};
        put(b, version, 2);
        put(b, 8, big ? 2 : 0);
        put(b, 0, big ? 2 : 0);
        put(b, b.size() + field + gap, static_cast<int>(field));
        put(b, tags.size(), big ? 8 : 2);
        std::uint64_t data = b.size() + gap + tags.size() * (4 + 2 * field) + field;
        Bytes tail;
        for (const Tag& t : tags) {
            put(b, t.tag, 2);
            put(b, t.type, 2);
            put(b, t.count, static_cast<int>(field));
            if (t.values.size() <= field) {
                Bytes v = t.values;
                v.resize(field, 0);
                b.insert(b.end(), v.begin(), v.end());
            } else {
                put(b, data + tail.size(), static_cast<int>(field));
                tail.insert(tail.end(), t.values.begin(), t.values.end());
            }
        }
        put(b, 0, static_cast<int>(field));
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    }
};

}  // namespace bq
