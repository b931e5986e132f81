#include "stagingwriter.h"

namespace trapline::cli {

StagingWriter::StagingWriter() : m_thread([this] { work(); }) {}

StagingWriter::~StagingWriter() {
    if (m_thread.joinable())
        finish();
}

void StagingWriter::submit(Job job) {
    std::unique_lock lock(m_mutex);
    // One job larger than the limit still goes through, alone.
    m_changed.wait(lock, [&] { return m_queue.empty() || m_queuedBytes + job.bytes.size() <= kMaxQueuedBytes; });
    m_queuedBytes += job.bytes.size();
    m_queue.push_back(std::move(job));
    m_changed.notify_all();
}

std::vector<StagingWriter::Done> StagingWriter::finish() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
    return std::move(m_done);
}

void StagingWriter::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_closing || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        auto staged = DiskFile::stage(job.path, job.bytes, job.checkStamp ? &job.expected : nullptr,
                                      job.backup, job.exclusive);
        std::lock_guard lock(m_mutex);
        m_queuedBytes -= job.bytes.size();
        m_done.push_back(Done{job.owner, std::move(staged)});
        m_changed.notify_all();
    }
}

} // namespace trapline::cli
