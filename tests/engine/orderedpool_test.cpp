#include "orderedpool.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace trapline {
namespace {

TEST(OrderedParallel, DeliversEveryResultOnceInOrderOnTheCallerAndNeverRunsAheadOfTheWindow) {
    struct Case {
        size_t n;
        unsigned threads;
        size_t window;
    };
    for (const Case c : {Case{0, 2, 8}, Case{1, 2, 8}, Case{200, 1, 8}, Case{200, 2, 1},
                         Case{200, 2, 8}, Case{200, 4, 3}}) {
        SCOPED_TRACE(testing::Message()
                     << "n " << c.n << ", threads " << c.threads << ", window " << c.window);
        const std::thread::id caller = std::this_thread::get_id();
        std::atomic<size_t> delivered{0};
        std::atomic<size_t> furthestAhead{0};
        std::vector<size_t> order;
        orderedParallel<size_t>(
            c.n, c.threads, c.window,
            [&](size_t i) {
                size_t ahead = i - delivered.load();
                for (size_t seen = furthestAhead.load();
                     ahead > seen && !furthestAhead.compare_exchange_weak(seen, ahead);) {
                }
                if (i % 7 == 0) // uneven work, so that results come in out of order
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                return i * 3;
            },
            [&](size_t i, size_t& result) {
                EXPECT_EQ(std::this_thread::get_id(), caller);
                EXPECT_EQ(result, i * 3);
                order.push_back(i);
                delivered = i + 1;
            });
        ASSERT_EQ(order.size(), c.n);
        for (size_t i = 0; i < order.size(); ++i)
            EXPECT_EQ(order[i], i);
        EXPECT_LT(furthestAhead.load(), std::max<size_t>(c.window, 1));
    }
}

} // namespace
} // namespace trapline
