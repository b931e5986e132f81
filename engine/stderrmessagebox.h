#pragma once

#include "messagebox.h"

#include <cstdio>
#include <string>

namespace trapline {

/// Message boxes on the command line: the text goes to stderr, prefixed by
/// the title. Nobody is there to answer, so a question gets the answer that
/// goes on with the work (Yes or OK); the command line asks nothing itself.
class StderrMessageBox : public MessageBoxService {
public:
    explicit StderrMessageBox(std::FILE* out = stderr) : m_out(out) {}
    /// Collects the messages in `sink` instead, for a thread that may not print.
    explicit StderrMessageBox(std::string* sink) : m_out(nullptr), m_sink(sink) {}
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon,
                   MsgButtons buttons) override;
    int shown() const { return m_shown; }

private:
    std::FILE* m_out;
    std::string* m_sink = nullptr;
    int m_shown = 0;
};

} // namespace trapline
