#include "handlerinserter.h"

#include "declaration.h"

namespace trapline {
namespace {

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

const char* exitStatement(int procType) {
    switch (procType) {
    case 0:
        return "EXIT SUB";
    case 1:
        return "EXIT FUNCTION";
    default:
        return "EXIT Property";
    }
}

} // namespace

std::string HandlerInserter::fillPlaceholders(std::string text, std::string_view keyword,
                                              std::string_view moduleName,
                                              std::string_view procName) {
    text = replaceAll(std::move(text), "???", keyword);
    text = replaceAll(std::move(text), "#MODULE#", moduleName);
    return replaceAll(std::move(text), "#PROC#", procName);
}

std::string HandlerInserter::applyPrefix(std::string_view text, std::string_view prefix) {
    std::string out(prefix);
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '\n' && i > 0 && text[i - 1] == '\r' && i + 1 < text.size())
            out += prefix;
    }
    return out;
}

bool HandlerInserter::InsertDefaultCodes(size_t index, CodeModule* module,
                                         std::string_view CommentPrefix) {
    return insert(index, module, CommentPrefix, true);
}

bool HandlerInserter::InsertUserCodes(size_t index, CodeModule* module,
                                      std::string_view CommentPrefix) {
    return insert(index, module, CommentPrefix, false);
}

bool HandlerInserter::insert(size_t index, CodeModule* module, std::string_view prefix,
                             bool standard) {
    m_lastFailure.clear();
    const char* title = standard ? "Error in InsertDefaultCodes" : "Error in InsertUserCodes";
    std::string moduleName, name;
    auto fail = [&](const Error& e) {
        m_lastFailure = e.description;
        m_messages.show(std::to_string(e.number) + ": " + e.description +
                            "\r\nModule: " + m_codepage.toUtf8(moduleName) +
                            "\r\nProcedure: " + m_codepage.toUtf8(name),
                        title, MsgIcon::Information, MsgButtons::Ok);
        return false;
    };
    if (index == 0 || index >= m_catalogue.Procs().size())
        return fail(makeError(errors::OutOfRange, title, "Subscript out of range"));
    const ProcInfo& entry = m_catalogue.Procs()[index];
    moduleName = entry.ModuleName;
    if (!module)
        return fail(makeError(errors::NoObject, title,
                              "Object variable not set: the module is no longer in the project"));
    name = declaration::HostName(entry.ProcName);
    const declaration::Keywords words = declaration::KindKeywords(entry.ProcType);
    const int kind = entry.ProcKind;

    // Both points first: nothing goes in unless both are there.
    auto trap = declaration::TrapLine(*module, name, kind);
    if (!trap)
        return fail(trap.error());
    auto start = module->ProcStartLine(name, kind);
    auto count = module->ProcCountLines(name, kind);
    if (!start || !count)
        return fail((!start ? start : count).error());
    auto end = declaration::EndLine(*module, words.endStatement, *start + *count - 1, *trap);
    if (!end)
        return fail(end.error());

    // Every text in the project's code page before anything is inserted. The
    // names are code-page bytes already; only the templates need converting.
    std::string header, footer;
    const std::string p(prefix);
    if (standard) {
        header = p + "ON ERROR GOTO err_debug";
        footer = p + exitStatement(entry.ProcType) + "\r\n" + p + "err_debug:\r\n" + p +
                 "MyErrorHandler \"" + entry.ModuleName + "." + name + "\"";
    } else {
        auto headerText = m_codepage.fromUtf8(m_header);
        if (!headerText)
            return fail(headerText.error());
        auto footerText = m_codepage.fromUtf8(m_footer);
        if (!footerText)
            return fail(footerText.error());
        header = applyPrefix(
            fillPlaceholders(*headerText, words.keyword, entry.ModuleName, entry.ProcName), p);
        footer = applyPrefix(
            fillPlaceholders(*footerText, words.keyword, entry.ModuleName, entry.ProcName), p);
    }

    const long before = module->CountOfLines();
    if (auto r = module->InsertLines(*trap, header); !r)
        return fail(r.error());
    const long added = module->CountOfLines() - before;

    // The header moved the end: ask afresh where the procedure ends now. The
    // point found before cannot be lost, so it stands in, moved, should the
    // fresh answer fail.
    long footerAt = *end + added;
    start = module->ProcStartLine(name, kind);
    count = module->ProcCountLines(name, kind);
    if (start && count) {
        if (auto fresh = declaration::EndLine(*module, words.endStatement, *start + *count - 1,
                                              *trap + added))
            footerAt = *fresh;
    }
    if (auto r = module->InsertLines(footerAt, footer); !r)
        return fail(r.error());

    m_reporter.log("Вставлено в " + words.keyword + " : " + m_codepage.toUtf8(name) + "\r\n");
    return true;
}

} // namespace trapline
