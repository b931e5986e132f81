#include "win32forms.h"

#include <algorithm>

namespace forms {
namespace {

constexpr DWORD kFixedStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kSizableStyle = kFixedStyle | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

HWND ownerWindow(Form::Owner owner) {
    if (owner.form)
        return win32::hwnd(*owner.form);
    return static_cast<HWND>(owner.native);
}

/// Made before the form is: the window reports to the form only once the
/// form stands, when its pointer is stored below.
Control::NativePtr makeWindow(Form::Owner owner) {
    Control::NativePtr n(std::make_unique<Control::Native>().release());
    if (!GetCurrentActCtx(&n->context))
        n->context = nullptr;
    n->hwnd = CreateWindowExW(kExStyle, win32::acquireFormClass(), L"", kFixedStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, 400, 300, ownerWindow(owner), nullptr,
                              win32::resourceModule(), nullptr);
    n->font = win32::makeFont(StdFont());
    SendMessageW(n->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(n->font), FALSE);
    return n;
}

/// Dialog keys of a modeless form, for a host whose message loop is not
/// ours (the IDE's): a hook sees each message its loop takes.
/// Runs the window's messages until it is unloaded or hidden, passing its
/// dialog keys through IsDialogMessageW.
void runModalLoop(HWND w, const bool& loaded) {
    const win32::ModalLoop loop;
    MSG msg{};
    while (loaded && IsWindowVisible(w)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // WM_QUIT is the application's: it ends this loop and the next.
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageW(w, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

/// Sets the window's style or extended style (`which`); the inside keeps
/// its size, the frame around it changes.
void reframe(Form& form, int which, LONG_PTR style) {
    HWND w = win32::hwnd(form);
    RECT client{};
    GetClientRect(w, &client);
    SetWindowLongPtrW(w, which, style);
    form.setSize(pixelsToTwips(client.right), pixelsToTwips(client.bottom));
}

/// Moves `w` over the middle of `over`, or of the screen's work area when
/// `over` is null, kept inside the work area of the screen it is then on.
void placeCentred(HWND w, HWND over) {
    RECT outer{}, work{};
    GetWindowRect(w, &outer);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    RECT around{};
    if (over) {
        GetWindowRect(over, &around);
        MONITORINFO screen{};
        screen.cbSize = sizeof screen;
        GetMonitorInfoW(MonitorFromWindow(over, MONITOR_DEFAULTTONEAREST), &screen);
        work = screen.rcWork;
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        around = work;
    }
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    // A window larger than the work area keeps its title bar on the screen.
    x = std::max(std::min(x, static_cast<int>(work.right) - width), static_cast<int>(work.left));
    y = std::max(std::min(y, static_cast<int>(work.bottom) - height), static_cast<int>(work.top));
    SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

/// A window that code has not placed opens over the middle of its owner, as
/// a Qt dialog does (an owner not yet shown counts where it will show), or
/// of the screen when the owner is minimized or missing; afterwards it stays
/// where the user leaves it.
void placeAtFirstShow(Control::Native& n) {
    if (n.placed)
        return;
    n.placed = true;
    HWND owner = GetWindow(n.hwnd, GW_OWNER);
    const bool overOwner = owner && !IsIconic(owner);
    placeCentred(n.hwnd, overOwner ? owner : nullptr);
}

} // namespace

Form::Form(std::string name, Owner owner) : Control(this, std::move(name), makeWindow(owner)) {
    native().form = this;
    SetWindowLongPtrW(native().hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&native()));
}

Form::~Form() {
    HWND owner = GetWindow(native().hwnd, GW_OWNER);
    if (native().modal && owner)
        EnableWindow(owner, TRUE);
    SetWindowLongPtrW(native().hwnd, GWLP_USERDATA, 0);
    if (native().icon)
        DestroyIcon(native().icon);
    // The window goes before its class does.
    DestroyWindow(native().hwnd);
    win32::releaseFormClass();
    if (native().context)
        ReleaseActCtx(native().context);
}

std::string Form::Caption() const {
    return win32::windowText(native().hwnd);
}

void Form::setCaption(const std::string& caption) {
    SetWindowTextW(native().hwnd, win32::wide(caption).c_str());
}

void Form::setIcon(const std::string& picture) {
    HICON icon = win32::loadIcon(picture);
    SendMessageW(native().hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SendMessageW(native().hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    if (native().icon)
        DestroyIcon(native().icon);
    native().icon = icon;
}

void Form::setSizable(bool sizable) {
    native().sizable = sizable;
    const LONG_PTR kept =
        GetWindowLongPtrW(native().hwnd, GWL_STYLE) & (WS_VISIBLE | WS_MINIMIZEBOX);
    reframe(*this, GWL_STYLE, kept | (sizable ? kSizableStyle : kFixedStyle));
}

void Form::setMinButton(bool minButton) {
    LONG_PTR style = GetWindowLongPtrW(native().hwnd, GWL_STYLE);
    reframe(*this, GWL_STYLE, minButton ? style | WS_MINIMIZEBOX : style & ~WS_MINIMIZEBOX);
}

void Form::setToolWindow(bool toolWindow) {
    LONG_PTR style = GetWindowLongPtrW(native().hwnd, GWL_EXSTYLE);
    reframe(*this, GWL_EXSTYLE, toolWindow ? style | WS_EX_TOOLWINDOW : style & ~WS_EX_TOOLWINDOW);
}

void Form::setMinimumSize(int width, int height) {
    native().minTrack = SIZE{twipsToPixels(width), twipsToPixels(height)};
}

void Form::setBackColor(Color color) {
    Native& n = native();
    n.back = color;
    if (n.backBrush)
        DeleteObject(n.backBrush);
    n.backBrush = color == kSystemColor ? nullptr : CreateSolidBrush(win32::colorRef(color));
    RedrawWindow(n.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form::centerOnScreen() {
    native().placed = true;
    placeCentred(native().hwnd, nullptr);
}

Control* Form::ActiveControl() const {
    HWND w = native().hwnd;
    HWND focus = GetFocus();
    // An inactive window's focus is where it comes back to.
    if (!focus || !IsChild(w, focus))
        focus = native().lastFocus;
    if (!focus || !IsChild(w, focus))
        return nullptr;
    // The control itself before a container of it; a combo box holds its
    // edit field.
    for (Control* control : m_tabOrder)
        if (win32::hwnd(*control) == focus)
            return control;
    for (Control* control : m_tabOrder)
        if (IsChild(win32::hwnd(*control), focus))
            return control;
    return nullptr;
}

void Form::setSize(int width, int height) {
    HWND w = native().hwnd;
    RECT r{0, 0, twipsToPixels(width), twipsToPixels(height)};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(w, GWL_EXSTYLE)));
    SetWindowPos(w, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Form::setTopMost(bool topMost) {
    SetWindowPos(native().hwnd, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool Form::Visible() const {
    return IsWindowVisible(native().hwnd) != FALSE;
}

void Form::setVisible(bool visible) {
    if (visible)
        Show();
    else
        ShowWindow(native().hwnd, SW_HIDE);
}

int Form::Left() const {
    RECT r{};
    GetWindowRect(native().hwnd, &r);
    return pixelsToTwips(r.left);
}

int Form::Top() const {
    RECT r{};
    GetWindowRect(native().hwnd, &r);
    return pixelsToTwips(r.top);
}

int Form::Width() const {
    RECT r{};
    GetClientRect(native().hwnd, &r);
    return pixelsToTwips(r.right);
}

int Form::Height() const {
    RECT r{};
    GetClientRect(native().hwnd, &r);
    return pixelsToTwips(r.bottom);
}

void Form::Move(Rect t) {
    native().placed = true;
    SetWindowPos(native().hwnd, nullptr, twipsToPixels(t.left), twipsToPixels(t.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    setSize(t.width, t.height);
}

void Form::Show() {
    m_loaded = true;
    placeAtFirstShow(native());
    win32::hookDialogKeys();
    ShowWindow(native().hwnd, SW_SHOW);
    SetForegroundWindow(native().hwnd);
}

void Form::ShowModal() {
    m_loaded = true;
    HWND w = native().hwnd;
    HWND owner = GetWindow(w, GW_OWNER);
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    native().modal = true;
    placeAtFirstShow(native());
    ShowWindow(w, SW_SHOW);
    SetForegroundWindow(w);
    runModalLoop(w, m_loaded);
    native().modal = false;
    // The owner is enabled again before the window goes, so that it is the
    // one activated next.
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    ShowWindow(w, SW_HIDE);
}

bool Form::Unload() {
    if (!closing(vbFormCode))
        return false;
    ShowWindow(native().hwnd, SW_HIDE);
    return true;
}

} // namespace forms
