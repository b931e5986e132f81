#include "batchprinter.h"

#include "handleroptions.h"

namespace trapline::cli {

void BatchPrinter::waiting(const std::string& folder) {
    std::fprintf(m_err, "trapline: waiting for another trapline run to finish in %s\n",
                 displayPath(folder).c_str());
}

void BatchPrinter::leftoverRemoved(const std::string& path) {
    std::fprintf(m_err, "trapline: removed %s, left behind by an earlier run that has ended\n",
                 displayPath(path).c_str());
}

void BatchPrinter::treated(FileOutcome& o) {
    // Resolving a name for display costs a look-up per folder on the way:
    // only a message that names the file pays it.
    if (!o.loadError.empty()) {
        std::fprintf(m_err, "trapline: %s: %s\n", displayPath(o.component->path()).c_str(),
                     o.loadError.c_str());
        return;
    }
    if (!o.diffError.empty())
        std::fprintf(m_err, "trapline: %s: %s\n", displayPath(o.component->path()).c_str(),
                     o.diffError.c_str());
    std::fputs(o.messages.c_str(), m_err);
    // Under a diff stdout is for the diff alone.
    if (m_mode == BatchMode::Diff && !m_json)
        std::fputs(o.log.c_str(), m_err);
    std::fputs(o.diff.c_str(), m_out);
}

void BatchPrinter::written(FileOutcome& o, const std::string& backup) {
    const std::string plain = o.component->path() + ".bak";
    if (!backup.empty() && backup != plain)
        std::fprintf(m_err, "trapline: %s exists already; the replaced file is kept as %s\n",
                     displayPath(plain).c_str(), displayPath(backup).c_str());
    if (!m_json)
        std::fputs(o.log.c_str(), m_out);
}

void BatchPrinter::setAside(FileOutcome& o, const std::string& note) {
    std::fprintf(m_err, "trapline: %s: %s\n", displayPath(o.component->path()).c_str(),
                 note.c_str());
}

void BatchPrinter::notWritten(FileOutcome& o, const std::string& why) {
    const size_t n = o.treatedCount;
    std::fprintf(m_err, "trapline: %s: %s\n", displayPath(o.component->path()).c_str(),
                 why.c_str());
    std::fprintf(m_err, "trapline: not written: %s (%zu procedure%s)\n",
                 m_codepage.toUtf8(o.component->Name()).c_str(), n, n == 1 ? "" : "s");
}

} // namespace trapline::cli
