#include "cmemory.h"

void cMemory::setHandle(intptr_t hMem) {
    FreeMemory();
    m_handle = hMem;
}

void* cMemory::Pointer() {
    if (!m_handle)
        return nullptr;
    if (!m_pointer)
        LockMemory();
    return m_pointer;
}

size_t cMemory::Size() const {
    return m_handle ? globalmem::GlobalSize(m_handle) : 0;
}

bool cMemory::AllocateMemory(size_t lSize, uint32_t dwFlags) {
    FreeMemory();
    m_handle = globalmem::GlobalAlloc(dwFlags, lSize);
    return m_handle != 0;
}

bool cMemory::LockMemory() {
    if (!m_handle || m_pointer)
        return false;
    m_pointer = globalmem::GlobalLock(m_handle);
    return m_pointer != nullptr;
}

void cMemory::UnlockMemory() {
    if (m_handle && m_pointer) {
        globalmem::GlobalUnlock(m_handle);
        m_pointer = nullptr;
    }
}

void cMemory::FreeMemory() {
    if (!m_handle)
        return;
    UnlockMemory();
    globalmem::GlobalFree(m_handle);
    m_handle = 0;
}

void cMemory::ReleaseDontFreeMemory() {
    UnlockMemory();
    m_handle = 0;
}
