#pragma once

#include "dialogbackend.h"

#include <cstdint>

class GlobalComDLG;

/// The header of a notify message; lParam of WM_NOTIFY points to one. It
/// has the system's layout (NMHDR), so a real notification is read as it comes.
struct NotifyHeader {
    WindowHandle hwndFrom = nullptr;
    uintptr_t idFrom = 0;
    int32_t code = 0;
};

/// The hook dispatch. A hook procedure is a plain function and learns
/// nothing about who opened the dialog, so the object whose dialog is open
/// sits in one process-wide slot while its dialog runs; the hook procedures
/// fetch it from there and hand it the message.
namespace mdl_DialogHook {

/// Puts `target` in the slot; it is not owned. Only one hooked dialog can
/// be open at a time.
void SetHookTarget(GlobalComDLG* target);
void ClearHookTarget();
/// The object in the slot, or null between dialogs.
GlobalComDLG* GetHookTarget();

/// The hook procedures, one per kind of dialog. With an empty slot they
/// return 0 and touch nothing; otherwise they return the target's
/// DialogHook result (0 when it has none).
intptr_t OpenSaveHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);
intptr_t PrintHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);
intptr_t PrintSetupHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);
intptr_t PageSetupHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);
intptr_t ColorHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);
intptr_t FontHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);

/// The message result of a dialog window (DWL_MSGRESULT): how a hook
/// answers a notification such as CDN_FILEOK. The window is the backend's
/// of the dialog that is open, else the current backend's.
void SetWindowLong(WindowHandle hDlg, int index, intptr_t value);
intptr_t GetWindowLong(WindowHandle hDlg, int index);

} // namespace mdl_DialogHook
