#include "qtcommandbarcontrol.h"

#include "qtcommandbar.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QMimeData>
#include <QPixmap>

QtCommandBarControl::QtCommandBarControl(QtCommandBar& bar, QAction* action, bool ownsAction)
    : m_bar(bar), m_action(action), m_ownsAction(ownsAction) {
    QObject::connect(action, &QAction::triggered, action, [this] {
        if (!m_click)
            return;
        bool handled = false, cancelDefault = false;
        // A copy: the handler may unbind itself or delete the control.
        ClickHandler click = m_click;
        click(this, handled, cancelDefault);
    });
}

QtCommandBarControl::~QtCommandBarControl() {
    if (m_ownsAction)
        delete m_action.data();
    else if (m_action)
        m_action->disconnect(m_action);
}

std::string QtCommandBarControl::Caption() const {
    return m_action ? m_action->text().toStdString() : std::string();
}

trapline::Result<void> QtCommandBarControl::setCaption(const std::string& caption) {
    if (!m_action)
        return trapline::makeError(trapline::errors::NoObject, "CommandBarControl",
                                   "the control was deleted");
    m_action->setText(QString::fromStdString(caption));
    return {};
}

trapline::Result<void> QtCommandBarControl::PasteFace() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QImage face = data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
    if (face.isNull())
        return trapline::makeError(trapline::errors::InvalidCall, "CommandBarControl",
                                   "the clipboard holds no picture");
    if (m_action)
        m_action->setIcon(QIcon(QPixmap::fromImage(face)));
    return {};
}

trapline::Result<void> QtCommandBarControl::Delete() {
    return m_bar.remove(this);
}

void QtCommandBarControl::setClick(ClickHandler handler) {
    m_click = std::move(handler);
}
