#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

/// Copies a data resource of the add-in, byte for byte, into a file.
/// Resources live under ":/<TYPE>/<NAME>"; type and name ignore letter case.
namespace ModResFiles {

/// Writes the resource `ResId` (a name or a number) of type "Custom" to
/// `FileName`, or to a new temporary file (prefix "~rs") when it is empty.
bool ExtractResourceToFile(const QVariant& ResId, const QString& FileName);

/// 0 on success, otherwise the number of the error that stopped it (53: no
/// such resource, 75: the file could not be written). The file receives
/// exactly the resource's bytes and nothing of what it held before.
int SaveResourceData(const QVariant& ResId, const QString& ResType, const QString& FileName);

/// Makes a new empty file in `TempPath` (the system's temporary folder when
/// empty) named from `Prefix`, so the name stays reserved.
bool MakeTempFileName(const QString& TempPath, const QString& Prefix, int Unique,
                      QString& TempName);

/// The text up to its first NUL character.
QString StripAtNul(const QString& text);

/// The bytes of a resource, if there is one of that type and name.
bool LoadResData(const QVariant& ResId, const QString& ResType, QByteArray& data);

} // namespace ModResFiles
