#pragma once

/// What the tool window needs of the object that connected the add-in: the
/// window only asks to be hidden, so that the connection also forgets that it
/// is displayed. The window does not own it and never deletes it.
class AddInConnect {
public:
    /// Hides the window without unloading it and marks it as not displayed.
    virtual void Hide() = 0;

protected:
    ~AddInConnect() = default;
};
