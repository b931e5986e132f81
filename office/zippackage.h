#pragma once

// A zip package (the container of OOXML documents) read from memory: its
// entries by name. libzip on POSIX.

#include "outcome.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trapline::office {

class ZipPackage {
public:
    /// Opens the zip held in `bytes`. Fails (NotOffice) when it is not one,
    /// (Corrupt) when its directory is broken or names one entry twice (in
    /// any letter case, as part names are compared).
    static Outcome<std::unique_ptr<ZipPackage>> open(std::string bytes);
    virtual ~ZipPackage() = default;

    /// Every entry's name, as stored.
    virtual std::vector<std::string> names() const = 0;
    /// The inflated bytes of the entry `name` (letter case ignored). Fails
    /// (Corrupt) when there is none or its data is broken, (TooLarge) when
    /// it would pass `limit` bytes or inflates a thousandfold or more.
    virtual Outcome<std::string> read(std::string_view name, size_t limit) const = 0;
};

} // namespace trapline::office
