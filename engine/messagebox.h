#pragma once

#include <string>

namespace trapline {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

/// The run time's modal message box. The window shows a dialog, the command
/// line writes to stderr, tests script the answers. Texts are UTF-8.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons) = 0;
};

} // namespace trapline
