// Times `trapline insert --live` over a generated project against `cp -r` of
// the same tree, in the same run, and prints the figures; and beside it
// `check` on the untreated tree, `refresh` and `remove` on the treated one,
// `number` on the untreated tree against insert, how the time grows with
// a module whose procedures have no End, and with the targets of one On x
// GoTo line that `number --renumber` remaps.
//
// Beside the times it counts the work itself, which does not swing with the
// machine's load: machine instructions per byte of module source (every
// thread, under callgrind) and system calls per module file (under strace),
// for insert, check, refresh, remove and number; each is skipped, with a
// note, when its tool is not installed.
//
//   insert_bench [--seed N] [--files N] [--lines N] [--keep DIR]
//                [--counts 0|1|2]   (0: times only, 1: both, 2: counts only)

#include "benchoptions.h"
#include "programtimer.h"
#include "projectgenerator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

/// The least any tool must do to rewrite a tree safely: read each file,
/// write its bytes to a temporary file beside it and rename that over it.
/// No parsing, no flush to disk.
double atomicRewrite(const fs::path& dir) {
    ::sync();
    auto start = std::chrono::steady_clock::now();
    std::vector<fs::path> files;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            files.push_back(e.path());
    std::string bytes;
    for (const fs::path& p : files) {
        int in = ::open(p.c_str(), O_RDONLY);
        struct stat st {};
        ::fstat(in, &st);
        bytes.resize(static_cast<size_t>(st.st_size));
        ssize_t got = ::read(in, bytes.data(), bytes.size());
        ::close(in);
        std::string temp = p.string() + ".tmp";
        int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ssize_t put = ::write(out, bytes.data(), static_cast<size_t>(got));
        ::close(out);
        if (put != got)
            std::fprintf(stderr, "insert_bench: short write\n");
        ::rename(temp.c_str(), p.c_str());
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// Rounds of `cp -r`, of the bare atomic rewrite and of inserting into a
/// fresh copy, interleaved so that all meet the same state of the disk.
struct Rounds {
    std::vector<double> copy, rewrite, insert, ratio;
    std::vector<double> check, refresh, remove; ///< the other commands, same tree
    std::vector<double> number, numberRatio;    ///< line numbers on the untreated tree

    long peakKb = 0;
};

Rounds measure(const fs::path& source, const fs::path& work, int rounds) {
    Rounds r;
    for (int i = 0; i < rounds; ++i) {
        fs::remove_all(work.string() + "-cp");
        Timing c = timed({"cp", "-r", source.string(), work.string() + "-cp"});
        fs::remove_all(work);
        fs::copy(source, work, fs::copy_options::recursive);
        r.rewrite.push_back(atomicRewrite(work));
        fs::remove_all(work);
        fs::copy(source, work, fs::copy_options::recursive);
        Timing c2 = timed({TRAPLINE_BINARY, "check", "--live", work.string()});
        Timing t = timed({TRAPLINE_BINARY, "insert", "--live", work.string()});
        // Every handler is looked at; all names are current, so nothing is written.
        Timing f = timed({TRAPLINE_BINARY, "refresh", "--live", work.string()});
        // Every file is written back as it was before the insertion.
        Timing d = timed({TRAPLINE_BINARY, "remove", "--live", work.string()});
        // The same untreated tree again, every statement line numbered.
        Timing n = timed({TRAPLINE_BINARY, "number", work.string()});
        for (const Timing* x : {&c2, &t, &f, &d, &n})
            if (x->status > 1)
                std::fprintf(stderr, "insert_bench: trapline exited with %d\n", x->status);
        r.check.push_back(c2.seconds);
        r.refresh.push_back(f.seconds);
        r.remove.push_back(d.seconds);
        r.number.push_back(n.seconds);
        r.numberRatio.push_back(n.seconds / t.seconds);
        r.copy.push_back(c.seconds);
        r.insert.push_back(t.seconds);
        r.ratio.push_back(t.seconds / c.seconds);
        r.peakKb = std::max(r.peakKb, t.peakKb);
    }
    return r;
}

/// A module of `procedures` procedures none of which has an End statement:
/// each is reported as one that cannot take a handler.
std::string withoutEnds(long procedures) {
    std::string out = "Attribute VB_Name = \"NoEnd\"\r\nOption Explicit\r\n";
    for (long i = 0; i < procedures; ++i)
        out += "Sub P" + std::to_string(i) + "()\r\n    x = " + std::to_string(i) + "\r\n\r\n";
    return out;
}

/// Median times of insert and check over a fresh copy of `source`, per round.
std::pair<double, double> insertAndCheck(const fs::path& source, const fs::path& work, int rounds) {
    std::vector<double> insert, check;
    for (int i = 0; i < rounds; ++i) {
        fs::remove_all(work);
        fs::copy(source, work, fs::copy_options::recursive);
        check.push_back(timed({TRAPLINE_BINARY, "check", "--live", work.string()}).seconds);
        insert.push_back(timed({TRAPLINE_BINARY, "insert", "--live", work.string()}).seconds);
    }
    fs::remove_all(work);
    return {median(insert), median(check)};
}

/// A module of one procedure: nine numbered lines, and before them one On x
/// GoTo line of `targets` targets, 1 to 9 over and over. Renumbered from 10
/// by 10, every target grows a digit.
std::string longOnGoTo(long targets) {
    std::string out = "Attribute VB_Name = \"OnGoTo\"\r\nSub Jump()\r\n    On x GoTo 1";
    out.reserve(out.size() + 3 * static_cast<size_t>(targets) + 200);
    for (long i = 1; i < targets; ++i)
        out.append(", ").append(1, static_cast<char>('1' + i % 9));
    out += "\r\n";
    for (int i = 1; i <= 9; ++i)
        out += std::to_string(i) + " x = " + std::to_string(i) + "\r\n";
    return out + "End Sub\r\n";
}

/// Median times of `number --renumber` and of `unnumber` (which leaves the
/// procedure alone: its jumps need the numbers) over a fresh copy of `source`.
std::pair<double, double> renumberAndUnnumber(const fs::path& source, const fs::path& work,
                                              int rounds) {
    std::vector<double> renumber, unnumber;
    for (int i = 0; i < rounds; ++i) {
        fs::remove_all(work);
        fs::copy(source, work, fs::copy_options::recursive);
        Timing r = timed({TRAPLINE_BINARY, "number", "--renumber", work.string()});
        if (r.status != 0)
            std::fprintf(stderr, "insert_bench: number --renumber exited with %d\n", r.status);
        renumber.push_back(r.seconds);
        unnumber.push_back(timed({TRAPLINE_BINARY, "unnumber", work.string()}).seconds);
    }
    fs::remove_all(work);
    return {median(renumber), median(unnumber)};
}

bool installed(const char* tool) {
    return timed({"sh", "-c", std::string("command -v ") + tool}).status == 0;
}

/// The number after `key` on the first line of `text` that starts with it.
double numberAfter(const std::string& text, const std::string& key) {
    for (size_t at = 0; at < text.size();) {
        size_t nl = text.find('\n', at);
        std::string line = text.substr(at, nl == std::string::npos ? nl : nl - at);
        if (line.rfind(key, 0) == 0)
            return std::strtod(line.c_str() + key.size(), nullptr);
        at = nl == std::string::npos ? text.size() : nl + 1;
    }
    return 0;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// Instructions of every thread of `args` run under callgrind; 0 when it failed.
double instructions(const std::vector<std::string>& args, const fs::path& scratch) {
    const fs::path out = scratch / "callgrind.out";
    std::vector<std::string> run{"valgrind", "--tool=callgrind", "--separate-threads=no",
                                 "--callgrind-out-file=" + out.string()};
    run.insert(run.end(), args.begin(), args.end());
    if (timed(run).status > 1)
        return 0;
    const std::string text = slurp(out);
    const double summary = numberAfter(text, "summary: ");
    return summary > 0 ? summary : numberAfter(text, "totals: ");
}

/// System calls of `args` and its threads, counted by strace; 0 when it failed.
double systemCalls(const std::vector<std::string>& args, const fs::path& scratch) {
    const fs::path out = scratch / "strace.out";
    std::vector<std::string> run{"strace", "-f", "-c", "-o", out.string()};
    run.insert(run.end(), args.begin(), args.end());
    if (timed(run).status > 1)
        return 0;
    // The last line: "100.00 seconds usecs/call calls errors total".
    const std::string text = slurp(out);
    const size_t total = text.rfind("100.00");
    if (total == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(total));
    std::string percent, seconds, perCall, calls;
    fields >> percent >> seconds >> perCall >> calls;
    return std::strtod(calls.c_str(), nullptr);
}

/// Instructions per byte of module source and system calls per module file
/// of each command, each on the tree it is meant for: the untreated tree,
/// then the treated one.
void printCounts(const fs::path& source, const fs::path& work, long files) {
    const bool callgrind = installed("valgrind"), strace = installed("strace");
    if (!callgrind)
        std::printf("instructions per byte: skipped, valgrind is not installed\n");
    if (!strace)
        std::printf("system calls per file: skipped, strace is not installed\n");
    if (!callgrind && !strace)
        return;
    const fs::path scratch = work.string() + "-counts";
    fs::create_directories(scratch);
    struct Step {
        const char* what;
        std::vector<std::string> args;
        bool fresh; ///< on an untreated copy; otherwise on the tree insert left
    };
    const std::string tree = work.string();
    const std::vector<Step> steps = {
        {"insert --live --include-trapped", {"insert", "--live", "--include-trapped"}, true},
        {"check --live", {"check", "--live"}, true},
        {"number", {"number"}, true},
        {"refresh --live (treated tree)", {"refresh", "--live"}, false},
        {"remove --live (treated tree)", {"remove", "--live"}, false},
    };
    for (const Step& step : steps) {
        double counted[2] = {0, 0};
        double bytes = 1; // of the modules the command reads: the treated ones after insert
        for (int tool = 0; tool < 2; ++tool) {
            if (!(tool == 0 ? callgrind : strace))
                continue;
            // Each count on its own copy, treated first where it must be.
            fs::remove_all(work);
            fs::copy(source, work, fs::copy_options::recursive);
            if (!step.fresh)
                timed({TRAPLINE_BINARY, "insert", "--live", "--include-trapped", tree});
            bytes = static_cast<double>(treeSize(work));
            std::vector<std::string> args{TRAPLINE_BINARY};
            args.insert(args.end(), step.args.begin(), step.args.end());
            args.push_back(tree);
            counted[tool] = tool == 0 ? instructions(args, scratch) : systemCalls(args, scratch);
        }
        std::printf("trapline %s: %.1f instructions per byte of module source (%.3g G), "
                    "%.1f system calls per module file\n",
                    step.what, counted[0] / bytes, counted[0] / 1e9,
                    counted[1] / static_cast<double>(files));
    }
    fs::remove_all(work);
    fs::remove_all(scratch);
}

} // namespace

int main(int argc, char** argv) {
    const BenchOptions opts = BenchOptions::parse(argc, argv);
    const uint64_t seed = opts.seed;
    const long files = opts.files, totalLines = opts.totalLines;
    const std::string keep = opts.keep;
    int counts = 1;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::string(argv[i]) == "--counts")
            counts = std::atoi(argv[i + 1]);
    const long bigLines = 200000, bigProcs = 10000;
    fs::path root = keep.empty()
                        ? fs::temp_directory_path() / ("trapline-bench-" + std::to_string(getpid()))
                        : fs::path(keep);
    fs::remove_all(root);

    // The project: many ordinary modules plus one very large one.
    std::fprintf(stderr, "insert_bench: generating (seed %llu)...\n",
                 static_cast<unsigned long long>(seed));
    ProjectGenerator gen(seed);
    long perFile = (totalLines - bigLines) / files;
    for (long f = 0; f < files; ++f)
        write(root / "project" / ("m" + std::to_string(f / 100)) /
                  ("Mod" + std::to_string(f) + ".bas"),
              gen.module("Mod" + std::to_string(f), perFile, std::max(1L, perFile / 22)));
    write(root / "project" / "Big.bas", gen.module("Big", bigLines, bigProcs));
    long procedures = gen.procedures();
    // The large module alone, at N and 2N.
    ProjectGenerator single(seed + 1);
    write(root / "half" / "Big.bas", single.module("Big", bigLines / 2, bigProcs / 2));
    ProjectGenerator dbl(seed + 1);
    write(root / "full" / "Big.bas", dbl.module("Big", bigLines, bigProcs));

    const long noEnd = 20000;
    write(root / "noend-half" / "NoEnd.bas", withoutEnds(noEnd));
    write(root / "noend-full" / "NoEnd.bas", withoutEnds(2 * noEnd));
    const long targets = 400000;
    write(root / "ongoto-half" / "OnGoTo.bas", longOnGoTo(targets));
    write(root / "ongoto-full" / "OnGoTo.bas", longOnGoTo(2 * targets));

    uint64_t inputBytes = treeSize(root / "project");
    if (counts > 0) {
        std::printf("counted over %ld modules, %.1f MB:\n", files + 1,
                    static_cast<double>(inputBytes) / 1e6);
        printCounts(root / "project", root / "work-counts", files + 1);
        std::fflush(stdout);
    }
    if (counts == 2) {
        if (keep.empty())
            fs::remove_all(root);
        return 0;
    }
    const int rounds = 5;
    Rounds all = measure(root / "project", root / "work", rounds);
    Rounds half = measure(root / "half", root / "work-half", rounds);
    Rounds full = measure(root / "full", root / "work-full", rounds);
    const double insertTime = median(all.insert);
    auto [noEndInsertN, noEndCheckN] =
        insertAndCheck(root / "noend-half", root / "work-ne", rounds);
    auto [noEndInsert2N, noEndCheck2N] =
        insertAndCheck(root / "noend-full", root / "work-ne", rounds);
    auto [onGoToRenumberN, onGoToUnnumberN] =
        renumberAndUnnumber(root / "ongoto-half", root / "work-og", rounds);
    auto [onGoToRenumber2N, onGoToUnnumber2N] =
        renumberAndUnnumber(root / "ongoto-full", root / "work-og", rounds);

    std::printf("input: %ld modules, %ld procedures, %.1f MB; medians of %d interleaved rounds\n",
                files + 1, procedures, static_cast<double>(inputBytes) / 1e6, rounds);
    std::printf("cp -r: %.3f s\n", median(all.copy));
    std::printf("trapline insert --live: %.3f s (its files flushed to disk; cp's are not)\n",
                insertTime);
    std::printf("ratio to cp -r: %.2f (target <= 2)\n", median(all.ratio));
    std::printf("bare atomic rewrite of every file (read, temporary, rename): %.3f s, "
                "%.2f x cp -r; trapline takes %.2f x that\n",
                median(all.rewrite), median(all.rewrite) / median(all.copy),
                insertTime / median(all.rewrite));
    std::printf("procedures per second: %.0f\n", static_cast<double>(procedures) / insertTime);
    std::printf("trapline check --live (untreated tree): %.3f s, %.2f x insert\n",
                median(all.check), median(all.check) / insertTime);
    std::printf(
        "trapline refresh --live (treated tree, nothing to change): %.3f s, %.2f x insert\n",
        median(all.refresh), median(all.refresh) / insertTime);
    std::printf("trapline remove --live (treated tree, every handler): %.3f s, %.2f x insert\n",
                median(all.remove), median(all.remove) / insertTime);
    std::printf("trapline number (untreated tree, every statement line): %.3f s, %.2f x insert "
                "(median of per-round ratios %.2f; target <= 1)\n",
                median(all.number), median(all.number) / insertTime, median(all.numberRatio));
    std::printf("peak memory: %.1f MB, %.2f x the input (target < 2)\n",
                static_cast<double>(all.peakKb) / 1e3,
                static_cast<double>(all.peakKb) * 1e3 / static_cast<double>(inputBytes));
    std::printf("large module: T(N) %.3f s, T(2N) %.3f s, T(2N)/T(N) %.2f (target <= 2.2)\n",
                median(half.insert), median(full.insert),
                median(full.insert) / median(half.insert));
    std::printf("large module, remove: T(N) %.3f s, T(2N) %.3f s, T(2N)/T(N) %.2f; "
                "check: T(2N)/T(N) %.2f\n",
                median(half.remove), median(full.remove), median(full.remove) / median(half.remove),
                median(full.check) / median(half.check));
    std::printf("procedures without End (%ld and %ld): insert T(N) %.3f s, T(2N) %.3f s, "
                "T(2N)/T(N) %.2f; check T(2N)/T(N) %.2f\n",
                noEnd, 2 * noEnd, noEndInsertN, noEndInsert2N, noEndInsert2N / noEndInsertN,
                noEndCheck2N / noEndCheckN);
    std::printf("one On x GoTo line of %ld and %ld targets (%.1f MB), number --renumber: "
                "T(N) %.3f s, T(2N) %.3f s, T(2N)/T(N) %.2f (target <= 2.2); unnumber T(2N) "
                "%.3f s\n",
                targets, 2 * targets,
                static_cast<double>(fs::file_size(root / "ongoto-full" / "OnGoTo.bas")) / 1e6,
                onGoToRenumberN, onGoToRenumber2N, onGoToRenumber2N / onGoToRenumberN,
                onGoToUnnumber2N);
    if (keep.empty())
        fs::remove_all(root);
    return 0;
}
