// Times `trapline insert --live` on Office documents against the same
// modules as .bas files, in the same run, and prints the ratio: the 40-module
// workbook of the tests, and a document of 1,000 generated modules made from
// it. A document's run reads, treats, writes and reads back the whole file
// (the writer's self-check); the module files' run writes each file.
//
// Wall time swings on a shared machine, so each case is also counted in
// instructions: one run of each under callgrind (both threads together),
// when valgrind is installed. It also prints how far MS-OVBA compression
// shrinks the modules' sources.
//
//   document_bench [--seed N] [--files N] [--lines N] [--keep DIR]
//
// --files is the generated document's module count (1,000 unless given),
// --lines its total lines.

#include "benchoptions.h"
#include "programtimer.h"
#include "projectgenerator.h"

#include "office/compression.h"
#include "office/document.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using trapline::office::Document;
using trapline::office::DocumentEdit;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

/// Each module of the document as a standard module file in `dir`: the same
/// text, so that both runs treat the same procedures.
bool extract(const std::string& bytes, const fs::path& dir) {
    auto document = Document::read(bytes);
    if (!document) {
        std::fprintf(stderr, "document_bench: %s\n", document.failure().detail.c_str());
        return false;
    }
    for (const auto& module : document->project().modules())
        write(dir / (module.nameUtf8 + ".bas"), module.source);
    return true;
}

/// The sample with `count` generated standard modules added.
std::string generated(const std::string& sample, const BenchOptions& options, long count) {
    auto document = Document::read(sample);
    if (!document)
        return {};
    ProjectGenerator generator(options.seed);
    DocumentEdit edit;
    const long lines = std::max(20L, options.totalLines / std::max(1L, count));
    for (long i = 0; i < count; ++i) {
        const std::string digits = std::to_string(i);
        const std::string name =
            "Gen" + std::string(4 - std::min<size_t>(4, digits.size()), '0') + digits;
        edit.added.push_back({name, generator.module(name, lines, std::max(1L, lines / 25))});
    }
    auto written = document->write(edit);
    if (!written) {
        std::fprintf(stderr, "document_bench: %s\n", written.failure().detail.c_str());
        return {};
    }
    return *written;
}

/// Median seconds of `insert --live` over fresh copies of `source`.
double insertTime(const fs::path& source, const fs::path& work, const std::string& codepage) {
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        fs::remove_all(work);
        fs::copy(source, work, fs::copy_options::recursive);
        Timing t =
            timed({TRAPLINE_BINARY, "insert", "--live", "--codepage", codepage, work.string()});
        if (t.status != 0) {
            std::fprintf(stderr, "document_bench: insert on %s exited with %d\n", work.c_str(),
                         t.status);
            return -1;
        }
        times.push_back(t.seconds);
    }
    return median(times);
}

/// Whether callgrind can be run here.
bool haveCallgrind() {
    static const bool found = std::system("valgrind --version >/dev/null 2>&1") == 0;
    return found;
}

/// Instructions one `insert --live` on a fresh copy of `source` executes,
/// every thread counted; 0 when it cannot be counted.
unsigned long long insertInstructions(const fs::path& source, const fs::path& work,
                                      const std::string& codepage) {
    fs::remove_all(work);
    fs::copy(source, work, fs::copy_options::recursive);
    const fs::path out = work.string() + ".callgrind";
    Timing t = timed({"valgrind", "--tool=callgrind", "--separate-threads=no",
                      "--callgrind-out-file=" + out.string(), TRAPLINE_BINARY, "insert", "--live",
                      "--codepage", codepage, work.string()});
    std::ifstream in(out);
    unsigned long long total = 0;
    for (std::string line; t.status == 0 && std::getline(in, line);)
        if (line.rfind("totals: ", 0) == 0 || line.rfind("summary: ", 0) == 0)
            total = std::stoull(line.substr(line.find(' ') + 1));
    fs::remove(out);
    return total;
}

/// The modules' sources against their compressed size: what MS-OVBA
/// compression leaves of them, in percent.
double compressedPercent(const Document& document) {
    double text = 0, packed = 0;
    for (const auto& module : document.project().modules()) {
        auto compressed = trapline::office::compress(module.source);
        text += static_cast<double>(module.source.size());
        packed += compressed ? static_cast<double>(compressed->size()) : 0;
    }
    return text > 0 ? 100 * packed / text : 0;
}

bool compare(const char* label, const std::string& bytes, const fs::path& root) {
    const fs::path doc = root / label / "doc", bas = root / label / "bas";
    fs::remove_all(root / label);
    write(doc / "Book.xlsm", bytes);
    if (!extract(bytes, bas))
        return false;
    auto document = Document::read(bytes);
    const std::string codepage = std::to_string(document->project().codePage());
    const double inDocument = insertTime(doc, root / label / "doc-run", codepage);
    const double inFiles = insertTime(bas, root / label / "bas-run", codepage);
    if (inDocument < 0 || inFiles < 0)
        return false;
    std::printf("%-20s %5zu modules %7.1f KB, sources compressed to %4.1f %%\n", label,
                document->project().modules().size(), static_cast<double>(bytes.size()) / 1024.0,
                compressedPercent(*document));
    std::printf("  time          document %7.3f s   .bas files %7.3f s   ratio %5.2f (goal <= 2)\n",
                inDocument, inFiles, inDocument / inFiles);
    if (!haveCallgrind()) {
        std::printf("  instructions  not counted: valgrind is not installed\n");
        return true;
    }
    const unsigned long long docCount = insertInstructions(doc, root / label / "doc-run", codepage);
    const unsigned long long basCount = insertInstructions(bas, root / label / "bas-run", codepage);
    if (docCount == 0 || basCount == 0) {
        std::printf("  instructions  not counted: callgrind gave no total\n");
        return true;
    }
    std::printf("  instructions  document %7.2f G   .bas files %7.2f G   ratio %5.2f (goal <= 2)\n",
                static_cast<double>(docCount) / 1e9, static_cast<double>(basCount) / 1e9,
                static_cast<double>(docCount) / static_cast<double>(basCount));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    BenchOptions options = BenchOptions::parse(argc, argv);
    bool filesGiven = false;
    for (int i = 1; i < argc; ++i)
        filesGiven = filesGiven || std::string(argv[i]) == "--files";
    const long count = filesGiven ? options.files : 1000;
    const fs::path root = options.keep.empty()
                              ? fs::temp_directory_path() / "trapline-document-bench"
                              : fs::path(options.keep);
    const std::string sample = readAll(TRAPLINE_SAMPLE);
    const std::string big = generated(sample, options, count);
    if (sample.empty() || big.empty())
        return 1;
    std::printf("insert --live: a document (read, treat, write, read back) against its modules "
                "as .bas files, median of 3\n");
    const bool ok =
        compare("40-module workbook", sample, root) && compare("generated document", big, root);
    if (options.keep.empty())
        fs::remove_all(root);
    return ok ? 0 : 1;
}
