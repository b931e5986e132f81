#include "dispatchobject.h"

#include <cstdio>
#include <vector>

#include <windows.h>

namespace trapline::dispatch {

DispatchObject::DispatchObject(IDispatch* object) : m_object(object) {
    if (m_object)
        m_object->AddRef();
}

DispatchObject& DispatchObject::operator=(const DispatchObject& other) {
    if (other.m_object)
        other.m_object->AddRef();
    if (m_object)
        m_object->Release();
    m_object = other.m_object;
    return *this;
}

DispatchObject::~DispatchObject() {
    if (m_object)
        m_object->Release();
}

namespace {

std::wstring hex(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

/// What went wrong in a call, as the object told it: its EXCEPINFO text when
/// it gave one, the system's text of the HRESULT otherwise.
Error callError(const wchar_t* member, HRESULT hr, EXCEPINFO& info) {
    if (info.pfnDeferredFillIn)
        info.pfnDeferredFillIn(&info);
    if (info.scode)
        hr = info.scode;
    else if (info.wCode) // VB's own error numbers, as VB makes them HRESULTs
        hr = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode);
    std::wstring text;
    if (info.bstrDescription)
        text = info.bstrDescription;
    if (text.empty()) {
        wchar_t* message = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0,
                       nullptr);
        if (message) {
            text = message;
            LocalFree(message);
            while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
                text.pop_back();
        }
    }
    std::wstring source = info.bstrSource ? info.bstrSource : L"";
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    std::wstring description = std::wstring(member) + L": " + text + L" (" + hex(hr) + L")";
    return makeError(static_cast<long>(hr), toUtf8(source), toUtf8(description));
}

} // namespace

Result<Variant> DispatchObject::invoke(const wchar_t* member, WORD flags,
                                       std::initializer_list<Variant> args, bool put) const {
    if (!m_object)
        return makeError(static_cast<long>(E_POINTER), "", toUtf8(member) + ": no object");
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(member);
    HRESULT hr = m_object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    EXCEPINFO info{};
    if (FAILED(hr))
        return callError(member, hr, info);
    // Invoke takes its arguments last first.
    std::vector<VARIANT> reversed;
    for (auto a = args.end(); a != args.begin();)
        reversed.push_back(*(--a)->get());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), put ? &named : nullptr, static_cast<UINT>(reversed.size()),
                      put ? 1u : 0u};
    Variant result;
    UINT badArgument = 0;
    hr = m_object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                          put ? nullptr : result.get(), &info, &badArgument);
    if (FAILED(hr))
        return callError(member, hr, info);
    return result;
}

Result<Variant> DispatchObject::call(const wchar_t* member,
                                     std::initializer_list<Variant> args) const {
    return invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

Result<Variant> DispatchObject::get(const wchar_t* member,
                                    std::initializer_list<Variant> args) const {
    return invoke(member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args);
}

Result<void> DispatchObject::put(const wchar_t* member, const Variant& value) const {
    auto done = invoke(member, DISPATCH_PROPERTYPUT, {value}, true);
    if (!done)
        return done.error();
    return {};
}

Result<DispatchObject> DispatchObject::object(const wchar_t* member,
                                              std::initializer_list<Variant> args) const {
    auto value = get(member, args);
    if (!value)
        return value.error();
    const VARIANT* v = value->get();
    if (v->vt == VT_DISPATCH && v->pdispVal)
        return DispatchObject(v->pdispVal);
    if (v->vt == VT_UNKNOWN && v->punkVal) {
        IDispatch* object = nullptr;
        if (SUCCEEDED(
                v->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object)))) {
            DispatchObject held(object);
            object->Release();
            return held;
        }
    }
    return makeError(errors::NoObject, "", toUtf8(member) + ": no object");
}

Result<long> DispatchObject::getLong(const wchar_t* member) const {
    auto value = get(member);
    if (!value)
        return value.error();
    Variant number;
    if (FAILED(VariantChangeType(number.get(), value->get(), 0, VT_I4)))
        return makeError(static_cast<long>(DISP_E_TYPEMISMATCH), "",
                         toUtf8(member) + ": not a number");
    return static_cast<long>(number.get()->lVal);
}

Result<std::wstring> DispatchObject::getString(const wchar_t* member) const {
    auto value = get(member);
    if (!value)
        return value.error();
    Variant text;
    if (FAILED(VariantChangeType(text.get(), value->get(), 0, VT_BSTR)))
        return makeError(static_cast<long>(DISP_E_TYPEMISMATCH), "",
                         toUtf8(member) + ": not a text");
    BSTR s = text.get()->bstrVal;
    return std::wstring(s ? s : L"", s ? SysStringLen(s) : 0);
}

std::string toUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    if (text.empty())
        return {};
    int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

} // namespace trapline::dispatch
