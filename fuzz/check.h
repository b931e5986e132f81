#pragma once

#include "component.h"
#include "messagebox.h"
#include "project.h"
#include "vbe.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>

/// Stops the fuzzer with the broken invariant named: libFuzzer keeps the input.
[[noreturn]] inline void fuzzCheckFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, what);
    std::abort();
}

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond))                                                                               \
            fuzzCheckFailed(#cond, __FILE__, __LINE__);                                            \
    } while (0)

/// Answers OK and counts: with a project open and its files in place, the
/// engine should have nothing to tell a user.
class CountingMessageBox : public trapline::MessageBoxService {
public:
    trapline::MsgAnswer show(const std::string&, const std::string&, trapline::MsgIcon,
                             trapline::MsgButtons) override {
        ++shown;
        return trapline::MsgAnswer::Ok;
    }
    int shown = 0;
};

/// A folder of the fuzzer's own, made on first use and removed at exit.
inline const std::filesystem::path& scratchFolder() {
    // Never destroyed, so that the clean-up at exit can still name it.
    static const auto* folder = [] {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "trapline-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratchFolder(), ec);
        });
        return new std::filesystem::path(tmpl);
    }();
    return *folder;
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// A module "Fuzz" made from `bytes`, alone in a project, as the environment
/// makes one from a file it has read.
struct FuzzModule {
    explicit FuzzModule(const std::string& bytes)
        : vbe(std::make_unique<trapline::Project>()),
          component(*vbe.ActiveVBProject()->VBComponents().append(
              std::make_unique<trapline::Component>("Fuzz", trapline::ComponentType::StdModule,
                                                    "/nonexistent/Fuzz.bas", bytes,
                                                    trapline::FileStamp{}))) {}
    const trapline::VBE vbe;
    trapline::Component& component;
};
