// Trapline.dll as an environment meets it: registered by regsvr32 or
// installed by the MSI, found through its Addins key, created through COM,
// connected to a scripted IDE, clicked, its tool window's OK pressed with real messages, its
// message boxes answered, and disconnected.
#include "scriptedvbe.h"

#include "../../support/registryvalue.h"
#include "../../support/runcommand.h"

#include "insertionrun.h"
#include "platform/windows/wide.h"
#include "projectloader.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr bool kIs64 = sizeof(void*) == 8;
const wchar_t* const kAddInKey =
    kIs64 ? L"Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\Trapline.Connect"
          : L"Software\\Microsoft\\Visual Basic\\6.0\\Addins\\Trapline.Connect";
const wchar_t* const kSettingsKey = L"Software\\VB and VBA Program Settings\\TRAPLINE Add-In";

std::wstring besideThisProgram(const wchar_t* name) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

/// Runs `line` (a program of wine's of this program's bitness) and waits for
/// it; its exit code.
DWORD run(const std::wstring& line) {
    return DWORD(runCommandLine(line, {}, 120).exitCode);
}

/// Runs wine's regsvr32 silently on the DLL.
DWORD regsvr32(const std::wstring& options) {
    return run(L"regsvr32.exe /s " + options + L" \"" + besideThisProgram(L"Trapline.dll") + L"\"");
}

using trapline::platform::windows::toUtf8;
using trapline::platform::windows::toWide;

std::vector<std::wstring> splitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    if (text.empty())
        return lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

/// The modules of a project as the IDE shows them, UTF-16 line by line.
std::vector<ScriptedModule> modulesOf(trapline::Project& project) {
    std::vector<ScriptedModule> modules;
    auto& components = project.VBComponents();
    for (long i = 1; i <= components.Count(); ++i) {
        trapline::Component* component = *components.Item(i);
        const auto& code = component->CodeModule();
        auto text = code.Lines(1, code.CountOfLines());
        modules.push_back({toWide(project.codepage().toUtf8(component->Name())),
                           long(component->Type()),
                           splitLines(toWide(project.codepage().toUtf8(text ? *text : ""))), true});
    }
    return modules;
}

struct Silent : trapline::MessageBoxService, trapline::RunReporter {
    trapline::MsgAnswer show(const std::string&, const std::string&, trapline::MsgIcon,
                             trapline::MsgButtons) override {
        return trapline::MsgAnswer::Yes;
    }
    void log(const std::string&) override {}
    void busy(bool) override {}
};

/// The example project's modules before and after the engine's insertion
/// with the window's default options: what the add-in must leave in the IDE.
struct Example {
    std::vector<ScriptedModule> before, after;
};

/// A procedure the user adds in the IDE after the add-in read the code.
const std::vector<std::wstring> kAddedInTheIDE = {L"Public Sub AddedInTheIDE()",
                                                  L"    Debug.Print 1", L"End Sub"};

/// With `edited` named, the engine treats that module with kAddedInTheIDE
/// at its end, as the user left it in the IDE; `before` is without it. The
/// run's choices are the window's defaults unless `options` are given.
Example example(const std::string& edited = {},
                const trapline::InsertionOptions& options = trapline::InsertionOptions{}) {
    trapline::ProjectLoader loader;
    auto project = loader.load({TRAPLINE_EXAMPLE_PROJECT});
    if (!project)
        return {};
    Example e;
    e.before = modulesOf(**project);
    for (long i = 1; i <= (*project)->VBComponents().Count(); ++i) {
        trapline::Component* component = *(*project)->VBComponents().Item(i);
        if (component->Name() != edited)
            continue;
        auto& code = component->CodeModule();
        if (!code.InsertLines(code.CountOfLines() + 1,
                              "Public Sub AddedInTheIDE()\r\n    Debug.Print 1\r\nEnd Sub"))
            return {};
    }
    trapline::VBE vbe(std::move(*project));
    Silent silent;
    trapline::InsertionRun run(vbe, silent, silent);
    run.run(options);
    e.after = modulesOf(*vbe.ActiveVBProject());
    return e;
}

