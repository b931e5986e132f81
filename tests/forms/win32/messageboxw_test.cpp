#include "../user.h"
#include "messageboxw.h"
#include "win32forms.h"

#include <gtest/gtest.h>

using trapline::MsgAnswer;
using trapline::MsgButtons;
using trapline::MsgIcon;

TEST(Win32MessageBox, ShowsTheRealBoxAndAnswersWhatItsButtonOrCloseBoxSays) {
    const struct {
        MsgButtons buttons;
        UINT message;
        WPARAM command;
        MsgAnswer answer;
    } rows[] = {
        {MsgButtons::Ok, WM_COMMAND, IDOK, MsgAnswer::Ok},
        {MsgButtons::YesNo, WM_COMMAND, IDNO, MsgAnswer::No},
        {MsgButtons::YesNoCancel, WM_COMMAND, IDYES, MsgAnswer::Yes},
        {MsgButtons::OkCancel, WM_CLOSE, 0, MsgAnswer::Cancel},
    };
    for (const auto& row : rows) {
        std::wstring seen;
        // The box runs its own loop; the user answers from inside it.
        user::soon([&] {
            HWND box = FindWindowW(L"#32770", L"Тест");
            wchar_t text[64] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 64); // the box's static text
            seen = text;
            PostMessageW(box, row.message, row.command, 0);
        });
        Win32MessageBox boxes;
        EXPECT_EQ(boxes.show("Вопрос?", "Тест", MsgIcon::Question, row.buttons), row.answer)
            << static_cast<int>(row.buttons);
        EXPECT_EQ(seen, L"Вопрос?");
    }
}
