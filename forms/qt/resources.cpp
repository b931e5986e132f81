#include "../resources.h"
#include "qtforms.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

namespace forms {
namespace {

/// The entry of `folder` named `name`, letter case ignored.
QString findNoCase(const QDir& folder, const QString& name) {
    for (const QString& entry : folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    return {};
}

} // namespace

bool resourceData(const std::string& type, const std::string& name, std::string& bytes) {
    // Resources live under ":/<TYPE>/<NAME>".
    const QString typeFolder = findNoCase(QDir(":/"), qt::text(type));
    if (typeFolder.isEmpty())
        return false;
    const QString path = findNoCase(QDir(typeFolder), qt::text(name));
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    bytes.assign(data.constData(), static_cast<size_t>(data.size()));
    return true;
}

bool tempFileName(const std::string& folder, const std::string& prefix, unsigned unique,
                  std::string& name) {
    const QString where = folder.empty() ? QDir::tempPath() : qt::text(folder);
    const QString stem = qt::text(prefix).left(3);
    if (unique != 0) {
        name = qt::text(
            QDir(where).filePath(stem + QString::number(unique & 0xFFFF, 16).toUpper() + ".TMP"));
        return true;
    }
    QTemporaryFile file(QDir(where).filePath(stem + "XXXXXX.TMP"));
    file.setAutoRemove(false);
    if (!file.open())
        return false;
    name = qt::text(file.fileName());
    return true;
}

} // namespace forms