/// Answers every message box of this process from a thread of its own,
/// Yes where it asks, OK otherwise, with a click on the box's button; keeps
/// their texts.
class BoxAnswerer {
public:
    /// Each box is answered once `ready` says so (or after two seconds).
    explicit BoxAnswerer(std::function<bool()> ready = {})
        : m_ready(std::move(ready)), m_thread([this] { run(); }) {}
    ~BoxAnswerer() {
        m_stop = true;
        m_thread.join();
    }
    std::vector<std::wstring> texts() {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

private:
    void run() {
        while (!m_stop) {
            EnumWindows(&BoxAnswerer::each, reinterpret_cast<LPARAM>(this));
            Sleep(50);
        }
    }
    static BOOL CALLBACK each(HWND window, LPARAM self) {
        reinterpret_cast<BoxAnswerer*>(self)->answer(window);
        return TRUE;
    }
    void answer(HWND box) {
        DWORD process = 0;
        wchar_t className[16] = {};
        GetWindowThreadProcessId(box, &process);
        GetClassNameW(box, className, 16);
        if (process != GetCurrentProcessId() || std::wstring(className) != L"#32770" ||
            !IsWindowVisible(box))
            return;
        // The box may be found before its text is set.
        wchar_t text[1024] = {};
        for (int i = 0; i < 50 && !GetDlgItemTextW(box, 0xFFFF, text, 1024); ++i)
            Sleep(20);
        for (int i = 0; i < 100 && m_ready && !m_ready(); ++i)
            Sleep(20);
        HWND button = GetDlgItem(box, IDYES);
        if (!button)
            button = GetDlgItem(box, IDOK);
        if (!button)
            return;
        {
            std::lock_guard lock(m_mutex);
            m_texts.push_back(text);
        }
        PostMessageW(button, BM_CLICK, 0, 0);
        for (int i = 0; i < 100 && IsWindow(box); ++i)
            Sleep(20);
    }

    std::function<bool()> m_ready;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::wstring> m_texts;
    std::thread m_thread;
};

/// The add-in's tool window: a form captioned TRAPLINE of this process.
HWND toolWindow() {
    HWND found = nullptr;
    while ((found = FindWindowExW(nullptr, found, L"TraplineForm", L"TRAPLINE"))) {
        DWORD process = 0;
        GetWindowThreadProcessId(found, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(found))
            return found;
    }
    return nullptr;
}

/// How many tool windows this process shows.
int toolWindows() {
    int n = 0;
    for (HWND found = nullptr;
         (found = FindWindowExW(nullptr, found, L"TraplineForm", L"TRAPLINE"));) {
        DWORD process = 0;
        GetWindowThreadProcessId(found, &process);
        n += process == GetCurrentProcessId() && IsWindowVisible(found);
    }
    return n;
}

/// What happens while the run is asking its first question, and whether it
/// happened.
std::function<bool()> g_duringQuestion;
std::atomic<bool> g_duringQuestionDone{false};

void CALLBACK actDuringQuestion(HWND, UINT, UINT_PTR timer, DWORD) {
    // Waits for the question, which the run's own message loop shows.
    if (!FindWindowW(L"#32770", L"TRAPLINE"))
        return;
    KillTimer(nullptr, timer);
    g_duringQuestionDone = g_duringQuestion();
}

/// Presses `button` and answers every box, the run's question only once
/// `whileAsked` is done; the boxes' texts.
std::vector<std::wstring> pressAnswering(HWND button, std::function<bool()> whileAsked) {
    g_duringQuestion = std::move(whileAsked);
    g_duringQuestionDone = false;
    BoxAnswerer boxes([] { return g_duringQuestionDone.load(); });
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, actDuringQuestion);
    SendMessageW(button, BM_CLICK, 0, 0);
    KillTimer(nullptr, timer);
    return boxes.texts();
}

/// The window's picture buttons (no caption) on its right, from the top:
/// OK, Cancel, tips, About.
HWND pictureButton(HWND window, size_t row) {
    std::vector<std::pair<RECT, HWND>> column;
    for (HWND child = nullptr; (child = FindWindowExW(window, child, L"Button", nullptr));) {
        const LONG style = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
        if (GetWindowTextLengthW(child) != 0 ||
            (style != BS_PUSHBUTTON && style != BS_DEFPUSHBUTTON))
            continue;
        RECT r;
        GetWindowRect(child, &r);
        if (!column.empty() && r.left < column.front().first.left)
            continue;
        if (!column.empty() && r.left > column.front().first.left)
            column.clear();
        column.push_back({r, child});
    }
    std::sort(column.begin(), column.end(),
              [](const auto& a, const auto& b) { return a.first.top < b.first.top; });
    return row < column.size() ? column[row].second : nullptr;
}

HWND okButton(HWND window) {
    return pictureButton(window, 0);
}

