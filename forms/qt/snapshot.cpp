#include "snapshot.h"

#include "qtforms.h"

#include <QPixmap>

namespace forms {

std::string savePicture(const Control& window, const std::string& path) {
    QWidget* widget = qt::widget(window);
    if (!widget)
        return "the window is gone";
    if (!widget->grab().save(QString::fromStdString(path), "PNG"))
        return "cannot write " + path;
    return {};
}

} // namespace forms
