#include "codehistory.h"

#include "../support/memoryproject.h"

#include <gtest/gtest.h>

TEST(CodeHistory, KeepsTheNewestFiveHundredStepsOfAModuleAndDropsTheOldest) {
    auto project = projectOf({{"M", "Attribute VB_Name = \"M\"\r\n' 0\r\n"}});
    trapline::Component& module = **project->VBComponents().Item(1);
    CodeHistory history;
    for (int i = 1; i <= 510; ++i) {
        ASSERT_TRUE(module.CodeModule().ReplaceLine(1, "' " + std::to_string(i)));
        history.checkpoint({&module});
    }
    int undone = 0;
    while (history.undo(module))
        ++undone;
    EXPECT_EQ(undone, 500);
    EXPECT_EQ(module.CodeModule().line(1), "' 10");
}
