#include "stderrmessagebox.h"

namespace trapline::cli {

MsgAnswer StderrMessageBox::show(const std::string& text, const std::string& title, MsgIcon,
                                 MsgButtons buttons) {
    ++m_shown;
    std::string oneLine = text;
    for (size_t p = oneLine.find("\r\n"); p != std::string::npos; p = oneLine.find("\r\n", p))
        oneLine.replace(p, 2, "; ");
    std::fprintf(m_out, "trapline: %s: %s\n", title.c_str(), oneLine.c_str());
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Yes;
    default:
        return MsgAnswer::Ok;
    }
}

} // namespace trapline::cli
