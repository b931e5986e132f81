#include "checkreport.h"

#include "handlercheck.h"
#include "handleroptions.h"
#include "json.h"
#include "linenumberer.h"

#include <array>

namespace trapline::cli {
namespace {

struct Rule {
    const char* id;
    const char* name;
    const char* brief;
    const char* full;
};

const std::array<Rule, 4> kRules = {{
    {HandlerCheck::kMissing, "MissingHandler", "Procedure without an error handler",
     "The procedure holds no error trap, so `trapline insert` with the same options would put "
     "one in."},
    {HandlerCheck::kCannotInsert, "CannotInsert", "Procedure that cannot take a handler",
     "`trapline insert` would choose the procedure but cannot put a handler into it: it is "
     "written on one line, has no End statement, its declaration cannot be followed, or the "
     "handler would give it a label it holds already."},
    {HandlerCheck::kStaleName, "StaleHandlerName", "Inserted handler with an old name",
     "An inserted handler names its module or procedure as they were called before a rename; "
     "`trapline refresh` brings the names up to date."},
    {LineNumberer::kUnnumbered, "UnnumberedLine", "Statement line without a line number",
     "The procedure has statement lines without a line number, so Erl cannot tell where an "
     "error came from; `trapline number` numbers them. Reported only with --line-numbers."},
}};

size_t ruleIndex(const std::string& id) {
    for (size_t i = 0; i < kRules.size(); ++i)
        if (id == kRules[i].id)
            return i;
    return 0;
}

} // namespace

std::string CheckReport::uriOf(const std::string& path, const Codepage& codepage) {
    const std::string utf8 = utf8Path(path, codepage);
    std::string out;
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += c;
        } else {
            static const char* hex = "0123456789ABCDEF";
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    }
    return out;
}

/// The module's name as its document stores it, decoded in the document's
/// code page, or the name the finding gives.
static std::string moduleNameOf(const Finding& f) {
    const OfficeDocument* document = f.component->document();
    return document ? document->codepage().toUtf8(f.component->Name()) : f.moduleName;
}

const std::string& CheckReport::shownPath(const Component* component) const {
    if (component != m_shownFor) {
        m_shown = utf8Path(component->path(), m_codepage);
        m_shownFor = component;
    }
    return m_shown;
}

/// The file a finding names and, in a document, the module after a colon.
std::string CheckReport::where(const Finding& f) const {
    const std::string& shown = shownPath(f.component);
    return f.component->document() ? shown + ":" + moduleNameOf(f) : shown;
}

std::string CheckReport::text() const {
    std::string out;
    for (const Finding& f : m_findings)
        out += where(f) + ":" + std::to_string(f.line) + ": " + f.message + " [" + f.rule + "]\n";
    return out;
}

std::string CheckReport::json() const {
    Json list = Json::array();
    for (const Finding& f : m_findings) {
        Json item{{"Rule", f.rule},         {"ModuleName", moduleNameOf(f)},
                  {"ProcName", f.procName}, {"File", shownPath(f.component)},
                  {"Line", f.line},         {"Message", f.message}};
        if (f.component->document())
            item["Document"] = shownPath(f.component);
        list.push_back(std::move(item));
    }
    return jsonText(Json{{"findings", list}});
}

namespace {

/// A SARIF 2.1.0 log of one run of trapline with its rules and `results`;
/// `invocation`, when not null, says how the run went.
std::string sarifLog(Json results, Json invocation) {
    Json rules = Json::array();
    for (const Rule& r : kRules)
        rules.push_back(Json{{"id", r.id},
                             {"name", r.name},
                             {"shortDescription", {{"text", r.brief}}},
                             {"fullDescription", {{"text", r.full}}},
                             {"defaultConfiguration", {{"level", "warning"}}}});
    Json driver = {{"name", "trapline"}, {"version", TRAPLINE_VERSION}, {"rules", rules}};
    Json run = {
        {"tool", {{"driver", driver}}},
        {"originalUriBaseIds",
         {{"%SRCROOT%", {{"description", {{"text", "the folder trapline check ran in"}}}}}}},
        {"results", std::move(results)}};
    if (!invocation.is_null())
        run["invocations"] = Json::array({std::move(invocation)});
    return jsonText(Json{{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
                         {"version", "2.1.0"},
                         {"runs", Json::array({run})}});
}

} // namespace

std::string CheckReport::sarif() const {
    Json results = Json::array();
    for (const Finding& f : m_findings) {
        Json location = {
            {"physicalLocation",
             {{"artifactLocation",
               {{"uri", uriOf(f.component->path(), m_codepage)}, {"uriBaseId", "%SRCROOT%"}}},
              {"region", {{"startLine", std::max(1L, f.line)}}}}},
            {"logicalLocations",
             Json::array({{{"fullyQualifiedName", moduleNameOf(f) + "." + f.procName},
                           {"kind", "function"}}})}};
        // In a document the module is a place of its own, inside the file.
        if (f.component->document())
            location["logicalLocations"].push_back(Json{{"name", moduleNameOf(f)},
                                                        {"fullyQualifiedName", moduleNameOf(f)},
                                                        {"kind", "module"}});
        results.push_back(Json{{"ruleId", f.rule},
                               {"ruleIndex", ruleIndex(f.rule)},
                               {"level", "warning"},
                               {"message", {{"text", f.message}}},
                               {"locations", Json::array({location})}});
    }
    return sarifLog(std::move(results), Json());
}

std::string CheckReport::sarifFailure(std::string_view messages) {
    Json notifications = Json::array();
    while (!messages.empty()) {
        const size_t nl = messages.find('\n');
        std::string_view line = messages.substr(0, nl);
        if (!line.empty())
            notifications.push_back(
                Json{{"level", "error"}, {"message", {{"text", std::string(line)}}}});
        messages = nl == std::string_view::npos ? std::string_view() : messages.substr(nl + 1);
    }
    if (notifications.empty())
        notifications.push_back(
            Json{{"level", "error"}, {"message", {{"text", "the check could not run"}}}});
    return sarifLog(Json::array(), Json{{"executionSuccessful", false},
                                        {"toolExecutionNotifications", notifications}});
}

} // namespace trapline::cli
