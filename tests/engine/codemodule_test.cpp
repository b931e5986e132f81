#include "codemodule.h"
#include <gtest/gtest.h>
TEST(CodeModule, Placeholder) { trapline::CodeModule m(std::string("Sub A()\r\nEnd Sub\r\n")); EXPECT_EQ(m.CountOfLines(), 2); }
