// trapline-render OUTDIR PROJECT: opens the add-in's windows on the Win32
// side with PROJECT loaded and writes a picture of each into OUTDIR, as the
// environment's --render does for the Qt side. Nothing of the project is
// written and no setting of the user's is touched: the settings live under a
// registry key of the run's own, removed at the end, and the tips file goes
// to a temporary folder.

#include "f_dialog.h"
#include "frmaddin.h"
#include "frmtip.h"
#include "platform/filesystem.h"
#include "platform/process.h"
#include "projectloader.h"
#include "registrylookup.h"
#include "registrysettings.h"
#include "snapshot.h"
#include "stderrmessagebox.h"
#include "vbe.h"

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

const char* const kUsage = "usage: trapline-render OUTDIR PROJECT\n"
                           "Writes addin.png, tip.png, about.png, dialog.png and templatefile.png\n"
                           "into OUTDIR: the add-in's windows with PROJECT (a .vbp) loaded.\n"
                           "Exit status: 0 when every picture was written, 1 when one could not\n"
                           "be, 2 for bad usage or a project that does not load.\n";

struct Render {
    std::string dir;
    bool ok = true;

    void save(void* window, const char* name) {
        const std::string path = dir + "/" + name;
        const std::string error = window ? forms::savePicture(window, path) : "no such window";
        if (error.empty()) {
            trapline::platform::writeText(stdout, path + "\n");
        } else {
            trapline::platform::writeText(stderr, "trapline-render: " + std::string(name) + ": " +
                                                      error + "\n");
            ok = false;
        }
    }
};

/// What `pictureModal` is waiting for; a timer callback has no argument.
struct ModalPicture {
    Render* render;
    HWND under;
    const char* name;
    int tries;
    bool taken;
} g_modal;

void CALLBACK lookForModal(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND active = GetActiveWindow();
    const bool shown = active && active != g_modal.under && IsWindowVisible(active);
    if (!shown && --g_modal.tries > 0)
        return;
    KillTimer(nullptr, timer);
    if (shown) {
        g_modal.render->save(active, g_modal.name);
        g_modal.taken = true;
        // Closed as its close box closes it: a dialog takes it as Cancel.
        PostMessageW(active, WM_CLOSE, 0, 0);
    }
}

/// Runs `open`, which shows a modal window over `under`, pictures that
/// window once it is up and closes it.
void pictureModal(Render& render, HWND under, const char* name, const std::function<void()>& open) {
    g_modal = {&render, under, name, 50, false};
    SetTimer(nullptr, 0, 100, lookForModal);
    open();
    if (!g_modal.taken) {
        render.save(nullptr, name);
    }
}

void settle() {
    MSG message;
    for (int round = 0; round < 5; ++round) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(20);
    }
}

int render(const std::string& dir, const std::string& project) {
    auto loaded = trapline::ProjectLoader().load({project});
    if (!loaded) {
        trapline::platform::writeText(stderr, "trapline-render: " + loaded.error().source + ": " +
                                                  loaded.error().description + "\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(trapline::platform::toPath(dir), error);
    if (error) {
        trapline::platform::writeText(stderr,
                                      "trapline-render: " + dir + ": " + error.message() + "\n");
        return 2;
    }
    trapline::VBE vbe(std::move(*loaded));
    const std::string root =
        "Software\\TRAPLINE render " + std::to_string(trapline::platform::processId());
    RegistrySettings settings(root);
    trapline::StderrMessageBox problems; // nobody is there to answer a message box
    NoRegistry registry;
    const std::string scratch =
        trapline::platform::fromPath(std::filesystem::temp_directory_path(error));

    Render r{dir};
    {
        frmAddIn addIn(
            &vbe, {problems, settings, registry, [](const std::string&) { return true; }, scratch});
        addIn.Move({600, 600, addIn.Width(), addIn.Height()});
        addIn.Show();
        settle();
        r.save(addIn.windowHandle(), "addin.png");
        frmTip* tip = addIn.tipWindow();
        r.save(tip && tip->Visible() ? tip->windowHandle() : nullptr, "tip.png");
        if (tip)
            tip->Unload();
        settle();
        auto* under = static_cast<HWND>(addIn.windowHandle());
        pictureModal(r, under, "about.png", [&] { addIn.cmdAbout.Click(); });
        pictureModal(r, under, "dialog.png", [&] { addIn.cmdEdit.Click(); });
        addIn.setActiveText(addIn.Header.Name());
        pictureModal(r, under, "templatefile.png", [&] { addIn.cmdLoadFromFile.Click(); });
        addIn.Unload();
    }
    RegistrySettings::removeRoot(root);
    return r.ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    trapline::platform::prepareStandardStreams();
    const std::vector<std::string> args = trapline::platform::arguments(argc, argv);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        trapline::platform::writeText(stdout, kUsage);
        return 0;
    }
    if (args.size() != 2) {
        trapline::platform::writeText(
            stderr,
            std::string("trapline-render: ") +
                (args.size() < 2 ? "OUTDIR and PROJECT are needed\n" : "too many arguments\n") +
                kUsage);
        return 2;
    }
    return render(args[0], args[1]);
}
