#include "addinregistry.h"

#include "diskfile.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace vbide {
namespace {

std::string trim(std::string s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

/// One line of the file as it stands, with what it says: a change rewrites
/// only the lines it must and copies every other byte.
struct Line {
    enum Kind { Blank, Comment, Section, Key, Bad } kind = Blank;
    size_t begin = 0, next = 0;          ///< the line, and where the one after it starts
    size_t valueBegin = 0, valueEnd = 0; ///< of a key's value, without spaces
    std::string name;                    ///< a section's ProgID or a key
};

std::vector<Line> splitLines(const std::string& text) {
    std::vector<Line> lines;
    for (size_t pos = 0; pos < text.size();) {
        Line l;
        l.begin = pos;
        size_t nl = text.find('\n', pos);
        l.next = nl == std::string::npos ? text.size() : nl + 1;
        const std::string content =
            text.substr(pos, (nl == std::string::npos ? text.size() : nl) - pos);
        const std::string line = trim(content);
        pos = l.next;
        if (line.empty())
            l.kind = Line::Blank;
        else if (line[0] == ';' || line[0] == '#')
            l.kind = Line::Comment;
        else if (line.front() == '[' && line.back() == ']')
            l.kind = Line::Section, l.name = trim(line.substr(1, line.size() - 2));
        else if (size_t eq = content.find('='); eq == std::string::npos)
            l.kind = Line::Bad;
        else {
            l.kind = Line::Key;
            l.name = trim(content.substr(0, eq));
            const size_t from = content.find_first_not_of(" \t\r", eq + 1);
            const size_t to = content.find_last_not_of(" \t\r");
            l.valueBegin = l.begin + (from == std::string::npos ? eq + 1 : from);
            l.valueEnd = from == std::string::npos ? l.valueBegin : l.begin + to + 1;
        }
        lines.push_back(std::move(l));
    }
    return lines;
}

/// The file's own line end: CR LF when its first line has one.
std::string lineEndOf(const std::string& text) {
    size_t nl = text.find('\n');
    return nl != std::string::npos && nl > 0 && text[nl - 1] == '\r' ? "\r\n" : "\n";
}

/// The registry file as read, split into lines; none when it does not exist.
struct Parsed {
    std::string text;
    std::optional<trapline::FileStamp> stamp;
    std::vector<Line> lines;
};

trapline::Result<Parsed> load(const std::string& path) {
    Parsed parsed;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return parsed;
    auto file = trapline::DiskFile::read(path);
    if (!file)
        return file.error();
    parsed.text = std::move(file->bytes);
    parsed.stamp = file->stamp;
    parsed.lines = splitLines(parsed.text);
    bool inSection = false;
    for (size_t i = 0; i < parsed.lines.size(); ++i) {
        const Line& l = parsed.lines[i];
        inSection = inSection || l.kind == Line::Section;
        if (l.kind == Line::Bad || (l.kind == Line::Key && !inSection))
            return trapline::makeError(trapline::errors::BadFileFormat, path,
                                       "line " + std::to_string(i + 1) +
                                           ": neither [ProgID] nor Key=Value");
    }
    return parsed;
}

/// What a change does to each line of the file: drops it, gives its key a
/// new value, or adds lines after it. Every other byte is copied.
struct Edits {
    explicit Edits(size_t lines) : drop(lines), value(lines), after(lines) {}

    /// Makes the section from `header` to its `last` key hold the keys of
    /// `entry`: values that differ are replaced in place, keys it lacks go,
    /// new ones follow the last key.
    void rewrite(const Parsed& file, size_t header, size_t last, const AddInRegistry::Entry& entry,
                 const std::string& eol) {
        const std::vector<Line>& lines = file.lines;
        std::vector<bool> used(entry.keys.size());
        for (size_t i = header + 1; i <= last; ++i) {
            if (lines[i].kind != Line::Key)
                continue;
            size_t k = 0;
            while (k < used.size() && (used[k] || entry.keys[k].first != lines[i].name))
                ++k;
            if (k == used.size()) {
                drop[i] = true;
                continue;
            }
            used[k] = true;
            const std::string& v = entry.keys[k].second;
            if (file.text.compare(lines[i].valueBegin, lines[i].valueEnd - lines[i].valueBegin,
                                  v) != 0)
                value[i] = v;
        }
        for (size_t k = 0; k < used.size(); ++k)
            if (!used[k])
                after[last] += entry.keys[k].first + "=" + entry.keys[k].second + eol;
        if (!after[last].empty() && lines[last].next == file.text.size() &&
            file.text.back() != '\n')
            after[last].insert(0, eol);
    }

    std::string apply(const Parsed& file) const {
        std::string out;
        out.reserve(file.text.size());
        for (size_t i = 0; i < file.lines.size(); ++i) {
            const Line& l = file.lines[i];
            if (drop[i]) {
                out += after[i]; // keys added after a dropped last line still go in
                continue;
            }
            if (value[i])
                out.append(file.text, l.begin, l.valueBegin - l.begin)
                    .append(*value[i])
                    .append(file.text, l.valueEnd, l.next - l.valueEnd);
            else
                out.append(file.text, l.begin, l.next - l.begin);
            out += after[i];
        }
        return out;
    }

    std::vector<bool> drop;
    std::vector<std::optional<std::string>> value;
    std::vector<std::string> after;
};

} // namespace

std::string AddInRegistry::Entry::value(const std::string& key) const {
    for (const auto& [k, v] : keys)
        if (k == key)
            return v;
    return {};
}

void AddInRegistry::Entry::set(const std::string& key, const std::string& value) {
    for (auto& [k, v] : keys)
        if (k == key) {
            v = value;
            return;
        }
    keys.emplace_back(key, value);
}

bool AddInRegistry::Entry::loadOnStartup() const {
    return (std::atol(value("LoadBehavior").c_str()) & 1) != 0;
}

void AddInRegistry::Entry::setLoadOnStartup(bool on) {
    long behaviour = std::atol(value("LoadBehavior").c_str());
    set("LoadBehavior", std::to_string(on ? (behaviour | 1) : (behaviour & ~1L)));
}

std::string AddInRegistry::defaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && *config == '/')
        base = config;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = ".";
    return base + "/trapline/addins.ini";
}

