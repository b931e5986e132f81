#pragma once

#include "linestore.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace trapline {

struct LeadBytes;

/// A member of a code module as the IDE lists it: one per Sub or Function
/// (type 1) and one per property name (type 2), in the order of first
/// declaration. `attribute` is the member's VB_UserMemId, 0 when it has none.
struct Member {
    std::string Name;
    int Type = 0;
    long attribute = 0;
};

/// Where the procedures of one module lie, tiled as the IDE's code window
/// tiles them: a procedure runs from the line after the previous procedure's
/// End statement (the first one from the line after the declarations
/// section's last code line) to its own End statement; the last procedure
/// runs to the end of the module.
///
/// Line numbers are 1-based. After an insertion the index is shifted rather
/// than rebuilt: procedures after the insertion point are moved lazily, so a
/// run that inserts forward through a module stays linear in its size.
class ProcIndex {
public:
    struct Proc {
        long start = 0; ///< first line, comments above the declaration included
        long body = 0;  ///< first line of the declaration statement
        long last = 0;  ///< last line
        /// For a Sub or Function, 0 or 1 as its first line tells
        /// (vb::subOrFunction); 2 for a Property.
        int type = 0;
    };

    /// Finds the procedures of `lines`, whose text is in the code page of
    /// `lead` (see Codepage::leadBytes(); null for a single-byte one).
    void build(const LineStore& lines, const LeadBytes* lead = nullptr);

    /// Looks a procedure up by name (letter case ignored, as VB does) and host
    /// kind. A module may define the same procedure more than once, each with
    /// its own body (whole versions in separate #If branches); `definition`
    /// picks one, counted from 0 in the order of the module's lines.
    std::optional<Proc> find(std::string_view name, int kind, size_t definition = 0) const;
    /// How many definitions of the procedure the module holds; 0 when none.
    /// A declaration repeated under #If/#Else around one shared body is one.
    size_t definitions(std::string_view name, int kind) const;
    const std::vector<Member>& members() const { return m_members; }
    size_t procCount() const { return m_procs.size(); }
    /// Line on which the first procedure starts, or 0 when there is none.
    long firstProcStart() const { return m_procs.empty() ? 0 : proc(0).start; }
    /// Declaration line of the first procedure, or 0 when there is none.
    long firstProcBody() const { return m_procs.empty() ? 0 : proc(0).body; }

    /// Accounts for `count` lines inserted before `line`, none of which
    /// changes where procedures begin or end; a negative `count` for lines
    /// deleted from `line` on, all within one procedure's body or one
    /// stretch before a declaration.
    void shiftForInsert(long line, long count);
    /// Whether lines `first` to `last` lie in one procedure's stretch (or all
    /// before the first procedure): only then may they be taken out by a shift.
    bool oneStretch(long first, long last) const;

private:
    /// The procedure whose stretch holds `line`: one past its entry, 0 before the first.
    size_t owner(long line) const;
    struct Entry {
        long start, body, last;
        std::string key; ///< name in lower case, then the kind
        int type;        ///< as Proc::type
    };

    Proc proc(size_t i) const;
    Entry& materialised(size_t i);
    void shiftAfter(size_t first, long count);
    std::string key(std::string_view name, int kind) const;
    /// A name and kind looked up without making its key: the look-ups, many
    /// per procedure, allocate nothing.
    struct Probe {
        std::string_view name;
        int kind;
    };
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(std::string_view key) const;
        size_t operator()(const std::string& key) const { return (*this)(std::string_view(key)); }
        size_t operator()(const Probe& probe) const;
    };
    struct KeyEqual {
        using is_transparent = void;
        bool operator()(const std::string& a, const std::string& b) const { return a == b; }
        bool operator()(const Probe& p, const std::string& key) const;
        bool operator()(const std::string& key, const Probe& p) const { return (*this)(p, key); }
    };

    using ByKey = std::unordered_map<std::string, size_t, KeyHash, KeyEqual>;
    /// The entry of the first definition of a name and kind, none when none.
    std::optional<size_t> firstOf(std::string_view name, int kind) const;
    /// The last name looked up, as it was spelled, with its answer: a
    /// procedure being treated is asked about many times over. Kept by const
    /// look-ups: one module is asked from one thread at a time.
    struct LastLookUp {
        std::string name;
        int kind = -1;
        std::optional<size_t> first;
    };

    std::vector<Entry> m_procs;
    ByKey m_byKey; ///< first definition of each
    /// First definition → the later ones, in order. Few modules define a
    /// procedure twice, so they live here rather than in every entry.
    std::unordered_map<size_t, std::vector<size_t>> m_laterDefinitions;
    std::vector<Member> m_members;
    mutable LastLookUp m_last;
    const LeadBytes* m_lead = nullptr; ///< of the code page of the names
    // Entries from m_shiftFrom on are stored m_shiftBy lines too high up.
    size_t m_shiftFrom = 0;
    long m_shiftBy = 0;
};

} // namespace trapline
