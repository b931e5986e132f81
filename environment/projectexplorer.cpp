#include "projectexplorer.h"

#include "workspace.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QSet>
#include <QStyle>
#include <algorithm>
#include <array>

namespace {

constexpr int kProjectRole = Qt::UserRole;
constexpr int kComponentRole = Qt::UserRole + 1;

struct Group {
    trapline::ComponentType type;
    const char* title;
    QStyle::StandardPixmap icon;
};

// VB6's order of the folders.
constexpr std::array<Group, 7> kGroups{{
    {trapline::ComponentType::Form, "Forms", QStyle::SP_TitleBarNormalButton},
    {trapline::ComponentType::StdModule, "Modules", QStyle::SP_FileIcon},
    {trapline::ComponentType::ClassModule, "Class Modules", QStyle::SP_FileDialogDetailedView},
    {trapline::ComponentType::UserControl, "User Controls", QStyle::SP_ComputerIcon},
    {trapline::ComponentType::PropertyPage, "Property Pages", QStyle::SP_FileDialogInfoView},
    {trapline::ComponentType::UserDocument, "User Documents", QStyle::SP_FileLinkIcon},
    {trapline::ComponentType::Designer, "Designers", QStyle::SP_DesktopIcon},
}};

} // namespace

ProjectExplorer::ProjectExplorer(QWidget* parent) : QTreeWidget(parent) {
    setObjectName("ProjectExplorer");
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
}

void ProjectExplorer::showWorkspace(const Workspace& workspace, const trapline::Project* active) {
    const QString current = keyOf(currentItem());
    QSet<QString> collapsed;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->childCount() > 0 && !(*it)->isExpanded())
            collapsed << keyOf(*it);
    QSignalBlocker quiet(this);
    clear();
    QTreeWidgetItem* again = nullptr;
    for (const Workspace::Entry& e : workspace.entries())
        addProject(*e.project, e.label, e.project.get() == active);
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        const QString key = keyOf(*it);
        if ((*it)->childCount() > 0)
            (*it)->setExpanded(!collapsed.contains(key));
        if (key == current)
            again = *it;
    }
    setCurrentItem(again);
}

QTreeWidgetItem* ProjectExplorer::addProject(const trapline::Project& project, const QString& label,
                                             bool active) {
    const auto address = QVariant::fromValue(reinterpret_cast<quintptr>(&project));
    // Built apart and put in the tree whole: added one by one, each of a
    // large project's thousands of items would make the view catch up.
    auto* top = new QTreeWidgetItem(QStringList{label});
    top->setIcon(0, style()->standardIcon(QStyle::SP_DirHomeIcon));
    top->setData(0, kProjectRole, address);
    QFont bold = top->font(0);
    bold.setBold(active);
    top->setFont(0, bold);
    const auto& list = project.VBComponents();
    for (const Group& g : kGroups) {
        std::vector<trapline::Component*> members;
        for (long i = 1; i <= list.Count(); ++i)
            if ((*list.Item(i))->Type() == g.type)
                members.push_back(*list.Item(i));
        if (members.empty())
            continue;
        std::vector<std::pair<QString, trapline::Component*>> named;
        for (trapline::Component* c : members)
            named.emplace_back(QString::fromStdString(project.codepage().toUtf8(c->Name())), c);
        std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
            return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
        });
        auto* folder = new QTreeWidgetItem(top, {g.title});
        folder->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        folder->setData(0, kProjectRole, address);
        const QIcon icon = style()->standardIcon(g.icon);
        for (const auto& [name, c] : named) {
            auto* item = new QTreeWidgetItem(folder);
            item->setIcon(0, icon);
            item->setData(0, kProjectRole, address);
            item->setData(0, kComponentRole, QVariant::fromValue(reinterpret_cast<quintptr>(c)));
            item->setToolTip(0, QString::fromStdString(c->path()));
            ProjectExplorer::label(item, *c, name);
        }
    }
    addTopLevelItem(top);
    return top;
}

void ProjectExplorer::label(QTreeWidgetItem* item, const trapline::Component& c,
                            const QString& name) {
    const QString file = QFileInfo(QString::fromStdString(c.path())).fileName();
    item->setText(0, (c.needsSave() ? "* " : "") + name + " (" + file + ")");
    // No colour of its own, rather than an empty brush, which would draw nothing.
    item->setData(0, Qt::ForegroundRole,
                  c.needsSave() ? QVariant(QBrush(QColor(160, 0, 0))) : QVariant());
}

void ProjectExplorer::markComponent(const trapline::Component* component) {
    QTreeWidgetItem* item = itemOf(component);
    if (const trapline::Project* project = projectOf(item))
        label(item, *component,
              QString::fromStdString(project->codepage().toUtf8(component->Name())));
}

trapline::Component* ProjectExplorer::componentOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<trapline::Component*>(
                      item->data(0, kComponentRole).value<quintptr>())
                : nullptr;
}

trapline::Project* ProjectExplorer::projectOf(const QTreeWidgetItem* item) {
    return item
               ? reinterpret_cast<trapline::Project*>(item->data(0, kProjectRole).value<quintptr>())
               : nullptr;
}

QTreeWidgetItem* ProjectExplorer::itemOf(const trapline::Component* component) const {
    for (QTreeWidgetItemIterator it(const_cast<ProjectExplorer*>(this)); *it; ++it)
        if (component && componentOf(*it) == component)
            return *it;
    return nullptr;
}

QString ProjectExplorer::keyOf(const QTreeWidgetItem* item) {
    if (!item)
        return {};
    // Components by address (their marks change the text), the rest by path of titles.
    if (trapline::Component* c = componentOf(item))
        return QString::number(reinterpret_cast<quintptr>(c));
    QString key = item->text(0);
    for (const QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        key = p->text(0) + "/" + key;
    return QString::number(reinterpret_cast<quintptr>(projectOf(item))) + "/" + key;
}
