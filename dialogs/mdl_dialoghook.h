#pragma once

#include <cstdint>

class GlobalComDLG;
class QWidget;

/// The header of a notify message; lParam of WM_NOTIFY points to one.
struct NotifyHeader {
    QWidget* hwndFrom = nullptr;
    intptr_t idFrom = 0;
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
intptr_t OpenSaveHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);
intptr_t PrintHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);
intptr_t PrintSetupHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);
intptr_t PageSetupHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);
intptr_t ColorHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);
intptr_t FontHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam);

/// The message result of a dialog window (DWL_MSGRESULT): how a hook
/// answers a notification such as CDN_FILEOK.
void SetWindowLong(QWidget* hDlg, int index, intptr_t value);
intptr_t GetWindowLong(QWidget* hDlg, int index);

} // namespace mdl_DialogHook
