#pragma once

#include <string>
#include <utility>
#include <variant>

namespace trapline::office {

/// Why a document's project cannot be read (or must not be changed).
enum class Problem {
    Unreadable,  ///< the file cannot be opened or read
    NotOffice,   ///< neither a zip package nor a compound file
    NoProject,   ///< a document without a VBA project
    Corrupt,     ///< a structure that breaks its format's rules
    TooLarge,    ///< a size past what any real project needs (a bomb, a hostile claim)
    Encrypted,   ///< the document is encrypted with a password
    Signed,      ///< the project carries a digital signature an edit would invalidate
    Locked,      ///< the project is locked for viewing
    Unencodable, ///< text the format cannot store faithfully
};

/// The short name a message shows for `problem` ("encrypted", "signed" ...).
const char* problemName(Problem problem);

/// A failure as a value: what went wrong and the detail that names the part.
struct Failure {
    Problem problem = Problem::Corrupt;
    std::string detail;
};

inline Failure fail(Problem problem, std::string detail) {
    return Failure{problem, std::move(detail)};
}

/// Either a value or a Failure; every reader in this library returns one.
///
///     Outcome<std::string> text = decompress(stream, limit);
///     if (!text) report(text.failure());
template <class T> class [[nodiscard]] Outcome {
public:
    Outcome(T value) : m_state(std::move(value)) {}
    Outcome(Failure failure) : m_state(std::move(failure)) {}

    explicit operator bool() const { return m_state.index() == 0; }
    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Failure& failure() const { return std::get<1>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

} // namespace trapline::office
