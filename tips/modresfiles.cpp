#include "modresfiles.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryFile>

namespace ModResFiles {
namespace {

/// The entry of `folder` named `name`, letter case ignored.
QString findNoCase(const QDir& folder, const QString& name) {
    for (const QString& entry : folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    return {};
}

} // namespace

bool LoadResData(const QVariant& ResId, const QString& ResType, QByteArray& data) {
    QString typeFolder = findNoCase(QDir(":/"), ResType);
    if (typeFolder.isEmpty())
        return false;
    QString path = findNoCase(QDir(typeFolder), ResId.toString());
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    data = file.readAll();
    return true;
}

int SaveResourceData(const QVariant& ResId, const QString& ResType, const QString& FileName) {
    QByteArray data;
    if (!LoadResData(ResId, ResType, data))
        return 53;
    // Written whole and put in place at once: no stale bytes of an older,
    // longer file survive, and a failure leaves the old file as it was.
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return 75;
    return 0;
}

bool MakeTempFileName(const QString& TempPath, const QString& Prefix, int Unique,
                      QString& TempName) {
    QString folder = TempPath.isEmpty() ? QDir::tempPath() : TempPath;
    if (Unique != 0) {
        TempName = QDir(folder).filePath(Prefix.left(3) +
                                         QString::number(Unique & 0xFFFF, 16).toUpper() + ".TMP");
        return true;
    }
    QTemporaryFile file(QDir(folder).filePath(Prefix.left(3) + "XXXXXX.TMP"));
    file.setAutoRemove(false);
    if (!file.open())
        return false;
    TempName = StripAtNul(file.fileName());
    return true;
}

QString StripAtNul(const QString& text) {
    qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

bool ExtractResourceToFile(const QVariant& ResId, const QString& FileName) {
    QString target = FileName;
    if (target.isEmpty() && !MakeTempFileName(QString(), "~rs", 0, target))
        return false;
    return SaveResourceData(ResId, "Custom", target) == 0;
}

} // namespace ModResFiles
