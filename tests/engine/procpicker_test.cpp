#include "procpicker.h"

#include "../support/memoryproject.h"
#include "../support/recordingreporter.h"
#include "../support/scriptedmessagebox.h"

#include <gtest/gtest.h>

using namespace trapline;

namespace {

const std::string kModule =
    crlf({"Sub A()", "End Sub", "Function F()", "End Function", "Property Get P()", "End Property",
          "Property Set P(v)", "End Property", "Sub T()", "On Error GoTo 0", "End Sub"});

InsertionOptions boxes(bool sub, bool func, bool prop, bool skipTrapped = false) {
    InsertionOptions o;
    o.moduleName = "M";
    o.onlySub = sub;
    o.onlyFunc = func;
    o.onlyProperty = prop;
    o.skipTrapped = skipTrapped;
    return o;
}

} // namespace

TEST(ProcPicker, ListsTheTypesWhoseBoxesAreCheckedAndSaysSoWhenAModuleHasNone) {
    VBE vbe(projectOf({{"M", kModule},
                       {"E", "Option Explicit\r\n"},
                       {"T", crlf({"Sub T()", "On Error GoTo 0", "End Sub"})}}));
    ScriptedMessageBox messages;
    RecordingReporter reporter;
    ProcPicker picker(vbe, messages, reporter);
    EXPECT_EQ(*picker.fill(boxes(true, false, true)),
              (std::vector<std::string>{"*", "A", "P (Get)", "P (Set)", "T"}));
    EXPECT_EQ(*picker.fill(boxes(true, true, true, true)),
              (std::vector<std::string>{"*", "A", "F", "P (Get)", "P (Set)"}));
    EXPECT_EQ(reporter.busyChanges, (std::vector<bool>{true, false, true, false}));
    // With no box checked the list stays as it is.
    EXPECT_FALSE(picker.fill(boxes(false, false, false)));
    EXPECT_EQ(reporter.busyChanges.size(), 4u);
    EXPECT_TRUE(messages.shown.empty());

    InsertionOptions empty = boxes(true, true, true);
    empty.moduleName = "E";
    EXPECT_EQ(*picker.fill(empty), std::vector<std::string>{"*"});
    EXPECT_EQ(messages.shown.size(), 1u);
    InsertionOptions trappedOnly = boxes(true, true, true, true);
    trappedOnly.moduleName = "T";
    EXPECT_EQ(*picker.fill(trappedOnly), std::vector<std::string>{"*"});
    EXPECT_EQ(messages.shown.size(), 1u); // a trapped module is no empty module
}
