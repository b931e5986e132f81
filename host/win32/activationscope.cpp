#include "activationscope.h"

#include "servermodule.h"

#include <map>
#include <string>

namespace {

/// The context of `module`'s manifest, made once and kept for the process:
/// the windows made under it go on referring to it.
HANDLE contextOf(HMODULE module) {
    static std::map<HMODULE, HANDLE> contexts;
    if (auto found = contexts.find(module); found != contexts.end())
        return found->second;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    HANDLE context = INVALID_HANDLE_VALUE;
    if (length > 0 && length < MAX_PATH) {
        ACTCTXW description{};
        description.cbSize = sizeof(description);
        description.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
        description.lpSource = path;
        description.hModule = module;
        description.lpResourceName = MAKEINTRESOURCEW(2);
        context = CreateActCtxW(&description);
    }
    contexts.emplace(module, context);
    return context;
}

} // namespace

ActivationScope::ActivationScope(HMODULE module)
    : m_context(contextOf(module ? module : ServerModule::handle())) {
    if (m_context != INVALID_HANDLE_VALUE)
        m_active = ActivateActCtx(m_context, &m_cookie) != FALSE;
}

ActivationScope::~ActivationScope() {
    if (m_active)
        DeactivateActCtx(0, m_cookie);
}