/// The text of every edit box of `window`: its templates and its log.
std::wstring boxTexts(HWND window) {
    std::wstring texts;
    for (HWND child = nullptr; (child = FindWindowExW(window, child, L"Edit", nullptr));) {
        std::wstring text(size_t(GetWindowTextLengthW(child)) + 1, L'\0');
        text.resize(size_t(GetWindowTextW(child, text.data(), int(text.size()))));
        texts += text + L"\n";
    }
    return texts;
}

/// Sets the window's check box captioned `caption`.
void check(HWND window, const wchar_t* caption, bool on) {
    HWND box = FindWindowExW(window, nullptr, L"Button", caption);
    ASSERT_NE(box, nullptr);
    SendMessageW(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

/// Whether a message box told of a module that did not come out as written.
bool toldOfAModuleNotWritten(const std::vector<std::wstring>& told) {
    return std::any_of(told.begin(), told.end(), [](const std::wstring& t) {
        return t.find(L"differs from the one written") != std::wstring::npos ||
               t.find(L"changed in the environment") != std::wstring::npos;
    });
}

VARIANT dispatchArg(IDispatch* value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = value;
    return v;
}

VARIANT numberArg(long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

/// The IDE the add-in meets: the VBA editor's library or VB6's (other
/// interface ids, VB6's component types: its main form an MDI form, a
/// related document beside the modules), and whether its code window lists
/// the lines written in its own case and spacing.
struct Layout {
    const char* name;
    ScriptedFlavour flavour;
    bool prettyListing;
};

/// The window's choices of a run: live code (not commented), the templates
/// instead of the standard handler.
struct Choices {
    bool live = false;
    bool templates = false;
};

/// A related document: a component of VB6's without code.
const ScriptedModule kRelatedDocument{L"Readme", 10, {}, false};

class AddInInScriptedIDE : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_NO_FATAL_FAILURE(install());
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        m_main = CreateWindowExW(0, L"STATIC", L"IDE", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                 nullptr, nullptr, nullptr);
        m_custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    }
    void TearDown() override {
        SafeArrayDestroy(m_custom);
        DestroyWindow(m_main);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        CoFreeUnusedLibrariesEx(0, 0);
        CoUninitialize();
        uninstall();
    }

    virtual void install() {
        // The add-in entry is written per user, as the installer does.
        ASSERT_EQ(regsvr32(L"/n /i:user"), 0u);
        // Wine 8 looks classes up in HKCR alone, which does not merge the
        // user's classes: the class is also registered for the machine, so
        // that COM can create it here.
        ASSERT_EQ(regsvr32(L""), 0u);
    }
    virtual void uninstall() {
        EXPECT_EQ(regsvr32(L"/u"), 0u);
        EXPECT_EQ(regsvr32(L"/u /n /i:user"), 0u);
    }
    /// Where the ProgID's class is looked up.
    virtual HKEY classes() const { return HKEY_CURRENT_USER; }
    /// The add-in object of class `clsid`.
    virtual IDispatch* create(const CLSID& clsid) {
        IDispatch* addIn = nullptr;
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                         reinterpret_cast<void**>(&addIn));
        return addIn;
    }

    /// The add-in, created by the class its Addins entry's ProgID names.
    IDispatch* createFromAddInsEntry() {
        HKEY entry = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kAddInKey, 0, KEY_READ, &entry) != ERROR_SUCCESS)
            return nullptr;
        RegCloseKey(entry);
        const std::wstring progId =
            std::wstring(kAddInKey).substr(std::wstring(kAddInKey).find_last_of(L'\\') + 1);
        CLSID clsid{};
        if (FAILED(CLSIDFromString(
                readText(classes(), L"Software\\Classes\\" + progId + L"\\CLSID", L"").c_str(),
                &clsid)))
            return nullptr;
        return create(clsid);
    }

    HRESULT invoke(IDispatch* object, DISPID id, std::vector<VARIANT> arguments) {
        VARIANT custom;
        VariantInit(&custom);
        custom.vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
        custom.pparray = &m_custom;
        arguments.push_back(custom);
        std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
        DISPPARAMS params{reversed.data(), nullptr, UINT(reversed.size()), 0};
        return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                              nullptr, nullptr);
    }
    HRESULT connect(IDispatch* addIn, IDispatch* application, long mode) {
        return invoke(addIn, 1, {dispatchArg(application), numberArg(mode), dispatchArg(nullptr)});
    }
    HRESULT disconnect(IDispatch* addIn) { return invoke(addIn, 2, {numberArg(1)}); }

    static HRESULT canUnloadNow() {
        auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"Trapline.dll"), "DllCanUnloadNow")));
        return canUnload ? canUnload() : E_FAIL;
    }

    ScriptedVBE::Options options(std::vector<ScriptedModule> modules = {}) {
        ScriptedVBE::Options o;
        o.flavour = m_layout.flavour;
        o.prettyListing = m_layout.prettyListing;
        if (m_layout.flavour == ScriptedFlavour::VB6 && !modules.empty()) {
            for (ScriptedModule& module : modules)
                if (module.type == long(trapline::ComponentType::Form))
                    module.type = long(trapline::ComponentType::MDIForm);
            modules.push_back(kRelatedDocument);
        }
        o.modules = std::move(modules);
        o.mainWindow = static_cast<long>(reinterpret_cast<LONG_PTR>(m_main));
        o.controls[L"Standard"] = {L"Open", L"Save"};
        return o;
    }

    /// Connects, clicks the button, presses OK on the example's modules while
    /// clicking again during the run's question, checks every module, runs
    /// again (which finds every procedure trapped), and disconnects.
    void clickAndRunTheExample(Choices choices = {}) {
        trapline::InsertionOptions chosen;
        chosen.withComment = !choices.live;
        chosen.useDefault = !choices.templates;
        const Example expected = example({}, chosen);
        ASSERT_FALSE(expected.before.empty());
        ScriptedVBE host(options(expected.before));
        IDispatch* addIn = createFromAddInsEntry();
        ASSERT_NE(addIn, nullptr);
        ASSERT_EQ(connect(addIn, host.application(), 1), S_OK);
        ASSERT_EQ(host.sources.count(L"TRAPLINE"), 1u);
        bool handled = false, cancelDefault = false;
        ASSERT_EQ(host.sources[L"TRAPLINE"]->click(handled, cancelDefault), S_OK);
        HWND window = toolWindow();
        ASSERT_NE(window, nullptr);
        HWND ok = okButton(window);
        ASSERT_NE(ok, nullptr);
        check(window, L"Вставлять закомментированный текст", !choices.live);
        check(window, L"Стандартный текст обработки", !choices.templates);
        // Clicked again while the run waits on its question: the one window
        // comes forward, and the run goes on.
        ScriptedEventSource* button = host.sources[L"TRAPLINE"];
        const std::vector<std::wstring> asked = pressAnswering(ok, [button] {
            bool again = false, cancel = false;
            return button->click(again, cancel) == S_OK;
        });
        EXPECT_TRUE(g_duringQuestionDone);
        EXPECT_EQ(toolWindows(), 1);
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked.front(), L"Вставлять обработку ошибок ?");
        EXPECT_FALSE(toldOfAModuleNotWritten(asked));
        const size_t treated = expected.after.size();
        ASSERT_EQ(host.modules.size(), treated + (m_layout.flavour == ScriptedFlavour::VB6));
        const std::vector<ScriptedModule> written = host.modules;
        for (size_t i = 0; i < treated; ++i) {
            SCOPED_TRACE(i);
            EXPECT_NE(expected.after[i].lines, expected.before[i].lines)
                << "the example is treated";
            EXPECT_TRUE(listed(host.modules[i].lines) == listed(expected.after[i].lines));
            // A listing IDE re-cases what is written as code, not comments.
            EXPECT_EQ(host.modules[i].lines != expected.after[i].lines,
                      m_layout.prettyListing && choices.live);
        }
        if (m_layout.flavour == ScriptedFlavour::VB6) {
            EXPECT_EQ(host.modules.back().name, kRelatedDocument.name);
            EXPECT_NE(boxTexts(window).find(L"Module Readme is left out: it holds no code"),
                      std::wstring::npos);
        }
        // The next run starts from the code as the IDE holds it.
        const std::vector<std::wstring> again = pressAnswering(ok, [] { return true; });
        EXPECT_FALSE(toldOfAModuleNotWritten(again));
        for (size_t i = 0; i < host.modules.size(); ++i)
            EXPECT_TRUE(host.modules[i].lines == written[i].lines) << i;
        ASSERT_EQ(disconnect(addIn), S_OK);
        EXPECT_EQ(host.captions(L"Standard"), (std::vector<std::wstring>{L"Open", L"Save"}));
        EXPECT_EQ(addIn->Release(), 0u);
        EXPECT_EQ(host.extraReferences(), 0);
        EXPECT_EQ(canUnloadNow(), S_OK);
    }

    /// Lines as the IDE of this layout lists what it is given.
    std::vector<std::wstring> listed(std::vector<std::wstring> lines) const {
        if (m_layout.prettyListing)
            for (std::wstring& line : lines)
                line = ScriptedVBE::prettyListed(line);
        return lines;
    }

    Layout m_layout{"VBA", ScriptedFlavour::VBA, false};
    HWND m_main = nullptr;
    SAFEARRAY* m_custom = nullptr;
};

