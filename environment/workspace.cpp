#include "workspace.h"

#include "officedocument.h"
#include "projectloader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string canonical(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(path, ec);
    return ec ? path : p.string();
}

} // namespace

bool Workspace::open(const QStringList& paths, QStringList& problems) {
    std::vector<Entry> next;
    std::vector<std::string> modules;
    trapline::Project* startup = nullptr;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString suffix = info.suffix().toLower();
        if (info.isDir()) {
            openFolder(path, next, problems);
        } else if (suffix == "vbg") {
            const size_t before = next.size();
            openGroup(path, next, problems);
            if (!startup && next.size() > before)
                startup = m_startup;
        } else if (suffix == "vbp") {
            add(next, loadOne({path.toStdString()}, problems), info.fileName());
        } else if (trapline::OfficeDocument::isDocumentPath(path.toStdString())) {
            add(next, loadDocument(path, problems), info.fileName());
        } else {
            modules.push_back(path.toStdString());
        }
    }
    if (!modules.empty())
        add(next, loadOne(modules, problems),
            modules.size() == 1 ? QFileInfo(QString::fromStdString(modules.front())).fileName()
                                : QString("(modules)"));
    if (next.empty())
        return false;
    m_entries = std::move(next);
    m_startup = startup ? startup : m_entries.front().project.get();
    return true;
}

std::unique_ptr<trapline::Project> Workspace::loadOne(const std::vector<std::string>& paths,
                                                      QStringList& problems,
                                                      const trapline::Codepage& codepage) const {
    trapline::ProjectLoader loader(codepage);
    // A project or folder may hold thousands of modules: each is read when it
    // is first shown or used, so the tree appears at once. Module files named
    // one by one are read now, so that one that cannot be used is said at once.
    loader.setDeferContents(std::any_of(paths.begin(), paths.end(), [](const std::string& p) {
        return !trapline::ProjectLoader::typeForExtension(p);
    }));
    auto project = loader.load(paths);
    for (const trapline::Diagnostic& d : loader.diagnostics())
        problems << QString::fromStdString(d.text());
    // A project file that named nothing usable (a binary file, say) is no project.
    if (!project || ((*project)->VBComponents().Count() == 0 && !loader.diagnostics().empty()))
        return nullptr;
    return std::move(*project);
}

std::unique_ptr<trapline::Project>
Workspace::loadDocument(const QString& path, QStringList& problems, bool named) const {
    // The add-in's text goes into a document, and a save writes it, only in
    // the code page its project names, which is known once it is read.
    auto document = trapline::OfficeDocument::open(path.toStdString());
    // A workbook without macros in a folder is no input; named, it is.
    if (!document && !named && document.error().number == trapline::errors::NoProject)
        return nullptr;
    return loadOne({path.toStdString()}, problems,
                   document ? (*document)->codepage() : trapline::Codepage());
}

namespace {

/// Whether the one document of `project` was written since it was read, and
/// nothing of it awaits a save.
bool writtenSinceRead(const trapline::Project& project) {
    const trapline::OfficeDocument& document = *project.documents().front();
    bool written = false;
    for (long i = 1; i <= project.VBComponents().Count(); ++i) {
        const trapline::Component& c = **project.VBComponents().Item(i);
        if (c.needsSave())
            return false;
        written = written || !(c.stamp() == document.stamp());
    }
    return written;
}

} // namespace

bool Workspace::rereadSavedDocuments(QStringList& problems) {
    bool any = false;
    for (Entry& e : m_entries) {
        if (e.project->documents().size() != 1 || !writtenSinceRead(*e.project))
            continue;
        // The document as written: its new modules have their places in it
        // now, and the next save starts from these bytes, not the first ones.
        auto again =
            loadDocument(QString::fromStdString(e.project->documents().front()->path()), problems);
        if (!again)
            continue;
        if (m_startup == e.project.get())
            m_startup = again.get();
        e.project = std::move(again);
        any = true;
    }
    return any;
}

void Workspace::add(std::vector<Entry>& into, std::unique_ptr<trapline::Project> project,
                    const QString& fallbackLabel) const {
    if (!project)
        return;
    QString label = fallbackLabel;
    if (!project->Name().empty())
        label = QString::fromStdString(project->Name()) + " (" +
                QFileInfo(QString::fromStdString(project->fileName())).fileName() + ")";
    into.push_back({std::move(project), label});
}

