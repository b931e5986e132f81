#include "modresfiles.h"

#include "platform/filesystem.h"
#include "resources.h"

#include <random>

namespace ModResFiles {

bool LoadResData(const std::string& ResId, const std::string& ResType, std::string& data) {
    return forms::resourceData(ResType, ResId, data);
}

int SaveResourceData(const std::string& ResId, const std::string& ResType,
                     const std::string& FileName) {
    namespace platform = trapline::platform;
    std::string data;
    if (!LoadResData(ResId, ResType, data))
        return 53;
    // Written whole beside the file and put in its place at once: no stale
    // bytes of an older, longer file survive, and a failure leaves the old
    // file as it was.
    const std::string part = FileName + ".~rs" + std::to_string(std::random_device()());
    platform::File file;
    if (platform::createNew(part, 0666, file))
        return 75;
    const bool written = !file.write({data}) && !file.sync();
    file.close();
    if (!written || platform::renameReplacing(part, FileName)) {
        platform::remove(part);
        return 75;
    }
    return 0;
}

bool MakeTempFileName(const std::string& TempPath, const std::string& Prefix, int Unique,
                      std::string& TempName) {
    std::string name;
    if (!forms::tempFileName(TempPath, Prefix, static_cast<unsigned>(Unique), name))
        return false;
    TempName = StripAtNul(name);
    return true;
}

std::string StripAtNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

bool ExtractResourceToFile(const std::string& ResId, const std::string& FileName) {
    std::string target = FileName;
    if (target.empty() && !MakeTempFileName({}, "~rs", 0, target))
        return false;
    return SaveResourceData(ResId, "Custom", target) == 0;
}

} // namespace ModResFiles
