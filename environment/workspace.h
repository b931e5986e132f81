#pragma once

#include "project.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

/// The projects the environment has open. A .vbp or a set of module files is
/// one project; a group (.vbg) is each of its projects; a folder is each .vbp
/// found in it, and the module files none of them lists become one more
/// project, "(loose files)". A folder without a .vbp is one project of all
/// its module files. An Office document, named or in a folder, is a project
/// of its own, in its project's code page, as the VBA editor shows each one.
class Workspace {
public:
    struct Entry {
        std::unique_ptr<trapline::Project> project;
        QString label; ///< what the project explorer calls it
    };

    /// Replaces the open projects with those `paths` name. Problems (files
    /// that could not be used) are added to `problems`; what could be used
    /// still opens. False, leaving the open projects as they were, when
    /// nothing could be opened.
    bool open(const QStringList& paths, QStringList& problems);

    const std::vector<Entry>& entries() const { return m_entries; }
    /// Every component of every open project.
    std::vector<trapline::Component*> components() const;
    /// The project to make active first: a group's startup project, else the first.
    trapline::Project* startup() const { return m_startup; }
    /// Some component of some project would be written by a save.
    bool isModified() const;
    /// Reads anew each project that holds an Office document, once no module of
    /// it awaits a save: after a save the document on disk is the one its
    /// modules must be written into next time. Problems are added to
    /// `problems`; a project that cannot be read again stays as it was.
    /// True when some project was read anew (its components are new objects).
    bool rereadSavedDocuments(QStringList& problems);

    /// A number that changes when a component is added or removed, or the
    /// code of one changes or is saved: a cheap way to notice what an add-in
    /// did to the code model.
    size_t fingerprint() const;

private:
    /// Loads `paths` into one project with its own loader, so that a module
    /// two projects share is in both.
    std::unique_ptr<trapline::Project> loadOne(const std::vector<std::string>& paths,
                                               QStringList& problems,
                                               const trapline::Codepage& codepage = {}) const;
    /// The project of the document at `path`, read in its own code page.
    /// One that holds no project is said only when it was `named`.
    std::unique_ptr<trapline::Project> loadDocument(const QString& path, QStringList& problems,
                                                    bool named = true) const;
    void openGroup(const QString& path, std::vector<Entry>& into, QStringList& problems);
    void openFolder(const QString& path, std::vector<Entry>& into, QStringList& problems) const;
    void add(std::vector<Entry>& into, std::unique_ptr<trapline::Project> project,
             const QString& fallbackLabel) const;

    std::vector<Entry> m_entries;
    trapline::Project* m_startup = nullptr;
};
