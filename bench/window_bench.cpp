// Times the environment on a generated project the size of a real one, with
// the real add-in library loaded as a user's would be, against
// `trapline insert --live` on a copy of the same files, and prints the figures:
//
//   open:  the folder opened and its tree shown (modules are read when first
//          shown or used, so this should not grow with the project's lines);
//   run:   the add-in's OK button over every procedure of every module, its
//          log window and closing message included;
//   typing: keys typed into the largest module after the run (each goes into
//          the code model and the undo history), then undone in one step;
//   save:  File > Save of every changed module;
//   large: typing into a module of 30,000 lines, and undoing it step by step.
//
//   window_bench [--seed N] [--files N] [--lines N] [--keep DIR]
//
// Runs offscreen: QT_QPA_PLATFORM=offscreen is set unless the caller set it.

#include "benchoptions.h"
#include "environmentwindow.h"
#include "programtimer.h"
#include "projectgenerator.h"

#include "codewindow.h"
#include "environmentvbe.h"
#include "messagebox.h"
#include "project.h"
#include "projectexplorer.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

/// Wall time of a program; -1 when it failed.
double seconds(const std::vector<std::string>& argv) {
    const Timing t = timed(argv);
    return t.status == 0 || t.status == 1 ? t.seconds : -1;
}

/// The environment's own message boxes: every question answered yes.
class Yes : public trapline::MessageBoxService {
public:
    trapline::MsgAnswer show(const std::string& text, const std::string&, trapline::MsgIcon,
                             trapline::MsgButtons buttons) override {
        std::fprintf(stderr, "window_bench: environment says: %s\n", text.c_str());
        return buttons == trapline::MsgButtons::Ok ? trapline::MsgAnswer::Ok
                                                   : trapline::MsgAnswer::Yes;
    }
};

QAction* actionNamed(const QList<QAction*>& actions, const QString& text) {
    for (QAction* a : actions)
        if (a->text() == text)
            return a;
    return nullptr;
}

QWidget* visibleTopLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

/// How many files of `a` differ from the same file in `b`.
long differingFiles(const fs::path& a, const fs::path& b) {
    long n = 0;
    for (auto& e : fs::recursive_directory_iterator(a))
        if (e.is_regular_file())
            n += contents(e.path()) != contents(b / fs::relative(e.path(), a));
    return n;
}

struct Figures {
    double open = 0, run = 0, undoStep = 0, key = 0, save = 0, cli = 0;
    long typedIn = 0; ///< lines of the module typed in
    long loaded = 0;
    bool saved = false;
};

/// Types into the largest module, in the middle, as a user would after the
/// run; then undoes it, so that the save writes what the command writes.
bool typeInLargest(EnvironmentWindow& env, Figures& f) {
    trapline::Component* largest = nullptr;
    const auto& components = env.vbe().ActiveVBProject()->VBComponents();
    for (long i = 1; i <= components.Count(); ++i) {
        trapline::Component* c = *components.Item(i);
        if (!largest || c->CodeModule().CountOfLines() > largest->CodeModule().CountOfLines())
            largest = c;
    }
    if (!largest)
        return false;
    env.explorer()->setCurrentItem(env.explorer()->itemOf(largest));
    QPlainTextEdit* editor = env.codeView();
    f.typedIn = largest->CodeModule().CountOfLines();
    QTextCursor caret(editor->document()->findBlockByNumber(int(f.typedIn / 2)));
    caret.movePosition(QTextCursor::EndOfBlock);
    editor->setTextCursor(caret);
    const std::string before = largest->serialize();
    constexpr int kKeys = 200;
    const auto start = Clock::now();
    for (int i = 0; i < kKeys; ++i) {
        const QString letter(QChar('a' + i % 26));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A + i % 26, Qt::NoModifier, letter);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A + i % 26, Qt::NoModifier, letter);
        QApplication::sendEvent(editor, &press);
        QApplication::sendEvent(editor, &release);
    }
    f.key = since(start) / kKeys;
    const bool typed = largest->serialize().size() == before.size() + kKeys;
    env.codeWindow()->undo();
    if (!typed || largest->serialize() != before) {
        std::fprintf(stderr, "window_bench: typing did not go in, or did not undo in one step\n");
        return false;
    }
    return true;
}

