#include "messageboxw.h"

#include "win32forms.h"

using trapline::MsgAnswer;
using trapline::MsgButtons;
using trapline::MsgIcon;

unsigned Win32MessageBox::flags(MsgIcon icon, MsgButtons buttons) {
    unsigned f = MB_SETFOREGROUND;
    switch (icon) {
    case MsgIcon::Critical:
        f |= MB_ICONHAND;
        break;
    case MsgIcon::Question:
        f |= MB_ICONQUESTION;
        break;
    case MsgIcon::Exclamation:
        f |= MB_ICONEXCLAMATION;
        break;
    case MsgIcon::Information:
        f |= MB_ICONASTERISK;
        break;
    case MsgIcon::None:
        break;
    }
    switch (buttons) {
    case MsgButtons::Ok:
        f |= MB_OK;
        break;
    case MsgButtons::OkCancel:
        f |= MB_OKCANCEL;
        break;
    case MsgButtons::YesNo:
        f |= MB_YESNO;
        break;
    case MsgButtons::YesNoCancel:
        f |= MB_YESNOCANCEL;
        break;
    }
    return f;
}

MsgAnswer Win32MessageBox::answer(int result) {
    switch (result) {
    case IDOK:
        return MsgAnswer::Ok;
    case IDYES:
        return MsgAnswer::Yes;
    case IDNO:
        return MsgAnswer::No;
    default:
        return MsgAnswer::Cancel;
    }
}

MsgAnswer Win32MessageBox::show(const std::string& text, const std::string& title, MsgIcon icon,
                                MsgButtons buttons) {
    // Without an owner the box is task-modal: the add-in's modeless windows
    // wait for it too, as the IDE's do for VB's MsgBox.
    const unsigned f = flags(icon, buttons) | (m_owner ? 0u : MB_TASKMODAL);
    return answer(MessageBoxW(static_cast<HWND>(m_owner), forms::win32::wide(text).c_str(),
                              forms::win32::wide(title).c_str(), f));
}
