#pragma once

#include "messagebox.h"

/// The run time's message box on Windows: MessageBoxW, modal to `owner`
/// (an HWND; none for a box of its own) and, like VB's, on top of it.
class Win32MessageBox : public trapline::MessageBoxService {
public:
    explicit Win32MessageBox(void* owner = nullptr) : m_owner(owner) {}
    trapline::MsgAnswer show(const std::string& text, const std::string& title,
                             trapline::MsgIcon icon, trapline::MsgButtons buttons) override;

    /// The MessageBoxW flags for an icon and buttons.
    static unsigned flags(trapline::MsgIcon icon, trapline::MsgButtons buttons);
    /// The answer for what MessageBoxW returned; Cancel for a failure, as
    /// the box closed by its close box answers.
    static trapline::MsgAnswer answer(int result);

private:
    void* m_owner;
};
