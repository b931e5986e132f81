#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

/// A failure as the run time's error object reports it: number, source and
/// description. The dialog library returns it as a value and never throws,
/// so a caller cannot miss a cancel that it asked to see as an error.
struct DlgError {
    int32_t number = 0;
    std::string source;
    std::string description; ///< UTF-8
};

/// Error numbers the dialog library raises.
namespace dlgerrors {
inline constexpr int32_t InvalidCall = 5;        ///< a name longer than its buffer
inline constexpr int32_t Overflow = 6;           ///< a value outside 16 bits
inline constexpr int32_t Cancelled = 20001;      ///< "User selected cancel."
inline constexpr int32_t InvalidHelpCmd = 13705; ///< a WinHelp command ShowHelp refuses
inline constexpr int32_t DialogFailure = 0x348A; ///< OR-ed with the extended error
} // namespace dlgerrors

/// Either a value or a DlgError; `DlgResult<void>` carries only the error.
///
///     DlgResult<bool> r = api.VBGetOpenFileName2(name);
///     if (!r) report(r.error());
template <class T> class [[nodiscard]] DlgResult {
public:
    DlgResult(T value) : m_state(std::move(value)) {}
    DlgResult(DlgError error) : m_state(std::move(error)) {}

    explicit operator bool() const { return m_state.index() == 0; }
    bool ok() const { return m_state.index() == 0; }
    const T& value() const { return std::get<0>(m_state); }
    const T& operator*() const { return value(); }
    const DlgError& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, DlgError> m_state;
};

template <> class [[nodiscard]] DlgResult<void> {
public:
    DlgResult() = default;
    DlgResult(DlgError error) : m_error(std::move(error)) {}

    explicit operator bool() const { return !m_error; }
    bool ok() const { return !m_error; }
    const DlgError& error() const { return *m_error; }

private:
    std::optional<DlgError> m_error;
};
