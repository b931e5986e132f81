#include "opcpackage.h"

#include "asciicase.h"

namespace trapline::office {
namespace {

constexpr size_t kXmlLimit = 16 << 20;
constexpr std::string_view kProjectType = "application/vnd.ms-office.vbaProject";

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::string decodeEntities(std::string_view text) {
    static const std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t k = 0; k < text.size();) {
        bool matched = false;
        for (const auto& [entity, c] : kEntities)
            if (text.substr(k, entity.size()) == entity) {
                out += c;
                k += entity.size();
                matched = true;
                break;
            }
        if (!matched)
            out += text[k++];
    }
    return out;
}

std::string percentDecoded(std::string_view text) {
    auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    std::string out;
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '%' && k + 2 < text.size() && digit(text[k + 1]) >= 0 &&
            digit(text[k + 2]) >= 0) {
            out += static_cast<char>(digit(text[k + 1]) << 4 | digit(text[k + 2]));
            k += 2;
        } else {
            out += text[k];
        }
    }
    return out;
}

} // namespace

std::vector<std::map<std::string, std::string>> OpcPackage::elements(std::string_view xml,
                                                                     std::string_view name) {
    std::vector<std::map<std::string, std::string>> out;
    const std::string open = "<" + std::string(name);
    for (size_t pos = xml.find(open); pos != std::string_view::npos; pos = xml.find(open, pos)) {
        pos += open.size();
        if (pos >= xml.size() || !(xml[pos] == ' ' || xml[pos] == '\t' || xml[pos] == '\r' ||
                                   xml[pos] == '\n' || xml[pos] == '/' || xml[pos] == '>'))
            continue;
        std::map<std::string, std::string> attributes;
        while (pos < xml.size() && xml[pos] != '>') {
            const size_t equals = xml.find('=', pos);
            const size_t close = xml.find('>', pos);
            if (equals == std::string_view::npos || equals > close)
                break;
            size_t keyStart = pos;
            while (keyStart < equals && (xml[keyStart] == ' ' || xml[keyStart] == '\t' ||
                                         xml[keyStart] == '\r' || xml[keyStart] == '\n'))
                ++keyStart;
            size_t keyEnd = equals;
            while (keyEnd > keyStart && xml[keyEnd - 1] == ' ')
                --keyEnd;
            size_t quote = equals + 1;
            while (quote < xml.size() && xml[quote] == ' ')
                ++quote;
            if (quote >= xml.size() || (xml[quote] != '"' && xml[quote] != '\''))
                break;
            const size_t end = xml.find(xml[quote], quote + 1);
            if (end == std::string_view::npos)
                break;
            attributes[std::string(xml.substr(keyStart, keyEnd - keyStart))] =
                decodeEntities(xml.substr(quote + 1, end - quote - 1));
            pos = end + 1;
        }
        out.push_back(std::move(attributes));
    }
    return out;
}

std::string resolvePartName(std::string_view source, std::string_view target) {
    std::vector<std::string> parts;
    std::string path = percentDecoded(target);
    if (!path.empty() && path.front() == '/') {
        path.erase(0, 1);
    } else {
        const size_t slash = source.rfind('/');
        if (slash != std::string_view::npos)
            path = std::string(source.substr(0, slash + 1)) + path;
    }
    size_t pos = 0;
    while (pos <= path.size()) {
        const size_t slash = std::min(path.find('/', pos), path.size());
        const std::string part = path.substr(pos, slash - pos);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = slash + 1;
    }
    std::string out;
    for (const std::string& part : parts)
        out += (out.empty() ? "" : "/") + part;
    return out;
}

Outcome<OpcPackage> OpcPackage::open(const ZipPackage& zip) {
    OpcPackage package(zip);
    Outcome<std::string> types = zip.read("[Content_Types].xml", kXmlLimit);
    if (!types)
        return types.failure().problem == Problem::TooLarge
                   ? types.failure()
                   : fail(Problem::NotOffice, "a zip without [Content_Types].xml");
    for (auto& element : elements(*types, "Override")) {
        std::string part = element["PartName"];
        if (!part.empty() && part.front() == '/')
            part.erase(0, 1);
        package.m_overrides[folded(part)] = element["ContentType"];
    }
    for (auto& element : elements(*types, "Default"))
        package.m_defaults[folded(element["Extension"])] = element["ContentType"];
    return package;
}

std::string OpcPackage::contentType(std::string_view part) const {
    const auto found = m_overrides.find(folded(part));
    if (found != m_overrides.end())
        return found->second;
    const size_t slash = part.rfind('/');
    const size_t dot = part.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    const auto byExtension = m_defaults.find(folded(part.substr(dot + 1)));
    return byExtension == m_defaults.end() ? std::string() : byExtension->second;
}

Outcome<std::vector<Relationship>> OpcPackage::relationships(std::string_view part) const {
    const size_t slash = part.rfind('/');
    const std::string folder =
        slash == std::string_view::npos ? "" : std::string(part.substr(0, slash + 1));
    const std::string name(slash == std::string_view::npos ? part : part.substr(slash + 1));
    const std::string relsName = folder + "_rels/" + name + ".rels";
    std::vector<Relationship> out;
    bool present = false;
    for (const std::string& entry : m_zip->names())
        present = present || folded(entry) == folded(relsName);
    if (!present)
        return out;
    Outcome<std::string> xml = m_zip->read(relsName, kXmlLimit);
    if (!xml)
        return xml.failure();
    for (auto& element : elements(*xml, "Relationship")) {
        Relationship relationship;
        relationship.type = element["Type"];
        relationship.external = element["TargetMode"] == "External";
        relationship.target =
            relationship.external ? element["Target"] : resolvePartName(part, element["Target"]);
        out.push_back(std::move(relationship));
    }
    return out;
}

Outcome<std::string> OpcPackage::projectPart() const {
    Outcome<std::vector<Relationship>> root = relationships("");
    if (!root)
        return root.failure();
    for (const Relationship& main : *root) {
        if (main.external || !endsWith(main.type, "/officeDocument"))
            continue;
        Outcome<std::vector<Relationship>> mainRelationships = relationships(main.target);
        if (!mainRelationships)
            return mainRelationships.failure();
        for (const Relationship& project : *mainRelationships) {
            if (project.external || !endsWith(project.type, "/vbaProject"))
                continue;
            if (contentType(project.target) != kProjectType)
                return fail(Problem::Corrupt,
                            project.target + " is not of the VBA project's content type");
            return project.target;
        }
    }
    return fail(Problem::NoProject, "the package has no VBA project");
}

} // namespace trapline::office
