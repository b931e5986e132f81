// The add-in record from the DLL's own resources on Windows.
#include "addinrecord.h"

#include "servermodule.h"

#include <windows.h>

namespace {
constexpr long kResourceNotFound = 326;
}

trapline::Result<AddInRecord> AddInRecord::load() {
    const HMODULE module = ServerModule::handle();
    HRSRC found = FindResourceW(module, L"RECORD", L"ADDIN");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return trapline::makeError(kResourceNotFound, "Trapline.Connect",
                                   "Resource with identifier 'RECORD' not found");
    return parse(std::string_view(static_cast<const char*>(bytes), SizeofResource(module, found)));
}
