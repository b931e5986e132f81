#pragma once

#include "globalmemory.h"

#include <cstddef>
#include <cstdint>

/// Owns one block of global memory: allocates it, locks it for its address,
/// unlocks and frees it, or hands it over. The block is freed when it is
/// replaced, freed explicitly or when the object ends, unless it was handed
/// over with ReleaseDontFreeMemory().
///
///     cMemory m;
///     if (m.AllocateMemory(26))         // zero-filled
///         std::memcpy(m.Pointer(), &record, 26);
class cMemory {
public:
    cMemory() = default;
    ~cMemory() { FreeMemory(); }
    cMemory(const cMemory&) = delete;
    cMemory& operator=(const cMemory&) = delete;

    /// The owned block's handle; 0 when there is none.
    intptr_t Handle() const { return m_handle; }
    /// Frees the current block, then owns `hMem`, unlocked.
    void setHandle(intptr_t hMem);
    /// The block's address, locking it first when needed; null without a block.
    void* Pointer();
    /// The block's size in bytes; 0 without a block.
    size_t Size() const;
    /// Frees the current block and allocates `lSize` bytes; false when none came back.
    bool AllocateMemory(size_t lSize, uint32_t dwFlags = globalmem::GMEM_ZEROINIT);
    /// Locks an unlocked block; false without a block, when already locked,
    /// or when the lock failed.
    bool LockMemory();
    void UnlockMemory();
    void FreeMemory();
    /// Unlocks and forgets the block without freeing it: it now belongs to
    /// whoever took its handle.
    void ReleaseDontFreeMemory();

private:
    intptr_t m_handle = 0;
    void* m_pointer = nullptr;
};
