#pragma once

#include "result.h"

#include <optional>
#include <string>
#include <vector>

namespace vbide {

/// The environment's per-user list of registered add-ins: what a COM
/// registry holds for an add-in on Windows, as a text file
/// ("$XDG_CONFIG_HOME/trapline/addins.ini", by default under ~/.config).
/// Add-ins write their own entry at registration; the environment reads the
/// list and keeps each entry's load behaviour. A change replaces the file
/// atomically and rewrites only the lines it changes: every other entry,
/// comment, blank line, space and line end (CR LF or LF) stays byte for byte,
/// and a file changed meanwhile by another program is not overwritten.
///
///     [Trapline.Connect]
///     CLSID={D26D66EF-D11E-4A0D-ACB0-F26079A76A88}
///     Library=/usr/lib/trapline/addins/Trapline.so
///     FriendlyName=TRAPLINE
///     Description=Insert Error handler to project functions, procedures and properties
///     LoadBehavior=1
class AddInRegistry {
public:
    /// One add-in's entry: its ProgID and its keys, in file order.
    struct Entry {
        std::string progId;
        std::vector<std::pair<std::string, std::string>> keys;

        /// The value of `key`, empty when absent.
        std::string value(const std::string& key) const;
        void set(const std::string& key, const std::string& value);
        /// Bit 0 of "LoadBehavior": connect at start-up.
        bool loadOnStartup() const;
        void setLoadOnStartup(bool on);
    };

    /// The registry file of this user: $XDG_CONFIG_HOME or ~/.config.
    static std::string defaultPath();

    explicit AddInRegistry(std::string path = defaultPath()) : m_path(std::move(path)) {}

    const std::string& path() const { return m_path; }

    /// Every entry, in file order; none when the file does not exist. An
    /// error names the file and line of what cannot be read.
    trapline::Result<std::vector<Entry>> entries() const;
    std::optional<Entry> find(const std::string& progId) const;
    /// Adds or replaces the entry of `entry.progId`.
    trapline::Result<void> put(const Entry& entry);
    /// Removes the entry of `progId` with the blank line before it; nothing
    /// to do when there is none.
    trapline::Result<void> remove(const std::string& progId);

private:
    /// Puts `entry` in place of every entry of `progId` (the keys it
    /// lacks go, new ones follow the last key), or appends it; without
    /// `entry`, removes them.
    trapline::Result<void> change(const std::string& progId, const Entry* entry);

    std::string m_path;
};

} // namespace vbide
