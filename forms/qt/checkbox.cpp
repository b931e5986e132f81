#include "qtforms.h"

#include <QCheckBox>

namespace forms {

CheckBox::CheckBox(Control& parent, std::string name, Rect twips, const std::string& caption)
    : Control(parent, std::move(name), twips, qt::make<QCheckBox>(parent, qt::text(caption))) {
    auto* box = qt::widget<QCheckBox>(*this);
    box->setObjectName(qt::text(Name()));
    // VB raises Click for every change of Value, by the user or by code.
    QObject::connect(box, &QCheckBox::toggled, [this] { Click(); });
    qt::watchFocusAndKeys(*this);
}

std::string CheckBox::Caption() const {
    return qt::text(qt::widget<QCheckBox>(*this)->text());
}

int CheckBox::Value() const {
    return qt::widget<QCheckBox>(*this)->isChecked() ? vbChecked : vbUnchecked;
}

void CheckBox::setValue(int value) {
    qt::widget<QCheckBox>(*this)->setChecked(value == vbChecked);
}

} // namespace forms
