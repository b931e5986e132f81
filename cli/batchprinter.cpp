#include "batchprinter.h"

#include "handleroptions.h"

namespace trapline::cli {

void BatchPrinter::waiting(const std::string& folder) {
    m_err.format("trapline: waiting for another trapline run to finish in %s\n",
                 displayPath(folder).c_str());
}

void BatchPrinter::leftoverRemoved(const std::string& path) {
    m_err.format("trapline: removed %s, left behind by an earlier run that has ended\n",
                 displayPath(path).c_str());
}

void BatchPrinter::treated(FileOutcome& o) {
    // Resolving a name for display costs a look-up per folder on the way:
    // only a message that names the file pays it.
    if (!o.loadError.empty()) {
        if (!o.saidBefore)
            m_err.format("trapline: %s: %s\n", shownOutcome(o).c_str(), o.loadError.c_str());
        return;
    }
    if (!o.diffError.empty())
        m_err.format("trapline: %s: %s\n", shownComponent(*o.component).c_str(),
                     o.diffError.c_str());
    m_err.write(o.messages);
    // Under a diff stdout is for the diff alone.
    if (m_mode == BatchMode::Diff && !m_json)
        m_err.write(o.log);
    m_out.write(o.diff);
}

void BatchPrinter::written(FileOutcome& o, const std::string& backup) {
    const std::string plain = o.component->path() + ".bak";
    if (!backup.empty() && backup != plain)
        m_err.format("trapline: %s exists already; the replaced file is kept as %s\n",
                     displayPath(plain).c_str(), displayPath(backup).c_str());
    if (!m_json)
        m_out.write(o.log);
}

void BatchPrinter::setAside(FileOutcome& o, const std::string& note) {
    m_err.format("trapline: %s: %s\n", shownComponent(*o.component).c_str(), note.c_str());
}

void BatchPrinter::notWritten(FileOutcome& o, const std::string& why) {
    const size_t n = o.treatedCount;
    if (!o.saidBefore)
        m_err.format("trapline: %s: %s\n", shownOutcome(o).c_str(), why.c_str());
    m_err.format("trapline: not written: %s (%zu procedure%s)\n",
                 o.component->codepage(m_codepage).toUtf8(o.component->Name()).c_str(), n,
                 n == 1 ? "" : "s");
}

} // namespace trapline::cli
