#include "servermodule.h"

#include <atomic>

namespace {
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
} // namespace

HMODULE ServerModule::handle() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ServerModule::handle), &module);
    return module;
}

std::wstring ServerModule::path() {
    // Paths may be longer than MAX_PATH: grow until the name fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(handle(), buffer.data(), DWORD(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

void ServerModule::objectCreated() {
    ++g_objects;
}

void ServerModule::objectDestroyed() {
    --g_objects;
}

void ServerModule::lock(bool locked) {
    if (locked)
        ++g_locks;
    else if (g_locks > 0)
        --g_locks;
}

bool ServerModule::canUnload() {
    return g_objects == 0 && g_locks == 0;
}