/// A group lists its startup project on the StartupProject line and the
/// others on Project lines; each becomes a project of its own.
void Workspace::openGroup(const QString& path, std::vector<Entry>& into, QStringList& problems) {
    QFile file(path);
    std::vector<std::pair<std::string, bool>> listed; // path as written, startup
    if (file.open(QIODevice::ReadOnly)) {
        const trapline::Codepage codepage;
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QByteArray line = raw.trimmed();
            const qsizetype eq = line.indexOf('=');
            const QByteArray key = line.left(eq).trimmed().toLower();
            if (eq > 0 && (key == "project" || key == "startupproject"))
                listed.emplace_back(codepage.toUtf8(line.mid(eq + 1).trimmed().toStdString()),
                                    key == "startupproject");
        }
    }
    m_startup = nullptr;
    const std::string folder = QFileInfo(path).absolutePath().toStdString();
    for (const auto& [written, isStartup] : listed) {
        auto vbp = trapline::ProjectLoader::resolve(folder, written);
        if (!vbp) {
            problems << path + ": " +
                            QString::fromStdString(written + ": " + vbp.error().description);
            continue;
        }
        if (QFileInfo(QString::fromStdString(*vbp)).suffix().toLower() != "vbp") {
            problems << path + ": " + QString::fromStdString(written) + ": not a VB project (.vbp)";
            continue;
        }
        const size_t before = into.size();
        add(into, loadOne({*vbp}, problems), QString::fromStdString(written));
        if (isStartup && into.size() > before)
            m_startup = into.back().project.get();
    }
    if (listed.empty()) // unreadable or empty: the loader says which
        add(into, loadOne({path.toStdString()}, problems), QFileInfo(path).fileName());
}

void Workspace::openFolder(const QString& path, std::vector<Entry>& into,
                           QStringList& problems) const {
    QStringList vbps, documents;
    QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (file.endsWith(".vbp", Qt::CaseInsensitive))
            vbps << file;
        else if (trapline::ProjectLoader::isFolderDocument(it.fileName().toStdString()))
            documents << file;
    }
    if (vbps.isEmpty() && documents.isEmpty()) {
        add(into, loadOne({path.toStdString()}, problems), QDir(path).dirName());
        return;
    }
    std::sort(vbps.begin(), vbps.end());
    std::sort(documents.begin(), documents.end());
    std::set<std::string> listed;
    for (const QString& vbp : vbps) {
        auto project = loadOne({vbp.toStdString()}, problems);
        for (long i = 1; project && i <= project->VBComponents().Count(); ++i)
            listed.insert(canonical((*project->VBComponents().Item(i))->path()));
        add(into, std::move(project), QFileInfo(vbp).fileName());
    }
    std::vector<std::string> loose;
    QDirIterator files(path, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const std::string file = files.next().toStdString();
        if (trapline::ProjectLoader::typeForExtension(file) && !listed.count(canonical(file)))
            loose.push_back(file);
    }
    std::sort(loose.begin(), loose.end());
    if (!loose.empty())
        add(into, loadOne(loose, problems),
            vbps.isEmpty() ? QDir(path).dirName() : QString("(loose files)"));
    // Each document is a project of its own, as the VBA editor shows it.
    for (const QString& document : documents)
        add(into, loadDocument(document, problems, false), QDir(path).relativeFilePath(document));
}

bool Workspace::isModified() const {
    for (const Entry& e : m_entries)
        for (long i = 1; i <= e.project->VBComponents().Count(); ++i)
            if ((*e.project->VBComponents().Item(i))->needsSave())
                return true;
    return false;
}

std::vector<trapline::Component*> Workspace::components() const {
    std::vector<trapline::Component*> out;
    for (const Entry& e : m_entries)
        for (long i = 1; i <= e.project->VBComponents().Count(); ++i)
            out.push_back(*e.project->VBComponents().Item(i));
    return out;
}

size_t Workspace::fingerprint() const {
    size_t mark = m_entries.size();
    for (const Entry& e : m_entries) {
        const trapline::Components& list = e.project->VBComponents();
        mark = mark * 31 + static_cast<size_t>(list.Count());
        for (long i = 1; i <= list.Count(); ++i) {
            const trapline::Component& c = **list.Item(i);
            mark = mark * 31 + static_cast<size_t>(c.CodeModule().revision()) * 2 +
                   (c.needsSave() ? 1 : 0);
        }
    }
    return mark;
}
