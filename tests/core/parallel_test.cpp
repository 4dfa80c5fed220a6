#include "core/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace orv::core {
namespace {

TEST(ForEachPart, EveryIndexIsVisitedOnceInRunsByPartOrder) {
    for (const int parts : {1, 2, 3, 8})
        for (const int64_t count : {0, 1, 2, 7, 100}) {
            SCOPED_TRACE(std::to_string(parts) + " parts of " + std::to_string(count));
            std::vector<int> owner(static_cast<size_t>(count), -1);
            std::vector<std::pair<int64_t, int64_t>> runs(static_cast<size_t>(parts), {-1, -1});
            forEachPart(parts, count, [&](int k, int64_t begin, int64_t end) {
                runs[static_cast<size_t>(k)] = {begin, end};
                for (int64_t i = begin; i < end; ++i) owner[static_cast<size_t>(i)] = k;
            });
            // Each index belongs to one part, and the parts follow each other.
            int last = 0;
            for (int k : owner) {
                EXPECT_GE(k, last);
                last = k;
            }
            EXPECT_EQ(std::count(owner.begin(), owner.end(), -1), 0);
            // No part is empty while another holds two or more indices.
            for (const auto& [begin, end] : runs) {
                if (begin >= 0 && count >= parts) {
                    EXPECT_GT(end, begin);
                }
            }
        }
}

TEST(ForEachPart, AFailureOfAnyPartIsThrownAfterAllEnded) {
    std::vector<int> done(4, 0);
    EXPECT_THROW(forEachPart(4, 40,
                             [&](int k, int64_t, int64_t) {
                                 if (k == 2) throw std::runtime_error("part 2");
                                 done[static_cast<size_t>(k)] = 1;
                             }),
                 std::runtime_error);
    EXPECT_EQ(done, (std::vector<int>{1, 1, 0, 1}));
}

TEST(CollectInParts, GivesEveryValueInOrderOnOneThreadBelowTheThreshold) {
    for (const int parts : {1, 3})
        for (const int64_t count : {0, 5, 10001})
            for (const int64_t from : {1, 4096}) {
                SCOPED_TRACE(testing::Message()
                             << parts << " parts, " << count << " from " << from);
                std::set<std::thread::id> threads;
                std::mutex m;
                const auto v = collectInParts(parts, count, from, [&](int64_t i) {
                    std::lock_guard lock(m);
                    threads.insert(std::this_thread::get_id());
                    return std::to_string(i * i);
                });
                ASSERT_EQ(v.size(), static_cast<size_t>(count));
                for (int64_t i = 0; i < count; ++i) ASSERT_EQ(v[i], std::to_string(i * i));
                if (count > 0) {
                    const size_t expected =
                        count >= from ? std::min<size_t>(parts, static_cast<size_t>(count)) : 1u;
                    EXPECT_EQ(threads.size(), expected);
                }
            }
}

}  // namespace
}  // namespace orv::core
