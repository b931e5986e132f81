#pragma once

#include "linestore.h"
#include "procindex.h"
#include "result.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trapline {

class Component;

/// The code of one component as the IDE's code window shows it.
///
/// Line 1 is the first line after the file's hidden head (VERSION, Object
/// lines, the BEGIN…END block, the module's Attribute lines). Member Attribute
/// lines are hidden too; they stay attached to the line they follow. Text is
/// in the project's code page, byte for byte as in the file.
///
/// Operations fail as the IDE's do: `ProcBodyLine` and its siblings with error
/// 35 when no procedure has that name and kind, `Lines` and `InsertLines` with
/// error 9 for a line outside the module.
class CodeModule {
public:
    CodeModule() = default;
    /// Splits a module file into its hidden head and its code lines. A UTF-8
    /// byte-order mark before the head is kept with it. `lead` gives the lead
    /// bytes of the file's code page when it is a double-byte one.
    explicit CodeModule(std::string fileBytes, const LeadBytes* lead = nullptr);

    /// Whether a module file's bytes can be taken as a code module; error 321
    /// says why not: binary, too large, or a line ended by CR without LF (old
    /// Mac files), whose lines this model would not see apart. Check before
    /// constructing from bytes read from disk.
    static Result<void> usable(std::string_view fileBytes);

    CodeModule(const CodeModule&) = delete;
    CodeModule& operator=(const CodeModule&) = delete;
    CodeModule(CodeModule&&) = default;
    CodeModule& operator=(CodeModule&&) = default;

    Component* Parent() const { return m_parent; }
    void setParent(Component* parent) { m_parent = parent; }

    /// The lead bytes of the text's code page (Codepage::leadBytes()), null
    /// for a single-byte one. Every parse of the text is made in a
    /// vb::CodepageScope of them; a change looks for the procedures again.
    const LeadBytes* leadBytes() const { return m_lead; }
    void setLeadBytes(const LeadBytes* lead);

    /// Sub/Function members (type 1) and properties (type 2), in declaration order.
    const std::vector<Member>& Members() const { return m_index.members(); }

    long CountOfLines() const { return static_cast<long>(m_lines.count()); }

    /// `count` lines from `line`, joined by CR LF.
    Result<std::string> Lines(long line, long count) const;

    /// Inserts `text` before `line` (CountOfLines() + 1 appends). Each CR LF (or
    /// lone LF) starts a new line; a final line break ends the last line and adds
    /// no empty one, so "a\r\n" and "a" both insert one line; "" inserts nothing.
    Result<void> InsertLines(long line, std::string_view text);

    /// Deletes `count` lines from `line` on. Error 9 when they are not all in
    /// the module; error 5 when one of them carries hidden attribute lines,
    /// which would go with it (the attributes of the member declared above).
    Result<void> DeleteLines(long line, long count = 1);

    /// Gives line `line` the text `text` (one line, no line break); the hidden
    /// attribute lines after it stay. Error 9 outside the module, error 5 for
    /// a text with a line break.
    Result<void> ReplaceLine(long line, std::string_view text);

    /// Gives each line its new text (one line each, no line break), as
    /// ReplaceLine does, but finds where procedures lie only once for all:
    /// each line keeps its hidden attribute lines, whatever other lines hold
    /// the same text. Error 9 for a line outside the module and error 5 for a
    /// text with a line break or a NUL character, before anything changes.
    Result<void> replaceTexts(const std::vector<std::pair<long, std::string_view>>& texts);

    /// Puts `lines` in place of the `count` lines from `line` on, as an edit
    /// in a code window does. Hidden attribute lines of the old lines follow
    /// their line where it still is, else the end of the statement declaring
    /// their member, else the new line in the old one's place; they go only
    /// when none is left (a member's attributes go with its declaration, as
    /// in VB6). Error 9 outside the module, error 5 for a line holding a line
    /// break or a NUL character.
    Result<void> replaceLines(long line, long count, const std::vector<std::string_view>& lines);

    /// Adds `text` after the declarations section, before the first procedure.
    Result<void> AddFromString(std::string_view text);

