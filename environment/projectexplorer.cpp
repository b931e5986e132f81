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

struct Folder {
    const char* title; ///< null: the document's objects, titled by its application
    QStyle::StandardPixmap icon;
};

// The VBA editor puts the document's own objects first; the rest come in
// VB6's order.
constexpr std::array<Folder, 8> kFolders{{
    {nullptr, QStyle::SP_FileDialogContentsView},
    {"Forms", QStyle::SP_TitleBarNormalButton},
    {"Modules", QStyle::SP_FileIcon},
    {"Class Modules", QStyle::SP_FileDialogDetailedView},
    {"User Controls", QStyle::SP_ComputerIcon},
    {"Property Pages", QStyle::SP_FileDialogInfoView},
    {"User Documents", QStyle::SP_FileLinkIcon},
    {"Designers", QStyle::SP_DesktopIcon},
}};

/// Which of kFolders holds components of `type`.
size_t folderOf(trapline::ComponentType type) {
    using T = trapline::ComponentType;
    switch (type) {
    case T::Document:
        return 0;
    case T::Form:
    case T::MDIForm:
    case T::MSForm: // the VBA editor's UserForms
        return 1;
    case T::StdModule:
        return 2;
    case T::ClassModule:
        return 3;
    case T::UserControl:
        return 4;
    case T::PropertyPage:
        return 5;
    case T::UserDocument:
        return 6;
    case T::Designer:
        break;
    }
    return 7;
}

/// The application whose document `c` belongs to, as the VBA editor names
/// it in the folder of document objects: by the document's extension, and
/// for a bare project (vbaProject.bin) by the type library of the class its
/// document modules extend (VB_Base): Excel's, Word's or PowerPoint's.
QString application(const trapline::Component& c) {
    const QString suffix = QFileInfo(QString::fromStdString(c.path())).suffix().toLower();
    if (suffix.startsWith("xl"))
        return "Excel";
    if (suffix.startsWith("do"))
        return "Word";
    if (suffix.startsWith("pp") || suffix.startsWith("po"))
        return "PowerPoint";
    const std::string code = c.serialize();
    const size_t base = code.find("VB_Base = \"0{");
    const std::string library = base == std::string::npos ? "" : code.substr(base + 13, 6);
    if (library == "000208")
        return "Excel";
    if (library == "000209")
        return "Word";
    if (library == "914934")
        return "PowerPoint";
    return "Office";
}

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
    for (size_t f = 0; f < kFolders.size(); ++f) {
        std::vector<trapline::Component*> members;
        for (long i = 1; i <= list.Count(); ++i)
            if (folderOf((*list.Item(i))->Type()) == f)
                members.push_back(*list.Item(i));
        if (members.empty())
            continue;
        std::vector<std::pair<QString, trapline::Component*>> named;
        for (trapline::Component* c : members)
            named.emplace_back(nameOf(project, *c), c);
        std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
            return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
        });
        const QString title = kFolders[f].title
                                  ? kFolders[f].title
                                  : "Microsoft " + application(*members.front()) + " Objects";
        auto* folder = new QTreeWidgetItem(top, {title});
        folder->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        folder->setData(0, kProjectRole, address);
        const QIcon icon = style()->standardIcon(kFolders[f].icon);
        for (const auto& entry : named) {
            trapline::Component* c = entry.second;
            auto* item = new QTreeWidgetItem(folder);
            item->setIcon(0, icon);
            item->setData(0, kProjectRole, address);
            item->setData(0, kComponentRole, QVariant::fromValue(reinterpret_cast<quintptr>(c)));
            item->setToolTip(0, QString::fromStdString(c->path()));
            ProjectExplorer::label(item, project, *c);
        }
    }
    addTopLevelItem(top);
    return top;
}

QString ProjectExplorer::nameOf(const trapline::Project& project, const trapline::Component& c) {
    return QString::fromStdString(c.codepage(project.codepage()).toUtf8(c.Name()));
}

void ProjectExplorer::label(QTreeWidgetItem* item, const trapline::Project& project,
                            const trapline::Component& c) {
    // A document's modules, and one added to it, have no file of their own to name.
    const bool inDocument = c.document() || (c.isNew() && project.fileName().empty() &&
                                             project.documents().size() == 1);
    const QString file = QFileInfo(QString::fromStdString(c.path())).fileName();
    item->setText(0, (c.needsSave() ? "* " : "") + nameOf(project, c) +
                         (inDocument ? "" : " (" + file + ")"));
    // No colour of its own, rather than an empty brush, which would draw nothing.
    item->setData(0, Qt::ForegroundRole,
                  c.needsSave() ? QVariant(QBrush(QColor(160, 0, 0))) : QVariant());
}

void ProjectExplorer::markComponent(const trapline::Component* component) {
    QTreeWidgetItem* item = itemOf(component);
    if (const trapline::Project* project = projectOf(item))
        label(item, *project, *component);
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
