#include "dispatchobject.h"
#include "vberror.h"

#include "platform/windows/wide.h"

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

/// What went wrong in a call, as VB would raise it: its number and the
/// object's own text when it gave one.
Error callError(const wchar_t* member, HRESULT hr, EXCEPINFO& info) {
    if (info.pfnDeferredFillIn)
        info.pfnDeferredFillIn(&info);
    const VbError error = vbError(hr, &info);
    std::wstring source = info.bstrSource ? info.bstrSource : L"";
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return makeError(error.number, toUtf8(source),
                     toUtf8(std::wstring(member) + L": " + error.description));
}

} // namespace

Result<Variant> DispatchObject::invoke(const wchar_t* member, WORD flags,
                                       std::initializer_list<Variant> args, bool put) const {
    if (!m_object)
        return makeError(errors::NoObject, "", toUtf8(member) + ": no object");
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
        return makeError(vbError(DISP_E_TYPEMISMATCH).number, "",
                         toUtf8(member) + ": not a number");
    return static_cast<long>(number.get()->lVal);
}

Result<std::wstring> DispatchObject::getString(const wchar_t* member) const {
    auto value = get(member);
    if (!value)
        return value.error();
    Variant text;
    if (FAILED(VariantChangeType(text.get(), value->get(), 0, VT_BSTR)))
        return makeError(vbError(DISP_E_TYPEMISMATCH).number, "", toUtf8(member) + ": not a text");
    BSTR s = text.get()->bstrVal;
    return std::wstring(s ? s : L"", s ? SysStringLen(s) : 0);
}

std::string toUtf8(const std::wstring& text) {
    return platform::windows::toUtf8(text);
}

std::wstring fromUtf8(const std::string& text) {
    return platform::windows::toWide(text);
}

} // namespace trapline::dispatch
