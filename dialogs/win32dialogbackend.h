#pragma once

#include "dialogbackend.h"

/// The system's common dialogs (comdlg32) and window services. Each record
/// becomes the wide structure of its dialog field by field (win32dialogrecords.h):
/// flags pass through, the buffers have the sizes the record gives, the
/// NUL-separated filter and a multi-selection keep their NULs, and a hook
/// of the record is called from the real hook with the real dialog window.
/// The extended error is read right after each dialog, so that a cancel
/// (0) is told from a failure. The open and colour dialogs, their hooks and
/// the buffer-too-small failure have been verified under wine only; the
/// font, print and page-setup dialogs only through their records.
class Win32DialogBackend : public DialogBackend {
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
    /// A new device context of the default printer, which the caller
    /// deletes; 0 without a printer.
    intptr_t PrinterDC() override;
    double TwipsPerPixelY() override;
    /// The program's file name without its folder and extension.
    std::string ApplicationName() override;

    // A window handle here is an HWND.
    void SetWindowLong(WindowHandle hDlg, int index, intptr_t value) override;
    intptr_t GetWindowLong(WindowHandle hDlg, int index) override;
    WindowHandle GetParent(WindowHandle hWnd) override;
    bool GetWindowRect(WindowHandle hWnd, RectRecord& rect) override;
    void MoveWindow(WindowHandle hWnd, int32_t left, int32_t top) override;
    bool GetWorkArea(WindowHandle hWnd, RectRecord& rect) override;

private:
    template <class Native, class Record, class Call> int32_t run(Record& record, Call call);

    int32_t m_extendedError = 0;
    int32_t m_lastError = 0;
};
