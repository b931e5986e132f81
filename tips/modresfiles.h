#pragma once

#include <string>

/// Copies a data resource of the add-in, byte for byte, into a file. Names
/// and paths are UTF-8; resource types and names ignore letter case.
namespace ModResFiles {

/// Writes the resource `ResId` of type "Custom" to `FileName`, or to a new
/// temporary file (prefix "~rs") when it is empty.
bool ExtractResourceToFile(const std::string& ResId, const std::string& FileName);

/// 0 on success, otherwise the number of the error that stopped it (53: no
/// such resource, 75: the file could not be written). The file receives
/// exactly the resource's bytes and nothing of what it held before.
int SaveResourceData(const std::string& ResId, const std::string& ResType,
                     const std::string& FileName);

/// Makes a new empty file in `TempPath` (the system's temporary folder when
/// empty) named from `Prefix`, so the name stays reserved; with `Unique` not
/// 0 only the name, from that number.
bool MakeTempFileName(const std::string& TempPath, const std::string& Prefix, int Unique,
                      std::string& TempName);

/// The text up to its first NUL character.
std::string StripAtNul(const std::string& text);

/// The bytes of a resource, if there is one of that type and name.
bool LoadResData(const std::string& ResId, const std::string& ResType, std::string& data);

} // namespace ModResFiles
