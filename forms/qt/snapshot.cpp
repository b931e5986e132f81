#include "snapshot.h"

#include "qtforms.h"

#include <QPixmap>

namespace forms {

std::string savePicture(const Control& window, const std::string& path) {
    return savePicture(static_cast<void*>(qt::widget(window)), path);
}

std::string savePicture(void* nativeWindow, const std::string& path) {
    auto* widget = static_cast<QWidget*>(nativeWindow);
    if (!widget)
        return "the window is gone";
    if (!widget->grab().save(QString::fromStdString(path), "PNG"))
        return "cannot write " + path;
    return {};
}

} // namespace forms
