#include "json.h"

namespace trapline::cli {

std::string jsonText(const Json& value) {
    return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace trapline::cli
