#include "registration.h"

vbide::AddInRegistry::Entry Registration::entry(const AddInRecord& record,
                                                const std::string& library) {
    vbide::AddInRegistry::Entry e{kProgId, {}};
    e.set("CLSID", kClassId);
    e.set("Interface", kInterfaceId);
    e.set("TypeLib", kTypeLib);
    e.set("Library", library);
    e.set("FriendlyName", record.displayName);
    e.set("Description", record.description);
    e.set("LoadBehavior", std::to_string(record.loadBehavior));
    return e;
}

trapline::Result<void> Registration::registerServer(vbide::AddInRegistry& registry,
                                                    const AddInRecord& record,
                                                    const std::string& library) {
    // An entry without its library would list an add-in nobody can load.
    if (library.empty())
        return trapline::makeError(trapline::errors::FileNotFound, kProgId,
                                   "the add-in cannot tell which file it was loaded from");
    return registry.put(entry(record, library));
}

trapline::Result<void> Registration::unregisterServer(vbide::AddInRegistry& registry) {
    return registry.remove(kProgId);
}
