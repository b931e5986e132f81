#include "handlerinserter.h"

#include "declaration.h"
#include "vbsyntax.h"

namespace trapline {
namespace {

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

const char* HandlerInserter::exitKeyword(int procType) {
    switch (procType) {
    case 0:
        return "SUB";
    case 1:
        return "FUNCTION";
    default:
        return "Property";
    }
}

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

std::optional<HandlerInserter::TemplateFault>
HandlerInserter::templateFault(std::string_view text) {
    // A keyword placeholder becomes Sub, Function or Property: "End ???" is an End statement.
    const std::string filled = fillPlaceholders(std::string(text), "Sub", "Module", "Proc");
    std::string_view rest = filled;
    std::string statement;
    long line = 0, statementLine = 0;
    bool continued = false;
    while (!rest.empty()) {
        const size_t brk = rest.find_first_of("\r\n");
        std::string_view current = rest.substr(0, brk);
        rest = brk == std::string_view::npos
                   ? std::string_view()
                   : rest.substr(brk + (rest.substr(brk, 2) == "\r\n" ? 2 : 1));
        ++line;
        if (!continued) {
            statement.clear();
            statementLine = line;
            if (vb::endStatementType(current))
                return TemplateFault{line, "a procedure's End statement would end the procedure "
                                           "there"};
        }
        statement.append(current);
        continued = vb::isContinued(current);
        if (continued) {
            statement.resize(statement.find_last_of('_'));
            if (rest.empty())
                return TemplateFault{line, "the last line ends in \" _\", which would continue the "
                                           "template into the line after it"};
            continue;
        }
        if (vb::parseDeclaration(statement))
            return TemplateFault{statementLine,
                                 "a procedure's declaration would split the procedure "
                                 "it goes into in two"};
    }
    return std::nullopt;
}

bool HandlerInserter::InsertDefaultCodes(size_t index, CodeModule* module,
                                         std::string_view CommentPrefix, size_t definition) {
    return insert(index, module, CommentPrefix, true, definition);
}

bool HandlerInserter::InsertUserCodes(size_t index, CodeModule* module,
                                      std::string_view CommentPrefix, size_t definition) {
    return insert(index, module, CommentPrefix, false, definition);
}

Result<HandlerInserter::Texts> HandlerInserter::texts(const ProcInfo& entry, int procType,
                                                      std::string_view name, bool standard,
                                                      std::string_view prefix) const {
    // Every text in the project's code page before anything is inserted. The
    // names are code-page bytes already; only the templates need converting.
    const std::string p(prefix);
    if (standard) {
        // Each text made in one piece: every procedure of a run gets them.
        Texts t;
        t.header.reserve(p.size() + 24);
        t.header.append(p).append("ON ERROR GOTO err_debug");
        t.footer.reserve(3 * p.size() + entry.ModuleName.size() + name.size() + 64);
        t.footer.append(p).append("EXIT ").append(exitKeyword(procType)).append("\r\n");
        t.footer.append(p).append("err_debug:\r\n");
        t.footer.append(p).append("MyErrorHandler \"").append(entry.ModuleName).append(".");
        t.footer.append(name).append(callEnd(m_erl));
        return t;
    }
    auto headerText = m_codepage.fromUtf8(m_header);
    if (!headerText)
        return headerText.error();
    auto footerText = m_codepage.fromUtf8(m_footer);
    if (!footerText)
        return footerText.error();
    const std::string keyword = declaration::KindKeywords(procType).keyword;
    return Texts{
        applyPrefix(fillPlaceholders(*headerText, keyword, entry.ModuleName, entry.ProcName), p),
        applyPrefix(fillPlaceholders(*footerText, keyword, entry.ModuleName, entry.ProcName), p)};
}

bool HandlerInserter::insert(size_t index, CodeModule* module, std::string_view prefix,
                             bool standard, size_t definition) {
    m_lastFailure.clear();
    const char* title = standard ? "Error in InsertDefaultCodes" : "Error in InsertUserCodes";
    std::string moduleName, name;
    auto fail = [&](const Error& e) {
        // A description may name the procedure in the module's code page;
        // what is shown and reported is UTF-8.
        m_lastFailure =
            Codepage::isValidUtf8(e.description) ? e.description : m_codepage.toUtf8(e.description);
        m_messages.show(std::to_string(e.number) + ": " + m_lastFailure +
                            "\r\nModule: " + m_codepage.toUtf8(moduleName) +
                            "\r\nProcedure: " + m_codepage.toUtf8(name),
                        title, MsgIcon::Information, MsgButtons::Ok);
        return false;
    };
    if (index == 0 || index >= m_catalogue.Procs().size())
        return fail(makeError(errors::OutOfRange, title, "Subscript out of range"));
    const ProcInfo& entry = m_catalogue.Procs()[index];
    // Both names come from the entry alone, so a failure to reach the module
    // still says which procedure was meant.
    moduleName = entry.ModuleName;
    name = declaration::HostName(entry.ProcName);
    if (!module)
        return fail(makeError(errors::NoObject, title,
                              "Object variable not set: the module is no longer in the project"));
    const vb::CodepageScope scope(module->leadBytes());
    const int kind = entry.ProcKind;
    // One look-up for where the procedure lies; the insertions below look again.
    auto where = module->procLines(name, kind, definition);
    if (!where)
        return fail(where.error());
    const long body = where->body;
    const long last = where->last;
    // Each version of a procedure under #If ends as its own declaration says.
    const int procType = declaration::DefinitionType(*module, entry.ProcType, definition, body);
    const declaration::Keywords words = declaration::KindKeywords(procType);

    // Both points first: nothing goes in unless both are there.
    auto trap = declaration::TrapLine(*module, name, kind, definition);
    if (!trap)
        return fail(trap.error());
    auto end = declaration::EndLine(*module, words.endStatement, last, *trap);
    if (!end)
        return fail(end.error());
    // A second End statement is told before a template that cannot be
    // written, and that before a label already there.
    auto text = texts(entry, procType, name, standard, prefix);
    std::string_view both[2];
    if (text) {
        both[0] = text->header;
        both[1] = text->footer;
    }
    auto fits =
        declaration::HandlerFits(*module, name, body, *trap, last, std::span(both, text ? 2 : 0));
    if (!fits && fits.error().number == errors::NoEndStatement)
        return fail(fits.error());
    if (!text)
        return fail(text.error());
    if (!fits)
        return fail(fits.error());

    const long before = module->CountOfLines();
    if (auto r = module->InsertLines(*trap, text->header); !r)
        return fail(r.error());
    const long added = module->CountOfLines() - before;
    if (auto r = module->InsertLines(
            footerLine(*module, name, kind, definition, body, *end + added, *trap + added, words),
            text->footer);
        !r)
        return fail(r.error());

    m_reporter.log("Вставлено в " + words.keyword + " : " + m_codepage.toUtf8(name) + "\r\n");
    return true;
}

long HandlerInserter::footerLine(const CodeModule& module, std::string_view name, int kind,
                                 size_t definition, long body, long moved, long floor,
                                 const declaration::Keywords& words) {
    // The header moved the end: ask afresh where the procedure ends now. The
    // header went in below the declaration, so the same definition still
    // starts on `body`; should a header that declares things have changed
    // which definition that is, or the fresh answer fail, the point found
    // before stands in, moved.
    auto again = module.procLines(name, kind, definition);
    if (!again || again->body != body)
        return moved;
    auto fresh = declaration::EndLine(module, words.endStatement, again->last, floor);
    return fresh ? *fresh : moved;
}

} // namespace trapline
