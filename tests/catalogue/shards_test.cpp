// Batch shards: "K/N", and the records each shard takes.

#include <gtest/gtest.h>

#include <vector>

#include "catalogue/shards.h"

namespace orv::catalogue {
namespace {

TEST(Shards, ParseTakesOnlyKBelowN) {
    struct Case {
        const char* text;
        bool ok;
        int k, n;
    };
    const std::vector<Case> cases = {
        {"0/1", true, 0, 1},    {"15/16", true, 15, 16}, {"99999/100000", true, 99999, 100000},
        {"16/16", false, 0, 0}, {"0/0", false, 0, 0},    {"-1/4", false, 0, 0},
        {"+1/4", false, 0, 0},  {"1 /4", false, 0, 0},   {"1/100001", false, 0, 0},
        {"1", false, 0, 0},     {"1/2/3", false, 0, 0},  {"99999999999/3", false, 0, 0},
    };
    for (const Case& c : cases) {
        const auto s = parseShard(c.text);
        ASSERT_EQ(s.has_value(), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(s->index, c.k) << c.text;
        EXPECT_EQ(s->count, c.n) << c.text;
    }
}

TEST(Shards, EveryRecordGoesToExactlyOneShard) {
    for (size_t total = 0; total <= 23; ++total) {
        for (int n = 1; n <= 7; ++n) {
            std::vector<int> seen(total, 0);
            for (int k = 0; k < n; ++k) {
                const auto positions = shardPositions(total, {k, n});
                for (size_t a = 0; a < positions.size(); ++a) {
                    ASSERT_LT(positions[a], total);
                    EXPECT_EQ(positions[a] % n, static_cast<size_t>(k));
                    if (a > 0) {
                        EXPECT_EQ(positions[a], positions[a - 1] + n);
                    }
                    ++seen[positions[a]];
                }
                if (!positions.empty()) {
                    EXPECT_EQ(positions.front(), static_cast<size_t>(k));
                }
            }
            for (size_t p = 0; p < total; ++p) EXPECT_EQ(seen[p], 1) << total << " " << n;
        }
    }
}

}  // namespace
}  // namespace orv::catalogue
