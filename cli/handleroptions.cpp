#include "handleroptions.h"

#include "diskfile.h"
#include "json.h"

#include <filesystem>

namespace trapline::cli {

std::vector<Arguments::Option> HandlerOptions::table(bool trapFilter) {
    std::vector<Arguments::Option> options = {
        {"module", true},     {"proc", true},        {"subs", false},
        {"functions", false}, {"properties", false}, {"live", false},
        {"header", true},     {"footer", true},      {"codepage", true}};
    if (trapFilter)
        options.push_back({"include-trapped", false});
    return options;
}

Result<std::string> HandlerOptions::readTemplate(const std::string& path, const Codepage& cp) {
    auto file = DiskFile::read(path);
    if (!file)
        return file.error();
    std::string text = std::move(file->bytes);
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    if (text.find('\0') != std::string::npos)
        return makeError(errors::BadFileFormat, path, "binary file, not a template");
    if (!Codepage::isValidUtf8(text))
        text = cp.toUtf8(text);
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (text[i] == '\n' || text[i] == '\r')
            out += "\r\n";
        else
            out += text[i];
    }
    return out;
}

std::optional<InsertionOptions> HandlerOptions::read(const Arguments& a, const Codepage& codepage,
                                                     ProjectInput& input) {
    InsertionOptions options;
    options.confirm = false;
    options.procName = a.value("proc", "*");
    options.moduleName = a.value("module", "*");
    options.onlySub = a.has("subs");
    options.onlyFunc = a.has("functions");
    options.onlyProperty = a.has("properties");
    options.skipTrapped = !a.has("include-trapped");
    options.withComment = !a.has("live");
    options.useDefault = !a.has("header");
    if (options.procName.empty()) {
        input.fail("--proc needs a procedure name");
        return std::nullopt;
    }
    if (!codepage.fromUtf8(options.moduleName) || !codepage.fromUtf8(options.procName)) {
        input.fail("--module or --proc holds a character the code page cannot hold");
        return std::nullopt;
    }
    if (!options.useDefault) {
        auto header = readTemplate(a.value("header"), codepage);
        auto footer = readTemplate(a.value("footer"), codepage);
        for (auto* t : {&header, &footer})
            if (!*t) {
                input.fail(t->error().source + ": " + t->error().description);
                return std::nullopt;
            }
        options.header = *header;
        options.footer = *footer;
    }
    return options;
}

std::string displayPath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path rel = std::filesystem::proximate(path, ec);
    return ec ? path : rel.string();
}

std::string utf8Path(const std::string& path, const Codepage& codepage) {
    std::string shown = displayPath(path);
    return Codepage::isValidUtf8(shown) ? shown : codepage.toUtf8(shown);
}

namespace {

std::string jsonItems(const std::vector<RunSummary::Item>& list, bool withReason,
                      const Codepage& codepage) {
    std::string out = "[";
    for (size_t i = 0; i < list.size(); ++i) {
        const RunSummary::Item& it = list[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"ModuleName\": " + jsonString(it.moduleName) +
               ", \"ProcName\": " + jsonString(it.procName) + ", \"File\": " +
               jsonString(it.component ? utf8Path(it.component->path(), codepage) : "");
        if (it.line > 0) // one item per definition of a procedure defined twice
            out += ", \"Line\": " + std::to_string(it.line);
        if (withReason)
            out += ", \"Reason\": " + jsonString(it.failure);
        out += "}";
    }
    return out + (list.empty() ? "]" : "\n  ]");
}

} // namespace

std::string runJson(const std::vector<RunSummary::Item>& treated,
                    const std::vector<RunSummary::Item>& failed, const Codepage& codepage) {
    return "{\n  \"treated\": " + jsonItems(treated, false, codepage) +
           ",\n  \"failed\": " + jsonItems(failed, true, codepage) + "\n}\n";
}

} // namespace trapline::cli
