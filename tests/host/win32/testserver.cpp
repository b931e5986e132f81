// The COM server as the DLL builds it, with a scripted add-in behind the COM
// object and a bridge that only asks for the environment's interface: the
// tests see through TraplineTestLog what reached the add-in.
#include "comconnect.h"
#include "vbeconnection.h"

#include <string>
#include <utility>

namespace {

std::string g_log;

/// {0002E166-0000-0000-C000-000000000046}
constexpr IID kIID_VBE = {0x0002E166, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

/// An environment with no bars: enough for an add-in that only records.
class HeldEnvironment : public vbide::VBE, public vbide::CommandBars, public vbide::Events {
public:
    explicit HeldEnvironment(IDispatch* application) : m_application(application) {
        m_application->AddRef();
    }
    ~HeldEnvironment() override { m_application->Release(); }
    IDispatch* application() const { return m_application; }

    vbide::CommandBars& CommandBars() override { return *this; }
    vbide::Events& Events() override { return *this; }
    std::uintptr_t MainWindow() const override { return 0; }
    long Count() const override { return 0; }
    trapline::Result<vbide::CommandBar*> Item(long) override { return missing(); }
    trapline::Result<vbide::CommandBar*> Item(const std::string&) override { return missing(); }
    trapline::Result<vbide::CommandBarEvents*>
    CommandBarEvents(vbide::CommandBarControl*) override {
        return trapline::makeError(5, "Events", "Invalid procedure call or argument");
    }

private:
    static trapline::Error missing() {
        return trapline::makeError(9, "CommandBars", "Subscript out of range");
    }
    IDispatch* m_application;
};

/// A button's event source that is the application object itself.
class HeldSource : public vbide::CommandBarEvents {
public:
    explicit HeldSource(IDispatch* object) : m_object(object) {}
    void setClick(ClickHandler) override {}
    void* nativeObject() const override { return m_object; }

private:
    IDispatch* m_object;
};

class RecordingAddIn : public vbide::IDTExtensibility2, public ComConnect::Members {
public:
    trapline::Result<void> OnConnection(vbide::Object* Application,
                                        vbide::ext_ConnectMode ConnectMode, vbide::Object*,
                                        vbide::Custom&) override {
        const bool environment = Application && Application->asVBE();
        m_vbe = environment ? Application->asVBE() : nullptr;
        g_log += "connect " + std::to_string(ConnectMode) + (environment ? " vbe;" : " none;");
        return {};
    }
    trapline::Result<void> OnDisconnection(vbide::ext_DisconnectMode RemoveMode,
                                           vbide::Custom&) override {
        g_log += "disconnect " + std::to_string(RemoveMode) + ";";
        return {};
    }
    trapline::Result<void> OnStartupComplete(vbide::Custom&) override {
        g_log += "startup;";
        return {};
    }

    bool FormDisplayed() const override { return m_displayed; }
    void setFormDisplayed(bool value) override { m_displayed = value; }
    vbide::VBE* VBInstance() const override { return m_vbe; }
    void setVBInstance(vbide::VBE* value) override { m_vbe = value; }
    vbide::CommandBarEvents* MenuHandler() const override { return m_source.get(); }
    void releaseMenuHandler() override {
        g_log += "release;";
        m_source.reset();
    }
    void Show() override {
        g_log += "show;";
        m_displayed = true;
    }
    void Hide() override {
        g_log += "hide;";
        m_displayed = false;
    }
    void AddToCommandBar() override {
        g_log += "bar;";
        if (auto* held = dynamic_cast<HeldEnvironment*>(m_vbe))
            m_source = std::make_unique<HeldSource>(held->application());
    }

private:
    bool m_displayed = false;
    vbide::VBE* m_vbe = nullptr;
    std::unique_ptr<HeldSource> m_source;
};

} // namespace

ComConnect::AddIn ComConnect::makeAddIn() {
    auto addIn = std::make_unique<RecordingAddIn>();
    RecordingAddIn* kept = addIn.get();
    return {std::move(addIn), kept, [kept] {
                g_log += "forget;";
                kept->setVBInstance(nullptr);
            }};
}

trapline::Result<std::unique_ptr<vbide::VBE>> connectToVBE(IDispatch* application) {
    IUnknown* environment = nullptr;
    if (FAILED(application->QueryInterface(kIID_VBE, reinterpret_cast<void**>(&environment))))
        return trapline::makeError(13, "Trapline.Connect", "Type mismatch");
    environment->Release();
    return std::unique_ptr<vbide::VBE>(std::make_unique<HeldEnvironment>(application));
}

/// What reached the add-in since the last call, and forgets it.
extern "C" HRESULT STDAPICALLTYPE TraplineTestLog(char* buffer, DWORD size) {
    const std::string log = std::exchange(g_log, {});
    if (!buffer || size <= log.size())
        return E_INVALIDARG;
    log.copy(buffer, log.size());
    buffer[log.size()] = '\0';
    return S_OK;
}