trapline::Result<std::vector<AddInRegistry::Entry>> AddInRegistry::entries() const {
    auto parsed = load(m_path);
    if (!parsed)
        return parsed.error();
    std::vector<Entry> out;
    for (const Line& l : parsed->lines) {
        if (l.kind == Line::Section)
            out.push_back(Entry{l.name, {}});
        else if (l.kind == Line::Key)
            out.back().keys.emplace_back(
                l.name, parsed->text.substr(l.valueBegin, l.valueEnd - l.valueBegin));
    }
    return out;
}

std::optional<AddInRegistry::Entry> AddInRegistry::find(const std::string& progId) const {
    auto all = entries();
    if (!all)
        return std::nullopt;
    for (Entry& e : *all)
        if (e.progId == progId)
            return std::move(e);
    return std::nullopt;
}

trapline::Result<void> AddInRegistry::put(const Entry& entry) {
    return change(entry.progId, &entry);
}

trapline::Result<void> AddInRegistry::remove(const std::string& progId) {
    return change(progId, nullptr);
}

trapline::Result<void> AddInRegistry::change(const std::string& progId, const Entry* entry) {
    auto parsed = load(m_path);
    if (!parsed)
        return parsed.error();
    const std::string& text = parsed->text;
    const std::vector<Line>& lines = parsed->lines;
    const std::string eol = lineEndOf(text);
    Edits edits(lines.size());
    bool found = false;
    for (size_t header = 0; header < lines.size(); ++header) {
        if (lines[header].kind != Line::Section || lines[header].name != progId)
            continue;
        found = true;
        size_t last = header; // the section's last key, or its header
        for (size_t i = header + 1; i < lines.size() && lines[i].kind != Line::Section; ++i)
            if (lines[i].kind == Line::Key)
                last = i;
        if (entry) {
            edits.rewrite(*parsed, header, last, *entry, eol);
            continue;
        }
        // The blank line that set it apart goes with it.
        for (size_t i = header; i <= last; ++i)
            edits.drop[i] = true;
        if (header > 0 && lines[header - 1].kind == Line::Blank)
            edits.drop[header - 1] = true;
    }
    std::string appended;
    if (!found && entry) {
        if (text.empty())
            appended = "; Add-ins of the TRAPLINE environment, one [ProgID] each." + eol;
        else if (text.back() != '\n')
            appended = eol;
        appended += eol + "[" + entry->progId + "]" + eol;
        for (const auto& [k, v] : entry->keys)
            appended += k + "=" + v + eol;
    }
    const std::string out = edits.apply(*parsed) + appended;
    if (out == text)
        return {};
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    auto written =
        trapline::DiskFile::replace(m_path, out, parsed->stamp ? &*parsed->stamp : nullptr);
    if (!written)
        return written.error();
    return {};
}

} // namespace vbide
