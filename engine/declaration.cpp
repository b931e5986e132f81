#include "declaration.h"

#include "vbsyntax.h"

#include <algorithm>
#include <vector>

namespace trapline::declaration {
namespace {

const char* kSource = "Declaration";

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

/// The last line of the statement that starts on `line`.
long statementEnd(const CodeModule& module, long line, long last) {
    while (line < last && vb::isContinued(module.line(line)))
        ++line;
    return line;
}

/// How many #If blocks are open at the start of `to`, counting from `from`.
int openIfs(const CodeModule& module, long from, long to) {
    int depth = 0;
    for (long l = from; l < to; ++l) {
        vb::Directive d = vb::directive(module.line(l));
        if (d == vb::Directive::If)
            ++depth;
        else if (d == vb::Directive::EndIf && depth > 0)
            --depth;
    }
    return depth;
}

Error failure(long number, std::string_view name, const std::string& what) {
    return makeError(number, kSource, std::string(name) + ": " + what);
}

} // namespace

std::string HostName(std::string_view procName) {
    size_t p = procName.find('(');
    if (p == std::string_view::npos)
        return std::string(procName);
    std::string_view cut = procName.substr(0, p);
    size_t b = 0, e = cut.size();
    while (b < e && cut[b] == ' ')
        ++b;
    while (e > b && cut[e - 1] == ' ')
        --e;
    return std::string(cut.substr(b, e - b));
}

Keywords KindKeywords(int procType) {
    switch (procType) {
    case 0:
        return {"Sub", "End Sub"};
    case 1:
        return {"Function", "End Function"};
    default:
        return {"Property", "End Property"};
    }
}

int DefinitionType(const CodeModule& module, int catalogued, size_t definition, long body) {
    if (definition == 0 || catalogued == 2)
        return catalogued;
    return vb::subOrFunction(module.line(body));
}

Result<long> TrapLine(const CodeModule& module, std::string_view name, int kind,
                      size_t definition) {
    const vb::CodepageScope scope(module.leadBytes());
    auto where = module.procLines(name, kind, definition);
    if (!where)
        return where.error();
    const long body = where->body;
    const long start = where->start;
    const long last = where->last;

    long declEnd = statementEnd(module, body, last);
    // A declaration of one line is read where it stands (a blank after it
    // changes nothing); one of several is joined, each line with a blank.
    std::string joined;
    for (long l = body; declEnd > body && l <= declEnd; ++l)
        joined.append(module.line(l)).append(" ");
    const std::string_view statement = declEnd > body ? joined : module.line(body);
    if (auto d = vb::parseDeclaration(statement); d && d->endsOnSameLine)
        return failure(errors::BadDeclaration, name, "the procedure is written on one line");
    if (declEnd >= last)
        return failure(errors::NoEndStatement, name, "the procedure has no body or End statement");

    long next = declEnd + 1;
    while (next <= last && vb::isBlankOrComment(module.line(next)))
        ++next;
    vb::Directive d = next <= last ? vb::directive(module.line(next)) : vb::Directive::None;
    if (d == vb::Directive::Else || d == vb::Directive::ElseIf || d == vb::Directive::EndIf) {
        // Alternatives of the declaration under #If: the trap goes after the
        // #End If, provided the branches hold nothing but declarations. A
        // directive continued on the next line ends with that line.
        int depth = 0;
        for (long l = next; l <= last; ++l) {
            std::string_view text = module.line(l);
            vb::Directive dl = vb::directive(text);
            if (dl == vb::Directive::None) {
                if (vb::isBlankOrComment(text))
                    continue;
                if (!vb::parseDeclaration(text))
                    return failure(errors::BadDeclaration, name,
                                   "the #If branches of its declaration hold other code");
            } else if (dl == vb::Directive::If) {
                ++depth;
            } else if (dl == vb::Directive::EndIf) {
                if (depth == 0) {
                    const long after = statementEnd(module, l, last) + 1;
                    return after <= last ? Result<long>(after)
                                         : failure(errors::NoEndStatement, name,
                                                   "the procedure has no End statement");
                }
                --depth;
            }
            l = statementEnd(module, l, last);
        }
        return failure(errors::BadDeclaration, name,
                       "the #If around its declaration is not closed");
    }
    if (openIfs(module, start, body) > 0) {
        // Declared inside #If: fine when the whole procedure is inside it, not
        // when the branch ends before the procedure does.
        int depth = 0;
        for (long l = declEnd + 1; l <= last; ++l) {
            std::string_view text = module.line(l);
            vb::Directive dl = vb::directive(text);
            if (dl == vb::Directive::If)
                ++depth;
            else if (dl == vb::Directive::EndIf && depth > 0)
                --depth;
            else if (dl != vb::Directive::None && dl != vb::Directive::Other && depth == 0)
                return failure(errors::BadDeclaration, name,
                               "it is declared in one #If branch and its body spans others");
            else if (depth == 0 && vb::endStatementType(text))
                break;
        }
    }
    return declEnd + 1;
}

long SecondEnd(const CodeModule& module, long first, long last) {
    bool ended = false, continued = false;
    for (long l = std::max(first, 1L); l <= std::min(last, module.CountOfLines()); ++l) {
        const std::string_view text = module.line(l);
        if (!continued && vb::endStatementType(text)) {
            if (ended)
                return l;
            ended = true;
        }
        continued = vb::isContinued(text);
    }
    return 0;
}

Result<void> HandlerFits(const CodeModule& module, std::string_view name, long body, long trap,
                         long last, std::span<const std::string_view> texts) {
    const vb::CodepageScope scope(module.leadBytes());
    // The texts' labels first, in order: usually one or two, so that a line
    // of the procedure is looked at closer only where its first character
    // could start one of them.
    struct Added {
        std::string key;
        std::string_view shown;
        bool own = false;
    };
    std::vector<Added> added;
    for (std::string_view text : texts) {
        bool continued = false;
        while (!text.empty()) {
            const size_t nl = text.find('\n');
            std::string_view line = text.substr(0, nl);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (auto label = continued ? std::nullopt : vb::lineLabel(line))
                added.push_back({vb::lowerName(*label, vb::scanLeadBytes()), *label});
            continued = vb::isContinued(line);
            text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        }
    }
    // Lower case keeps a lead byte as it is, and a key's first byte is its
    // line's first byte in lower case.
    bool starts[256] = {};
    for (const Added& a : added)
        starts[static_cast<unsigned char>(a.key[0])] = true;
    // One walk: labels from the declaration on, End statements from the trap
    // on, each with lines that continue a statement passed over.
    bool continued = false, ended = false;
    const long to = std::min(last, module.CountOfLines());
    for (long l = std::max(std::min(body, trap), 1L); l <= to; ++l) {
        const std::string_view text = module.line(l);
        const bool continuing = continued;
        continued = vb::isContinued(text);
        if (l >= trap && (!continuing || l == trap) && vb::endStatementType(text)) {
            if (ended)
                return failure(errors::NoEndStatement, name,
                               "a second End statement, on line " +
                                   std::to_string(module.fileLine(l)) +
                                   " of the file, after the one that ends the procedure");
            ended = true;
        }
        if (l < body || (continuing && l != body) || added.empty())
            continue;
        const std::string_view t = vb::trimLeft(text);
        if (!t.empty() &&
            starts[static_cast<unsigned char>(t[0] | (t[0] >= 'A' && t[0] <= 'Z' ? 0x20 : 0))])
            if (auto label = vb::lineLabel(text)) {
                // Lower case keeps the length: most labels are told apart by it.
                std::string key;
                for (Added& a : added)
                    if (!a.own && a.key.size() == label->size()) {
                        if (key.empty())
                            key = vb::lowerName(*label, vb::scanLeadBytes());
                        a.own = a.key == key;
                    }
            }
    }
    for (size_t k = 0; k < added.size(); ++k) {
        const std::string shown(added[k].shown);
        if (added[k].own)
            return failure(errors::DuplicateLabel, name,
                           "it has the label \"" + shown +
                               "\" already, which the handler would add again");
        for (size_t j = 0; j < k; ++j)
            if (added[j].key == added[k].key)
                return failure(errors::DuplicateLabel, name,
                               "the handler would add the label \"" + shown + "\" twice");
    }
    return {};
}

Result<long> EndLine(const CodeModule& module, std::string_view endStatement, long fromLine,
                     long floorLine) {
    if (fromLine > module.CountOfLines())
        fromLine = module.CountOfLines();
    // A line that continues the one above is the tail of another statement,
    // however it starts: "20 End Sub goes on _" + "End Sub" ends nothing.
    const auto statementStart = [&](long l) {
        return l == 1 || !vb::isContinued(module.line(l - 1));
    };
    for (long l = fromLine; l >= floorLine && l >= 1; --l)
        if (startsWith(module.line(l), endStatement) && statementStart(l))
            return l;
    for (long l = fromLine; l >= floorLine && l >= 1; --l)
        if (startsWith(vb::trimLeft(module.line(l)), endStatement) && statementStart(l))
            return l;
    // Earlier procedures of the module may have received lines already; the
    // user looks for the place in the file as it is on disk.
    return makeError(errors::NoEndStatement, kSource,
                     "no \"" + std::string(endStatement) + "\" between lines " +
                         std::to_string(module.fileLine(floorLine)) + " and " +
                         std::to_string(module.fileLine(fromLine)) + " of the file");
}

} // namespace trapline::declaration
