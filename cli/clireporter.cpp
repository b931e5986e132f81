#include "clireporter.h"

#include <unistd.h>

namespace trapline::cli {

CliReporter::CliReporter(std::FILE* out, std::FILE* err, bool printLog)
    : m_out(out), m_err(err), m_printLog(printLog), m_showProgress(::isatty(::fileno(err)) == 1) {}

void CliReporter::log(const std::string& line) {
    if (!m_printLog)
        return;
    std::string text = line;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.replace(text.size() - 2, 2, "\n");
    std::fputs(text.c_str(), m_out);
}

void CliReporter::busy(bool) {}

void CliReporter::fileProgress(size_t done, size_t total) {
    if (!m_showProgress || total < 20)
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
