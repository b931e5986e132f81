#include "addinhost.h"

#include "diskfile.h"
#include "environmentvbe.h"
#include "messagebox.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLibrary>

struct AddInHost::Connected {
    std::string progId;
    std::unique_ptr<QLibrary> library;
    vbide::ClassFactory* factory = nullptr;
    vbide::IDTExtensibility2* object = nullptr;
};

AddInHost::AddInHost(EnvironmentVBE& vbe, vbide::AddInRegistry& registry,
                     trapline::MessageBoxService& messages)
    : m_vbe(vbe), m_registry(registry), m_messages(messages) {}

AddInHost::~AddInHost() {
    shutdown();
}

bool AddInHost::isConnected(const std::string& progId) const {
    for (const auto& c : m_connected)
        if (c->progId == progId)
            return true;
    return false;
}

void AddInHost::fail(const vbide::AddInRegistry::Entry& entry, const std::string& reason) {
    std::string name = entry.value("FriendlyName");
    m_messages.show("The add-in \"" + (name.empty() ? entry.progId : name) + "\" (" + entry.progId +
                        ") could not be loaded: " + reason,
                    "TRAPLINE Environment", trapline::MsgIcon::Exclamation,
                    trapline::MsgButtons::Ok);
}

bool AddInHost::connect(const vbide::AddInRegistry::Entry& entry, vbide::ext_ConnectMode mode) {
    if (isConnected(entry.progId))
        return true;
    auto c = std::make_unique<Connected>();
    c->progId = entry.progId;
    const QString path = QString::fromStdString(entry.value("Library"));
    if (path.isEmpty()) {
        fail(entry, "the registry names no library");
        return false;
    }
    // The loader would wait in open() for a writer on a FIFO, or read a
    // device: only a regular file can be a library. A bare name is the
    // loader's to look up.
    if (path.contains('/'))
        if (auto file = trapline::DiskFile::stamp(path.toStdString());
            !file && file.error().number == trapline::errors::PathAccess) {
            fail(entry, file.error().source + ": " + file.error().description);
            return false;
        }
    c->library = std::make_unique<QLibrary>(path);
    if (!c->library->load()) {
        fail(entry, c->library->errorString().toStdString());
        return false;
    }
    auto getClassObject =
        reinterpret_cast<vbide::DllGetClassObjectFn>(c->library->resolve("DllGetClassObject"));
    if (!getClassObject) {
        fail(entry, path.toStdString() + " does not export DllGetClassObject");
        return false;
    }
    void* factory = nullptr;
    const std::string clsid = entry.value("CLSID");
    if (long rc = getClassObject(clsid.c_str(), entry.value("Interface").c_str(), &factory);
        rc != vbide::S_OK || !factory) {
        fail(entry, "it has no class " + clsid + " (error " + std::to_string(rc) + ")");
        return false;
    }
    c->factory = static_cast<vbide::ClassFactory*>(factory);
    auto object = c->factory->CreateInstance();
    if (!object || !*object) {
        fail(entry, object ? "its factory made no object" : object.error().description);
        return false;
    }
    c->object = *object;
    vbide::Custom custom;
    if (auto connected = c->object->OnConnection(&m_vbe, mode, nullptr, custom); !connected) {
        fail(entry, connected.error().description);
        release(*c);
        return false;
    }
    m_connected.push_back(std::move(c));
    return true;
}

void AddInHost::release(Connected& c) {
    if (c.object && c.factory)
        c.factory->Release(c.object);
    c.object = nullptr;
    // Windows the add-in closed are deleted later; that must happen while
    // its code is still there.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto canUnload =
        reinterpret_cast<vbide::DllCanUnloadNowFn>(c.library->resolve("DllCanUnloadNow"));
    if (canUnload && canUnload() == vbide::S_OK)
        c.library->unload();
}

void AddInHost::disconnect(const std::string& progId, vbide::ext_DisconnectMode mode) {
    for (auto it = m_connected.begin(); it != m_connected.end(); ++it) {
        if ((*it)->progId != progId)
            continue;
        std::unique_ptr<Connected> c = std::move(*it);
        m_connected.erase(it);
        vbide::Custom custom;
        (void)c->object->OnDisconnection(mode, custom); // nothing to do about a failure
        release(*c);
        return;
    }
}

void AddInHost::startup() {
    auto entries = m_registry.entries();
    if (!entries) {
        report(entries.error().source + ": " + entries.error().description);
        return;
    }
    for (const auto& entry : *entries)
        if (entry.loadOnStartup())
            connect(entry, vbide::ext_cm_Startup);
    vbide::Custom custom;
    for (const auto& c : m_connected)
        (void)c->object->OnStartupComplete(custom);
}

void AddInHost::report(const std::string& text) {
    m_messages.show(text, "TRAPLINE Environment", trapline::MsgIcon::Exclamation,
                    trapline::MsgButtons::Ok);
}

void AddInHost::shutdown() {
    while (!m_connected.empty())
        disconnect(m_connected.back()->progId, vbide::ext_dm_HostShutdown);
}

void AddInHost::offerBundled(const QStringList& folders, QStringList& offered) {
    for (const QString& folder : folders) {
        for (const QFileInfo& file : QDir(folder).entryInfoList({"*.so"}, QDir::Files)) {
            const QString path = file.canonicalFilePath();
            if (offered.contains(path))
                continue;
            offered << path;
            QLibrary library(path);
            auto registerServer = reinterpret_cast<vbide::DllRegisterServerFn>(
                library.load() ? library.resolve("DllRegisterServer") : nullptr);
            if (!registerServer || registerServer() != vbide::S_OK)
                m_messages.show("The add-in library " + path.toStdString() +
                                    " could not be registered",
                                "TRAPLINE Environment", trapline::MsgIcon::Exclamation,
                                trapline::MsgButtons::Ok);
        }
    }
}
