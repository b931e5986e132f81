#pragma once

#include "dialogbackend.h"

#include <cstdint>

/// What the dialog hook tells about an open dialog. CommonDLG implements it
/// and raises one event for each call; any other sink must answer all seven.
class DialogEventSink {
public:
    virtual ~DialogEventSink() = default;
    /// The dialog was created; `hDlg` is the hook's window.
    virtual int32_t InitDialog(WindowHandle hDlg) = 0;
    /// The selection in the file list changed.
    virtual int32_t FileChange(WindowHandle hDlg) = 0;
    /// The dialog entered another folder.
    virtual int32_t FolderChange(WindowHandle hDlg) = 0;
    /// A file name is about to be accepted; false refuses it and keeps the dialog open.
    virtual bool ConfirmOK() = 0;
    /// Another file type was chosen.
    virtual int32_t TypeChange(WindowHandle hDlg) = 0;
    /// The dialog window is going away.
    virtual void DialogClose() = 0;
    /// A control of the dialog sent a command; the parameters are copies.
    virtual void WMCommand(WindowHandle hDlg, intptr_t& wParam, intptr_t& lParam) = 0;
};
