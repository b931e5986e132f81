#include "platform/library.h"
#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace trapline::platform {
namespace {

TEST(PlatformProcess, OnlyAProcessThatIsNoMoreIsGone) {
    EXPECT_GT(processId(), 0);
    EXPECT_FALSE(processGone(processId()));
    // Far above any number the system hands out.
    EXPECT_TRUE(processGone(0x7FFFFFF0L));
}

TEST(PlatformProcess, TextToAFileIsItsUtf8Bytes) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    prepareStandardStreams();
    EXPECT_FALSE(isTerminal(file));
    writeText(file, "Тест\n");
    std::fflush(file);
    std::rewind(file);
    char buffer[32] = {};
    const size_t got = std::fread(buffer, 1, sizeof buffer, file);
    std::fclose(file);
    EXPECT_EQ(std::string(buffer, got), "Тест\n");
}

TEST(PlatformProcess, AnInterruptionReachesTheHandlerAsItsSignalNumber) {
    auto got = std::make_shared<std::promise<int>>();
    watchInterruptions([got](int interruption) {
        try {
            got->set_value(interruption);
        } catch (const std::future_error&) {
        }
    });
#ifdef _WIN32
    const int expected = 21; // Ctrl+Break; Ctrl+C would also reach a debugger
    if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0))
        GTEST_SKIP() << "no console to raise Ctrl+Break on";
#else
    const int expected = SIGTERM;
    ::kill(::getpid(), SIGTERM);
#endif
    auto result = got->get_future();
    if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
        GTEST_SKIP() << "the interruption was not delivered (no console of our own?)";
    EXPECT_EQ(result.get(), expected);
}

TEST(PlatformLibrary, ASystemLibraryLoadsAndAMissingOneSaysWhy) {
#ifdef _WIN32
    const char *system = "kernel32.dll", *function = "GetCurrentProcessId";
#else
    const char *system = "libc.so.6", *function = "getpid";
#endif
    Library lib;
    ASSERT_TRUE(lib.load(system)) << lib.error();
    EXPECT_NE(lib.symbol(function), nullptr);
    EXPECT_EQ(lib.symbol("noSuchFunctionAnywhere"), nullptr);
    Library missing;
    EXPECT_FALSE(missing.load("no-such-library-anywhere.dll"));
    EXPECT_NE(missing.error().find("no-such-library-anywhere"), std::string::npos)
        << missing.error();
    EXPECT_EQ(missing.symbol(function), nullptr);
}

} // namespace
} // namespace trapline::platform
