#pragma once

#include "addinrecord.h"
#include "addinregistry.h"
#include "result.h"

#include <string>

/// The add-in's entry in the environment's add-in registry: what
/// DllRegisterServer writes and DllUnregisterServer removes.
///
///     [Trapline.Connect]
///     CLSID={D26D66EF-D11E-4A0D-ACB0-F26079A76A88}
///     Interface={FA68FD18-E0A0-406B-B828-18AD27AC26D0}
///     TypeLib={7F48F856-1D21-4466-9C78-AC3BDC19B4C8} 1.0 0
///     Library=/opt/trapline/Trapline.so
///     FriendlyName=TRAPLINE                 (from the add-in record)
///     Description=Insert Error handler ...  (from the add-in record)
///     LoadBehavior=1                        (from the add-in record)
class Registration {
public:
    static constexpr const char* kProgId = "Trapline.Connect";
    static constexpr const char* kClassId = "{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}";
    static constexpr const char* kInterfaceId = "{FA68FD18-E0A0-406B-B828-18AD27AC26D0}";
    static constexpr const char* kTypeLib = "{7F48F856-1D21-4466-9C78-AC3BDC19B4C8} 1.0 0";

    /// The entry for the add-in in `library` (an absolute path) described by `record`.
    static vbide::AddInRegistry::Entry entry(const AddInRecord& record, const std::string& library);

    /// Adds or replaces the add-in's entry; every other entry stays as it
    /// was. An error when the library's path is unknown or the registry
    /// cannot be read or written (the file is then unchanged).
    static trapline::Result<void> registerServer(vbide::AddInRegistry& registry,
                                                 const AddInRecord& record,
                                                 const std::string& library);
    /// Removes the add-in's entry, if there is one.
    static trapline::Result<void> unregisterServer(vbide::AddInRegistry& registry);
};
