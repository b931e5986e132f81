#pragma once

// The user, for tests: what a person does to a form's controls, done to the
// native controls of the side under test the way the system delivers it (on
// Qt through the widgets' own signals and key events; on Win32 through the
// controls' messages: BM_CLICK, WM_SETTEXT, CB_SETCURSEL, WM_KEYDOWN and
// WM_CHAR, WM_CLOSE), so that the form's events fire as they would for a
// click or a key. Each call returns when the events it raised have run.

#include "forms.h"

#include <functional>
#include <string>

namespace user {

/// Clicks a button, a check box (which toggles it) or a label.
void click(forms::CommandButton& button);
void click(forms::CheckBox& box);
void click(forms::Label& label);
/// Types `text` into the box at its selection, key by key ("\r\n" or "\n"
/// is the Enter key in a multi-line box).
void type(forms::TextBox& box, const std::string& text);
/// Presses a key (VB's key code, `shift` as KeyDown's) in `control`.
void press(forms::Control& control, int vbKeyCode, int shift = 0);
/// Opens the list of a combo box, as a click on its arrow does.
void openList(forms::ComboBox& box);
/// Chooses item `index` of the list.
void choose(forms::ComboBox& box, int index);
/// Clicks the window's close box.
void close(forms::Form& form);
/// Runs `action` once the event loop runs again: the way to act inside a
/// modal window that `ShowModal` is waiting on.
void soon(std::function<void()> action);
/// Runs the event loop until nothing is waiting.
void settle();

} // namespace user
