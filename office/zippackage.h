#pragma once

// A zip package (the container of OOXML documents) read from memory: its
// entries by name. libzip on every system.

#include "outcome.h"

#include <map>
#include <memory>
#include <optional>
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

    /// The package again, each entry `changes` names (exactly as stored)
    /// replaced in place by its bytes, or left out where it maps to nothing.
    /// Every other entry is copied as stored, in the same order under the
    /// same name. Fails (Corrupt) for a name the package does not hold.
    virtual Outcome<std::string>
    rewritten(const std::map<std::string, std::optional<std::string>>& changes) const = 0;
};

} // namespace trapline::office
