#include "errormodule.h"

namespace trapline {

std::string ErrorModuleInstaller::body() {
    return "Dim str As String\r\n"
           "If Err.Number = 0 Then Exit Sub\r\n"
           "#If XR_LOG Then\r\n"
           "PrintError pSubName, Err.Number, Err.Description, Err.Source\r\n"
           "#End If\r\n"
           "str = \"Ошибка в процедуре: \" & pSubName\r\n"
           "MsgBox Err.Number & \": \" & Err.Description, vbInformation, str\r\n"
           "Err.Clear\r\n";
}

Result<Component*> ErrorModuleInstaller::install(const VBE& vbe, MessageBoxService& messages) {
    Project* project = vbe.ActiveVBProject();
    if (!project)
        return makeError(errors::NoObject, "ErrorModuleInstaller",
                         "Object variable not set: no active project");
    Components& components = project->VBComponents();
    for (long i = 1; i <= components.Count(); ++i) {
        auto c = components.Item(i);
        if (!c)
            return c.error();
        if ((*c)->Name() == kModuleName) {
            messages.show("Модуль уже присутствует в проекте !", "TRAPLINE", MsgIcon::None,
                          MsgButtons::Ok);
            return static_cast<Component*>(nullptr);
        }
    }
    // Converted before the module is added, so a code page without Cyrillic
    // leaves the project as it was.
    auto text = project->codepage().fromUtf8(body());
    if (!text)
        return text.error();

    auto added = components.Add(1);
    if (!added)
        return added.error();
    Component* module = *added;
    if (auto r = module->setName(kModuleName); !r)
        return r.error();
    CodeModule& code = module->CodeModule();
    if (auto r = code.AddFromString(kDeclaration); !r)
        return r.error();
    auto n = code.ProcBodyLine("MyErrorHandler", 0);
    if (!n)
        return n.error();
    if (auto r = code.InsertLines(*n + 1, "End Sub"); !r)
        return r.error();
    if (auto r = code.InsertLines(*n + 1, *text); !r)
        return r.error();
    return module;
}

} // namespace trapline
