#pragma once

// The environment's connection interface as COM declares it, in the order and
// with the signatures of its type library (trapline.idl), so that the type
// library's ITypeInfo can call it through the vtable.

#include "addin.h"

#include <oaidl.h>

/// {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}
inline constexpr IID kIID_IDTExtensibility2 = {
    0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};

/// The dual interface every add-in object implements; DISPIDs 1 to 5 in this order.
class IDTExtensibility2 : public IDispatch {
public:
    virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application,
                                                   vbide::ext_ConnectMode ConnectMode,
                                                   IDispatch* AddInInst, SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDisconnection(vbide::ext_DisconnectMode RemoveMode,
                                                      SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

static_assert(sizeof(vbide::ext_ConnectMode) == 4 && sizeof(vbide::ext_DisconnectMode) == 4,
              "the modes cross COM as 32-bit enumerations");
