#pragma once

#include "addin.h"
#include "addinregistry.h"

#include <QString>
#include <memory>
#include <string>
#include <vector>

class EnvironmentVBE;
class QLibrary;
namespace trapline {
class MessageBoxService;
}

/// Loads the registered add-ins' libraries and connects their objects to the
/// environment, as the VB6 environment did with COM servers: the entry's
/// library is loaded, its DllGetClassObject gives the factory for the
/// entry's class, and the object it makes gets the connection events. A
/// failure at any step is one message naming the add-in and the reason; the
/// environment goes on and the add-in stays unloaded.
class AddInHost {
public:
    AddInHost(EnvironmentVBE& vbe, vbide::AddInRegistry& registry,
              trapline::MessageBoxService& messages);
    /// Disconnects every add-in still connected, as at the environment's end.
    ~AddInHost();
    AddInHost(const AddInHost&) = delete;
    AddInHost& operator=(const AddInHost&) = delete;

    vbide::AddInRegistry& registry() { return m_registry; }
    bool isConnected(const std::string& progId) const;

    /// Loads and connects the add-in of `entry` in `mode`; false (after a
    /// message) when it could not be.
    bool connect(const vbide::AddInRegistry::Entry& entry, vbide::ext_ConnectMode mode);
    /// Disconnects and releases the add-in of `progId`, if connected.
    void disconnect(const std::string& progId, vbide::ext_DisconnectMode mode);
    /// The start-up of the environment: every add-in to load on start-up is
    /// connected (mode 1), then each connected one hears OnStartupComplete.
    void startup();
    /// Disconnects every connected add-in (host shutdown).
    void shutdown();
    /// Shows a problem of the add-in machinery (the registry, say) to the user.
    void report(const std::string& text);

    /// Registers the add-in libraries in `folders` that were never offered
    /// to this user before (`offered` lists those that were, and gets the new
    /// ones): how a new user finds the add-ins installed with the environment.
    void offerBundled(const QStringList& folders, QStringList& offered);

private:
    struct Connected;
    void fail(const vbide::AddInRegistry::Entry& entry, const std::string& reason);
    void release(Connected& c);

    EnvironmentVBE& m_vbe;
    vbide::AddInRegistry& m_registry;
    trapline::MessageBoxService& m_messages;
    std::vector<std::unique_ptr<Connected>> m_connected;
};
