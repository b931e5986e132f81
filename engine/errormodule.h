#pragma once

#include "messagebox.h"
#include "vbe.h"

namespace trapline {

/// Adds the standard module "mdl_Error" holding `MyErrorHandler`, the routine
/// the standard handler calls, at most once per project.
class ErrorModuleInstaller {
public:
    static constexpr const char* kModuleName = "mdl_Error";
    static constexpr const char* kDeclaration = "Public Sub MyErrorHandler(pSubName As String)";

    /// The eight body lines joined by CR LF, with a CR LF after the last (UTF-8).
    static std::string body();

    /// Adds the module to the active project. When a component named exactly
    /// "mdl_Error" is there already, says "Модуль уже присутствует в проекте !"
    /// and changes nothing (result null, no error). The new module lives in
    /// memory until the project is saved.
    static Result<Component*> install(const VBE& vbe, MessageBoxService& messages);
};

} // namespace trapline
