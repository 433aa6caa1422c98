#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codestream/marker_table.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace bq {

// The index of the first 0xFF in bytes[0, count) that is followed by 0xD9 within the range,
// or count when there is none. Every byte of a large codestream passes through here, so it
// tests 64 bytes at a time where the processor allows; entropy-coded data holds an 0xFF about
// every 256 bytes, which makes a search for 0xFF alone stop far too often.
inline std::size_t findEndPair(const std::uint8_t* bytes, std::size_t count) {
    std::size_t at = 0;
#if defined(__SSE2__)
    const __m128i ff = _mm_set1_epi8(static_cast<char>(kMarkerPrefix));
    const __m128i d9 = _mm_set1_epi8(static_cast<char>(kCodeEoc));
    const auto pairs = [&](std::size_t i) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 1));
        return _mm_and_si128(_mm_cmpeq_epi8(first, ff), _mm_cmpeq_epi8(second, d9));
    };
    // Each step reads bytes[at, at + 65): the pair may end one byte past the 64 tested.
    while (count - at > 64) {
        const __m128i any = _mm_or_si128(_mm_or_si128(pairs(at), pairs(at + 16)),
                                         _mm_or_si128(pairs(at + 32), pairs(at + 48)));
        if (_mm_movemask_epi8(any) != 0) {
            for (std::size_t part = 0; part < 64; part += 16) {
                const auto mask = static_cast<unsigned>(_mm_movemask_epi8(pairs(at + part)));
                if (mask != 0) {
                    return at + part + static_cast<std::size_t>(std::countr_zero(mask));
                }
            }
        }
        at += 64;
    }
#endif
    while (count - at >= 2) {
        const void* hit = std::memchr(bytes + at, kMarkerPrefix, count - at - 1);
        if (hit == nullptr) {
            break;
        }
        const auto index = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - bytes);
        if (bytes[index + 1] == kCodeEoc) {
            return index;
        }
        at = index + 1;
    }
    return count;
}

}  // namespace bq
