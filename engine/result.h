#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace trapline {

/// A failure as the VB run time reports it: a number, the source that raised
/// it and a description. Engine calls return it as a value, never throw it.
struct Error {
    long number = 0;
    std::string source;
    std::string description;
};

/// Well-known run-time error numbers the code model raises.
namespace errors {
inline constexpr long InvalidCall = 5;       ///< invalid procedure call or argument
inline constexpr long OutOfRange = 9;        ///< subscript out of range
inline constexpr long NotDefined = 35;       ///< Sub or Function not defined
inline constexpr long FileNotFound = 53;     ///< file not found
inline constexpr long PermissionDenied = 70; ///< permission denied
inline constexpr long PathAccess = 75;       ///< path/file access error
inline constexpr long NoObject = 91;         ///< object variable not set
inline constexpr long BadFileFormat = 321;   ///< invalid file format
inline constexpr long ChangedOnDisk = 1001;  ///< the file changed since it was loaded
inline constexpr long NotConvertible = 1002; ///< text the code page cannot hold
inline constexpr long NoEndStatement = 1003; ///< procedure without a usable End statement
inline constexpr long BadDeclaration = 1004; ///< declaration the rules cannot place a trap after
inline constexpr long Cancelled = 1005;      ///< the user gave up waiting; nothing was written
inline constexpr long DuplicateLabel = 1006; ///< a label the handler would give a procedure twice
inline constexpr long BadTemplate = 1007;    ///< a template that would break the code it goes into
inline constexpr long NoProject = 1008;      ///< an Office document without a VBA project
inline constexpr long DocumentRefused =
    1009; ///< an Office document that must not be read or changed
} // namespace errors

inline Error makeError(long number, std::string source, std::string description) {
    return Error{number, std::move(source), std::move(description)};
}

/// Either a value or an Error. `Result<void>` carries only the error.
///
///     Result<int> r = module.ProcBodyLine("Foo", 0);
///     if (!r) report(r.error());
template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Error error) : m_state(std::move(error)) {}

    explicit operator bool() const { return m_state.index() == 0; }
    bool ok() const { return m_state.index() == 0; }
    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, Error> m_state;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)) {}

    explicit operator bool() const { return !m_error; }
    bool ok() const { return !m_error; }
    const Error& error() const { return *m_error; }

private:
    std::optional<Error> m_error;
};

} // namespace trapline
