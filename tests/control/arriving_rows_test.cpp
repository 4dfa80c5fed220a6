// Tiles waiting for the rows of a picture still being read.

#include <gtest/gtest.h>

#include <future>

#include "control/tiled_detect.h"

namespace orv::control {
namespace {

TEST(ArrivingRows, ATileStartsWhenItsRowsAreReadAndNotAfterTheReadingStopped) {
    // 10 rows; 4 read. Bottom first they are rows 6..9, top first rows 0..3.
    struct Case {
        bool bottomFirst;
        int64_t thereTop, thereBottom;      // rows that are there
        int64_t missingTop, missingBottom;  // rows that are not
    };
    for (const Case& c : {Case{true, 6, 10, 5, 10}, Case{false, 0, 4, 0, 5}}) {
        SCOPED_TRACE(c.bottomFirst);
        ArrivingRows rows(10, c.bottomFirst);
        rows.arrived(4);
        EXPECT_TRUE(rows.waitFor(c.thereTop, c.thereBottom));
        rows.end(false);
        EXPECT_FALSE(rows.waitFor(c.missingTop, c.missingBottom));
        EXPECT_TRUE(rows.waitFor(c.thereTop, c.thereBottom));
    }

    // A tile waiting for the last rows goes on when they come, or when the reading ends whole.
    for (const bool whole : {false, true}) {
        ArrivingRows rows(10, false);
        auto waiting = std::async(std::launch::async, [&] { return rows.waitFor(5, 10); });
        rows.arrived(7);
        if (whole)
            rows.end(true);
        else
            rows.arrived(10);
        EXPECT_TRUE(waiting.get());
    }
}

}  // namespace
}  // namespace orv::control
