#pragma once

#include <cstdint>
#include <string>

/// Reads values from the system registry. There is none on Linux; tests
/// script one.
class RegistryLookup {
public:
    static constexpr unsigned HKEY_LOCAL_MACHINE = 0x80000002u;
    enum class Type { None, Text = 1, Number = 4, Other };
    struct Value {
        Type type = Type::None;
        std::string bytes; ///< text as stored, a terminating NUL included if it was
        std::uint32_t number = 0;
    };

    virtual ~RegistryLookup() = default;
    /// Opens `key` below `root` and reads `name`; false when either is missing.
    virtual bool query(unsigned root, const std::string& key, const std::string& name,
                       Value& value) = 0;
};

/// The registry of a platform that has none.
class NoRegistry : public RegistryLookup {
public:
    bool query(unsigned, const std::string&, const std::string&, Value&) override { return false; }
};
