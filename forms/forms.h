#pragma once

// The add-in's windows are written once against these controls; each
// platform folder gives them native widgets:
//
//   forms/qt/     Qt Widgets, one small file per control; the control holds
//                 its widget and connects the widget's signals to its events.
//   forms/win32/  the same files over the standard controls: each
//                 constructor calls CreateWindowExW with its class ("STATIC",
//                 "EDIT", "BUTTON", "COMBOBOX") as a child of the parent's
//                 HWND and gives its form a WM_COMMAND handler; the form's
//                 window procedure routes WM_COMMAND, colours and owner
//                 drawing by control id, and IsDialogMessageW (in the modal
//                 loop, or a message hook for modeless forms) gives Tab, the
//                 default and cancel buttons and '&' accelerators. Getters
//                 and setters wrap WM_GETTEXT/WM_SETTEXT, BM_GETCHECK,
//                 CB_GETCURSEL and the like; text is widened at that edge.
//
// Geometry is in twips as the windows were designed; text is UTF-8. No
// toolkit type appears here. Events are `Event` members: assign a handler,
// or leave the do-nothing default, and the control calls it without asking
// whether one is there. Handlers run on the GUI thread from the native
// toolkit's notifications, programmatic changes included (as VB raises
// `Click` when code sets a check box's `Value`).
//
//     struct frmHello : forms::Form {
//         forms::CommandButton cmdOK{*this, "cmdOK", {120, 120, 1215, 375}, "OK"};
//         frmHello() : Form("frmHello") { cmdOK.Click = [this] { Unload(); }; }
//     };

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace forms {

/// Pixels for twips on this side's screen (15 twips a pixel at 96 dpi),
/// rounded to the nearest pixel.
int twipsToPixels(int twips);
int pixelsToTwips(int pixels);

/// A rectangle in twips: where a control sits inside its container.
struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
};

/// An event with a do-nothing default. Handlers take VB's arguments; a
/// reference argument is one the handler may change (`KeyAscii = 0` drops a
/// key, `Cancel = 1` keeps a form open).
template <class... Args> class Event {
public:
    Event& operator=(std::function<void(Args...)> handler) {
        m_handler = std::move(handler);
        return *this;
    }
    void operator()(Args... args) const {
        if (m_handler)
            m_handler(std::forward<Args>(args)...);
    }

private:
    std::function<void(Args...)> m_handler;
};

/// A font as VB's StdFont names it. The default is the windows' own: MS Sans
/// Serif at 8.25 points.
struct StdFont {
    std::string Name = "MS Sans Serif";
    double Size = 8.25;
    bool Bold = false;
};

/// 0xRRGGBB, or the system's colour for the control.
using Color = std::uint32_t;
inline constexpr Color kSystemColor = 0xFF000000u;

/// Shift argument of KeyDown: bits for Shift, Ctrl and Alt.
inline constexpr int vbShiftMask = 1, vbCtrlMask = 2, vbAltMask = 4;
/// UnloadMode of QueryUnload: the close box or the system menu, or code.
inline constexpr int vbFormControlMenu = 0, vbFormCode = 1;
/// Value of a check box.
inline constexpr int vbUnchecked = 0, vbChecked = 1;

class Form;

/// The hourglass over every window of the program while a long job runs;
/// calls pair, and nest as the system's wait cursor does.
void showHourglass(bool busy);

/// Who owns a window: it stays above its owner and closes with it. The
/// owner is another form, or a native window of this side while some
/// windows are not yet written against this layer.
struct FormOwner {
    Form* form = nullptr;
    void* native = nullptr;
};

/// What every control has: a name, a place, a font, focus and keys.
class Control {
public:
    /// The native widget or window; each side defines it, and how it goes.
    struct Native;
    struct NativeDeleter {
        void operator()(Native* native) const;
    };
    using NativePtr = std::unique_ptr<Native, NativeDeleter>;

    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();

    const std::string& Name() const { return m_name; }
    Form& form() const { return *m_form; }

    bool Enabled() const;
    void setEnabled(bool enabled);
    /// The control's own Visible property; a form's says whether it is shown.
    virtual bool Visible() const;
    virtual void setVisible(bool visible);

    /// Position and size in twips, inside the container.
    virtual int Left() const { return m_twips.left; }
    virtual int Top() const { return m_twips.top; }
    virtual int Width() const { return m_twips.width; }
    virtual int Height() const { return m_twips.height; }
    virtual void Move(Rect twips);

    /// The place in the form's Tab order, from 0. Setting it moves the
    /// control there and renumbers the others, as VB does.
    int TabIndex() const;
    void setTabIndex(int index);

    const StdFont& Font() const { return m_font; }
    void setFont(const StdFont& font);

