#include "linediff.h"

#include <gtest/gtest.h>

#include <random>

using trapline::dispatch::applyLineEdits;
using trapline::dispatch::LineEdit;
using trapline::dispatch::planLineEdits;
using trapline::dispatch::splitModuleText;
using Lines = std::vector<std::string>;
using Kind = LineEdit::Kind;

namespace {

struct Case {
    const char* what;
    Lines before, after;
    int deletes, inserts, replaces;
};

int count(const std::vector<LineEdit>& edits, Kind kind) {
    int n = 0;
    for (const LineEdit& e : edits)
        n += e.kind == kind;
    return n;
}

} // namespace

TEST(LineDiff, TurnsEveryTextIntoItsSuccessorWithTheFewestCalls) {
    const Case cases[] = {
        {"no change", {"a", "b"}, {"a", "b"}, 0, 0, 0},
        {"into an empty module", {}, {"a", "b"}, 0, 1, 0},
        {"emptied", {"a", "b"}, {}, 1, 0, 0},
        {"a trap after each declaration",
         {"Sub A()", "x", "End Sub", "Sub B()", "y", "End Sub"},
         {"Sub A()", "On Error GoTo E", "x", "End Sub", "Sub B()", "On Error GoTo E", "y",
          "End Sub"},
         0,
         2,
         0},
        {"a run inserted at the end", {"a"}, {"a", "b", "c"}, 0, 1, 0},
        {"one line changed", {"a", "b", "c"}, {"a", "B", "c"}, 0, 0, 1},
        {"one line for three", {"a", "b", "c", "d", "e"}, {"a", "X", "e"}, 1, 0, 1},
        {"three lines for one", {"a", "b", "c"}, {"a", "X", "Y", "Z", "c"}, 0, 1, 1},
        {"two lines for two others", {"a", "b", "c", "d"}, {"a", "X", "Y", "d"}, 1, 1, 0},
        {"repeated lines", {"x", "x", "x"}, {"x", "x", "x", "x"}, 0, 1, 0},
        {"separate changes", {"a", "b", "c", "d", "e"}, {"A", "b", "d", "e", "f"}, 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<LineEdit> edits = planLineEdits(c.before, c.after);
        EXPECT_EQ(count(edits, Kind::Delete), c.deletes);
        EXPECT_EQ(count(edits, Kind::Insert), c.inserts);
        EXPECT_EQ(count(edits, Kind::Replace), c.replaces);
        Lines lines = c.before;
        applyLineEdits(lines, edits);
        EXPECT_EQ(lines, c.after);
    }
}

TEST(LineDiff, RandomEditsComeBackExactlyAndLeaveUnchangedLinesAlone) {
    std::mt19937 random(19);
    for (int round = 0; round < 300; ++round) {
        Lines before;
        for (int i = std::uniform_int_distribution(0, 30)(random); i > 0; --i)
            before.push_back(std::string(1, char('a' + random() % 4)));
        Lines after = before;
        int changes = std::uniform_int_distribution(0, 6)(random);
        for (int i = 0; i < changes; ++i) {
            size_t at = after.empty() ? 0 : random() % (after.size() + 1);
            if (random() % 2 || after.empty() || at == after.size())
                after.insert(after.begin() + static_cast<long>(at), "new" + std::to_string(i));
            else
                after.erase(after.begin() + static_cast<long>(at));
        }
        std::vector<LineEdit> edits = planLineEdits(before, after);
        Lines lines = before;
        applyLineEdits(lines, edits);
        ASSERT_EQ(lines, after) << "round " << round;
        // Each change is at most one run, and a run costs at most two calls.
        EXPECT_LE(edits.size(), static_cast<size_t>(2 * changes)) << "round " << round;
        size_t touched = 0;
        for (const LineEdit& e : edits)
            touched += e.kind == Kind::Delete ? static_cast<size_t>(e.count) : e.lines.size();
        EXPECT_LE(touched, static_cast<size_t>(2 * changes)) << "round " << round;
    }
}

TEST(LineDiff, ModuleTextSplitsAtLineBreaksOnly) {
    EXPECT_EQ(splitModuleText(""), Lines{""});
    EXPECT_EQ(splitModuleText("a\r\n\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(splitModuleText("a\nb\r\n"), (Lines{"a\nb", ""}));
}

TEST(LineDiff, PastTheExactDiffsReachChangesStillLeaveUnchangedLinesAlone) {
    // A trap in each of 3000 procedures, and a few lines gone.
    Lines before, after;
    for (int i = 0; i < 3000; ++i) {
        before.push_back("Sub P" + std::to_string(i) + "()");
        after.push_back(before.back());
        after.push_back("On Error GoTo H");
    }
    before.insert(before.begin() + 10, "' gone");
    std::vector<LineEdit> edits = planLineEdits(before, after);
    Lines lines = before;
    applyLineEdits(lines, edits);
    EXPECT_EQ(lines, after);
    // The line gone is the only old one touched (replaced by the trap after it).
    EXPECT_EQ(count(edits, Kind::Insert) + count(edits, Kind::Replace), 3000);
    EXPECT_EQ(count(edits, Kind::Delete) + count(edits, Kind::Replace), 1);
}
