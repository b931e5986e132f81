#include "qtforms.h"

#include <QLabel>
#include <QMouseEvent>

namespace forms {
namespace {

/// A label that says when it is clicked.
class ClickLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> clicked;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            clicked();
    }
};

/// The style sheet for a label's own colours; a coloured background hides
/// the border the container's sheet would give it.
QString colours(Color back, Color fore) {
    QString sheet;
    if (back != kSystemColor)
        sheet += QString("background: #%1; border: none;").arg(back, 6, 16, QChar('0'));
    if (fore != kSystemColor)
        sheet += QString(sheet.isEmpty() ? "" : " ") +
                 QString("color: #%1;").arg(fore, 6, 16, QChar('0'));
    return sheet;
}

} // namespace

Label::Label(Control& parent, std::string name, Rect twips, const std::string& caption)
    : Control(parent, std::move(name), twips, qt::make<ClickLabel>(parent, qt::text(caption))) {
    auto* label = qt::widget<ClickLabel>(*this);
    label->setObjectName(qt::text(Name()));
    label->clicked = [this] { Click(); };
}

std::string Label::Caption() const {
    return qt::text(qt::widget<QLabel>(*this)->text());
}

void Label::setCaption(const std::string& caption) {
    qt::widget<QLabel>(*this)->setText(qt::text(caption));
}

void Label::setWordWrap(bool wrap) {
    auto* label = qt::widget<QLabel>(*this);
    label->setWordWrap(wrap);
    // A single line keeps Qt's vertical centring, which the designed heights
    // were measured with; wrapped text starts at the top as a static does.
    label->setAlignment(wrap ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignLeft | Qt::AlignVCenter);
}

void Label::setBackColor(Color color) {
    m_back = color;
    qt::widget(*this)->setStyleSheet(colours(m_back, m_fore));
}

void Label::setForeColor(Color color) {
    m_fore = color;
    qt::widget(*this)->setStyleSheet(colours(m_back, m_fore));
}

void Label::setHandPointer(bool hand) {
    QWidget* w = qt::widget(*this);
    if (hand)
        w->setCursor(Qt::PointingHandCursor);
    else
        w->unsetCursor();
}

} // namespace forms
