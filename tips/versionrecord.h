#pragma once

/// The add-in's version record and project data, as the About box shows them.
namespace VersionRecord {
inline constexpr const char* kTitle = "TRAPLINE";
inline constexpr const char* kProductName = "TRAPLINE Add-In";
inline constexpr int kMajor = 1;
inline constexpr int kMinor = 0;
inline constexpr int kBuild = 0;
inline constexpr int kRevision = 3;
inline constexpr const char* kFileDescription =
    "TRAPLINE Add-In for Visual Basic 6.0. Add to You VB advanced error  handler capability "
    "with this program.";
inline constexpr const char* kLegalCopyright = "Copyright (C) 2026 The TRAPLINE developers";
inline constexpr const char* kContact = "TRAPLINE team: trapline@users.noreply.example";
} // namespace VersionRecord
