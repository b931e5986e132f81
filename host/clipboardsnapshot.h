#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

/// A copy of what the system clipboard holds, so that the add-in can borrow
/// the clipboard to hand a picture to the environment and then give the user
/// back what they had copied.
///
///     ClipboardSnapshot saved;
///     QGuiApplication::clipboard()->setImage(picture);
///     control.PasteFace();
///     saved.restore();
class ClipboardSnapshot {
public:
    /// Copies every format the clipboard offers now; an empty clipboard is
    /// remembered as empty.
    ClipboardSnapshot();

    /// Puts the copied formats back, or empties the clipboard if it was empty.
    void restore() const;

private:
    QList<QPair<QString, QByteArray>> m_formats;
    /// Pictures and colours are kept as values: their formats yield no bytes.
    QVariant m_image;
    QVariant m_color;
};
