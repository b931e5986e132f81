#include "mdl_dialoghook.h"

#include "globalcomdlg.h"

#include <QVariant>
#include <QWidget>

namespace {

GlobalComDLG* g_hookTarget = nullptr;

intptr_t forward(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    GlobalComDLG* target = mdl_DialogHook::GetHookTarget();
    if (!target)
        return 0;
    return target->DialogHook(hDlg, msg, wParam, lParam).value_or(0);
}

const char* resultProperty(int index) {
    return index == 0 ? "DWL_MSGRESULT" : "DWL_USER";
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

intptr_t OpenSaveHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

intptr_t PrintHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

intptr_t PrintSetupHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

intptr_t PageSetupHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

intptr_t ColorHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

intptr_t FontHookProc(QWidget* hDlg, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    return forward(hDlg, msg, wParam, lParam);
}

void SetWindowLong(QWidget* hDlg, int index, intptr_t value) {
    if (hDlg)
        hDlg->setProperty(resultProperty(index), QVariant::fromValue<qlonglong>(value));
}

intptr_t GetWindowLong(QWidget* hDlg, int index) {
    if (!hDlg)
        return 0;
    return static_cast<intptr_t>(hDlg->property(resultProperty(index)).toLongLong());
}

} // namespace mdl_DialogHook
