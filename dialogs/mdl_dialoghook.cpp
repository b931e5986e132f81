#include "mdl_dialoghook.h"

#include "globalcomdlg.h"

namespace {

GlobalComDLG* g_hookTarget = nullptr;

intptr_t forward(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    GlobalComDLG* target = mdl_DialogHook::GetHookTarget();
    if (!target)
        return 0;
    return target->DialogHook(hDlg, msg, wParam, lParam).value_or(0);
}

/// The dialog windows belong to the backend of the dialog that is open.
DialogBackend& windows() {
    GlobalComDLG* target = mdl_DialogHook::GetHookTarget();
    return target ? target->backend() : DialogBackend::current();
}

} // namespace

namespace mdl_DialogHook {

void SetHookTarget(GlobalComDLG* target) {
    g_hookTarget = target;
}

void ClearHookTarget() {
    g_hookTarget = nullptr;
}

GlobalComDLG* GetHookTarget() {
    return g_hookTarget;
}

intptr_t OpenSaveHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

intptr_t PrintHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

intptr_t PrintSetupHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

intptr_t PageSetupHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

intptr_t ColorHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

intptr_t FontHookProc(WindowHandle hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

void SetWindowLong(WindowHandle hDlg, int index, intptr_t value) {
    windows().SetWindowLong(hDlg, index, value);
}

intptr_t GetWindowLong(WindowHandle hDlg, int index) {
    return windows().GetWindowLong(hDlg, index);
}

} // namespace mdl_DialogHook
