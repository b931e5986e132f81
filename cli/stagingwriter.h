#pragma once

#include "diskfile.h"
#include "result.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trapline::cli {

/// Writes staged files on a thread of its own, so that the file system's work
/// for one module overlaps the treatment of the next. The queue holds at most
/// a few megabytes of text: when it is full, `submit()` waits.
class StagingWriter {
public:
    struct Job {
        const void* owner = nullptr; ///< who the result belongs to
        std::string path;
        std::string bytes;
        FileStamp expected;
        bool checkStamp = false;
        bool exclusive = false;
        bool backup = false;
    };
    struct Done {
        const void* owner = nullptr;
        Result<DiskFile::Staged> staged;
    };

    StagingWriter();
    ~StagingWriter();
    StagingWriter(const StagingWriter&) = delete;
    StagingWriter& operator=(const StagingWriter&) = delete;

    void submit(Job job);
    /// Waits for every job and hands back their results in submission order.
    std::vector<Done> finish();

private:
    void work();

    static constexpr size_t kMaxQueuedBytes = 4 * 1024 * 1024;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_queue;
    size_t m_queuedBytes = 0;
    bool m_closing = false;
    std::vector<Done> m_done;
    std::thread m_thread;
};

} // namespace trapline::cli
