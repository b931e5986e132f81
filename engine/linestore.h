#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace trapline {

/// How many line feeds `s` holds; memchr() skips a whole line at a time,
/// where counting byte by byte cost as much as the rest of a module's split.
size_t countLineFeeds(std::string_view s);

/// The lines of one module file, kept as the file's own bytes.
///
/// The file is held whole and never changed; each code line is a reference
/// into it (its text, then a "tail": its line end plus any hidden attribute
/// lines that follow it). Inserted lines live in a second buffer. References
/// sit in a gap buffer, so insertions that move forward through a module cost
/// time in proportion to the distance moved, not to the module's size.
/// Indexes are 0-based here; the code module translates to 1-based lines.
class LineStore {
public:
    LineStore();
    explicit LineStore(std::string original);

    /// Load-time setup: the first `length` bytes are the hidden head.
    void setHead(size_t length) { m_headLength = length; }
    /// Load-time setup: room for `lines` lines.
    void reserve(size_t lines) { m_refs.reserve(lines); }
    /// Load-time setup: appends a line of the original file.
    void appendOriginal(size_t offset, size_t textLength, size_t tailLength);

    /// The largest file a store can hold: offsets and lengths are 32-bit.
    static constexpr size_t kMaxBytes = (size_t(1) << 30) - 1;
    /// The UTF-8 byte-order mark some editors put before a file's first line.
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";

    size_t count() const { return m_refs.size() - gapLength(); }
    std::string_view text(size_t index) const {
        const Ref& r = ref(index);
        return std::string_view((r.added() ? m_added : m_original).data() + r.offset, r.textLength);
    }
    /// The line end and hidden lines written after the line's text.
    std::string_view tail(size_t index) const;
    std::string_view head() const { return std::string_view(m_original).substr(0, m_headLength); }
    const std::string& original() const { return m_original; }

    /// The 1-based line of the file as it was read on which line `index`
    /// stands, counting the hidden head and hidden attribute lines as an
    /// editor shows them. An inserted line has none of its own and gives the
    /// line of the next line that came from the file (or the line after the
    /// file's last). The first call indexes the file's line ends (four bytes
    /// a line); later ones cost a search.
    size_t fileLine(size_t index) const;

    /// Inserts `lines` before `index` (== count() appends). Each new line gets
    /// `eol`, except that a file without a final line end keeps none.
    void insert(size_t index, const std::vector<std::string_view>& lines, std::string_view eol);

    /// Removes `n` lines from `index` on, each with its tail.
    void erase(size_t index, size_t n);
    /// Gives line `index` the text `text`; its tail (line end and hidden
    /// lines) stays as it is.
    void replace(size_t index, std::string_view text);

    /// The hidden lines after line `index`: its tail without its own line end.
    std::string_view hidden(size_t index) const;
    /// Gives line `index` the hidden lines `hiddenLines` in place of its own;
    /// its text and line end stay. `eol` ends what needs an end.
    void setHidden(size_t index, std::string_view hiddenLines, std::string_view eol);

    /// fileLine() of every line, in one pass over the file.
    std::vector<size_t> fileLines() const;

    bool modified() const { return m_revision != m_savedRevision; }
    /// The lines as they are now are what the file holds.
    void markSaved() { m_savedRevision = m_revision; }

    /// Which version of the lines this is: every change makes a new number,
    /// never used before by this store; coming back to a state brings its
    /// number back.
    uint64_t revision() const { return m_revision; }
    /// Which store this is: a module read again is another store, whose
    /// states have nothing to do with this one's.
    uint64_t identity() const { return m_identity; }

    class State;
    /// The lines as they are now, to come back to with restore(). Costs a
    /// copy of the line references (twelve bytes a line), not of the text:
    /// the buffers only ever grow.
    State state() const;
    /// A state of this store with no lines and revision 0, to be filled with
    /// the lines the file was read as (State::appendOriginal).
    State emptyState() const;
    /// Comes back to `state`, taken of this store. False, changing nothing,
    /// for a state of another store.
    bool restore(const State& state);

