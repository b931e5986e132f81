#include "dropdowncombo.h"

void DropDownCombo::showPopup() {
    emit dropDown();
    QComboBox::showPopup();
}

void DropDownCombo::setSortedItems(QStringList items) {
    const QString text = currentText();
    std::stable_sort(items.begin(), items.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    clear();
    addItems(items);
    setCurrentIndex(-1);
    setEditText(text);
}
