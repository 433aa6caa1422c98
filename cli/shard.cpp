#include "cli/shard.h"

#include <charconv>

namespace bq::cli {

namespace {

std::optional<std::uint64_t> parseCount(std::string_view text) {
    std::uint64_t value = 0;
    // Digits only: from_chars would take a sign or stop early without saying so.
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<Shard> parseShard(std::string_view text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> index = parseCount(text.substr(0, slash));
    const std::optional<std::uint64_t> count = parseCount(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *index > *count) {
        return std::nullopt;
    }
    return Shard{*index, *count};
}

std::uint64_t fnv1a64(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3u;
    }
    return hash;
}

bool inShard(std::string_view key, const Shard& shard) {
    return fnv1a64(key) % shard.count == shard.index - 1;
}

}  // namespace bq::cli
