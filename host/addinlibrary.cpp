#include "addinlibrary.h"

#include <QFile>
#include <QFileInfo>
#include <dlfcn.h>
#include <filesystem>

namespace {

/// Any address inside the library tells dladdr which file it came from.
const char kAnchor = 0;

/// The run time's number for a resource that is not there.
constexpr long kResourceNotFound = 326;

trapline::Error notFound(const QString& what) {
    return trapline::makeError(kResourceNotFound, "Trapline",
                               "Resource with identifier '" + what.toStdString() + "' not found");
}

} // namespace

std::string AddInLibrary::path() {
    Dl_info info{};
    if (dladdr(&kAnchor, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    std::error_code ec;
    std::filesystem::path file = std::filesystem::absolute(info.dli_fname, ec);
    return ec ? std::string() : file.lexically_normal().string();
}

QString AddInLibrary::folder() {
    const std::string file = path();
    return file.empty() ? QString() : QFileInfo(QString::fromStdString(file)).absolutePath();
}

trapline::Result<std::string> AddInLibrary::LoadResData(const QString& name, const QString& type) {
    QFile file(":/" + type + "/" + name);
    if (!file.open(QIODevice::ReadOnly))
        return notFound(name);
    return file.readAll().toStdString();
}

trapline::Result<QImage> AddInLibrary::LoadResPicture(const QString& name) {
    QImage picture(":/BITMAP/" + name);
    if (picture.isNull())
        return notFound(name);
    return picture;
}
