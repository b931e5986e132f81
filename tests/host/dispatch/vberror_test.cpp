#include "vberror.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using trapline::dispatch::vbError;

TEST(VbError, AFailedCallIsTheNumberAndTextVbWouldRaise) {
    constexpr HRESULT kControl9 = static_cast<HRESULT>(0x800A0009);
    constexpr HRESULT kUnknown = static_cast<HRESULT>(0x80041234);
    const struct {
        HRESULT hr;
        WORD wCode;
        HRESULT scode;
        const wchar_t* told; ///< the object's own text, if any
        long number;
        const wchar_t* text; ///< what the description starts with
    } cases[] = {
        {kControl9, 0, 0, nullptr, 9, L"Subscript out of range"},
        {static_cast<HRESULT>(0x800A03EC), 0, 0, nullptr, 1004, L"Application-defined"},
        {DISP_E_EXCEPTION, 1004, 0, L"Unable to get the Lines", 1004, L"Unable to get the Lines"},
        {DISP_E_EXCEPTION, 0, kControl9, L"No such bar", 9, L"No such bar"},
        // An exception that names a system failure maps as that failure.
        {DISP_E_EXCEPTION, 0, DISP_E_TYPEMISMATCH, nullptr, 13, L"Type mismatch"},
        {DISP_E_EXCEPTION, 0, 0, nullptr, 440, L"Automation error 0x80020009"},
        {E_OUTOFMEMORY, 0, 0, nullptr, 7, L"Out of memory"},
        {DISP_E_BADINDEX, 0, 0, nullptr, 9, L"Subscript out of range"},
        {E_INVALIDARG, 0, 0, nullptr, 5, L"Invalid procedure call"},
        {DISP_E_OVERFLOW, 0, 0, nullptr, 6, L"Overflow"},
        {DISP_E_UNKNOWNNAME, 0, 0, nullptr, 438, L"Object doesn't support"},
        {DISP_E_MEMBERNOTFOUND, 0, 0, nullptr, 438, L"Object doesn't support"},
        {E_NOINTERFACE, 0, 0, nullptr, 430, L"Class does not support"},
        {DISP_E_PARAMNOTFOUND, 0, 0, nullptr, 448, L"Named argument not found"},
        {DISP_E_BADPARAMCOUNT, 0, 0, nullptr, 450, L"Wrong number of arguments"},
        {E_ACCESSDENIED, 0, 0, nullptr, 70, L"Permission denied"},
        {kUnknown, 0, 0, nullptr, 440, L"Automation error 0x80041234"},
        // VB has no number of its own for E_FAIL.
        {E_FAIL, 0, 0, nullptr, 440, L"Automation error 0x80004005"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.hr << " " << c.wCode << " " << c.scode);
        EXCEPINFO info{};
        info.wCode = c.wCode;
        info.scode = c.scode;
        info.bstrDescription = c.told ? SysAllocString(c.told) : nullptr;
        const auto error = vbError(c.hr, &info);
        SysFreeString(info.bstrDescription);
        EXPECT_EQ(error.number, c.number);
        EXPECT_EQ(error.description.rfind(c.text, 0), 0u)
            << std::string(error.description.begin(), error.description.end());
    }
}

} // namespace
