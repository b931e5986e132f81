#pragma once

// What the Windows sides of the platform services share: UTF-8 and UTF-16
// at the edge of every Win32 call, and one mapping of GetLastError().

#include <string>
#include <string_view>
#include <system_error>

namespace trapline::platform::windows {

/// `utf8` as UTF-16; false when it is not valid UTF-8.
bool toWide(std::string_view utf8, std::wstring& out);
/// `utf8` as UTF-16, for texts that are ours (names, captions, registry
/// values): a byte that is not UTF-8 becomes U+FFFD.
std::wstring toWide(std::string_view utf8);
/// `wide` as UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string toUtf8(std::wstring_view wide);
/// `path` as a Win32 call takes it: UTF-16, with "\\?\" (or "\\?\UNC\")
/// before the absolute, normalised path only when it is too long for the
/// plain form.
std::error_code widenPath(const std::string& path, std::wstring& out);
/// GetLastError() (or `error`) as a std::errc in the generic category, so
/// messages read as on Linux.
std::error_code mapWindowsError(unsigned long error);
std::error_code lastError();

} // namespace trapline::platform::windows
