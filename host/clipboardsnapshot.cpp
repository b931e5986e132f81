#include "clipboardsnapshot.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

const QString kImageFormat = "application/x-qt-image";
const QString kColorFormat = "application/x-color";

} // namespace

ClipboardSnapshot::ClipboardSnapshot() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return;
    if (data->hasImage())
        m_image = data->imageData();
    if (data->hasColor())
        m_color = data->colorData();
    for (const QString& format : data->formats()) {
        if ((format == kImageFormat && m_image.isValid()) ||
            (format == kColorFormat && m_color.isValid()))
            continue;
        m_formats.append({format, data->data(format)});
    }
}

void ClipboardSnapshot::restore() const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (m_formats.isEmpty() && !m_image.isValid() && !m_color.isValid()) {
        clipboard->clear();
        return;
    }
    // The clipboard takes ownership of the data it is given.
    auto* data = new QMimeData;
    for (const auto& [format, bytes] : m_formats)
        data->setData(format, bytes);
    if (m_image.isValid())
        data->setImageData(m_image);
    if (m_color.isValid())
        data->setColorData(m_color);
    clipboard->setMimeData(data);
}
