#include "topmost.h"

#include <QWidget>

void SetTopMost(QWidget* form) {
    const bool visible = form->isVisible();
    const QRect geometry = form->geometry();
    form->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Changing window flags hides a shown window; show it again where it was.
    if (visible) {
        form->setGeometry(geometry);
        form->show();
    }
}