/// Editing a module of 30,000 lines, larger than most real ones: milliseconds
/// a typed key (a line break every 20) and an undo, back to the file's bytes.
bool editLargeModule(const fs::path& root, double& keyMs, double& undoMs, int& steps) {
    std::string code = "Attribute VB_Name = \"modLarge\"\r\nOption Explicit\r\n";
    for (int p = 0; p < 1000; ++p) {
        code += "Public Function F" + std::to_string(p) + "(a As Long) As Long\r\n";
        for (int l = 0; l < 27; ++l)
            code += "    a = a + " + std::to_string(l) + " ' a comment of some length\r\n";
        code += "    F" + std::to_string(p) + " = a\r\nEnd Function\r\n\r\n";
    }
    const fs::path file = root / "large" / "modLarge.bas";
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << code;
    Yes yes;
    EnvironmentWindow env(&yes);
    env.show();
    if (!env.openProject(QString::fromStdString(file.string())))
        return false;
    QPlainTextEdit* editor = env.codeView();
    editor->setTextCursor(QTextCursor(editor->document()->findBlockByNumber(15000)));
    constexpr int kKeys = 200;
    auto start = Clock::now();
    for (int i = 0; i < kKeys; ++i) {
        const bool enter = i % 20 == 19;
        QKeyEvent press(QEvent::KeyPress, enter ? Qt::Key_Return : Qt::Key_A, Qt::NoModifier,
                        enter ? "\r" : "a");
        QApplication::sendEvent(editor, &press);
        QApplication::processEvents();
    }
    keyMs = since(start) * 1000 / kKeys;
    steps = 0;
    start = Clock::now();
    while (env.codeWindow()->undo())
        ++steps;
    undoMs = since(start) * 1000 / std::max(steps, 1);
    return env.explorer()->currentComponent()->serialize() == code;
}

