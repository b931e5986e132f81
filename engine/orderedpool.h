#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace trapline {

/// Runs `work(i)` for i = 0..n-1 on `threads` threads, the calling one
/// among them, and hands each result to `deliver(i, result)` on the calling
/// thread, in order of i. Work stays at most `window` items ahead of
/// delivery, so results never pile up.
template <class Result, class Work, class Deliver>
void orderedParallel(size_t n, unsigned threads, size_t window, Work work, Deliver deliver) {
    // The caller works too rather than sleep until the next result is in:
    // it then sleeps only when every item in the window is taken, and a
    // thread is woken only when it sleeps on exactly what another just did
    // (a wake-up is a system call).
    std::mutex mutex;
    std::condition_variable ready; ///< the result the caller waits for is in
    std::condition_variable room;  ///< delivery moved the window on
    std::vector<std::optional<Result>> results(n);
    size_t next = 0, delivered = 0;
    size_t awaited = n; ///< the index the caller sleeps on; n when it does not
    unsigned waitingForRoom = 0;
    window = std::max<size_t>(window, 1);
    auto finish = [&](size_t i, Result&& r) {
        bool wake;
        {
            std::lock_guard lock(mutex);
            results[i] = std::move(r);
            wake = i == awaited;
        }
        if (wake)
            ready.notify_one();
    };
    auto helper = [&] {
        for (;;) {
            size_t i;
            {
                std::unique_lock lock(mutex);
                while (next < n && next >= delivered + window) {
                    ++waitingForRoom;
                    room.wait(lock);
                    --waitingForRoom;
                }
                if (next >= n)
                    return;
                i = next++;
            }
            finish(i, work(i));
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(helper);
    for (size_t i = 0; i < n; ++i) {
        std::optional<Result> r;
        for (;;) {
            std::unique_lock lock(mutex);
            if (results[i]) {
                r = std::move(results[i]);
                results[i].reset();
                break;
            }
            if (next < n && next < delivered + window) {
                const size_t mine = next++;
                lock.unlock();
                Result own = work(mine);
                lock.lock();
                results[mine] = std::move(own);
                continue;
            }
            awaited = i;
            ready.wait(lock, [&] { return results[i].has_value(); });
            awaited = n;
        }
        deliver(i, *r);
        bool wake;
        {
            std::lock_guard lock(mutex);
            delivered = i + 1;
            wake = waitingForRoom > 0;
        }
        if (wake)
            room.notify_all();
    }
    for (std::thread& t : pool)
        t.join();
}

} // namespace trapline
