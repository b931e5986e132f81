#include "vberror.h"

#include <windows.h>

#include <cstdio>

namespace trapline::dispatch {

namespace {

constexpr long kAutomationError = 440;

struct Known {
    long number;
    const wchar_t* text;
};

/// VB's own texts for the numbers a call can end in.
const wchar_t* standardText(long number) {
    static const Known texts[] = {
        {5, L"Invalid procedure call or argument"},
        {6, L"Overflow"},
        {7, L"Out of memory"},
        {9, L"Subscript out of range"},
        {13, L"Type mismatch"},
        {70, L"Permission denied"},
        {91, L"Object variable or With block variable not set"},
        {430, L"Class does not support Automation or does not support expected interface"},
        {438, L"Object doesn't support this property or method"},
        {440, L"Automation error"},
        {448, L"Named argument not found"},
        {450, L"Wrong number of arguments or invalid property assignment"},
    };
    for (const Known& k : texts)
        if (k.number == number)
            return k.text;
    return L"Application-defined or object-defined error";
}

/// The VB number of an HRESULT; 0 for one VB knows no number for.
long numberOf(HRESULT hr) {
    if (HRESULT_SEVERITY(hr) == SEVERITY_ERROR && HRESULT_FACILITY(hr) == FACILITY_CONTROL)
        return static_cast<long>(HRESULT_CODE(hr));
    switch (hr) {
    case E_INVALIDARG:
        return 5;
    case DISP_E_OVERFLOW:
        return 6;
    case E_OUTOFMEMORY:
        return 7;
    case DISP_E_BADINDEX:
        return 9;
    case DISP_E_TYPEMISMATCH:
        return 13;
    case E_ACCESSDENIED:
        return 70;
    case E_NOINTERFACE:
        return 430;
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
        return 438;
    case DISP_E_PARAMNOTFOUND:
        return 448;
    case DISP_E_BADPARAMCOUNT:
        return 450;
    default:
        return 0;
    }
}

std::wstring systemText(HRESULT hr) {
    wchar_t* message = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::wstring text;
    if (message) {
        text = message;
        LocalFree(message);
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

} // namespace

VbError vbError(HRESULT hr, const EXCEPINFO* info) {
    std::wstring told;
    if (hr == DISP_E_EXCEPTION && info) {
        if (info->bstrDescription)
            told.assign(info->bstrDescription, SysStringLen(info->bstrDescription));
        if (info->wCode)
            hr = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info->wCode);
        else if (FAILED(info->scode))
            hr = info->scode;
    }
    if (const long number = numberOf(hr))
        return {number, told.empty() ? standardText(number) : told};
    // VB keeps the HRESULT for what it has no number for, so must we: it is
    // all the user can look up.
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    if (told.empty())
        told = systemText(hr);
    std::wstring text = L"Automation error " + std::wstring(code);
    if (!told.empty())
        text += L": " + told;
    return {kAutomationError, text};
}

} // namespace trapline::dispatch
