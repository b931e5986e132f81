#pragma once

#include "codemodule.h"
#include "result.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

/// Where a procedure's error trap and handler go: the rules that find the
/// line after a declaration and the End statement, on a module's lines.
namespace trapline::declaration {

/// The procedure name the host knows, from a display name: "Value (Get)" -> "Value".
std::string HostName(std::string_view procName);

struct Keywords {
    std::string keyword;      ///< "Sub", "Function" or "Property"
    std::string endStatement; ///< "End Sub", "End Function" or "End Property"
};

/// The keyword pair of a procedure type: 0 Sub, 1 Function, 2 Property.
Keywords KindKeywords(int procType);

/// The type of definition `definition` of a procedure catalogued as type
/// `catalogued`, declared on line `body`: versions under #If may differ in
/// keyword (a Sub in one branch, a Function in another), and each is what
/// its own declaration says. The catalogue's type is the first definition's.
int DefinitionType(const CodeModule& module, int catalogued, size_t definition, long body);

/// The line after the procedure's whole declaration statement: continuation
/// lines are followed (a "()" before a " _" does not end it), and when the
/// declaration is one of several alternatives under #If/#Else, the line after
/// the #End If. Fails for a one-line procedure, for a declaration that runs to
/// the procedure's last line, and for a declaration that sits in one #If
/// branch while the procedure's body spans the others. `definition` picks one
/// of several definitions with their own bodies (see CodeModule::ProcBodyLine).
Result<long> TrapLine(const CodeModule& module, std::string_view name, int kind,
                      size_t definition = 0);

/// The End statement, scanning upward from `fromLine` to `floorLine` (the
/// line after the declaration), never further. A line matches when it starts
/// with `endStatement` exactly; when none does, a line that starts with it
/// after blanks. A line that continues the one above never matches. Fails
/// when there is none.
Result<long> EndLine(const CodeModule& module, std::string_view endStatement, long fromLine,
                     long floorLine);

/// The line of an End statement (of a Sub, Function or Property) among lines
/// `first` to `last` after the first one, which ends the procedure; 0 when
/// there is none. Only code VB6 does not compile holds one, such as VB.NET's
/// in a class file, where the last procedure's lines run on past its End.
/// Lines that continue a statement are passed over.
long SecondEnd(const CodeModule& module, long first, long last);

/// Whether a handler of `texts` (lines to insert, broken by CR LF or LF) can
/// go into the procedure declared on `body`, trapped on `trap` and ending by
/// `last`, in one walk of its lines. Fails, naming the line of the file, when
/// SecondEnd(trap, last) finds one: neither a handler nor line numbers can
/// tell where such a procedure ends. Otherwise error 1006 names the first
/// label of the texts that the procedure holds already, or that the texts
/// hold twice, which VB would not compile; letter case is ignored, as VB does.
Result<void> HandlerFits(const CodeModule& module, std::string_view name, long body, long trap,
                         long last, std::span<const std::string_view> texts);

} // namespace trapline::declaration
