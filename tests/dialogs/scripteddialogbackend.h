#pragma once

#include "dialogbackend.h"
#include "dlgtext.h"
#include "globalcomdlg.h"

#include <deque>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

/// A literal with NUL characters in it, as the dialog records hold them.
template <size_t N> std::string withNuls(const char (&text)[N]) {
    return std::string(text, N - 1);
}

/// A printer object that keeps what it is told.
struct RecordingPrinter : PrinterObject {
    void setProperty(std::string_view name, int32_t value) override {
        properties[std::string(name)] = value;
    }
    std::map<std::string, int32_t> properties;
};

/// Plays the user at the common dialogs: each dialog shown takes the next
/// answer of its queue (a cancel when the queue is empty) and is recorded as
/// the record it was given. The rest of the platform is made up: fixed
/// system colours and screen resolution, and windows that are rectangles.
class ScriptedDialogBackend : public DialogBackend {
public:
    using FileAnswer = std::function<int32_t(OpenFileNameRecord&)>;

    std::deque<FileAnswer> files;
    std::vector<OpenFileNameRecord> fileSeen; ///< as the dialogs were asked
    std::vector<bool> fileWasSave;
    std::deque<std::function<int32_t(ChooseColorRecord&)>> colors;
    std::vector<ChooseColorRecord> colorSeen;
    std::deque<std::function<int32_t(ChooseFontRecord&)>> fonts;
    std::vector<ChooseFontRecord> fontSeen;
    std::vector<LogFontRecord> logFontSeen;
    std::deque<std::function<int32_t(PrintDlgRecord&)>> prints;
    std::vector<PrintDlgRecord> printSeen;
    std::deque<std::function<int32_t(PageSetupDlgRecord&)>> pageSetups;
    std::vector<PageSetupDlgRecord> pageSetupSeen;
    int32_t extendedError = 0; ///< what the system tells after the next dialog

    struct HelpCall {
        std::string file;
        int32_t command;
        intptr_t data;
    };
    std::vector<HelpCall> helpCalls;
    bool helpSucceeds = true;

    /// A made-up window: where it is and what holds it.
    struct Window {
        RectRecord rect;
        WindowHandle parent = nullptr;
        std::map<int, intptr_t> longs;
    };
    RectRecord workArea{0, 0, 1000, 700};

    /// A new window at `rect` inside `parent`; it lives as long as the backend.
    WindowHandle window(RectRecord rect, WindowHandle parent = nullptr) {
        m_windows.push_back(Window{rect, parent, {}});
        return &m_windows.back();
    }
    static Window& of(WindowHandle handle) { return *static_cast<Window*>(handle); }

    /// The user chooses `path` (and filter `index`, when not 0) and confirms.
    static FileAnswer choose(const std::string& path, int32_t index = 0) {
        return [path, index](OpenFileNameRecord& ofn) {
            ofn.lpstrFile = dlgtext::padded(path, static_cast<size_t>(ofn.nMaxFile));
            const std::string title = path.substr(path.find_last_of('/') + 1);
            ofn.lpstrFileTitle = dlgtext::padded(title, static_cast<size_t>(ofn.nMaxFileTitle));
            if (index)
                ofn.nFilterIndex = index;
            return 1;
        };
    }

    int32_t GetOpenFileName(OpenFileNameRecord& ofn) override { return playFile(ofn, false); }
    int32_t GetSaveFileName(OpenFileNameRecord& ofn) override { return playFile(ofn, true); }
    // A title is the real system's business.
    int32_t GetFileTitle(const std::string&, std::string&, int32_t) override { return -1; }
    int32_t ChooseColor(ChooseColorRecord& cc) override {
        colorSeen.push_back(cc);
        return play(colors, cc);
    }
    int32_t ChooseFont(ChooseFontRecord& cf) override {
        fontSeen.push_back(cf);
        if (cf.lpLogFont)
            logFontSeen.push_back(*cf.lpLogFont);
        return play(fonts, cf);
    }
    int32_t PrintDlg(PrintDlgRecord& pd) override {
        printSeen.push_back(pd);
        return play(prints, pd);
    }
    int32_t PageSetupDlg(PageSetupDlgRecord& psd) override {
        pageSetupSeen.push_back(psd);
        return play(pageSetups, psd);
    }
    int32_t CommDlgExtendedError() override { return m_lastExtendedError; }

    int32_t GetSysColor(int32_t index) override {
        return index >= 0 && index <= 30 ? 0x010101 * (index + 1) : -1;
    }
    bool WinHelp(WindowHandle, const std::string& file, int32_t command, intptr_t data) override {
        helpCalls.push_back({file, command, data});
        return helpSucceeds;
    }
    int32_t GetLastError() override { return helpSucceeds ? 0 : 2; }
    std::string FormatMessage(int32_t code) override {
        return code == 2 ? "The system cannot find the file specified." : std::string();
    }
    intptr_t PrinterDC() override { return 0; }
    double TwipsPerPixelY() override { return 15.0; }
    std::string ApplicationName() override { return "Scripted"; }

    void SetWindowLong(WindowHandle hDlg, int index, intptr_t value) override {
        if (hDlg)
            of(hDlg).longs[index] = value;
    }
    intptr_t GetWindowLong(WindowHandle hDlg, int index) override {
        return hDlg && of(hDlg).longs.count(index) ? of(hDlg).longs[index] : 0;
    }
    WindowHandle GetParent(WindowHandle hWnd) override { return hWnd ? of(hWnd).parent : nullptr; }
    bool GetWindowRect(WindowHandle hWnd, RectRecord& rect) override {
        if (!hWnd)
            return false;
        rect = of(hWnd).rect;
        return true;
    }
    void MoveWindow(WindowHandle hWnd, int32_t left, int32_t top) override {
        RectRecord& r = of(hWnd).rect;
        r = {left, top, left + (r.right - r.left), top + (r.bottom - r.top)};
    }
    bool GetWorkArea(WindowHandle, RectRecord& rect) override {
        rect = workArea;
        return true;
    }

private:
    int32_t playFile(OpenFileNameRecord& ofn, bool save) {
        fileSeen.push_back(ofn);
        fileWasSave.push_back(save);
        return play(files, ofn);
    }
    template <class Queue, class Record> int32_t play(Queue& queue, Record& record) {
        m_lastExtendedError = 0;
        int32_t result = 0;
        if (!queue.empty()) {
            auto answer = std::move(queue.front());
            queue.pop_front();
            result = answer(record);
        }
        if (result != 1) {
            m_lastExtendedError = extendedError;
            extendedError = 0;
        }
        return result;
    }
    int32_t m_lastExtendedError = 0;
    std::list<Window> m_windows;
};

/// Makes a backend the one every new dialog object uses, for one scope.
class BackendScope {
public:
    explicit BackendScope(DialogBackend& backend) : m_before(DialogBackend::setCurrent(&backend)) {}
    ~BackendScope() { DialogBackend::setCurrent(m_before); }
    BackendScope(const BackendScope&) = delete;
    BackendScope& operator=(const BackendScope&) = delete;

private:
    DialogBackend* m_before;
};
