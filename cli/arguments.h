#pragma once

#include "result.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace trapline::cli {

/// A command's arguments: its options ("--name" or "--name VALUE" /
/// "--name=VALUE") and its positional arguments. "--" ends the options.
class Arguments {
public:
    struct Option {
        std::string name; ///< without the dashes
        bool takesValue = false;
    };

    /// Parses `args` against `options`; an unknown option or a missing value
    /// is an error that names the argument.
    static Result<Arguments> parse(const std::vector<std::string>& args,
                                   const std::vector<Option>& options);

    bool has(const std::string& name) const { return m_flags.count(name) || m_values.count(name); }
    std::string value(const std::string& name, const std::string& fallback = {}) const;
    const std::vector<std::string>& positionals() const { return m_positionals; }

private:
    std::set<std::string> m_flags;
    std::map<std::string, std::string> m_values;
    std::vector<std::string> m_positionals;
};

} // namespace trapline::cli
