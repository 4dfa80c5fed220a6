#include "catalogue/shards.h"

#include <charconv>

namespace orv::catalogue {

namespace {

// A plain decimal number (digits only) from 0 to kMaxShards.
std::optional<int> count(std::string_view text) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text[0] == '-' || v > kMaxShards)
        return std::nullopt;
    return v;
}

}  // namespace

std::optional<Shard> parseShard(std::string_view text) {
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const auto k = count(text.substr(0, slash));
    const auto n = count(text.substr(slash + 1));
    if (!k || !n || *k >= *n) return std::nullopt;
    return Shard{*k, *n};
}

std::vector<size_t> shardPositions(size_t total, Shard shard) {
    std::vector<size_t> positions;
    for (size_t p = static_cast<size_t>(shard.index); p < total;
         p += static_cast<size_t>(shard.count))
        positions.push_back(p);
    return positions;
}

std::string shardLogPath(const std::string& listPath, Shard shard) {
    return listPath + ".shard" + std::to_string(shard.index) + "-of-" +
           std::to_string(shard.count) + ".log";
}

}  // namespace orv::catalogue
