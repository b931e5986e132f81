#include "vbpfile.h"

#include "vbsyntax.h"

namespace trapline {
namespace {

std::optional<ComponentType> componentKey(std::string_view key) {
    struct Known {
        const char* key;
        ComponentType type;
    };
    static constexpr Known kKeys[] = {
        {"Module", ComponentType::StdModule},
        {"Class", ComponentType::ClassModule},
        {"Form", ComponentType::Form},
        {"UserControl", ComponentType::UserControl},
        {"PropertyPage", ComponentType::PropertyPage},
        {"UserDocument", ComponentType::UserDocument},
        {"Designer", ComponentType::Designer},
    };
    for (const Known& k : kKeys)
        if (vb::equalsNoCase(key, k.key))
            return k.type;
    return std::nullopt;
}

/// Calls `f(lineNumber, begin, end)` for each line; `end` excludes the line end.
template <class F> void forEachLine(const std::string& bytes, F f) {
    size_t pos = 0;
    long number = 0;
    while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        size_t next = nl == std::string::npos ? bytes.size() : nl + 1;
        size_t end = nl == std::string::npos ? bytes.size() : nl;
        if (end > pos && bytes[end - 1] == '\r')
            --end;
        if (!f(++number, pos, end, next))
            return;
        pos = next;
    }
}

} // namespace

VbpFile VbpFile::parse(std::string bytes) {
    VbpFile file;
    file.m_bytes = std::move(bytes);
    const std::string& b = file.m_bytes;
    forEachLine(b, [&](long number, size_t begin, size_t end, size_t) {
        std::string_view line(b.data() + begin, end - begin);
        if (!line.empty() && line.front() == '[')
            return false; // the sections at the end hold settings, not components
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return true;
        std::string key = vb::trim(line.substr(0, eq));
        std::string value = vb::trim(line.substr(eq + 1));
        if (vb::equalsNoCase(key, "Name") && file.m_name.empty()) {
            file.m_name = value.size() >= 2 && value.front() == '"' && value.back() == '"'
                              ? value.substr(1, value.size() - 2)
                              : value;
            return true;
        }
        auto type = componentKey(key);
        if (!type)
            return true;
        Entry entry{*type, {}, value, number};
        if (*type == ComponentType::StdModule || *type == ComponentType::ClassModule) {
            size_t semi = value.find(';');
            if (semi == std::string::npos) {
                file.m_problems.push_back({number, key + "= line has no \"Name; path\" pair"});
                return true;
            }
            entry.name = vb::trim(std::string_view(value).substr(0, semi));
            entry.path = vb::trim(std::string_view(value).substr(semi + 1));
        }
        if (entry.path.empty()) {
            file.m_problems.push_back({number, key + "= line names no file"});
            return true;
        }
        file.m_entries.push_back(std::move(entry));
        return true;
    });
    return file;
}

std::string VbpFile::withLineAdded(std::string_view key, std::string_view line) const {
    const std::string& b = m_bytes;
    std::string eol = "\r\n";
    if (size_t nl = b.find('\n'); nl != std::string::npos && (nl == 0 || b[nl - 1] != '\r'))
        eol = "\n";
    size_t afterSameKey = std::string::npos, afterComponent = std::string::npos;
    size_t beforeSection = std::string::npos, lastKeyLine = std::string::npos;
    bool lastHasEol = true;
    forEachLine(b, [&](long, size_t begin, size_t end, size_t next) {
        std::string_view text(b.data() + begin, end - begin);
        if (!text.empty() && text.front() == '[') {
            beforeSection = begin;
            return false;
        }
        size_t eq = text.find('=');
        if (eq != std::string_view::npos) {
            std::string k = vb::trim(text.substr(0, eq));
            if (vb::equalsNoCase(k, key))
                afterSameKey = next;
            if (componentKey(k))
                afterComponent = next;
            lastKeyLine = next;
        }
        // A lone CR before the end of the file is no line end to the reader.
        lastHasEol = next > begin && b[next - 1] == '\n';
        return true;
    });
    size_t at = afterSameKey != std::string::npos     ? afterSameKey
                : afterComponent != std::string::npos ? afterComponent
                : lastKeyLine != std::string::npos    ? lastKeyLine
                : beforeSection != std::string::npos  ? beforeSection
                                                      : b.size();
    std::string out = b.substr(0, at);
    // The line we insert after may be the file's last, written without an end.
    if (at == b.size() && !b.empty() && !lastHasEol) {
        // Added after a last line written without an end: it stays without one.
        out.append(eol).append(line);
        return out;
    }
    out.append(line).append(eol);
    out.append(b, at, std::string::npos);
    return out;
}

} // namespace trapline
