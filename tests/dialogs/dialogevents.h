#pragma once

#include "comdlgconsts.h"
#include "commondlg.h"

#include <string>
#include <vector>

/// The events of a dialog object in the order they came, each with the
/// window it carried; OK's command is "ok", and a selection moving through a
/// list counts once. `system` answers for the dialog's windows.
struct DialogEvents {
    DialogEvents(CommonDLG& dlg, DialogBackend& system) {
        dlg.OnInitDialog = [this, &dlg, &system](WindowHandle w) {
            add("init", w);
            hookParent = w ? system.GetParent(w) : nullptr;
            int32_t l = 0, t = 0, wd = 0, h = 0;
            dlg.GetDialogSize(w, l, t, wd, h);
            width = wd;
            height = h;
        };
        dlg.OnFileChange = [this](WindowHandle w) { add("file", w); };
        dlg.OnFolderChange = [this](WindowHandle w) { add("folder", w); };
        dlg.OnTypeChange = [this](WindowHandle w) { add("type", w); };
        dlg.OnDialogClose = [this] { add("close", nullptr); };
        dlg.OnConfirmOK = [this](bool& bCancel) {
            add("confirm", nullptr);
            bCancel = refusals-- > 0;
        };
        dlg.OnWMCommand = [this](WindowHandle w, intptr_t& wParam, intptr_t&) {
            add(wParam == comdlg::IDOK ? "ok" : "command", w);
        };
    }
    void add(const char* name, WindowHandle w) {
        if (names.empty() || names.back() != name || names.back() != "file") {
            names.push_back(name);
            windows.push_back(w);
        }
    }
    size_t count(const std::string& name) const {
        size_t n = 0;
        for (const std::string& each : names)
            n += each == name;
        return n;
    }
    /// Where `name` first came; the end when it never did.
    size_t indexOf(const std::string& name) const {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return i;
        return names.size();
    }
    std::vector<std::string> names;
    std::vector<WindowHandle> windows;
    WindowHandle hookParent = nullptr; ///< of the window the first event carried
    int32_t width = 0, height = 0;     ///< of the dialog, measured from its first event
    int refusals = 0;                  ///< names the confirmation refuses before one passes
};