std::string layoutName(const ::testing::TestParamInfo<Layout>& layout) {
    return layout.param.name;
}

/// The scenario in every IDE the add-in meets.
class AddInInEveryIDE : public AddInInScriptedIDE, public ::testing::WithParamInterface<Layout> {
protected:
    void SetUp() override {
        m_layout = GetParam();
        AddInInScriptedIDE::SetUp();
    }
};

INSTANTIATE_TEST_SUITE_P(Layouts, AddInInEveryIDE,
                         ::testing::Values(Layout{"VBA", ScriptedFlavour::VBA, false},
                                           Layout{"VBAListing", ScriptedFlavour::VBA, true},
                                           Layout{"VB6", ScriptedFlavour::VB6, false},
                                           Layout{"VB6Listing", ScriptedFlavour::VB6, true}),
                         layoutName);

TEST_P(AddInInEveryIDE, PutsItsButtonAndMenuEntryWhereTheModeAsksAndTakesThemAway) {
    const struct {
        long mode;
        std::vector<std::wstring> standard, addIns;
    } cases[] = {
        {0, {L"Open", L"TRAPLINE", L"Save"}, {L"TRAPLINE"}},
        {1, {L"Open", L"TRAPLINE", L"Save"}, {L"TRAPLINE"}},
        {2, {L"Open", L"Save"}, {}},
        {3, {L"Open", L"Save"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ScriptedVBE host(options());
        IDispatch* addIn = createFromAddInsEntry();
        ASSERT_NE(addIn, nullptr);
        BoxAnswerer boxes;
        ASSERT_EQ(connect(addIn, host.application(), c.mode), S_OK);
        EXPECT_EQ(host.captions(L"Standard"), c.standard);
        EXPECT_EQ(host.captions(L"Add-Ins"), c.addIns);
        // Connected from outside, the window shows at once.
        EXPECT_EQ(toolWindow() != nullptr, c.mode == 2);
        ASSERT_EQ(disconnect(addIn), S_OK);
        EXPECT_EQ(host.captions(L"Standard"), (std::vector<std::wstring>{L"Open", L"Save"}));
        EXPECT_TRUE(host.captions(L"Add-Ins").empty());
        EXPECT_EQ(toolWindow(), nullptr);
        EXPECT_EQ(addIn->Release(), 0u);
        EXPECT_EQ(host.extraReferences(), 0);
        EXPECT_EQ(canUnloadNow(), S_OK);
        EXPECT_EQ(boxes.texts(), std::vector<std::wstring>{});
    }
}

TEST_P(AddInInEveryIDE, AClickShowsTheWindowWhoseOkLeavesEveryModuleAsTheEngineDoes) {
    const struct {
        const char* name;
        Choices choices;
    } runs[] = {{"commented standard handler", {false, false}},
                {"live standard handler", {true, false}},
                {"live templates", {true, true}}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        clickAndRunTheExample(run.choices);
        if (HasFatalFailure())
            return;
    }
}

TEST_F(AddInInScriptedIDE, ARunTreatsTheCodeAsTheIDEHoldsItAndKeepsAnEditMadeDuringIt) {
    const Example plain = example();
    const Example edited = example("modMain");
    ASSERT_FALSE(plain.before.empty());
    const struct {
        const char* name;
        bool duringTheQuestion; ///< else before the click on OK
    } cases[] = {{"edited after connecting", false}, {"edited while the run asks", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedVBE host(options(plain.before));
        IDispatch* addIn = createFromAddInsEntry();
        ASSERT_NE(addIn, nullptr);
        ASSERT_EQ(connect(addIn, host.application(), 1), S_OK);
        auto module = std::find_if(host.modules.begin(), host.modules.end(),
                                   [](const ScriptedModule& m) { return m.name == L"modMain"; });
        ASSERT_NE(module, host.modules.end());
        const size_t k = size_t(module - host.modules.begin());
        auto edit = [&host, k] {
            auto& lines = host.modules[k].lines;
            lines.insert(lines.end(), kAddedInTheIDE.begin(), kAddedInTheIDE.end());
            return true;
        };
        bool handled = false, cancelDefault = false;
        ASSERT_EQ(host.sources[L"TRAPLINE"]->click(handled, cancelDefault), S_OK);
        if (!c.duringTheQuestion)
            edit();
        const std::vector<std::wstring> told =
            pressAnswering(okButton(toolWindow()),
                           c.duringTheQuestion ? std::function<bool()>(edit)
                                               : std::function<bool()>([] { return true; }));
        for (size_t i = 0; i < host.modules.size(); ++i) {
            SCOPED_TRACE(i);
            std::vector<std::wstring> expected = edited.after[i].lines;
            if (c.duringTheQuestion && i == k) {
                // Changed behind the run's back: not written, the edit kept.
                expected = plain.before[i].lines;
                expected.insert(expected.end(), kAddedInTheIDE.begin(), kAddedInTheIDE.end());
            }
            EXPECT_TRUE(host.modules[i].lines == expected);
        }
        const bool refused = std::any_of(told.begin(), told.end(), [](const std::wstring& t) {
            return t.find(L"modMain") != std::wstring::npos &&
                   t.find(L"changed in the environment") != std::wstring::npos;
        });
        EXPECT_EQ(refused, c.duringTheQuestion);
        ASSERT_EQ(disconnect(addIn), S_OK);
        EXPECT_EQ(addIn->Release(), 0u);
        EXPECT_EQ(host.extraReferences(), 0);
    }
}

TEST_F(AddInInScriptedIDE, AWindowOpenedFromTheToolWindowGetsTheAddInsCommonControls) {
    // This program has no manifest: only the add-in's own makes them version 6.
    const std::wstring optionsKey = std::wstring(kSettingsKey) + L"\\Options";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, optionsKey.c_str(), L"Show Tips at Startup",
                              REG_SZ, L"0", 4),
              ERROR_SUCCESS);
    ScriptedVBE host(options());
    IDispatch* addIn = createFromAddInsEntry();
    ASSERT_NE(addIn, nullptr);
    ASSERT_EQ(connect(addIn, host.application(), 1), S_OK);
    bool handled = false, cancelDefault = false;
    ASSERT_EQ(host.sources[L"TRAPLINE"]->click(handled, cancelDefault), S_OK);
    HWND window = toolWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(FindWindowW(L"TraplineForm", L"Tip of the Day"), nullptr);
    // Its tips button, pressed as the host's message loop delivers it.
    PostMessageW(pictureButton(window, 2), BM_CLICK, 0, 0);
    HWND tip = nullptr;
    for (int i = 0; i < 500 && !tip; ++i) {
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        tip = FindWindowW(L"TraplineForm", L"Tip of the Day");
        Sleep(10);
    }
    ASSERT_NE(tip, nullptr);
    HWND button = FindWindowExW(tip, nullptr, L"Button", nullptr);
    ASSERT_NE(button, nullptr);
    // A button's class comes from the common controls the window was made under.
    HMODULE from = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(GetClassLongPtrW(button, GCLP_WNDPROC)), &from);
    wchar_t file[MAX_PATH] = {};
    GetModuleFileNameW(from, file, MAX_PATH);
    CharLowerW(file);
    EXPECT_NE(std::wstring(file).find(L"microsoft.windows.common-controls"), std::wstring::npos)
        << std::string(file, file + wcslen(file));
    ASSERT_EQ(disconnect(addIn), S_OK);
    EXPECT_EQ(addIn->Release(), 0u);
}