    void SetFocus();
    /// The tip shown while the mouse rests on the control; empty for none.
    void setToolTipText(const std::string& tip);

    Event<> GotFocus;
    /// KeyCode is VB's (vbKeyA == 'A', vbKeyReturn == 13); 0 drops the key.
    Event<int&, int> KeyDown;
    /// KeyAscii is the character typed; 0 drops it.
    Event<int&> KeyPress;

    Native& native() const { return *m_native; }
    /// The native window as the system's own services take an owner window
    /// (an HWND on Win32, the QWidget on Qt); null once it is gone.
    void* windowHandle() const;

protected:
    /// The form itself: no container.
    Control(Form* self, std::string name, NativePtr native);
    /// A control inside `parent` at `twips`.
    Control(Control& parent, std::string name, Rect twips, NativePtr native);

private:
    std::string m_name;
    Form* m_form;
    Rect m_twips;
    StdFont m_font;
    NativePtr m_native;
};

/// A caption; wrapped captions start at the top left.
class Label : public Control {
public:
    Label(Control& parent, std::string name, Rect twips, const std::string& caption = {});
    std::string Caption() const;
    void setCaption(const std::string& caption);
    void setWordWrap(bool wrap);
    void setBackColor(Color color);
    void setForeColor(Color color);
    /// The hand over the caption, for a label that acts as a link.
    void setHandPointer(bool hand);
    Event<> Click;

private:
    Color m_back = kSystemColor, m_fore = kSystemColor;
};

/// A text box; multi-line ones wrap and scroll. Besides VB's properties it
/// offers the edit control's own operations, which CTextBoxML wraps: one
/// level of undo, line arithmetic, the formatting rectangle, scrolling and
/// tab stops. Lines count from 0 and are lines as the box shows them (each
/// piece of a wrapped paragraph is one); positions count a line break as the
/// two characters CR LF.
class TextBox : public Control {
public:
    TextBox(Control& parent, std::string name, Rect twips, bool multiLine = false);
    bool MultiLine() const { return m_multiLine; }
    std::string Text() const;
    void setText(const std::string& text);
    /// Read-only to the user, as VB's Locked.
    void setLocked(bool locked);
    /// VB's ScrollBars of a multi-line box: the bars are always there, and a
    /// box with a horizontal one does not wrap its lines. Set before the box
    /// is first shown.
    enum ScrollBars { None = 0, Horizontal = 1, Vertical = 2, Both = 3 };
    void setScrollBars(ScrollBars bars);
    /// The selection, in characters from the start (a line break counts as
    /// CR LF, as the edit control counts it).
    int SelStart() const;
    int SelLength() const;
    void setSel(int start, int length);
    std::string SelText() const;
    /// Replaces the selection with `text`, as one undo step.
    void setSelText(const std::string& text);

    /// One level of undo: the last edit (a run of typing counts as one) can
    /// be undone, and undoing again redoes it.
    bool CanUndo() const;
    void Undo();
    void EmptyUndoBuffer();
    /// The number of lines; an empty box has one.
    int LineCount() const;
    int FirstVisibleLine() const;
    /// The line that holds `charIndex` (a line break belongs to the line it
    /// ends); -1 means the start of the selection.
    int LineFromChar(int charIndex) const;
    /// The position of the first character of `line`; -1 means the caret's
    /// line. -1 past the last line.
    int LineIndex(int line) const;
    /// The length of the line holding `charIndex`, without its line break;
    /// -1 means the caret's line.
    int LineLength(int charIndex) const;
    /// The text of `line` without its line break; empty past the last line.
    std::string GetLine(int line) const;
    /// The formatting rectangle in pixels of the box: left, top, right, bottom.
    std::array<int, 4> FormatRect() const;
    void setFormatRect(const std::array<int, 4>& rect);
    /// Scrolls by `characters` average character widths and `lines` lines.
    void LineScroll(int characters, int lines);
    /// Scrolls the caret into view.
    void ScrollCaret();
    /// Tab stops in dialog units (four to an average character width): none
    /// for every 32, one for an equal distance, more for those positions.
    void SetTabStops(const std::vector<int>& dialogUnits);
    Event<> Change;

private:
    bool m_multiLine;
};

class CheckBox : public Control {
public:
    CheckBox(Control& parent, std::string name, Rect twips, const std::string& caption);
    std::string Caption() const;
    int Value() const;
    /// vbChecked or vbUnchecked; a change raises Click.
    void setValue(int value);
    Event<> Click;
};

