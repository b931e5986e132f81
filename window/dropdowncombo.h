#pragma once

#include <QComboBox>

/// A combo box that says when its list is about to open, so that the list
/// can be filled right then, and that keeps its items sorted as a sorted VB
/// combo box does (letter case ignored).
class DropDownCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
    /// Replaces the items, sorted; the edit text stays as it is.
    void setSortedItems(QStringList items);

signals:
    void dropDown();
};
