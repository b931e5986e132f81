// Times `trapline insert --live` over a generated project against `cp -r` of
// the same tree, in the same run, and prints the figures.
//
//   insert_bench [--seed N] [--files N] [--lines N] [--keep DIR]

#include "projectgenerator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Timing {
    double seconds = 0;
    long peakKb = 0;
    int status = 0;
};

/// Runs a program and reports its wall time, peak resident memory and status.
Timing timed(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // Neither command pays for the other's write-back.
    ::sync();
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    Timing t;
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.peakKb = usage.ru_maxrss;
    t.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return t;
}

void write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

uint64_t treeSize(const fs::path& dir) {
    uint64_t size = 0;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            size += e.file_size();
    return size;
}

/// The best of `runs` timings of inserting into a fresh copy of `source`.
Timing bestInsert(const fs::path& source, const fs::path& work, int runs, Timing* copy) {
    Timing best;
    best.seconds = 1e9;
    Timing bestCopy;
    bestCopy.seconds = 1e9;
    for (int i = 0; i < runs; ++i) {
        fs::remove_all(work);
        Timing c = timed({"cp", "-r", source.string(), work.string()});
        if (c.seconds < bestCopy.seconds)
            bestCopy = c;
        Timing t = timed({TRAPLINE_BINARY, "insert", "--live", work.string()});
        if (t.status > 1)
            std::fprintf(stderr, "insert_bench: trapline exited with %d\n", t.status);
        if (t.seconds < best.seconds)
            best = t;
    }
    if (copy)
        *copy = bestCopy;
    return best;
}

} // namespace

int main(int argc, char** argv) {
    uint64_t seed = 20261206;
    long files = 2000, totalLines = 1000000, bigLines = 200000, bigProcs = 10000;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--seed")
            seed = std::stoull(argv[i + 1]);
        else if (a == "--files")
            files = std::stol(argv[i + 1]);
        else if (a == "--lines")
            totalLines = std::stol(argv[i + 1]);
        else if (a == "--keep")
            keep = argv[i + 1];
    }
    fs::path root = keep.empty() ? fs::temp_directory_path() / ("trapline-bench-" + std::to_string(getpid()))
                                 : fs::path(keep);
    fs::remove_all(root);

    // The project: many ordinary modules plus one very large one.
    std::fprintf(stderr, "insert_bench: generating (seed %llu)...\n", static_cast<unsigned long long>(seed));
    ProjectGenerator gen(seed);
    long perFile = (totalLines - bigLines) / files;
    for (long f = 0; f < files; ++f)
        write(root / "project" / ("m" + std::to_string(f / 100)) / ("Mod" + std::to_string(f) + ".bas"),
              gen.module("Mod" + std::to_string(f), perFile, std::max(1L, perFile / 22)));
    write(root / "project" / "Big.bas", gen.module("Big", bigLines, bigProcs));
    long procedures = gen.procedures();
    // The large module alone, at N and 2N.
    ProjectGenerator single(seed + 1);
    write(root / "half" / "Big.bas", single.module("Big", bigLines / 2, bigProcs / 2));
    ProjectGenerator dbl(seed + 1);
    write(root / "full" / "Big.bas", dbl.module("Big", bigLines, bigProcs));

    uint64_t inputBytes = treeSize(root / "project");
    Timing copy;
    Timing all = bestInsert(root / "project", root / "work", 3, &copy);
    Timing half = bestInsert(root / "half", root / "work-half", 3, nullptr);
    Timing full = bestInsert(root / "full", root / "work-full", 3, nullptr);

    std::printf("input: %ld modules, %ld procedures, %.1f MB\n", files + 1, procedures,
                static_cast<double>(inputBytes) / 1e6);
    std::printf("cp -r: %.3f s\n", copy.seconds);
    std::printf("trapline insert --live: %.3f s\n", all.seconds);
    std::printf("ratio to cp -r: %.2f (target <= 2)\n", all.seconds / copy.seconds);
    std::printf("procedures per second: %.0f\n", static_cast<double>(procedures) / all.seconds);
    std::printf("peak memory: %.1f MB, %.2f x the input (target < 2)\n", static_cast<double>(all.peakKb) / 1e3,
                static_cast<double>(all.peakKb) * 1e3 / static_cast<double>(inputBytes));
    std::printf("large module: T(N) %.3f s, T(2N) %.3f s, T(2N)/T(N) %.2f (target <= 2.2)\n",
                half.seconds, full.seconds, full.seconds / half.seconds);
    if (keep.empty())
        fs::remove_all(root);
    return 0;
}