/// A combo box: an editable one (VB's style 0) or a drop-down list (style 2).
/// Sorted ones keep their items in order, letter case ignored.
class ComboBox : public Control {
public:
    enum Style { DropDownCombo = 0, DropDownList = 2 };
    ComboBox(Control& parent, std::string name, Rect twips, Style style, bool sorted = false);
    std::string Text() const;
    void setText(const std::string& text);
    int ListIndex() const;
    void setListIndex(int index);
    int ListCount() const;
    std::string List(int index) const;
    void AddItem(const std::string& item);
    /// Empties the list; the edit part keeps its text.
    void Clear();
    /// The list is about to open: the moment to fill it.
    Event<> DropDown;
    Event<> Click;
    Event<> Change;

private:
    bool m_sorted;
};

/// A button with a caption or a picture. The default button answers Enter,
/// the cancel button Esc.
class CommandButton : public Control {
public:
    CommandButton(Control& parent, std::string name, Rect twips, const std::string& caption);
    std::string Caption() const;
    void setDefault(bool isDefault);
    void setCancel(bool isCancel);
    bool Cancel() const { return m_cancel; }
    /// A picture resource of the add-in, by file name ("tips.xpm").
    void setPicture(const std::string& picture);
    /// `Value = True` presses the button.
    void setValue(bool pressed);
    Event<> Click;

private:
    bool m_cancel = false;
};

/// A container of controls, bordered or not.
class Frame : public Control {
public:
    Frame(Control& parent, std::string name, Rect twips, bool border = false);
};

/// A horizontal rule, drawn etched.
class Line : public Control {
public:
    Line(Control& parent, std::string name, Rect twips);
};

/// A picture box: a container that may show a picture resource, with a
/// border and a colour of its own.
class Picture : public Control {
public:
    Picture(Control& parent, std::string name, Rect twips);
    /// A picture resource of the add-in, by file name; stretched to the
    /// box when `stretch`.
    void setPicture(const std::string& picture, bool stretch = false);
    void setBackColor(Color color);
    /// A thin single border.
    void setBorder(bool border);

private:
    Color m_back = kSystemColor;
    bool m_border = false;
};

/// A top-level window. Its Width and Height are those of its inside, fixed
/// unless `setSizable` allows the user to change them.
class Form : public Control {
public:
    using Owner = FormOwner;

    explicit Form(std::string name, Owner owner = {});
    ~Form() override;

    std::string Caption() const;
    void setCaption(const std::string& caption);
    /// The window's icon: a picture resource of the add-in, by file name.
    void setIcon(const std::string& picture);
    void setSizable(bool sizable);
    /// A minimize button in the title bar, as VB's MinButton.
    void setMinButton(bool minButton);
    /// A tool window: a narrow title bar with a close box only, kept off the
    /// taskbar, as VB's tool window border styles.
    void setToolWindow(bool toolWindow);
    /// The size of the inside in twips; the window stays where it is.
    void setSize(int width, int height);
    /// Keeps the window above all windows that are not kept on top, without
    /// moving or resizing it.
    void setTopMost(bool topMost);
    /// The smallest size the user can drag a sizable window to: the outer
    /// size, its frame included, in twips.
    void setMinimumSize(int width, int height);
    /// The colour of the window's inside, which labels and check boxes on
    /// it take too.
    void setBackColor(Color color);
    /// Places the window in the middle of the screen's work area, as VB's
    /// StartUpPosition = CenterScreen does. A window that code does not
    /// place (here or with Move) opens over the middle of its owner, or of
    /// the screen's work area when it has none, inside that work area.
    void centerOnScreen();

    bool Visible() const override;
    void setVisible(bool visible) override;
    int Left() const override;
    int Top() const override;
    int Width() const override;
    int Height() const override;
    void Move(Rect twips) override;

    /// Shows the window and returns at once.
    void Show();
    /// Shows the window and returns when it is unloaded or hidden.
    void ShowModal();
    void Hide() { setVisible(false); }
    /// Asks QueryUnload, then closes the window; false when a handler kept
    /// it open. A closed form stays an object; it is no longer Loaded.
    bool Unload();
    bool Loaded() const { return m_loaded; }

    Event<> Resize;
    /// Cancel = 1 keeps the window open; UnloadMode is vbFormControlMenu
    /// (the user closed it) or vbFormCode.
    Event<int&, int> QueryUnload;

    /// The controls in Tab order.
    const std::vector<Control*>& tabOrder() const { return m_tabOrder; }
    /// The control that has the focus, or takes it when the window is next
    /// active; null for none.
    Control* ActiveControl() const;

    /// For the native side, when the window is about to close: asks
    /// QueryUnload with `mode`; true when it may close, and the form is then
    /// no longer loaded.
    bool closing(int mode);

private:
    friend class Control;
    bool m_loaded = true;
    std::vector<Control*> m_tabOrder;
};

} // namespace forms
