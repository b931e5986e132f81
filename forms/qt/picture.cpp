#include "qtforms.h"

#include <QLabel>
#include <QPixmap>

namespace forms {

Picture::Picture(Control& parent, std::string name, Rect twips)
    : Control(parent, std::move(name), twips, qt::make<QLabel>(parent)) {
    qt::widget(*this)->setObjectName(qt::text(Name()));
}

void Picture::setPicture(const std::string& picture, bool stretch) {
    auto* label = qt::widget<QLabel>(*this);
    const QPixmap pixmap(qt::picturePath(picture));
    label->setPixmap(stretch ? pixmap.scaled(label->size()) : pixmap);
}

namespace {

/// A box's own background and border. Without a selector the sheet reaches
/// the controls inside too; a label with a colour of its own undoes the
/// border for itself.
void restyle(QLabel* box, Color back, bool border) {
    QString sheet;
    if (back != kSystemColor)
        sheet += QString("background: #%1;").arg(back, 6, 16, QChar('0'));
    if (border)
        sheet += QString(sheet.isEmpty() ? "" : " ") + "border: 1px solid gray;";
    box->setAutoFillBackground(back != kSystemColor);
    box->setStyleSheet(sheet);
}

} // namespace

void Picture::setBackColor(Color color) {
    m_back = color;
    restyle(qt::widget<QLabel>(*this), m_back, m_border);
}

void Picture::setBorder(bool border) {
    m_border = border;
    restyle(qt::widget<QLabel>(*this), m_back, m_border);
}

} // namespace forms
