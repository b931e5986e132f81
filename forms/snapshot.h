#pragma once

// Pictures of windows, for the render commands and for tests that compare
// what two sides draw.

#include "forms.h"

#include <string>

namespace forms {

/// Writes what `window` shows inside its frame as a PNG file at `path`
/// (UTF-8); an empty text on success, else why it failed. The window must
/// be shown.
std::string savePicture(const Control& window, const std::string& path);
/// The same for a window of this side that is no control of ours (a
/// system dialog): an HWND on Win32, a QWidget* on Qt.
std::string savePicture(void* nativeWindow, const std::string& path);

} // namespace forms
