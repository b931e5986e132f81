#pragma once

#include "comdlgconsts.h"
#include "commondlg.h"

#include <string>
#include <vector>

/// The events of a dialog object in the order they came, each with the
/// window it carried; OK's command is "ok", and a selection moving through a
/// list counts once.
struct DialogEvents {
    explicit DialogEvents(CommonDLG& dlg) {
        dlg.OnInitDialog = [this](WindowHandle w) { add("init", w); };
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
    std::vector<std::string> names;
    std::vector<WindowHandle> windows;
    int refusals = 0; ///< names the confirmation refuses before one passes
};
