// The add-in record from the library's Qt resources.
#include "addinrecord.h"

#include "addinlibrary.h"

trapline::Result<AddInRecord> AddInRecord::load() {
    auto bytes = AddInLibrary::LoadResData("RECORD", "ADDIN");
    if (!bytes)
        return bytes.error();
    return parse(*bytes);
}
