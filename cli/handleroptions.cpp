#include "handleroptions.h"

#include "batchpipeline.h"
#include "diskfile.h"
#include "handlerinserter.h"
#include "json.h"

#include "platform/filesystem.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace trapline::cli {

void HandlerOptions::define(CLI::App& app, bool trapFilter, bool handler) {
    app.add_option("--module", m_module);
    app.add_option("--proc", m_proc);
    app.add_flag("--subs", m_subs);
    app.add_flag("--functions", m_functions);
    app.add_flag("--properties", m_properties);
    app.add_option("--codepage", m_codepage);
    if (trapFilter)
        app.add_flag("--include-trapped", m_includeTrapped);
    if (!handler)
        return;
    app.add_flag("--live", m_live);
    app.add_flag("--erl", m_erl);
    // Kept as given: an empty name is a file that cannot be opened, not a
    // template left out.
    app.add_option_function<std::string>("--header",
                                         [this](const std::string& v) { m_header = v; });
    app.add_option_function<std::string>("--footer",
                                         [this](const std::string& v) { m_footer = v; });
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

std::optional<InsertionOptions> HandlerOptions::read(const Codepage& codepage,
                                                     ProjectInput& input) const {
    InsertionOptions options;
    options.confirm = false;
    options.procName = m_proc;
    options.moduleName = m_module;
    options.onlySub = m_subs;
    options.onlyFunc = m_functions;
    options.onlyProperty = m_properties;
    options.skipTrapped = !m_includeTrapped;
    options.withComment = !m_live;
    options.useDefault = !m_header;
    options.erl = m_erl;
    if (m_erl && m_header) {
        input.fail("--erl changes the standard handler; with templates, put Erl in them");
        return std::nullopt;
    }
    if (options.procName.empty()) {
        input.fail("--proc needs a procedure name");
        return std::nullopt;
    }
    // A name the run's code page cannot hold may still be one in a document
    // of another code page: each module's names are compared in its own.
    if (!Codepage::isValidUtf8(options.moduleName) || !Codepage::isValidUtf8(options.procName)) {
        input.fail("--module or --proc is not UTF-8 text");
        return std::nullopt;
    }
    if (!options.useDefault) {
        auto header = readTemplate(m_header.value_or(""), codepage);
        auto footer = readTemplate(m_footer.value_or(""), codepage);
        for (auto* t : {&header, &footer})
            if (!*t) {
                input.fail(t->error().source + ": " + t->error().description);
                return std::nullopt;
            }
        for (auto [text, path] : {std::pair{&*header, &*m_header}, {&*footer, &*m_footer}})
            if (auto fault = HandlerInserter::templateFault(*text)) {
                input.fail(displayPath(*path) + ":" + std::to_string(fault->line) +
                           ": template refused: " + fault->reason);
                return std::nullopt;
            }
        options.header = *header;
        options.footer = *footer;
    }
    return options;
}

namespace {

/// What std::filesystem::proximate resolves for every name it is given: the
/// current folder and each folder of files, resolved once while the current
/// folder stays. A tree of thousands of modules would otherwise resolve its
/// folders' every link again for each message.
class ResolvedFolders {
public:
    std::optional<std::filesystem::path> shown(const std::filesystem::path& file) {
        namespace fs = std::filesystem;
        const fs::path name = file.filename();
        if (name.empty() || name == "." || name == "..")
            return std::nullopt;
        std::error_code ec;
        // A link's own name resolves to what it points at, as proximate does.
        if (fs::is_symlink(fs::symlink_status(file, ec)) || ec)
            return std::nullopt;
        // Relative names mean another thing once the current folder changes.
        fs::path cwd = fs::current_path(ec);
        if (ec)
            return std::nullopt;
        const std::lock_guard<std::mutex> hold(m_lock);
        if (!m_base || cwd != m_cwd) {
            m_folders.clear();
            m_cwd = std::move(cwd);
            m_base = fs::weakly_canonical(m_cwd, ec);
            if (ec)
                return m_base = std::nullopt, std::nullopt;
        }
        const fs::path folder = file.parent_path();
        auto found = m_folders.find(folder.native());
        if (found == m_folders.end()) {
            fs::path resolved =
                fs::weakly_canonical(fs::absolute(folder.empty() ? "." : folder, ec), ec);
            if (ec)
                return std::nullopt;
            found = m_folders.emplace(folder.native(), std::move(resolved)).first;
        }
        return (found->second / name).lexically_proximate(*m_base);
    }

private:
    std::mutex m_lock;
    std::filesystem::path m_cwd;
    std::optional<std::filesystem::path> m_base;
    std::unordered_map<std::filesystem::path::string_type, std::filesystem::path> m_folders;
};

} // namespace

std::string displayPath(const std::string& path) {
    static ResolvedFolders folders;
    const std::filesystem::path file = platform::toPath(path);
    if (auto shown = folders.shown(file))
        return platform::fromPath(*shown);
    std::error_code ec;
    std::filesystem::path rel = std::filesystem::proximate(file, ec);
    return ec ? path : platform::fromPath(rel);
}

std::string shownComponent(const Component& component) {
    std::string shown = displayPath(component.path());
    if (const OfficeDocument* document = component.document())
        shown += ":" + document->codepage().toUtf8(component.Name());
    return shown;
}

std::string shownOutcome(const FileOutcome& outcome) {
    return outcome.wholeDocument ? displayPath(outcome.component->path())
                                 : shownComponent(*outcome.component);
}

std::string utf8Path(const std::string& path, const Codepage& codepage) {
    std::string shown = displayPath(path);
    return Codepage::isValidUtf8(shown) ? shown : codepage.toUtf8(shown);
}

namespace {

Json jsonItems(const std::vector<RunSummary::Item>& list, bool withReason,
               const Codepage& codepage) {
    Json items = Json::array();
    for (const RunSummary::Item& it : list) {
        Json item = {{"ModuleName", it.moduleName},
                     {"ProcName", it.procName},
                     {"File", it.component ? utf8Path(it.component->path(), codepage) : ""}};
        if (it.line > 0) // one item per definition of a procedure defined twice
            item["Line"] = it.line;
        if (withReason)
            item["Reason"] = it.failure;
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace

std::string runJson(const std::vector<RunSummary::Item>& treated,
                    const std::vector<RunSummary::Item>& failed, const Codepage& codepage) {
    return jsonText(Json{{"treated", jsonItems(treated, false, codepage)},
                         {"failed", jsonItems(failed, true, codepage)}});
}

} // namespace trapline::cli
