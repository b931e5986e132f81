// The DLL's add-in behind each COM object: Connect itself.
#include "comconnect.h"
#include "connect.h"

namespace {

/// Connect with its members as _Connect reaches them.
class ConnectAddIn final : public vbide::IDTExtensibility2, public ComConnect::Members {
public:
    trapline::Result<void> OnConnection(vbide::Object* Application,
                                        vbide::ext_ConnectMode ConnectMode,
                                        vbide::Object* AddInInst, vbide::Custom& custom) override {
        return m_connect.OnConnection(Application, ConnectMode, AddInInst, custom);
    }
    trapline::Result<void> OnDisconnection(vbide::ext_DisconnectMode RemoveMode,
                                           vbide::Custom& custom) override {
        return m_connect.OnDisconnection(RemoveMode, custom);
    }
    trapline::Result<void> OnStartupComplete(vbide::Custom& custom) override {
        return m_connect.OnStartupComplete(custom);
    }

    bool FormDisplayed() const override { return m_connect.FormDisplayed(); }
    void setFormDisplayed(bool value) override { m_connect.setFormDisplayed(value); }
    vbide::VBE* VBInstance() const override { return m_connect.VBInstance(); }
    void setVBInstance(vbide::VBE* value) override { m_connect.setVBInstance(value); }
    vbide::CommandBarEvents* MenuHandler() const override { return m_connect.MenuHandler(); }
    void releaseMenuHandler() override { m_connect.releaseMenuHandler(); }
    void Show() override { m_connect.Show(); }
    void Hide() override { m_connect.Hide(); }
    void AddToCommandBar() override { m_connect.AddToCommandBar(); }

private:
    Connect m_connect;
};

} // namespace

ComConnect::AddIn ComConnect::makeAddIn() {
    auto addIn = std::make_unique<ConnectAddIn>();
    ConnectAddIn* kept = addIn.get();
    return {std::move(addIn), kept, [kept] { kept->setVBInstance(nullptr); }};
}
