#include "arguments.h"

namespace trapline::cli {

Result<Arguments> Arguments::parse(const std::vector<std::string>& args,
                                   const std::vector<Option>& options) {
    Arguments parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.rfind("--", 0) != 0) {
            if (!optionsEnded && arg.size() >= 2 && arg[0] == '-' && arg != "-")
                return makeError(errors::InvalidCall, "trapline", "unknown option '" + arg + "'");
            parsed.m_positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg.substr(2);
        std::string inlineValue;
        bool hasInline = false;
        if (size_t eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
            hasInline = true;
        }
        const Option* option = nullptr;
        for (const Option& o : options)
            if (o.name == name)
                option = &o;
        if (!option)
            return makeError(errors::InvalidCall, "trapline", "unknown option '--" + name + "'");
        if (!option->takesValue) {
            if (hasInline)
                return makeError(errors::InvalidCall, "trapline",
                                 "option '--" + name + "' takes no value");
            parsed.m_flags.insert(name);
            continue;
        }
        if (!hasInline) {
            if (i + 1 >= args.size())
                return makeError(errors::InvalidCall, "trapline",
                                 "option '--" + name + "' needs a value");
            inlineValue = args[++i];
        }
        parsed.m_values[name] = inlineValue;
    }
    return parsed;
}

std::string Arguments::value(const std::string& name, const std::string& fallback) const {
    auto it = m_values.find(name);
    return it == m_values.end() ? fallback : it->second;
}

} // namespace trapline::cli
