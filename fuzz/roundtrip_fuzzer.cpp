// Feeds arbitrary bytes to the code model as a module file, inserts handlers
// into every procedure that can take one, and checks the law `remove` keeps:
// removing with the same options gives back the file byte for byte. A
// refresh right after the insertion finds every name current and changes
// nothing.

#include "codemodule.h"
#include "handlereditor.h"
#include "handlerpattern.h"
#include "insertionrun.h"
#include "runreporter.h"

#include "check.h"

#include <cstdint>
#include <string>

using namespace trapline;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (!CodeModule::usable(input))
        return 0;
    // The form of the handler comes from the input, so a failure reproduces
    // from the file alone.
    const unsigned form = size > 0 ? data[size - 1] : 0;

    FuzzModule fuzz(input);
    const VBE& vbe = fuzz.vbe;
    Component& component = fuzz.component;
    const Codepage& cp = vbe.ActiveVBProject()->codepage();

    InsertionOptions options;
    options.confirm = false;
    options.component = &component;
    options.withComment = (form & 1) == 0;
    options.useDefault = (form & 2) == 0;
    options.skipTrapped = (form & 4) == 0;
    CountingMessageBox messages;
    NullReporter reporter;
    const RunSummary inserted = InsertionRun(vbe, messages, reporter).run(options);

    const char* prefix = options.withComment ? "'" : "";
    auto pattern = options.useDefault
                       ? Result<HandlerPattern>(HandlerPattern::standard(prefix))
                       : HandlerPattern::templates(options.header, options.footer, prefix, cp);
    CHECK(pattern.ok());
    HandlerEditor editor(vbe, *pattern, messages, reporter);
    size_t chosen = 0;
    const std::string treated = component.CodeModule().serialize();
    const RunSummary refreshed =
        editor.run(HandlerEditor::Action::Refresh, component, options, chosen);
    CHECK(refreshed.treated.empty());
    CHECK(component.CodeModule().serialize() == treated);

    const RunSummary removed =
        editor.run(HandlerEditor::Action::Remove, component, options, chosen);
    CHECK(removed.treated.size() >= inserted.treated.size());
    CHECK(component.CodeModule().serialize() == input);
    return 0;
}
