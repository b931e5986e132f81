#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace trapline {

/// Runs `work(i)` for i = 0..n-1 on several threads and hands each result to
/// `deliver(i, result)` on the calling thread, in order of i. Workers stay at
/// most `window` items ahead of delivery, so results never pile up.
template <class Result, class Work, class Deliver>
void orderedParallel(size_t n, unsigned threads, size_t window, Work work, Deliver deliver) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<Result>> results(n);
    size_t next = 0, delivered = 0;
    auto worker = [&] {
        for (;;) {
            size_t i;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return next >= n || next < delivered + window; });
                if (next >= n)
                    return;
                i = next++;
            }
            Result r = work(i);
            std::lock_guard lock(mutex);
            results[i] = std::move(r);
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < std::max(1u, threads); ++t)
        pool.emplace_back(worker);
    for (size_t i = 0; i < n; ++i) {
        std::optional<Result> r;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return results[i].has_value(); });
            r = std::move(results[i]);
            results[i].reset();
        }
        deliver(i, *r);
        std::lock_guard lock(mutex);
        delivered = i + 1;
        changed.notify_all();
    }
    for (std::thread& t : pool)
        t.join();
}

} // namespace trapline
