#include "outcome.h"

namespace trapline::office {

const char* problemName(Problem problem) {
    switch (problem) {
    case Problem::Unreadable:
        return "unreadable";
    case Problem::NotOffice:
        return "not an Office document";
    case Problem::NoProject:
        return "no VBA project";
    case Problem::Corrupt:
        return "corrupt";
    case Problem::TooLarge:
        return "too large";
    case Problem::Encrypted:
        return "encrypted";
    case Problem::Signed:
        return "signed";
    case Problem::Locked:
        return "locked";
    case Problem::Unencodable:
        return "unencodable";
    }
    return "unknown";
}

} // namespace trapline::office
