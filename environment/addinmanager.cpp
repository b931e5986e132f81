#include "addinmanager.h"

#include "addinhost.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString behaviourText(bool loaded, bool onStartup) {
    QStringList parts;
    if (onStartup)
        parts << "Startup";
    parts << (loaded ? "Loaded" : "Unloaded");
    return parts.join(" / ");
}

} // namespace

AddInManager::AddInManager(AddInHost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName("AddInManager");
    setWindowTitle("Add-In Manager");
    resize(520, 360);
    m_list = new QTreeWidget(this);
    m_list->setObjectName("AddIns");
    m_list->setHeaderLabels({"Available Add-Ins", "Load Behavior"});
    m_list->setRootIsDecorated(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_description = new QLabel(this);
    m_description->setObjectName("Description");
    m_description->setWordWrap(true);
    m_description->setMinimumHeight(48);
    m_description->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_loaded = new QCheckBox("&Loaded/Unloaded", this);
    m_loaded->setObjectName("Loaded");
    m_onStartup = new QCheckBox("Load on &Startup", this);
    m_onStartup->setObjectName("LoadOnStartup");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* descriptionBox = new QGroupBox("Description", this);
    (new QVBoxLayout(descriptionBox))->addWidget(m_description);
    auto* behaviourBox = new QGroupBox("Load Behavior", this);
    auto* behaviour = new QVBoxLayout(behaviourBox);
    behaviour->addWidget(m_loaded);
    behaviour->addWidget(m_onStartup);
    auto* lower = new QHBoxLayout;
    lower->addWidget(descriptionBox, 2);
    lower->addWidget(behaviourBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(lower);
    layout->addWidget(buttons);

    if (auto entries = m_host.registry().entries())
        for (auto& entry : *entries) {
            Row row{entry, m_host.isConnected(entry.progId), entry.loadOnStartup()};
            m_rows.push_back(row);
            std::string name = entry.value("FriendlyName");
            new QTreeWidgetItem(m_list, {QString::fromStdString(name.empty() ? entry.progId : name),
                                         behaviourText(row.loaded, row.onStartup)});
        }
    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this] { showRow(m_list->indexOfTopLevelItem(m_list->currentItem())); });
    connect(m_loaded, &QCheckBox::toggled, this, &AddInManager::takeChecks);
    connect(m_onStartup, &QCheckBox::toggled, this, &AddInManager::takeChecks);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        apply();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!m_rows.empty())
        m_list->setCurrentItem(m_list->topLevelItem(0));
    else
        showRow(-1);
}

void AddInManager::showRow(int row) {
    const bool valid = row >= 0 && row < static_cast<int>(m_rows.size());
    QSignalBlocker a(m_loaded), b(m_onStartup);
    m_loaded->setEnabled(valid);
    m_onStartup->setEnabled(valid);
    m_loaded->setChecked(valid && m_rows[row].loaded);
    m_onStartup->setChecked(valid && m_rows[row].onStartup);
    m_description->setText(valid ? QString::fromStdString(m_rows[row].entry.value("Description"))
                                 : QString());
}

void AddInManager::takeChecks() {
    int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return;
    m_rows[row].loaded = m_loaded->isChecked();
    m_rows[row].onStartup = m_onStartup->isChecked();
    refreshRow(row);
}

void AddInManager::refreshRow(int row) {
    m_list->topLevelItem(row)->setText(1, behaviourText(m_rows[row].loaded, m_rows[row].onStartup));
}

void AddInManager::apply() {
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        Row& row = m_rows[i];
        if (row.onStartup != row.entry.loadOnStartup()) {
            row.entry.setLoadOnStartup(row.onStartup);
            // The stored entry may have changed since (a registration), or be
            // gone (unregistered): only the load behaviour is ours to set.
            if (auto current = m_host.registry().find(row.entry.progId)) {
                current->setLoadOnStartup(row.onStartup);
                if (auto stored = m_host.registry().put(*current); !stored)
                    m_host.report(stored.error().source + ": " + stored.error().description);
            }
        }
        if (row.loaded && !m_host.isConnected(row.entry.progId))
            row.loaded = m_host.connect(row.entry, vbide::ext_cm_AfterStartup);
        else if (!row.loaded && m_host.isConnected(row.entry.progId))
            m_host.disconnect(row.entry.progId, vbide::ext_dm_UserClosed);
        refreshRow(i);
    }
}