TEST_F(AddInInScriptedIDE,
       PutsItsMenuEntryInTheAddInsMenuFoundByItsIdOrInTheToolsMenuAndLogsWhere) {
    using Popup = ScriptedVBE::Options::Popup;
    const struct {
        const char* name;
        std::vector<std::wstring> bars;
        std::vector<Popup> menus;
        std::wstring entryBar; ///< where the entry goes; "" for nowhere
        std::wstring logged;   ///< "": the log tells nothing of the entry
    } cases[] = {
        {"VB6: the bar named Add-Ins", {L"Menu Bar", L"Standard", L"Add-Ins"}, {}, L"Add-Ins", L""},
        {"Office in Russian: the menu bar's control 30038",
         {L"Menu Bar", L"Standard", L"Сервис", L"Надстройки"},
         {{L"&Сервис", 30007, L"Сервис"}, {L"&Надстройки", 30038, L"Надстройки"}},
         L"Надстройки",
         L""},
        {"Office without an Add-Ins menu: the Tools menu, control 30007",
         {L"Menu Bar", L"Standard", L"Extras"},
         {{L"E&xtras", 30007, L"Extras"}},
         L"Extras",
         L"The TRAPLINE entry is in the Tools menu: the environment has no Add-Ins menu."},
        {"neither menu",
         {L"Menu Bar", L"Standard"},
         {},
         L"",
         L"No TRAPLINE menu entry: the environment has neither an Add-Ins nor a Tools menu."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedVBE::Options o = options();
        o.bars = c.bars;
        o.menus = c.menus;
        ScriptedVBE host(o);
        IDispatch* addIn = createFromAddInsEntry();
        ASSERT_NE(addIn, nullptr);
        ASSERT_EQ(connect(addIn, host.application(), 1), S_OK);
        for (const std::wstring& bar : c.bars)
            if (bar != L"Standard" && bar != L"Menu Bar") {
                EXPECT_EQ(host.captions(bar).empty(), bar != c.entryBar) << toUtf8(bar);
            }
        bool handled = false, cancelDefault = false;
        ASSERT_EQ(host.sources[L"TRAPLINE"]->click(handled, cancelDefault), S_OK);
        HWND window = toolWindow();
        ASSERT_NE(window, nullptr);
        const std::wstring texts = boxTexts(window);
        if (c.logged.empty()) {
            EXPECT_EQ(texts.find(L"TRAPLINE entry"), std::wstring::npos);
            EXPECT_EQ(texts.find(L"TRAPLINE menu entry"), std::wstring::npos);
        } else {
            EXPECT_NE(texts.find(c.logged), std::wstring::npos);
        }
        ASSERT_EQ(disconnect(addIn), S_OK);
        if (!c.entryBar.empty()) {
            EXPECT_TRUE(host.captions(c.entryBar).empty());
        }
        EXPECT_EQ(addIn->Release(), 0u);
        EXPECT_EQ(host.extraReferences(), 0);
    }
}

TEST_F(AddInInScriptedIDE, AMissingBarOrAFailingHostIsToldAndLeavesNothingBehind) {
    const struct {
        const char* name;
        std::vector<std::wstring> bars;
        std::wstring failing;
        std::vector<std::wstring> told;
        std::vector<std::wstring> standard;
    } cases[] = {
        // No second bar to put the button on: the user is told.
        {"no bar", {L"Menu Bar"}, L"", {L"Item: Subscript out of range"}, {}},
        // No Add-Ins menu: silently no entry; the button still comes.
        {"no menu", {L"Menu Bar", L"Standard"}, L"", {}, {L"Open", L"TRAPLINE", L"Save"}},
        {"failing host",
         {L"Menu Bar", L"Standard", L"Add-Ins"},
         L"CommandBarControl.PasteFace",
         {L"PasteFace: Subscript out of range"},
         {L"Open", L"TRAPLINE", L"Save"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedVBE::Options o = options();
        o.bars = c.bars;
        if (c.standard.empty())
            o.controls.clear();
        ScriptedVBE host(o);
        host.failing = c.failing;
        IDispatch* addIn = createFromAddInsEntry();
        ASSERT_NE(addIn, nullptr);
        std::vector<std::wstring> told;
        {
            BoxAnswerer boxes;
            EXPECT_EQ(connect(addIn, host.application(), 1), S_OK);
            told = boxes.texts();
        }
        EXPECT_EQ(told, c.told);
        EXPECT_EQ(host.captions(L"Standard"), c.standard);
        ASSERT_EQ(disconnect(addIn), S_OK);
        EXPECT_EQ(host.captions(L"Add-Ins"), std::vector<std::wstring>{});
        if (!c.standard.empty()) {
            EXPECT_EQ(host.captions(L"Standard"), (std::vector<std::wstring>{L"Open", L"Save"}));
        }
        EXPECT_EQ(addIn->Release(), 0u);
        EXPECT_EQ(host.extraReferences(), 0);
        EXPECT_EQ(canUnloadNow(), S_OK);
    }
}

#ifdef TRAPLINE_TEST_MSI
/// One of the two installers: for the current user alone, or for the machine.
struct MsiScope {
    const char* name;
    const char* package;
    HKEY classes;             ///< where its classes go
    const wchar_t* installed; ///< part of the path its DLL is installed under
};

std::string testName(const ::testing::TestParamInfo<MsiScope>& info) {
    return info.param.name;
}

void PrintTo(const MsiScope& scope, std::ostream* out) {
    *out << scope.name;
}

/// The add-in as an MSI installs it.
class AddInFromTheMsi : public AddInInScriptedIDE, public ::testing::WithParamInterface<MsiScope> {
protected:
    static std::wstring package() {
        std::wstring path = toWide(GetParam().package);
        std::replace(path.begin(), path.end(), L'/', L'\\');
        return L"\"" + path + L"\"";
    }
    void install() override { ASSERT_EQ(run(L"msiexec.exe /i " + package() + L" /qn"), 0u); }
    void uninstall() override {
        // A loaded DLL could not be removed.
        if (m_library)
            FreeLibrary(m_library);
        EXPECT_EQ(run(L"msiexec.exe /x " + package() + L" /qn"), 0u);
        const std::wstring classes[] = {
            L"Software\\Classes\\CLSID\\{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}",
            L"Software\\Classes\\Trapline.Connect",
            L"Software\\Classes\\TypeLib\\{7F48F856-1D21-4466-9C78-AC3BDC19B4C8}",
            L"Software\\Classes\\Interface\\{FA68FD18-E0A0-406B-B828-18AD27AC26D0}",
        };
        for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
                for (const std::wstring& key : classes)
                    EXPECT_FALSE(keyExists(root, key, view)) << narrow(key);
                EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kAddInKey, view)) << narrow(kAddInKey);
            }
        // Nor anything the add-in made beside itself (its tips file).
        const std::wstring folder = m_installed.substr(0, m_installed.find_last_of(L'\\'));
        EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES) << narrow(folder);
    }
    HKEY classes() const override { return GetParam().classes; }
    IDispatch* create(const CLSID& clsid) override {
        wchar_t id[64] = {};
        StringFromGUID2(clsid, id, 64);
        const std::wstring server = std::wstring(L"Software\\Classes\\CLSID\\") + id;
        // The other scope's classes hold nothing of this installer's.
        const HKEY other =
            GetParam().classes == HKEY_CURRENT_USER ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        if (keyExists(other, server, 0))
            return nullptr;
        // Read in this program's own view, as COM reads it: the machine's
        // class names the DLL of this bitness.
        m_installed = readText(GetParam().classes, server + L"\\InprocServer32", L"");
        if (m_installed.empty())
            return nullptr;
        if (GetParam().classes == HKEY_LOCAL_MACHINE)
            return AddInInScriptedIDE::create(clsid);
        // As Windows finds a class of the user's: its server from the user's
        // classes, which wine 8's COM does not read.
        if (!(m_library = LoadLibraryW(m_installed.c_str())))
            return nullptr;
        auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(m_library, "DllGetClassObject")));
        IClassFactory* factory = nullptr;
        if (!getClassObject ||
            FAILED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
            return nullptr;
        IDispatch* addIn = nullptr;
        factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&addIn));
        factory->Release();
        return addIn;
    }

    static bool keyExists(HKEY root, const std::wstring& key, REGSAM view) {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS)
            return false;
        RegCloseKey(opened);
        return true;
    }
    static std::string narrow(const std::wstring& text) {
        return std::string(text.begin(), text.end());
    }

    HMODULE m_library = nullptr;
    std::wstring m_installed;
};

TEST_P(AddInFromTheMsi, IsFoundCreatedClickedAndRunAsWhenItRegistersItself) {
    clickAndRunTheExample();
    EXPECT_NE(m_installed.find(GetParam().installed), std::wstring::npos) << narrow(m_installed);
    // The machine's classes are one per registry view: each bitness's
    // programs find the DLL of their own. (Wine 8 keeps one key of the
    // user's for both, which names the DLL written last.)
    if (GetParam().classes == HKEY_LOCAL_MACHINE) {
        EXPECT_NE(m_installed.find(kIs64 ? L"\\x64\\" : L"\\x86\\"), std::wstring::npos)
            << narrow(m_installed);
    }
}

INSTANTIATE_TEST_SUITE_P(EachScope, AddInFromTheMsi,
                         ::testing::Values(MsiScope{"ForTheUser", TRAPLINE_TEST_MSI,
                                                    HKEY_CURRENT_USER, L"\\Programs\\TRAPLINE\\"},
                                           MsiScope{"ForTheMachine", TRAPLINE_TEST_MACHINE_MSI,
                                                    HKEY_LOCAL_MACHINE,
                                                    L"\\Program Files\\TRAPLINE\\"}),
                         testName);
#endif

} // namespace
