#pragma once

#include "batchpipeline.h"
#include "clireporter.h"
#include "codepage.h"
#include "textout.h"

#include <cstdio>

namespace trapline::cli {

/// Prints what the batch pipeline does, as the writing commands report it:
/// messages on stderr as each file is done, a diff on stdout, and the log of
/// each file on stdout once the file is written (under a diff on stderr,
/// with JSON not at all).
class BatchPrinter : public BatchListener {
public:
    BatchPrinter(TextOut& out, TextOut& err, const Codepage& codepage, BatchMode mode, bool json)
        : m_out(out), m_err(err), m_codepage(codepage), m_mode(mode), m_json(json),
          m_progress(err.stream()) {}

    void waiting(const std::string& folder) override;
    void leftoverRemoved(const std::string& path) override;
    void progress(size_t done, size_t total) override { m_progress.show(done, total); }
    void treated(FileOutcome& outcome) override;
    void written(FileOutcome& outcome, const std::string& backup) override;
    void notWritten(FileOutcome& outcome, const std::string& why) override;
    void setAside(FileOutcome& outcome, const std::string& note) override;

private:
    TextOut& m_out;
    TextOut& m_err;
    const Codepage& m_codepage;
    BatchMode m_mode;
    bool m_json;
    ProgressLine m_progress;
};

} // namespace trapline::cli
