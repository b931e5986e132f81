#pragma once

#include "addin.h"

/// The class factory DllGetClassObject hands out: makes Connect objects
/// for the environment and deletes them again in this library.
class ConnectFactory : public vbide::ClassFactory {
public:
    /// A new Connect; error 7 when there is no memory for it.
    trapline::Result<vbide::IDTExtensibility2*> CreateInstance() override;
    /// Deletes an object made by CreateInstance (null is ignored).
    void Release(vbide::IDTExtensibility2* object) override;
};
