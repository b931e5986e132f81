#pragma once

#include "comdlgconsts.h"
#include "commondlg.h"

#include <QObject>
#include <QSize>
#include <QStringList>
#include <QWidget>
#include <vector>

/// The events of a dialog object in the order they came, each with the
/// window it carried; OK's command is "ok", and a selection moving through a
/// list counts once.
struct DialogEvents : QObject {
    explicit DialogEvents(CommonDLG& dlg) {
        connect(&dlg, &CommonDLG::OnInitDialog, this, [this, &dlg](QWidget* w) {
            add("init", w);
            hookParent = w ? w->parentWidget() : nullptr;
            int32_t l = 0, t = 0, wd = 0, h = 0;
            dlg.GetDialogSize(w, l, t, wd, h);
            size = QSize(wd, h);
        });
        connect(&dlg, &CommonDLG::OnFileChange, this, [this](QWidget* w) { add("file", w); });
        connect(&dlg, &CommonDLG::OnFolderChange, this, [this](QWidget* w) { add("folder", w); });
        connect(&dlg, &CommonDLG::OnTypeChange, this, [this](QWidget* w) { add("type", w); });
        connect(&dlg, &CommonDLG::OnDialogClose, this, [this] { add("close", nullptr); });
        connect(&dlg, &CommonDLG::OnConfirmOK, this, [this](bool& bCancel) {
            add("confirm", nullptr);
            bCancel = refusals-- > 0;
        });
        connect(&dlg, &CommonDLG::OnWMCommand, this,
                [this](QWidget* w, intptr_t& wParam, intptr_t&) {
                    add(wParam == comdlg::IDOK ? "ok" : "command", w);
                });
    }
    void add(const char* name, QWidget* w) {
        if (names.isEmpty() || names.back() != name || names.back() != "file") {
            names << name;
            windows.push_back(w);
        }
    }
    QStringList names;
    std::vector<QWidget*> windows;
    QWidget* hookParent = nullptr; ///< of the window the first event carried
    QSize size;                    ///< of the dialog, measured from its first event
    int refusals = 0;              ///< names the confirmation refuses before one passes
};
