#pragma once

#include "dialogbackend.h"

#include <QColor>

/// The common dialogs as Qt draws them: QFileDialog (Qt's own widgets, not
/// the desktop's, so that its events can be seen), QColorDialog with its 16
/// custom colours as the custom colour table, QFontDialog, QPrintDialog and
/// QPageSetupDialog. A hook in a record gets the dialog's events as the
/// messages and notifications the system would send, on the same thread,
/// before the call returns; its window is a QWidget. Help opens the help
/// file in the desktop's viewer.
class QtDialogBackend : public DialogBackend {
public:
    int32_t GetOpenFileName(OpenFileNameRecord& ofn) override;
    int32_t GetSaveFileName(OpenFileNameRecord& ofn) override;
    int32_t GetFileTitle(const std::string& file, std::string& buffer, int32_t size) override;
    int32_t ChooseColor(ChooseColorRecord& cc) override;
    int32_t ChooseFont(ChooseFontRecord& cf) override;
    int32_t PrintDlg(PrintDlgRecord& pd) override;
    int32_t PageSetupDlg(PageSetupDlgRecord& psd) override;
    int32_t CommDlgExtendedError() override { return m_extendedError; }

    int32_t GetSysColor(int32_t index) override;
    bool WinHelp(WindowHandle owner, const std::string& file, int32_t command,
                 intptr_t data) override;
    int32_t GetLastError() override { return m_lastError; }
    std::string FormatMessage(int32_t code) override;
    intptr_t PrinterDC() override { return 0; }
    double TwipsPerPixelY() override;
    std::string ApplicationName() override;

    // A window handle here is the QWidget.
    void SetWindowLong(WindowHandle hDlg, int index, intptr_t value) override;
    intptr_t GetWindowLong(WindowHandle hDlg, int index) override;
    WindowHandle GetParent(WindowHandle hWnd) override;
    bool GetWindowRect(WindowHandle hWnd, RectRecord& rect) override;
    void MoveWindow(WindowHandle hWnd, int32_t left, int32_t top) override;
    bool GetWorkArea(WindowHandle hWnd, RectRecord& rect) override;

    /// 0x00BBGGRR from a colour and back.
    static int32_t toColorRef(const QColor& color);
    static QColor fromColorRef(int32_t value);

private:
    int32_t runFileDialog(OpenFileNameRecord& ofn, bool save);
    int32_t deliverFiles(OpenFileNameRecord& ofn, const QStringList& files);

    int32_t m_extendedError = 0;
    int32_t m_lastError = 0;
};
