#pragma once

// The add-in's default interface as COM declares it, in the order and with
// the signatures of its type library (trapline.idl), so that the type
// library's ITypeInfo can call it through the vtable.

#include <oaidl.h>

/// {FA68FD18-E0A0-406B-B828-18AD27AC26D0}
inline constexpr IID kIID__Connect = {
    0xFA68FD18, 0xE0A0, 0x406B, {0xB8, 0x28, 0x18, 0xAD, 0x27, 0xAC, 0x26, 0xD0}};

/// The add-in object's own members: whether its window counts as displayed,
/// the environment object, the button's event source, and showing, hiding
/// and adding the button.
class _Connect : public IDispatch {
public:
    virtual HRESULT STDMETHODCALLTYPE get_FormDisplayed(VARIANT_BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_FormDisplayed(VARIANT_BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VBInstance(IDispatch** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_VBInstance(IDispatch* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_VBInstance(IDispatch* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MenuHandler(IDispatch** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MenuHandler(IDispatch* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_MenuHandler(IDispatch* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Hide() = 0;
    virtual HRESULT STDMETHODCALLTYPE Show() = 0;
    virtual HRESULT STDMETHODCALLTYPE AddToCommandBar() = 0;
};
