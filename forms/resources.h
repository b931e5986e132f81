#pragma once

// The add-in file's own data and the system's temporary names, as each side
// has them: Qt resources and QTemporaryFile, or Win32 resources and
// GetTempFileNameW.

#include <string>

namespace forms {

/// The bytes of the add-in's data resource `name` of `type`, exactly as
/// stored; letter case of both is ignored. False when there is none.
bool resourceData(const std::string& type, const std::string& name, std::string& bytes);

/// A temporary file name in `folder` (the system's temporary folder when
/// empty) made of the first three characters of `prefix`, a number in hex
/// and ".TMP" (letter case as the system writes them: Windows names are
/// compared without it). With `unique` 0 the number is the system's and the
/// file is made, empty, so the name stays reserved; otherwise the number is
/// `unique`'s low 16 bits and no file is made. False when no name was made.
bool tempFileName(const std::string& folder, const std::string& prefix, unsigned unique,
                  std::string& name);

} // namespace forms
