#pragma once

#include <string>
#include <utility>
#include <vector>

/// A copy of what the Windows clipboard holds, so that the add-in can borrow
/// the clipboard to hand a picture to the environment and give the user back
/// what they had copied. Formats held in global memory are copied byte for
/// byte; the system makes the bitmap, metafile and text variants from them
/// again. Formats that are handles of another kind cannot be copied and are
/// lost, as with any program that restores the clipboard.
class ClipboardSnapshot {
public:
    /// Copies every format the clipboard offers now.
    ClipboardSnapshot();
    /// Empties the clipboard and puts the copied formats back.
    void restore() const;

private:
    std::vector<std::pair<unsigned, std::string>> m_formats;
};
