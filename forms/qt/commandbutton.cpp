#include "qtforms.h"

#include <QIcon>
#include <QPushButton>

namespace forms {

CommandButton::CommandButton(Control& parent, std::string name, Rect twips,
                             const std::string& caption)
    : Control(parent, std::move(name), twips, qt::make<QPushButton>(parent, qt::text(caption))) {
    auto* button = qt::widget<QPushButton>(*this);
    button->setObjectName(qt::text(Name()));
    QObject::connect(button, &QPushButton::clicked, [this] { Click(); });
    qt::watchFocusAndKeys(*this);
}

std::string CommandButton::Caption() const {
    return qt::text(qt::widget<QPushButton>(*this)->text());
}

void CommandButton::setDefault(bool isDefault) {
    qt::widget<QPushButton>(*this)->setDefault(isDefault);
}

void CommandButton::setCancel(bool isCancel) {
    // The form presses its cancel button when Esc reaches it.
    m_cancel = isCancel;
}

void CommandButton::setPicture(const std::string& picture) {
    qt::widget<QPushButton>(*this)->setIcon(QIcon(qt::picturePath(picture)));
}

void CommandButton::setValue(bool pressed) {
    if (pressed)
        qt::widget<QPushButton>(*this)->click();
}

} // namespace forms
