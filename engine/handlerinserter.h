#pragma once

#include "declaration.h"
#include "messagebox.h"
#include "proccatalogue.h"
#include "runreporter.h"

#include <optional>
#include <string>
#include <string_view>

namespace trapline {

/// Puts an error trap after one catalogued procedure's declaration and a
/// handler before its End statement: the built-in handler that calls
/// `MyErrorHandler`, or the user's header and footer templates.
///
/// A procedure is treated completely or not at all: both insertion points are
/// found, and every text converted to the project's code page, before the
/// first line goes in. A failure is shown in a message box and nothing of
/// that procedure changes; the caller goes on with the next one.
class HandlerInserter {
public:
    HandlerInserter(const ProcCatalogue& catalogue, const Codepage& codepage,
                    MessageBoxService& messages, RunReporter& reporter)
        : m_catalogue(catalogue), m_codepage(codepage), m_messages(messages), m_reporter(reporter) {
    }

    /// The standard handler's call line adds ", line " and `Erl` to the name
    /// it passes: `MyErrorHandler "Module1.Foo, line " & Erl`.
    void setErl(bool erl) { m_erl = erl; }

    /// The templates InsertUserCodes uses (UTF-8, CR LF line breaks).
    void setTemplates(std::string header, std::string footer) {
        m_header = std::move(header);
        m_footer = std::move(footer);
    }

    /// The standard handler into `Procs()[index]`. True when it was inserted.
    /// `definition` picks one of several definitions of the procedure, each
    /// with its own body (see CodeModule::ProcDefinitions); each is treated
    /// on its own, completely or not at all.
    bool InsertDefaultCodes(size_t index, CodeModule* module, std::string_view CommentPrefix,
                            size_t definition = 0);
    /// The header and footer templates into `Procs()[index]`. True when inserted.
    bool InsertUserCodes(size_t index, CodeModule* module, std::string_view CommentPrefix,
                         size_t definition = 0);

    /// A template line that would break every procedure it went into.
    struct TemplateFault {
        long line = 0; ///< 1 for the template's first line
        std::string reason;
    };
    /// The first fault of template `text` (lines broken by CR LF or LF),
    /// its placeholders filled in as an insertion fills them: a line that
    /// declares a procedure or holds an End Sub, End Function or End
    /// Property statement, or a last line that ends in " _", which would
    /// continue the template into the line after it (a comment too). None
    /// for a template that can go in.
    ///
    ///     templateFault("Exit ???")          // none
    ///     templateFault("x = 1\r\nEnd ???") // line 2: an End statement
    static std::optional<TemplateFault> templateFault(std::string_view text);

    /// The description of the last failure, for reports; empty after a success.
    const std::string& lastFailure() const { return m_lastFailure; }

    /// `text` with "???", "#MODULE#" and "#PROC#" replaced, in that order.
    static std::string fillPlaceholders(std::string text, std::string_view keyword,
                                        std::string_view moduleName, std::string_view procName);
    /// `prefix` before the text and after every CR LF followed by more text.
    static std::string applyPrefix(std::string_view text, std::string_view prefix);
    /// The word after "EXIT " in the standard handler of a procedure of type
    /// `procType` (0 Sub, 1 Function, 2 Property): "SUB", "FUNCTION", "Property".
    static const char* exitKeyword(int procType);
    /// What follows the procedure's name in the standard handler's call line.
    static const char* callEnd(bool erl) { return erl ? ", line \" & Erl" : "\""; }

private:
    struct Texts {
        std::string header, footer; ///< in the project's code page
    };

    Result<Texts> texts(const ProcInfo& entry, int procType, std::string_view name, bool standard,
                        std::string_view prefix) const;
    /// Where the footer goes once the header is in; `moved` is the End
    /// statement found before, shifted by the header.
    static long footerLine(const CodeModule& module, std::string_view name, int kind,
                           size_t definition, long body, long moved, long floor,
                           const declaration::Keywords& words);
    bool insert(size_t index, CodeModule* module, std::string_view prefix, bool standard,
                size_t definition);

    const ProcCatalogue& m_catalogue;
    const Codepage& m_codepage;
    MessageBoxService& m_messages;
    RunReporter& m_reporter;
    std::string m_header;
    std::string m_footer;
    std::string m_lastFailure;
    bool m_erl = false;
};

} // namespace trapline
