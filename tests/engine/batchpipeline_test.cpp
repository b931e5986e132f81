#include "batchpipeline.h"
#include "projectloader.h"

#include "../support/tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

using namespace trapline;
namespace fs = std::filesystem;

namespace {

/// Puts a comment first in every module's code: a change to write.
class CommentFirst : public BatchTreatment {
public:
    void treat(Component& c, FileOutcome&) const override {
        (void)c.CodeModule().InsertLines(1, "' treated");
    }
};

/// Where the folder's lock does not tell whether the folder changed
/// (Windows), every file is read again once the folders are locked; else an
/// edit in place is found when the file is swapped, and refused.
#ifdef _WIN32
constexpr bool kReadAgainAfterTheLock = true;
#else
constexpr bool kReadAgainAfterTheLock = false;
#endif

std::string module(const std::string& body) {
    return "Attribute VB_Name = \"A\"\r\n" + body;
}

} // namespace

TEST(BatchPipeline, WhatChangedBetweenReadingAFileAndLockingItsFolderIsNeverLost) {
    // A run reads every file before it locks the folders; what another run
    // of ours wrote meanwhile (it renames) is read again, and any other
    // change is found when the file is swapped.
    struct {
        const char* change;
        std::function<void(const std::string& path)> make;
        std::string after; ///< what the file holds after the run
        size_t written;
    } const cases[] = {
        {"none", [](const std::string&) {}, module("' treated\r\nSub S()\r\nEnd Sub\r\n"), 1},
        {"another version renamed over it",
         [](const std::string& p) {
             { std::ofstream(p + ".new", std::ios::binary) << module("Sub T()\r\nEnd Sub\r\n"); }
             fs::rename(p + ".new", p);
         },
         module("' treated\r\nSub T()\r\nEnd Sub\r\n"), 1},
        {"an edit in place of the same size, its time set back",
         [](const std::string& p) {
             const auto time = fs::last_write_time(p);
             { std::ofstream(p, std::ios::binary) << module("Sub U()\r\nEnd Sub\r\n"); }
             fs::last_write_time(p, time);
         },
         kReadAgainAfterTheLock ? module("' treated\r\nSub U()\r\nEnd Sub\r\n")
                                : module("Sub U()\r\nEnd Sub\r\n"),
         kReadAgainAfterTheLock ? 1u : 0u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        TempDir dir;
        const std::string path = dir.write("a.bas", module("Sub S()\r\nEnd Sub\r\n"));
        // Folder times tick coarser than the clock: the folder is older than
        // the run, as folders mostly are.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ProjectLoader loader;
        loader.setDeferContents(true);
        loader.setReadWhole(true);
        auto project = loader.load({dir.path()});
        ASSERT_TRUE(project);
        c.make(path);
        BatchListener listener;
        BatchPipeline pipeline(**project, BatchSettings{}, listener);
        ASSERT_TRUE(pipeline.lockFolders());
        pipeline.treatAll(CommentFirst());
        pipeline.commit();
        EXPECT_EQ(TempDir::read(path), c.after);
        EXPECT_EQ(pipeline.totals().written, c.written);
        EXPECT_EQ(TempDir::namesIn(dir.path()), std::vector<std::string>{"a.bas"});
    }
}
