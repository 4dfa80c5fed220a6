#pragma once
// Batch shards: N machines that share a folder process one batch list together, machine K
// taking the records K, K+N, K+2N, ... (0-based), each with a batch log of its own.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::catalogue {

inline constexpr int kMaxShards = 100000;

struct Shard {
    int index = 0;  // K
    int count = 1;  // N
};

// "K/N" in plain decimals with 0 <= K < N <= kMaxShards; nothing for anything else.
std::optional<Shard> parseShard(std::string_view text);

// The 0-based positions in a list of `total` records that the shard processes, ascending.
std::vector<size_t> shardPositions(size_t total, Shard shard);

// The shard's batch log beside the list: "<list>.shardK-of-N.log".
std::string shardLogPath(const std::string& listPath, Shard shard);

}  // namespace orv::catalogue
