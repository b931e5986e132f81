#pragma once

#include <QTreeWidget>

class Workspace;
namespace trapline {
class Component;
class Project;
} // namespace trapline

/// The project explorer as VB6 draws it: each open project with its
/// components grouped under Forms, Modules, Class Modules, User Controls,
/// Property Pages, User Documents and Designers, sorted by name. An Office
/// document's own objects (ThisWorkbook, the sheets) come first, under
/// "Microsoft Excel Objects" (Word, PowerPoint) as the VBA editor shows them,
/// and its UserForms under Forms. The active project is bold; a component
/// with unsaved changes is marked "*".
class ProjectExplorer : public QTreeWidget {
    Q_OBJECT
public:
    explicit ProjectExplorer(QWidget* parent = nullptr);

    /// Lists the projects of `workspace` anew, keeping the current component
    /// and the folders the user closed.
    void showWorkspace(const Workspace& workspace, const trapline::Project* active);

    /// The component an item stands for; null for a project or a folder.
    static trapline::Component* componentOf(const QTreeWidgetItem* item);
    /// The project an item (a project, folder or component) belongs to.
    static trapline::Project* projectOf(const QTreeWidgetItem* item);
    /// The item of `component`, or null.
    QTreeWidgetItem* itemOf(const trapline::Component* component) const;

    /// Marks `component` as modified or not, as its code is now.
    void markComponent(const trapline::Component* component);

    trapline::Component* currentComponent() const { return componentOf(currentItem()); }

private:
    QTreeWidgetItem* addProject(const trapline::Project& project, const QString& label,
                                bool active);
    /// Gives a component's item its text and colour: name, file, modified or not.
    static void label(QTreeWidgetItem* item, const trapline::Project& project,
                      const trapline::Component& c);
    /// The component's name, decoded from its own code page.
    static QString nameOf(const trapline::Project& project, const trapline::Component& c);
    /// Where an item is, in words, to find it again after the list is made anew.
    static QString keyOf(const QTreeWidgetItem* item);
};
