#pragma once

#include "../dialogs/scripteddialogbackend.h"
#include "../forms/user.h"
#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "../support/testsettings.h"
#include "frmaddin.h"
#include "projectloader.h"
#include "registrylookup.h"
#include "vbe.h"

#include <filesystem>
#include <memory>

/// The tool window, shown, with its settings and its add-in folder in a
/// temporary folder, its message boxes and file dialogs played by script.
struct AddInWindow {
    enum class Project { None, Example, Empty };

    /// `showTips` is the stored setting, or null for none; `codepage` is the
    /// empty project's.
    explicit AddInWindow(Project project = Project::Example, const char* showTips = "0",
                         const char* codepage = nullptr) {
        std::filesystem::create_directories(utf8Path(dir.file("addin")));
        if (showTips)
            settings.saveSetting(SettingsService::kApplication, "Options", "Show Tips at Startup",
                                 showTips);
        if (project == Project::Example) {
            std::filesystem::copy(utf8Path(std::string(TRAPLINE_SOURCE_DIR) + "/examples"),
                                  utf8Path(dir.file("p")),
                                  std::filesystem::copy_options::recursive);
            vbe = std::make_unique<trapline::VBE>(
                std::move(*trapline::ProjectLoader().load({dir.file("p/Ledger.vbp")})));
        } else if (project == Project::Empty) {
            vbe = std::make_unique<trapline::VBE>(std::make_unique<trapline::Project>(
                codepage ? *trapline::Codepage::open(codepage) : trapline::Codepage()));
        } else {
            vbe = std::make_unique<trapline::VBE>();
        }
        form = std::make_unique<frmAddIn>(vbe.get(), services());
        form->Show();
    }

    frmAddIn::Services services() {
        return {boxes, settings, registry, [](const std::string&) { return true; }, addInFolder()};
    }
    std::string addInFolder() const { return dir.file("addin"); }
    std::string path(const char* name) const { return dir.file(name); }
    std::string code(int component) {
        return (*vbe->ActiveVBProject()->VBComponents().Item(component))->serialize();
    }
    /// Saves `box` to, or loads it from, the file the user chooses.
    void save(forms::TextBox& box, const std::string& chosen) { useFile(box, chosen, true); }
    void load(forms::TextBox& box, const std::string& chosen) { useFile(box, chosen, false); }
    /// Presses `button` for `box` and cancels the file dialog it opens (no answer queued).
    void cancel(forms::TextBox& box, forms::CommandButton& button) {
        form->setActiveText(box.Name());
        user::click(button);
    }

    TempDir dir;
    ScriptedDialogBackend dialogs;
    BackendScope scope{dialogs};
    TestSettings settings{dir};
    ScriptedMessageBox boxes;
    NoRegistry registry;
    std::unique_ptr<trapline::VBE> vbe;
    std::unique_ptr<frmAddIn> form;

private:
    void useFile(forms::TextBox& box, const std::string& chosen, bool save) {
        form->setActiveText(box.Name());
        dialogs.files.push_back(ScriptedDialogBackend::choose(chosen));
        user::click(save ? form->cmdSaveToFile : form->cmdLoadFromFile);
    }
};
