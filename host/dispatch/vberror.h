#pragma once

#include <string>

#include <oaidl.h>

namespace trapline::dispatch {

/// A failed call as VB's run time shows it to the user.
struct VbError {
    long number = 0;
    std::wstring description;
};

/// The error VB raises for a failed IDispatch call: a control's error
/// (0x800A....) is its low word; DISP_E_EXCEPTION takes the object's own
/// error from `info` (its wCode, or its scode mapped as any HRESULT) and its
/// text; the common system failures have VB numbers of their own (E_INVALIDARG
/// 5, DISP_E_BADINDEX 9, DISP_E_TYPEMISMATCH 13, DISP_E_MEMBERNOTFOUND 438, ...);
/// anything else is 440, "Automation error", with the HRESULT in the text.
/// `info` may be null, and must already be filled in.
VbError vbError(HRESULT hr, const EXCEPINFO* info = nullptr);

} // namespace trapline::dispatch
