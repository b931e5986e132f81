#include "command.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace trapline::cli {
namespace {

/// Whether CLI11 reads "--..." as an option rather than as a PATH: not
/// "---x" or "--!x".
bool longOptionShaped(const std::string& arg) {
    const char c = arg[2];
    return c != '-' && c != '!' && c != ' ' && c != '\n';
}

/// The arguments as CLI11 is to see them, last first, or the usage problem
/// found on the way. Three rules of trapline's command line are settled
/// here because CLI11 reads them otherwise:
///  - "-h" or "--help" anywhere before "--" shows the usage, even where an
///    option's value is expected: asking for help never fails;
///  - "--name=" gives the option an empty value, where CLI11 would take the
///    next argument (`--proc= Ledger.vbp` read the project as the name);
///  - anything before "--" that starts with a dash is an option: "-5",
///    "-hx" or "--live=true" is a mistake to report, not a PATH, a bundle
///    of short options or a flag's value. -h is the only short option.
struct Prepared {
    std::vector<std::string> reversed;
    std::string problem;
    bool help = false;
};

Prepared prepare(const std::vector<std::string>& args, const CLI::App& app) {
    Prepared p;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (optionsEnded || arg == "--" || arg.size() < 2 || arg[0] != '-') {
            optionsEnded = optionsEnded || arg == "--";
            p.reversed.push_back(arg);
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            p.help = true;
            return p;
        }
        const size_t eq = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, eq);
        if (arg[1] != '-' || !longOptionShaped(arg)) {
            if (p.problem.empty())
                p.problem = "unknown option '" + name + "'";
            continue;
        }
        const CLI::Option* option =
            eq == std::string::npos ? nullptr : app.get_option_no_throw(name);
        if (option && option->get_items_expected_max() == 0) {
            if (p.problem.empty())
                p.problem = "option '" + name + "' takes no value";
            continue;
        }
        if (option && eq == arg.size() - 1) {
            p.reversed.push_back(name);
            p.reversed.emplace_back();
            continue;
        }
        p.reversed.push_back(arg);
    }
    std::reverse(p.reversed.begin(), p.reversed.end()); // CLI11 takes them last first
    return p;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

/// What is wrong with the arguments, naming the one at fault in the words
/// trapline has always used for it.
std::string usageProblem(const CLI::ParseError& e, const CLI::App& app) {
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        // Every PATH is taken, so what is left over is an option nobody declared.
        for (std::string arg : app.remaining()) {
            if (arg == "--")
                continue;
            if (arg.rfind("--", 0) == 0)
                arg = arg.substr(0, arg.find('='));
            return "unknown option '" + arg + "'";
        }
    }
    const std::string what = e.what();
    // CLI11 names the option first: "--module: 1 required TEXT missing".
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e))
        if (size_t colon = what.find(": ");
            colon != std::string::npos && endsWith(what, " missing"))
            return "option '" + what.substr(0, colon) + "' needs a value";
    return what;
}

} // namespace

int Command::run(const std::vector<std::string>& args) {
    CLI::App app(std::string(), std::string("trapline ") + name());
    app.set_help_flag("-h,--help");
    // "/path" is a path on every system, never an option.
    app.allow_windows_style_options(false);
    // Given twice, an option keeps its last value, as a shell alias followed
    // by the user's own choice expects.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    define(app);

    auto usageError = [&](const std::string& problem) {
        const std::string text = "trapline " + std::string(name()) + ": " + problem +
                                 "\nTry 'trapline " + name() + " --help'.\n";
        m_err.write(text);
        refused(args, text);
        return 2;
    };
    Prepared prepared = prepare(args, app);
    try {
        if (!prepared.help && prepared.problem.empty())
            app.parse(prepared.reversed);
    } catch (const CLI::CallForHelp&) {
        prepared.help = true;
    } catch (const CLI::ParseError& e) {
        return usageError(usageProblem(e, app));
    }
    if (prepared.help) {
        m_out.write(usage());
        return 0;
    }
    if (!prepared.problem.empty())
        return usageError(prepared.problem);
    return execute();
}

} // namespace trapline::cli
