#pragma once

#include "codemodule.h"
#include "codepage.h"
#include "proccatalogue.h"
#include "result.h"

#include <string>
#include <string_view>
#include <vector>

namespace trapline {

/// The lines a handler insertion puts into a procedure, as patterns that find
/// them again: the standard handler (commented or live) or a template pair.
/// Where the insertion filled in a keyword or a name, the pattern takes
/// whatever such a filling could have been, so a handler is still found after
/// its procedure or module was renamed.
///
///     HandlerPattern p = HandlerPattern::standard("'");
///     auto found = p.find(module, entry, 0);
///     if (found && found->presence == HandlerPattern::Presence::Complete) ...
class HandlerPattern {
public:
    /// What an insertion filled in at one place of a line.
    enum class Slot {
        Keyword,     ///< "???": Sub, Function or Property
        ExitKeyword, ///< the standard handler's SUB, FUNCTION or Property
        Module,      ///< "#MODULE#": the module's name
        Proc,        ///< "#PROC#": the display name, "Value (Get)" for a property
        HostProc,    ///< the standard handler's procedure name, without " (Get)"
    };

    /// One line: literal text with slots between, literals.size() == slots.size() + 1.
    struct Line {
        std::vector<std::string> literals;
        std::vector<Slot> slots;
    };

    /// The standard handler with every line behind `prefix`; with `erl`, the
    /// form whose call also passes `Erl`.
    static HandlerPattern standard(std::string_view prefix, bool erl = false);
    /// The templates `header` and `footer` (UTF-8, CR LF line breaks) as the
    /// template insertion puts them in: converted to `codepage`, every line
    /// behind `prefix`. Error 1002 for a character the code page cannot hold.
    static Result<HandlerPattern> templates(std::string_view header, std::string_view footer,
                                            std::string_view prefix, const Codepage& codepage);

    /// True when the pattern has no line at all (two empty templates).
    bool empty() const { return m_header.empty() && m_footer.empty(); }

    enum class Presence {
        None,     ///< neither part is where the insertion puts it
        Complete, ///< the header right after the declaration, the footer right before End
        Partial,  ///< one part only, or both overlapping: edited by hand or half removed
    };

    /// Where the handler of one procedure definition stands.
    struct Found {
        Presence presence = Presence::None;
        long headerLine = 0; ///< first header line (the line after the declaration)
        long footerLine = 0; ///< first footer line
        long bodyLine = 0;   ///< the declaration's first line
        /// Each header line, then each footer line: the texts its slots hold.
        std::vector<std::vector<std::string>> captures;
        /// Each header line, then each footer line: the line number it was
        /// given after the insertion, with its separator ("50 "), or empty.
        std::vector<std::string> numbers;
    };

    /// Looks for the handler in definition `definition` of the catalogued
    /// procedure `entry` in `module`. An error when the procedure cannot take
    /// a handler at all (a one-line procedure, no End statement).
    Result<Found> find(const CodeModule& module, const ProcInfo& entry, size_t definition) const;

    /// The texts the lines of a found handler hold with the names of `entry`
    /// (its keywords kept as found): header lines, then footer lines.
    std::vector<std::string> renamed(const Found& found, const ProcInfo& entry) const;

    /// The lines an insertion puts into a procedure of type `procType` (0 Sub,
    /// 1 Function, 2 Property) catalogued as `entry`: header lines, then footer lines.
    std::vector<std::string> inserted(const ProcInfo& entry, int procType) const;

    size_t headerCount() const { return m_header.size(); }
    size_t footerCount() const { return m_footer.size(); }

    /// Whether `text` is `line` with some filling of its slots; the fillings
    /// go to `captures`. `entry` gives the current names, which always match.
    static bool matches(const Line& line, std::string_view text, const ProcInfo& entry,
                        std::vector<std::string>& captures);
    /// `line` filled in with `values`, one per slot.
    static std::string fill(const Line& line, const std::vector<std::string>& values);

private:
    /// Whether `lines` stand in `module` from line `first` on; the slots'
    /// fillings go to `captures`, a vector per line.
    /// A line numbered after the insertion still matches; its number goes
    /// to `numbers`.
    bool matchesAt(const CodeModule& module, const std::vector<Line>& lines, long first,
                   const ProcInfo& entry, std::vector<std::vector<std::string>>& captures,
                   std::vector<std::string>& numbers) const;

    std::vector<Line> m_header;
    std::vector<Line> m_footer;
};

} // namespace trapline
