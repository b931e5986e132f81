#pragma once

#include "addinregistry.h"

#include <QDialog>
#include <vector>

class AddInHost;
class QCheckBox;
class QLabel;
class QTreeWidget;

/// Add-Ins > Add-In Manager…: every registered add-in by its display name
/// with its load behaviour; the description, "Loaded/Unloaded" and "Load on
/// Startup" of the selected one below. OK loads and unloads as ticked and
/// stores "Load on Startup" in the add-in registry; Cancel changes nothing.
class AddInManager : public QDialog {
    Q_OBJECT
public:
    AddInManager(AddInHost& host, QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    QCheckBox* loaded() const { return m_loaded; }
    QCheckBox* loadOnStartup() const { return m_onStartup; }
    QLabel* description() const { return m_description; }

    /// Carries out what the rows ask: called by OK.
    void apply();

private:
    /// What one row asks for.
    struct Row {
        vbide::AddInRegistry::Entry entry;
        bool loaded = false;
        bool onStartup = false;
    };
    void showRow(int row);
    void takeChecks();
    void refreshRow(int row);

    AddInHost& m_host;
    std::vector<Row> m_rows;
    QTreeWidget* m_list;
    QLabel* m_description;
    QCheckBox* m_loaded;
    QCheckBox* m_onStartup;
};
