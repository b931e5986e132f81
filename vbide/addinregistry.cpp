#include "addinregistry.h"

#include "diskfile.h"

#include <cstdlib>
#include <filesystem>

namespace vbide {
namespace {

std::string trim(std::string s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

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
    std::vector<Entry> out;
    std::error_code ec;
    if (!std::filesystem::exists(m_path, ec))
        return out;
    auto file = trapline::DiskFile::read(m_path);
    if (!file)
        return file.error();
    const std::string& text = file->bytes;
    size_t pos = 0;
    long lineNo = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line =
            trim(text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
        pos = nl == std::string::npos ? text.size() : nl + 1;
        ++lineNo;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            out.push_back(Entry{trim(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || out.empty())
            return trapline::makeError(trapline::errors::BadFileFormat, m_path,
                                       "line " + std::to_string(lineNo) +
                                           ": neither [ProgID] nor Key=Value");
        out.back().keys.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
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
    auto all = entries();
    if (!all)
        return all.error();
    bool replaced = false;
    for (Entry& e : *all)
        if (e.progId == entry.progId) {
            e = entry;
            replaced = true;
        }
    if (!replaced)
        all->push_back(entry);
    return write(*all);
}

trapline::Result<void> AddInRegistry::remove(const std::string& progId) {
    auto all = entries();
    if (!all)
        return all.error();
    std::erase_if(*all, [&](const Entry& e) { return e.progId == progId; });
    return write(*all);
}

trapline::Result<void> AddInRegistry::write(const std::vector<Entry>& entries) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    std::string text = "; Add-ins of the TRAPLINE environment, one [ProgID] each.\n";
    for (const Entry& e : entries) {
        text += "\n[" + e.progId + "]\n";
        for (const auto& [k, v] : e.keys)
            text += k + "=" + v + "\n";
    }
    auto written = trapline::DiskFile::replace(m_path, text, nullptr);
    if (!written)
        return written.error();
    return {};
}

} // namespace vbide