    /// The file's bytes as they are now. Unchanged lines are written from the
    /// original bytes, so a load without change serialises byte for byte.
    std::string serialize(std::string_view eol) const;
    /// The same bytes as consecutive pieces of the buffers, neighbours joined,
    /// for writing without a copy. Valid until the store changes.
    std::vector<std::string_view> pieces(std::string_view eol) const;

    /// One physical line of a change against the original file: kept, added
    /// or removed. Removed lines come before the lines added in their place. `text` includes its
    /// line end, if it has one; `owedEol` asks for the module's line end after it (a former last
    /// line given one).
    struct Edit {
        char op; ///< ' ', '+' or '-'
        std::string_view text;
        bool owedEol = false;
    };
    /// The change from the original file to the lines as they are now, in order.
    std::vector<Edit> edits() const;

private:
    /// One line: where its bytes are and how they split into text and tail.
    /// Twelve bytes, as a large project holds a million of them.
    struct Ref {
        static constexpr uint32_t kAdded = 1u << 31;    ///< bytes are in the inserted-text buffer
        static constexpr uint32_t kExtraEol = 1u << 30; ///< a line end owed after the tail
        static constexpr uint32_t kLength = kExtraEol - 1;

        uint32_t offset = 0;
        uint32_t textLength = 0;
        uint32_t tail = 0; ///< tail length, then the two flags above

        uint32_t tailLength() const { return tail & kLength; }
        bool added() const { return (tail & kAdded) != 0; }
        bool extraEol() const { return (tail & kExtraEol) != 0; }
    };

    size_t gapLength() const { return m_gapEnd - m_gapStart; }
    const Ref& ref(size_t index) const {
        return m_refs[index < m_gapStart ? index : index + gapLength()];
    }
    Ref& ref(size_t index) { return m_refs[index < m_gapStart ? index : index + gapLength()]; }
    std::string_view bytes(const Ref& r) const;
    void moveGap(size_t index, size_t needed);
    /// Line `index` becomes `text` and `tailBytes`, written to the inserted-text
    /// buffer; either may be bytes of this store.
    void rewrite(size_t index, std::string_view text, std::string_view tailBytes, bool owedEol);
    bool endsWithLineEnd(const Ref& r) const;
    bool headIsBomOnly() const { return head() == kBom; }
    std::string_view withBom(std::string_view line) const;
    void attachBom(std::vector<Edit>& edits) const;

    /// Where the original file's line ends are, for fileLine(): made on first
    /// use, as only messages need it, and shared by copies of the store,
    /// whose original bytes are the same.
    struct LineEnds {
        std::once_flag made;
        std::vector<uint32_t> offsets;
    };
    const std::vector<uint32_t>& lineEnds() const;

    std::string m_original;
    std::shared_ptr<LineEnds> m_lineEnds = std::make_shared<LineEnds>();
    std::string m_added;
    size_t m_headLength = 0;
    bool m_headExtraEol = false;
    std::vector<Ref> m_refs;
    size_t m_gapStart = 0;
    size_t m_gapEnd = 0;
    uint64_t m_revision = 0;
    uint64_t m_savedRevision = 0;
    uint64_t m_lastRevision = 0; ///< the highest number given so far
    uint64_t m_identity = 0;
    void changed() { m_revision = ++m_lastRevision; }
};

/// A version of a store's lines (see LineStore::state()).
class LineStore::State {
public:
    uint64_t revision() const { return m_revision; }
    size_t count() const { return m_refs.size(); }
    /// The memory the state holds.
    size_t bytes() const { return m_refs.capacity() * sizeof(Ref) + sizeof(State); }
    /// Load-time setup of the state a file was read in: appends one of its lines.
    void appendOriginal(size_t offset, size_t textLength, size_t tailLength) {
        m_refs.push_back({static_cast<uint32_t>(offset), static_cast<uint32_t>(textLength),
                          static_cast<uint32_t>(tailLength)});
    }

private:
    friend class LineStore;
    std::vector<Ref> m_refs;
    bool m_headExtraEol = false;
    uint64_t m_revision = 0;
    uint64_t m_identity = 0;
};

} // namespace trapline
