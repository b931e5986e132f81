#include "project.h"

#include "folderlocks.h"
#include "platform/filesystem.h"
#include "vbpfile.h"

#include <map>

namespace trapline {

std::vector<Error> Project::save(bool backup, const FolderLocks::Waiting& waiting) {
    std::vector<Error> problems;
    std::vector<Component*> changed;
    std::vector<std::string> folders;
    // A document's modules are written with it, whole; a module added to a
    // project made of one document goes into that document.
    std::map<OfficeDocument*, std::vector<Component*>> inDocuments;
    OfficeDocument* home =
        m_fileName.empty() && m_documents.size() == 1 ? m_documents.front().get() : nullptr;
    for (long i = 1; i <= m_components.Count(); ++i) {
        Component* c = *m_components.Item(i);
        OfficeDocument* document = c->document() ? c->document() : c->isNew() ? home : nullptr;
        if (document)
            inDocuments[document].push_back(c);
        else if (c->needsSave())
            changed.push_back(c);
        if (c->needsSave())
            folders.push_back(DiskFile::folderOfTarget(document ? document->path() : c->path()));
    }
    if (folders.empty())
        return problems;
    if (!m_fileName.empty())
        folders.push_back(DiskFile::folderOfTarget(m_fileName));
    // Another run of ours writing here is waited for; what it wrote then
    // shows as a change on disk and is not overwritten.
    auto locks = FolderLocks::acquire(folders, waiting);
    if (!locks)
        return {locks.error()};

    // Every changed file is written next to its original first, all are
    // flushed together, and only then does each replace its original.
    std::vector<std::pair<Component*, DiskFile::Staged>> staged;
    for (Component* c : changed) {
        auto s = c->stageSave(backup);
        if (!s)
            problems.push_back(s.error());
        else if (*s)
            staged.emplace_back(c, std::move(**s));
    }
    std::vector<std::pair<std::vector<Component*>, DiskFile::Staged>> documents;
    for (auto& [document, modules] : inDocuments) {
        auto s = document->stage({modules.begin(), modules.end()}, m_codepage, backup);
        if (!s)
            problems.push_back(s.error());
        else if (*s)
            documents.emplace_back(std::move(modules), std::move(**s));
    }
    std::vector<const DiskFile::Staged*> files;
    for (const auto& [c, s] : staged)
        files.push_back(&s);
    for (const auto& [modules, s] : documents)
        files.push_back(&s);
    DiskFile::flush(files);
    for (auto& [c, s] : staged)
        commitModule(*c, s, backup, problems);
    for (auto& [modules, s] : documents)
        commitDocument(modules, s, problems);
    DiskFile::syncFolders(folders);
    return problems;
}

void Project::commitModule(Component& c, const DiskFile::Staged& s, bool backup,
                           std::vector<Error>& problems) {
    const bool added = c.isNew();
    auto written = DiskFile::commit(s);
    if (!written) {
        problems.push_back(written.error());
        return;
    }
    c.saved(written->stamp);
    if (!written->setAside.empty()) // saved, but the user must hear where the other went
        problems.push_back(makeError(errors::ChangedOnDisk, c.path(), written->note));
    if (added && !m_fileName.empty()) {
        // A module the project file does not list would be lost to the
        // project: the file just made for it goes again.
        if (auto listed = listInProjectFile(c, backup); !listed) {
            problems.push_back(listed.error());
            platform::remove(c.path());
        }
    }
}

void Project::commitDocument(const std::vector<Component*>& modules, const DiskFile::Staged& s,
                             std::vector<Error>& problems) {
    auto written = DiskFile::commit(s);
    if (!written) {
        problems.push_back(written.error());
        return;
    }
    for (Component* c : modules)
        if (c->needsSave())
            c->saved(written->stamp);
    if (!written->setAside.empty())
        problems.push_back(makeError(errors::ChangedOnDisk, s.path, written->note));
}

Result<void> Project::listInProjectFile(const Component& c, bool backup) {
    std::string file = c.path().substr(c.path().rfind('/') + 1);
    std::string bytes =
        VbpFile::parse(m_fileBytes).withLineAdded("Module", "Module=" + c.Name() + "; " + file);
    auto written = DiskFile::replace(m_fileName, bytes, &m_fileStamp, backup);
    if (!written)
        return written.error();
    m_fileBytes = std::move(bytes);
    m_fileStamp = written->stamp;
    return {};
}

} // namespace trapline
