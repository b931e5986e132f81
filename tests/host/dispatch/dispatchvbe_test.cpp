#include "dispatchvbe.h"
#include "scriptedvbe.h"
#include "vbeconnection.h"

#include <gtest/gtest.h>

#include <cstring>

using trapline::dispatch::DispatchVBE;
using Lines = std::vector<std::string>;
using WLines = std::vector<std::wstring>;

namespace {

constexpr unsigned kCyrillic = 1251;

std::wstring wide(const std::string& utf8) {
    return trapline::dispatch::fromUtf8(utf8);
}

/// The IDE's text of a module in the code page, as the engine holds code.
std::string ansi(const WLines& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::wstring line = (i ? L"\r\n" : L"") + lines[i];
        int size = WideCharToMultiByte(kCyrillic, 0, line.data(), static_cast<int>(line.size()),
                                       nullptr, 0, nullptr, nullptr);
        std::string bytes(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(kCyrillic, 0, line.data(), static_cast<int>(line.size()), bytes.data(),
                            size, nullptr, nullptr);
        text += bytes;
    }
    return text;
}

std::string engineText(DispatchVBE& vbe, long component) {
    trapline::CodeModule& code =
        (*vbe.ActiveVBProject()->VBComponents().Item(component))->CodeModule();
    auto text = code.Lines(1, code.CountOfLines());
    return code.CountOfLines() ? *text : std::string();
}

/// Puts `lines` in place of the whole module, as an insertion run would change it.
void engineSets(DispatchVBE& vbe, long component, const Lines& lines) {
    trapline::CodeModule& code =
        (*vbe.ActiveVBProject()->VBComponents().Item(component))->CodeModule();
    if (code.CountOfLines()) {
        ASSERT_TRUE(code.DeleteLines(1, code.CountOfLines()));
    }
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    if (!text.empty()) {
        ASSERT_TRUE(code.InsertLines(1, text));
    }
}

ScriptedVBE::Options oneModule(WLines lines) {
    ScriptedVBE::Options options;
    options.modules.push_back({L"Module1", 1, std::move(lines)});
    return options;
}

std::unique_ptr<DispatchVBE> connected(ScriptedVBE& host) {
    auto vbe = DispatchVBE::connect(host.application(), kCyrillic);
    EXPECT_TRUE(vbe) << (vbe ? "" : vbe.error().description);
    return vbe ? std::move(*vbe) : nullptr;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(DispatchVBE, ConnectsToTheIDEOfEitherLibraryByWhatItAnswersAndToNothingElse) {
    const struct {
        const char* what;
        ScriptedFlavour flavour;
        bool isIDE;
    } cases[] = {
        {"the VBA editor", ScriptedFlavour::VBA, true},
        {"VB6, whose VBE answers none of VBA's ids", ScriptedFlavour::VB6, true},
        {"an Office application's own root", ScriptedFlavour::VBA, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedVBE::Options options;
        options.flavour = c.flavour;
        options.isIDE = c.isIDE;
        ScriptedVBE host(options);
        {
            auto vbe = connectToVBE(host.application());
            ASSERT_EQ(vbe.ok(), c.isIDE);
            if (c.isIDE) {
                EXPECT_EQ((*vbe)->ActiveVBProject()->codepage().name(),
                          "CP" + std::to_string(GetACP()));
            } else {
                EXPECT_EQ(vbe.error().number, 13);
                EXPECT_EQ(vbe.error().description, "Type mismatch: the connecting application "
                                                   "is not the development environment");
            }
        }
        EXPECT_EQ(host.extraReferences(), 0);
    }
    EXPECT_FALSE(connectToVBE(nullptr));
}

TEST(DispatchVBE, ReadsEveryModuleWithCodeAndNamesEachComponentItLeavesOut) {
    ScriptedVBE::Options options;
    options.flavour = ScriptedFlavour::VB6;
    options.modules = {
        {L"Module1", 1, {L"Option Explicit", L"", L"Sub A()", L"End Sub"}},
        {wide("Форма"), 5, {wide("Caption = \"Привет\"")}},
        {L"Resources", 4, {}, false},
        {L"Class1", 2, {}},
        {L"MDIMain", 6, {L"Private Sub MDIForm_Load()", L"End Sub"}},
        {L"Readme", 10, {L"' a related document is no module"}}, // whatever it answers
        {L"Chinese", 1, {L"Sub B()", L"' \x4E2D\xD83D\xDE00", L"End Sub"}},
        {L"Report", 11, {}, false},
        {L"Emoji", 1, {L"' \xD83D\xDE00"}},
    };
    ScriptedVBE host(options);
    auto vbe = connected(host);
    ASSERT_TRUE(vbe);
    trapline::Components& components = vbe->ActiveVBProject()->VBComponents();
    const struct {
        std::string name;
        trapline::ComponentType type;
        std::string text;
    } expected[] = {
        {"Module1", trapline::ComponentType::StdModule,
         "Option Explicit\r\n\r\nSub A()\r\nEnd Sub"},
        {"\xD4\xEE\xF0\xEC\xE0", trapline::ComponentType::Form,
         "Caption = \"\xCF\xF0\xE8\xE2\xE5\xF2\""},
        {"Class1", trapline::ComponentType::ClassModule, ""},
        {"MDIMain", trapline::ComponentType::MDIForm, "Private Sub MDIForm_Load()\r\nEnd Sub"},
    };
    ASSERT_EQ(components.Count(), 4);
    for (long i = 1; i <= 4; ++i) {
        const auto& e = expected[i - 1];
        SCOPED_TRACE(e.name);
        EXPECT_EQ((*components.Item(i))->Name(), e.name);
        EXPECT_EQ((*components.Item(i))->Type(), e.type);
        EXPECT_EQ(engineText(*vbe, i), e.text);
    }
    EXPECT_EQ(vbe->notes(),
              (Lines{"Module Resources is left out: it holds no code",
                     "Module Readme is left out: it holds no code",
                     "Module Chinese is left out: line 2 holds U+4E2D, which code page 1251 "
                     "cannot hold",
                     "Module Report is left out: it holds no code",
                     "Module Emoji is left out: line 1 holds U+1F600, which code page 1251 "
                     "cannot hold"}));
    EXPECT_FALSE(vbe->projectError());
    // The modules live in the environment: a save meant for files writes none.
    ASSERT_TRUE((*components.Item(1))->CodeModule().InsertLines(1, "' x"));
    std::vector<trapline::Error> saved = vbe->ActiveVBProject()->save();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].number, trapline::errors::PathAccess);
    // Once the module holds only what the code page can, it is read again.
    host.modules[6].lines[1] = L"' fixed";
    ASSERT_TRUE(vbe->reload());
    EXPECT_EQ(vbe->ActiveVBProject()->VBComponents().Count(), 5);
    EXPECT_EQ(vbe->notes().size(), 4u);
}

TEST(DispatchVBE, LeavesOutAProjectLockedForViewingAndSaysWhy) {
    ScriptedVBE host(oneModule({L"Sub A()"}));
    host.failing = L"VBProject.VBComponents";
    auto vbe = DispatchVBE::connect(host.application(), kCyrillic);
    ASSERT_TRUE(vbe);
    EXPECT_EQ((*vbe)->ActiveVBProject(), nullptr);
    ASSERT_TRUE((*vbe)->projectError());
    EXPECT_TRUE(contains((*vbe)->projectError()->description, "Subscript out of range"))
        << (*vbe)->projectError()->description;
    ASSERT_TRUE((*vbe)->CommandBars().Item("Standard"));

    host.failing.clear();
    ASSERT_TRUE((*vbe)->reload());
    EXPECT_FALSE((*vbe)->projectError());
    EXPECT_EQ(engineText(**vbe, 1), "Sub A()");
}

TEST(DispatchVBE, WritesTheEnginesChangesBackWithTheFewestCalls) {
    const struct {
        const char* what;
        WLines before;
        Lines after;
        size_t deletes, inserts, replaces;
    } cases[] = {
        // Which calls a change takes is the plan's business (linediff_test);
        // here, that each kind of call reaches the environment, and none at all
        // for no change.
        {"unchanged", {L"Sub A()", L"End Sub"}, {"Sub A()", "End Sub"}, 0, 0, 0},
        {"a Cyrillic comment replaced",
         {L"' a", L"Sub A()"},
         {"' \xCF\xF0\xE8\xE2\xE5\xF2", "Sub A()"},
         0,
         0,
         1},
        {"a handler removed",
         {L"Sub A()", L"On Error GoTo H", L"Exit Sub", L"H:", L"End Sub"},
         {"Sub A()", "End Sub"},
         1,
         0,
         0},
        {"an empty module filled", {}, {"Option Explicit", ""}, 0, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedVBE host(oneModule(c.before));
        {
            auto vbe = connected(host);
            ASSERT_TRUE(vbe);
            engineSets(*vbe, 1, c.after);
            host.calls.clear();
            std::vector<trapline::Error> errors = vbe->writeBack();
            EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors[0].description);
            EXPECT_EQ(host.count(L"CodeModule.DeleteLines"), c.deletes);
            EXPECT_EQ(host.count(L"CodeModule.InsertLines"), c.inserts);
            EXPECT_EQ(host.count(L"CodeModule.ReplaceLine"), c.replaces);
            EXPECT_EQ(ansi(host.modules[0].lines), engineText(*vbe, 1));
        }
        EXPECT_EQ(host.extraReferences(), 0);
    }
}

TEST(DispatchVBE, AddsAModuleTheEngineAddedToTheEnvironmentsProjectOnce) {
    ScriptedVBE host(oneModule({L"Sub A()", L"End Sub"}));
    host.newModuleLines = {L"Option Explicit"};
    auto vbe = connected(host);
    ASSERT_TRUE(vbe);
    auto added = vbe->ActiveVBProject()->VBComponents().Add(1);
    ASSERT_TRUE(added);
    ASSERT_TRUE((*added)->setName("mdl_Error"));
    ASSERT_TRUE((*added)->CodeModule().AddFromString("Public Sub MyErrorHandler()\r\nEnd Sub"));
    for (int run = 0; run < 2; ++run) {
        EXPECT_TRUE(vbe->writeBack().empty());
        ASSERT_EQ(host.modules.size(), 2u);
        EXPECT_EQ(host.count(L"VBComponents.Add"), 1u);
        EXPECT_EQ(host.modules[1].name, L"mdl_Error");
        EXPECT_EQ(ansi(host.modules[1].lines), engineText(*vbe, 2));
    }
}

TEST(DispatchVBE, ReportsAModuleThatDidNotComeOutAsTheEngineHoldsItAndWritesItOnceItCan) {
    const struct {
        const char* what;
        std::function<void(ScriptedVBE&)> meddle;
        std::vector<const char*> told;
        size_t inserts;
    } cases[] = {
        {"changed beyond case and spacing by the environment as it was written",
         [](ScriptedVBE& host) {
             host.afterEdit = [](WLines& lines) {
                 for (std::wstring& line : lines)
                     if (line == L"  x  ")
                         line = L"  x#";
             };
         },
         {"differs from the one written, from line 2"},
         1},
        // A failing call is an error with VB's number and the environment's text.
        {"refused by the environment",
         [](ScriptedVBE& host) { host.failing = L"CodeModule.InsertLines"; },
         {"InsertLines", "Subscript out of range"},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedVBE host(oneModule({L"Sub A()", L"End Sub"}));
        auto vbe = connected(host);
        ASSERT_TRUE(vbe);
        engineSets(*vbe, 1, {"Sub A()", "  x  ", "End Sub"});
        c.meddle(host);
        host.calls.clear();
        std::vector<trapline::Error> errors = vbe->writeBack();
        ASSERT_EQ(errors.size(), 1u);
        for (const char* part : c.told) {
            EXPECT_TRUE(contains(errors[0].description, part)) << errors[0].description;
        }
        EXPECT_TRUE(contains(errors[0].description, "Module Module1")) << errors[0].description;
        EXPECT_EQ(host.count(L"CodeModule.InsertLines"), c.inserts);
        if (!host.failing.empty()) {
            EXPECT_EQ(errors[0].number, 9);
            // Once the environment answers again, the same changes go in.
            host.failing.clear();
            EXPECT_TRUE(vbe->writeBack().empty());
            EXPECT_EQ(ansi(host.modules[0].lines), "Sub A()\r\n  x  \r\nEnd Sub");
        }
    }
}

TEST(DispatchVBE, TakesTheIDEsListingOfTheCodeWrittenAsTheTextEveryNextRunStartsFrom) {
    ScriptedVBE::Options options;
    options.prettyListing = true;
    options.modules = {{L"Module1", 1, {L"Sub A()", L"End Sub"}},
                       {L"Module2", 1, {L"Sub B()", L"x = myvar", L"End Sub"}}};
    ScriptedVBE host(options);
    // As it lists the new lines, the IDE re-cases an identifier across the project.
    host.afterEdit = [&host](WLines&) {
        for (ScriptedModule& module : host.modules)
            for (std::wstring& line : module.lines)
                if (auto at = line.find(L"myvar"); at != std::wstring::npos)
                    line.replace(at, 5, L"MyVar");
    };
    auto vbe = connected(host);
    ASSERT_TRUE(vbe);
    engineSets(*vbe, 1,
               {"Sub A()", "ON ERROR GOTO err_debug", "   err.number  =  0   ' a  comment  ",
                "s = \"ON  error\": Dim myvar", "End Sub"});
    engineSets(*vbe, 2, {"Sub B()", "ON ERROR RESUME NEXT", "x = myvar", "End Sub"});
    std::vector<trapline::Error> errors = vbe->writeBack();
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors[0].description);
    EXPECT_EQ(host.modules[0].lines,
              (WLines{L"Sub A()", L"On Error GoTo err_debug", L"   Err.Number = 0 ' a  comment",
                      L"s = \"ON  error\": Dim MyVar", L"End Sub"}));
    EXPECT_EQ(host.modules[1].lines,
              (WLines{L"Sub B()", L"On Error Resume Next", L"x = MyVar", L"End Sub"}));
    for (long m = 1; m <= 2; ++m)
        EXPECT_EQ(engineText(*vbe, m), ansi(host.modules[size_t(m - 1)].lines));
    host.calls.clear();
    EXPECT_TRUE(vbe->writeBack().empty());
    EXPECT_EQ(host.count(L"CodeModule.ReplaceLine") + host.count(L"CodeModule.InsertLines") +
                  host.count(L"CodeModule.DeleteLines"),
              0u);
}

namespace {

void checkButtonsAndClicks(const ScriptedVBE::Options& options) {
    ScriptedVBE host(options);
    {
        auto vbe = connected(host);
        ASSERT_TRUE(vbe);
        EXPECT_EQ(vbe->MainWindow(), 0x1234u);
        auto missing = vbe->CommandBars().Item("Debug");
        ASSERT_FALSE(missing);
        EXPECT_EQ(missing.error().number, 5);
        auto standard = vbe->CommandBars().Item("Standard");
        ASSERT_TRUE(standard);
        EXPECT_EQ((*standard)->Name(), "Standard");
        auto button =
            (*standard)->Controls().Add(vbide::msoControlButton, std::nullopt, std::nullopt, 1L);
        ASSERT_TRUE(button);
        ASSERT_TRUE((*button)->setCaption("TRAPLINE"));
        auto menu = vbe->CommandBars().Item("Add-Ins");
        ASSERT_TRUE(menu);
        std::vector<vbide::CommandBarControl*> controls;
        for (const char* caption : {"deleted", "kept"}) {
            auto control = (*menu)->Controls().Add(vbide::msoControlButton);
            ASSERT_TRUE(control);
            ASSERT_TRUE((*control)->setCaption(caption));
            controls.push_back(*control);
        }
        EXPECT_EQ(host.adds, (WLines{L"1,-,-,1,-", L"1,-,-,-,-", L"1,-,-,-,-"}));
        EXPECT_EQ(host.captions(L"Standard"), WLines{L"TRAPLINE"});

        // The user's clipboard lends itself to the face and comes back.
        const char saved[] = "the user's text";
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof saved);
        std::memcpy(GlobalLock(block), saved, sizeof saved);
        GlobalUnlock(block);
        SetClipboardData(CF_TEXT, block);
        CloseClipboard();
        ASSERT_TRUE((*button)->PasteFace());
        EXPECT_EQ(host.faces, WLines{L"32x32"});
        ASSERT_TRUE(OpenClipboard(nullptr));
        auto text = static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT)));
        EXPECT_STREQ(text, saved);
        CloseClipboard();
        ASSERT_TRUE((*button)->Delete());
        EXPECT_TRUE(host.captions(L"Standard").empty());

        auto source = vbe->Events().CommandBarEvents(controls[0]);
        ASSERT_TRUE(source);
        EXPECT_EQ(*vbe->Events().CommandBarEvents(controls[0]), *source);
        ASSERT_TRUE(vbe->Events().CommandBarEvents(controls[1]));
        // The handler deletes its own control, as a disconnection from a
        // click would: its connection goes while it runs.
        vbide::CommandBarControl* clicked = nullptr;
        (*source)->setClick([&](vbide::CommandBarControl* control, bool& handled, bool&) {
            clicked = control;
            handled = true;
            EXPECT_TRUE(control->Delete());
        });
        bool handled = false, cancelDefault = true;
        ASSERT_EQ(host.sources[L"deleted"]->click(handled, cancelDefault), S_OK);
        EXPECT_EQ(clicked, controls[0]);
        EXPECT_TRUE(handled);
        EXPECT_TRUE(cancelDefault);
        EXPECT_EQ(host.sources[L"deleted"]->sinks(), 0u);
        EXPECT_EQ(host.sources[L"kept"]->sinks(), 1u);
    }
    EXPECT_EQ(host.sources[L"kept"]->sinks(), 0u);
    EXPECT_EQ(host.count(L"CommandBarEvents.Unadvise"), 2u);
    EXPECT_EQ(host.extraReferences(), 0);
}

} // namespace

TEST(DispatchVBE, AddsButtonsWithOmittedArgumentsWhoseClicksComeBackByRefAndLeavesNoReference) {
    // VB6's event sources take sinks of their own interface, not VBA's.
    for (ScriptedFlavour flavour : {ScriptedFlavour::VBA, ScriptedFlavour::VB6}) {
        SCOPED_TRACE(flavour == ScriptedFlavour::VB6 ? "VB6" : "VBA");
        ScriptedVBE::Options options;
        options.flavour = flavour;
        checkButtonsAndClicks(options);
    }
}
