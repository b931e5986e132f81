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

TEST(DispatchVBE, ConnectsOnlyToAnApplicationOfferingTheEnvironmentsInterface) {
    for (bool offers : {true, false}) {
        SCOPED_TRACE(offers ? "offered" : "not offered");
        ScriptedVBE::Options options;
        options.offersVBE = offers;
        ScriptedVBE host(options);
        {
            auto vbe = connectToVBE(host.application());
            ASSERT_EQ(vbe.ok(), offers);
            if (offers) {
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

TEST(DispatchVBE, ReadsEveryModuleWithCodeInTheProjectsCodePage) {
    ScriptedVBE::Options options;
    options.modules = {
        {L"Module1", 1, {L"Option Explicit", L"", L"Sub A()", L"End Sub"}},
        {wide("Форма"), 5, {wide("Caption = \"Привет\"")}},
        {L"Resources", 4, {}, false},
        {L"Class1", 2, {}},
    };
    ScriptedVBE host(options);
    auto vbe = connected(host);
    ASSERT_TRUE(vbe);
    trapline::Components& components = vbe->ActiveVBProject()->VBComponents();
    ASSERT_EQ(components.Count(), 3);
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
    };
    for (long i = 1; i <= 3; ++i) {
        const auto& e = expected[i - 1];
        SCOPED_TRACE(e.name);
        EXPECT_EQ((*components.Item(i))->Name(), e.name);
        EXPECT_EQ((*components.Item(i))->Type(), e.type);
        EXPECT_EQ(engineText(*vbe, i), e.text);
    }
    // The modules live in the environment: a save meant for files writes none.
    ASSERT_TRUE((*components.Item(1))->CodeModule().InsertLines(1, "' x"));
    std::vector<trapline::Error> saved = vbe->ActiveVBProject()->save();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].number, trapline::errors::PathAccess);
}

TEST(DispatchVBE, LeavesOutAProjectItCannotReadAndSaysWhy) {
    const struct {
        const char* what;
        WLines module;
        std::wstring failing;
        std::string message;
    } cases[] = {
        {"a character the code page lacks", {L"' \x4E2D"}, L"", "Module Module1"},
        {"a project locked for viewing",
         {L"Sub A()"},
         L"VBProject.VBComponents",
         "Subscript out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedVBE host(oneModule(c.module));
        host.failing = c.failing;
        auto vbe = DispatchVBE::connect(host.application(), kCyrillic);
        ASSERT_TRUE(vbe);
        EXPECT_EQ((*vbe)->ActiveVBProject(), nullptr);
        ASSERT_TRUE((*vbe)->projectError());
        EXPECT_TRUE(contains((*vbe)->projectError()->description, c.message))
            << (*vbe)->projectError()->description;
        ASSERT_TRUE((*vbe)->CommandBars().Item("Standard"));

        host.failing.clear();
        host.modules[0].lines = {L"Sub A()"};
        ASSERT_TRUE((*vbe)->reload());
        EXPECT_FALSE((*vbe)->projectError());
        EXPECT_EQ(engineText(**vbe, 1), "Sub A()");
    }
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
        {"tidied by the environment as it was written",
         [](ScriptedVBE& host) {
             host.afterEdit = [](WLines& lines) {
                 for (std::wstring& line : lines)
                     while (!line.empty() && line.back() == L' ')
                         line.pop_back();
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

TEST(DispatchVBE, AddsButtonsWithOmittedArgumentsWhoseClicksComeBackByRefAndLeavesNoReference) {
    ScriptedVBE host({});
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
