#include "clireporter.h"

#include "platform/process.h"

namespace trapline::cli {

void CliReporter::log(const std::string& line) {
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
        m_sink.append(line, 0, line.size() - 2).append("\n");
    else
        m_sink.append(line);
}

ProgressLine::ProgressLine(std::FILE* err)
    : m_err(err), m_enabled(err != nullptr && platform::isTerminal(err)) {}

void ProgressLine::show(size_t done, size_t total) {
    if (!m_enabled || total < 20)
        return;
    if (done == total) {
        if (m_lastShown > 0)
            std::fputs("\r\033[K", m_err);
        return;
    }
    // About a hundred updates however long the run.
    if (done != 0 && done - m_lastShown < total / 100)
        return;
    m_lastShown = done;
    std::fprintf(m_err, "\rtrapline: %zu/%zu files", done, total);
    std::fflush(m_err);
}

} // namespace trapline::cli
