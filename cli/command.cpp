#include "command.h"

namespace trapline::cli {

int Command::run(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--")
            break;
        if (a == "-h" || a == "--help") {
            std::fputs(usage(), m_out);
            return 0;
        }
    }
    return execute(args);
}

} // namespace trapline::cli
