#include "qtforms.h"

#include <QComboBox>
#include <QLineEdit>

namespace forms {
namespace {

/// A combo box that says when its list is about to open.
class DropDownBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> aboutToDrop;
    void showPopup() override {
        aboutToDrop();
        QComboBox::showPopup();
    }
};

} // namespace

ComboBox::ComboBox(Control& parent, std::string name, Rect twips, Style style, bool sorted)
    : Control(parent, std::move(name), twips, qt::make<DropDownBox>(parent)), m_sorted(sorted) {
    auto* box = qt::widget<DropDownBox>(*this);
    box->setObjectName(qt::text(Name()));
    box->setEditable(style == DropDownCombo);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->aboutToDrop = [this] { DropDown(); };
    // A choice from the list is Click; typing in the edit part is Change.
    QObject::connect(box, &QComboBox::activated, [this] { Click(); });
    if (QLineEdit* edit = box->lineEdit())
        QObject::connect(edit, &QLineEdit::textEdited, [this] { Change(); });
    qt::watchFocusAndKeys(*this);
}

std::string ComboBox::Text() const {
    return qt::text(qt::widget<QComboBox>(*this)->currentText());
}

void ComboBox::setText(const std::string& text) {
    auto* box = qt::widget<QComboBox>(*this);
    if (box->isEditable())
        box->setEditText(qt::text(text));
    else
        box->setCurrentIndex(box->findText(qt::text(text)));
}

int ComboBox::ListIndex() const {
    return qt::widget<QComboBox>(*this)->currentIndex();
}

void ComboBox::setListIndex(int index) {
    qt::widget<QComboBox>(*this)->setCurrentIndex(index);
    Click(); // VB raises Click when code sets ListIndex too
}

int ComboBox::ListCount() const {
    return qt::widget<QComboBox>(*this)->count();
}

std::string ComboBox::List(int index) const {
    return qt::text(qt::widget<QComboBox>(*this)->itemText(index));
}

void ComboBox::AddItem(const std::string& item) {
    auto* box = qt::widget<QComboBox>(*this);
    const QString text = qt::text(item);
    int at = box->count();
    if (m_sorted) {
        at = 0;
        while (at < box->count() && box->itemText(at).compare(text, Qt::CaseInsensitive) <= 0)
            ++at;
    }
    // Inserting into an editable box would replace what the user typed.
    const QString typed = box->currentText();
    box->insertItem(at, text);
    if (box->isEditable())
        box->setEditText(typed);
}

void ComboBox::Clear() {
    auto* box = qt::widget<QComboBox>(*this);
    const QString typed = box->currentText();
    box->clear();
    if (box->isEditable())
        box->setEditText(typed);
}

} // namespace forms
