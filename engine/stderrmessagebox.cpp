#include "stderrmessagebox.h"

#include "platform/process.h"

namespace trapline {

MsgAnswer StderrMessageBox::show(const std::string& text, const std::string& title, MsgIcon,
                                 MsgButtons buttons) {
    ++m_shown;
    std::string oneLine = text;
    for (size_t p = oneLine.find("\r\n"); p != std::string::npos; p = oneLine.find("\r\n", p))
        oneLine.replace(p, 2, "; ");
    std::string line = "trapline: " + title + ": " + oneLine + "\n";
    if (m_sink)
        m_sink->append(line);
    else
        platform::writeText(m_out, line); // a Windows console shows it as UTF-16
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Yes;
    default:
        return MsgAnswer::Ok;
    }
}

} // namespace trapline