    /// Where a procedure lies. `definition` (counted from 0, in the order of
    /// the module's lines) picks one of several definitions that each have
    /// their own body, as whole versions of a procedure under #If/#Else
    /// have; the IDE's own calls answer for the first.
    Result<long> ProcBodyLine(std::string_view name, int kind, size_t definition = 0) const;
    Result<long> ProcStartLine(std::string_view name, int kind, size_t definition = 0) const;
    Result<long> ProcCountLines(std::string_view name, int kind, size_t definition = 0) const;
    /// How many definitions, each with its own body and End statement, the
    /// module holds of a procedure; 0 when none. A declaration repeated under
    /// #If/#Else above one shared body counts once.
    size_t ProcDefinitions(std::string_view name, int kind) const {
        return m_index.definitions(name, kind);
    }
    /// ProcStartLine, ProcBodyLine and the last line (start + count - 1) in
    /// one look-up, failing as they do.
    Result<ProcIndex::Proc> procLines(std::string_view name, int kind,
                                      size_t definition = 0) const {
        return proc(name, kind, definition);
    }

    /// Searches `target` from (startLine, startColumn) to (endLine, endColumn),
    /// columns 1-based, endColumn -1 meaning the end of the line. On a match the
    /// four positions are set to it and the result is true. Pattern search is
    /// not supported (error 5).
    Result<bool> Find(std::string_view target, long& startLine, long& startColumn, long& endLine,
                      long& endColumn, bool wholeWord = false, bool matchCase = false,
                      bool patternSearch = false) const;

    /// The module's name as its hidden head gives it (Attribute VB_Name), or "".
    std::string headName() const;

    /// The line of the file as it was read that code line `line` stands on,
    /// numbered as an editor shows the file (hidden head and member attribute
    /// lines counted), for messages: lines inserted since do not move it. An
    /// inserted line gives the next line from the file. Lines outside the
    /// module are taken as its first line or the line after its last.
    long fileLine(long line) const;

    /// fileLine() of every line 1..CountOfLines() (at index line - 1), in one
    /// pass over the file: for callers that need many.
    std::vector<long> fileLines() const;

    /// From now on fileLine() counts lines as the code window shows the text
    /// as it was read, hidden lines left out: for a module that has no file
    /// of its own to open in an editor (one inside an Office document).
    void countWindowLines();

    /// One line's text without bounds checks beyond an empty result.
    std::string_view line(long line) const {
        if (line < 1 || static_cast<size_t>(line) > m_lines.count())
            return {};
        return m_lines.text(static_cast<size_t>(line - 1));
    }

    /// The file's bytes as they are now.
    std::string serialize() const { return m_lines.serialize(m_eol); }
    /// The same bytes in pieces, for writing without a copy.
    std::vector<std::string_view> pieces() const { return m_lines.pieces(m_eol); }
    const std::string& originalBytes() const { return m_lines.original(); }
    /// The change since the file was read, line by line.
    std::vector<LineStore::Edit> edits() const { return m_lines.edits(); }
    /// Changed since it was read or last saved.
    bool modified() const { return m_lines.modified(); }
    void markSaved() { m_lines.markSaved(); }
    /// A number that changes with every change and comes back with restore().
    uint64_t revision() const { return m_lines.revision(); }
    /// Which reading of the file this is (see LineStore::identity()).
    uint64_t identity() const { return m_lines.identity(); }
    /// The code as it is now, to come back to with restore().
    LineStore::State state() const { return m_lines.state(); }
    /// The code as the file was read.
    LineStore::State originalState() const;
    /// Comes back to a state of this module; false, changing nothing, for a
    /// state taken before the file was read again.
    bool restore(const LineStore::State& state);

    /// The line end this file uses ("\r\n" unless its first line ends in LF only).
    std::string_view eol() const { return m_eol; }

private:
    /// Whether changing `lines` (old or new texts) at `line` can move where
    /// procedures begin or end, so that the index must be built again.
    bool changesShape(long line, std::span<const std::string_view> lines) const;
    Result<ProcIndex::Proc> proc(std::string_view name, int kind, size_t definition) const;

    LineStore m_lines;
    ProcIndex m_index;
    const LeadBytes* m_lead = nullptr;
    std::string m_eol = "\r\n";
    Component* m_parent = nullptr;
    bool m_windowLines = false;
    std::vector<size_t> m_readLines; ///< with m_windowLines: the file line of each line read
};

} // namespace trapline
