#pragma once

#include "messagebox.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

/// Plays the user at a message box: records what was shown and answers from
/// a script (OK, or Yes for a question, when the script runs out).
class ScriptedMessageBox : public trapline::MessageBoxService {
public:
    struct Shown {
        std::string text, title;
        trapline::MsgIcon icon;
        trapline::MsgButtons buttons;
    };

    trapline::MsgAnswer show(const std::string& text, const std::string& title,
                             trapline::MsgIcon icon, trapline::MsgButtons buttons) override {
        shown.push_back({text, title, icon, buttons});
        if (onShow)
            onShow(shown.back());
        if (!answers.empty()) {
            trapline::MsgAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == trapline::MsgButtons::Ok ? trapline::MsgAnswer::Ok
                                                   : trapline::MsgAnswer::Yes;
    }

    std::vector<Shown> shown;
    std::deque<trapline::MsgAnswer> answers;
    /// Called as each box is shown, to look at what the user sees behind it.
    std::function<void(const Shown&)> onShow;
};
