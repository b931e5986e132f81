#pragma once

#include "dialogbackend.h"
#include "qtdialogbackend.h"

#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

/// A literal with NUL characters in it, as the dialog records hold them.
template <size_t N> QString withNuls(const char (&text)[N]) {
    return QString::fromLatin1(text, N - 1);
}

/// Plays the user at the common dialogs: each dialog shown takes the next
/// answer of its queue (a cancel when the queue is empty) and is recorded as
/// the record it was given. The rest of the platform is Qt's, except for
/// fixed system colours and screen resolution.
class ScriptedDialogBackend : public QtDialogBackend {
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
        QString file;
        int32_t command;
        intptr_t data;
    };
    std::vector<HelpCall> helpCalls;
    bool helpSucceeds = true;
    std::function<void(const HelpCall&)> onHelp;

    /// The user chooses `path` (and filter `index`, when not 0) and confirms.
    static FileAnswer choose(const QString& path, int32_t index = 0) {
        return [path, index](OpenFileNameRecord& ofn) {
            ofn.lpstrFile = path + QString(ofn.nMaxFile - path.size(), QChar(0));
            const QString title = path.mid(path.lastIndexOf('/') + 1);
            ofn.lpstrFileTitle = title + QString(ofn.nMaxFileTitle - title.size(), QChar(0));
            if (index)
                ofn.nFilterIndex = index;
            return 1;
        };
    }

    int32_t GetOpenFileName(OpenFileNameRecord& ofn) override { return playFile(ofn, false); }
    int32_t GetSaveFileName(OpenFileNameRecord& ofn) override { return playFile(ofn, true); }
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
    bool WinHelp(QWidget*, const QString& file, int32_t command, intptr_t data) override {
        helpCalls.push_back({file, command, data});
        if (onHelp)
            onHelp(helpCalls.back());
        return helpSucceeds;
    }
    int32_t GetLastError() override { return helpSucceeds ? 0 : 2; }
    QString FormatMessage(int32_t code) override {
        return code == 2 ? "The system cannot find the file specified." : QString();
    }
    double TwipsPerPixelY() override { return 15.0; }

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