/// One user session on `project`: open it, run the add-in over everything,
/// save. False when a step could not be done at all.
bool environmentRound(const fs::path& root, const fs::path& project, Figures& f) {
    Yes yes;
    EnvironmentWindow env(&yes);
    env.startAddIns({QString::fromStdString((root / "addins").string())});
    env.show();

    ::sync();
    auto start = Clock::now();
    if (!env.openProject(QString::fromStdString(project.string()))) {
        std::fprintf(stderr, "window_bench: the project did not open\n");
        return false;
    }
    QApplication::processEvents();
    f.open = since(start);

    QAction* button = actionNamed(env.standardBar()->actions(), "TRAPLINE");
    if (!button) {
        std::fprintf(stderr, "window_bench: the add-in is not connected\n");
        return false;
    }
    button->trigger();
    QWidget* window = visibleTopLevel("frmAddIn");
    if (!window) {
        std::fprintf(stderr, "window_bench: the add-in's window did not open\n");
        return false;
    }
    // The window offers the handler commented out; the command writes it live.
    if (auto* comment = window->findChild<QAbstractButton*>("WithComment"))
        comment->setChecked(false);
    // The add-in's own question and closing message are modal dialogs: the
    // user says yes at once.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QAbstractButton* yesButton = box->button(QMessageBox::Yes);
            (yesButton ? yesButton : box->button(QMessageBox::Ok))->click();
        }
    });
    answer.start(1);
    start = Clock::now();
    window->findChild<QAbstractButton*>("OKButton")->click();
    env.refresh();
    // The user's next click takes the run as one undo step of each module:
    // part of what the run costs.
    const auto step = Clock::now();
    env.checkpoint();
    f.undoStep = since(step);
    f.run = since(start);
    answer.stop();

    if (!typeInLargest(env, f))
        return false;

    start = Clock::now();
    f.saved = env.saveProject();
    f.save = since(start);

    const auto& components = env.vbe().ActiveVBProject()->VBComponents();
    for (long i = 1; i <= components.Count(); ++i)
        f.loaded += (*components.Item(i))->isLoaded();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const BenchOptions opts = BenchOptions::parse(argc, argv);
    const uint64_t seed = opts.seed;
    const long files = opts.files, totalLines = opts.totalLines;
    const std::string keep = opts.keep;
    const fs::path root = keep.empty() ? fs::temp_directory_path() /
                                             ("trapline-window-bench-" + std::to_string(getpid()))
                                       : fs::path(keep);
    fs::remove_all(root);

    // A user of their own, with the add-in installed beside the environment.
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((root / "config").string()));
    fs::create_directories(root / "addins");
    fs::copy_file(TRAPLINE_ADDIN_LIBRARY, root / "addins" / "Trapline.so");

    std::fprintf(stderr, "window_bench: generating (seed %llu)...\n",
                 static_cast<unsigned long long>(seed));
    ProjectGenerator gen(seed);
    const long perFile = totalLines / files;
    for (long f = 0; f < files; ++f)
        write(root / "project" / ("m" + std::to_string(f / 100)) /
                  ("Mod" + std::to_string(f) + ".bas"),
              gen.module("Mod" + std::to_string(f), perFile, std::max(1L, perFile / 22)));

    QApplication app(argc, argv);
    const int rounds = 3;
    std::vector<double> opens, runs, undoSteps, keys, saves, clis, ratios, savedRatios;
    long loaded = 0, differing = 0, typedIn = 0;
    bool allSaved = true;
    for (int round = 0; round < rounds; ++round) {
        // Fresh copies each round; the two ways take turns going first, so
        // neither always meets the other's write-back.
        // Copies of their own, kept to the end: files deleted in a folder
        // make new ones there slower for a while, on ext4 at least.
        const fs::path mine = root / ("env" + std::to_string(round));
        const fs::path theirs = root / ("cli" + std::to_string(round));
        fs::copy(root / "project", mine, fs::copy_options::recursive);
        fs::copy(root / "project", theirs, fs::copy_options::recursive);
        Figures f;
        if (round % 2 == 1)
            f.cli = seconds({TRAPLINE_BINARY, "insert", "--live", theirs.string()});
        if (!environmentRound(root, mine, f))
            return 1;
        if (round % 2 == 0)
            f.cli = seconds({TRAPLINE_BINARY, "insert", "--live", theirs.string()});
        if (f.cli < 0) {
            std::fprintf(stderr, "window_bench: trapline insert failed\n");
            return 1;
        }
        opens.push_back(f.open);
        runs.push_back(f.run);
        undoSteps.push_back(f.undoStep);
        keys.push_back(f.key);
        typedIn = f.typedIn;
        saves.push_back(f.save);
        clis.push_back(f.cli);
        ratios.push_back((f.open + f.run) / f.cli);
        savedRatios.push_back((f.open + f.run + f.save) / f.cli);
        loaded = f.loaded;
        allSaved = allSaved && f.saved;
        differing = std::max(differing, differingFiles(mine, theirs));
    }

    std::printf("input: %ld modules, %ld procedures, about %ld lines; medians of %d rounds\n",
                files, gen.procedures(), totalLines, rounds);
    std::printf("environment: open, tree shown: %.3f s\n", median(opens));
    std::printf("environment: add-in run over every procedure (log included): %.3f s; "
                "%ld of %ld modules read by it\n",
                median(runs), loaded, files);
    std::printf("  of which taking it as one undo step of each module: %.3f s\n",
                median(undoSteps));
    std::printf("environment: a key typed into the largest module (%ld lines): %.2f ms\n", typedIn,
                median(keys) * 1000);
    std::printf("environment: save: %.3f s%s\n", median(saves), allSaved ? "" : " (FAILED)");
    std::printf("trapline insert --live: %.3f s (its files written and flushed)\n", median(clis));
    std::printf("ratio, open + run to insert: %.2f (target <= 2)\n", median(ratios));
    std::printf("ratio, open + run + save to insert: %.2f\n", median(savedRatios));
    std::printf("files that differ between the environment's save and insert: %ld\n", differing);
    double keyMs = 0, undoMs = 0;
    int steps = 0;
    if (!editLargeModule(root, keyMs, undoMs, steps)) {
        std::fprintf(stderr, "window_bench: the large module was not given back by undo\n");
        return 1;
    }
    std::printf("environment: a 30,000-line module: %.2f ms a key, %.1f ms an undo "
                "(%d steps back to its bytes)\n",
                keyMs, undoMs, steps);
    if (keep.empty())
        fs::remove_all(root);
    return 0;
}
