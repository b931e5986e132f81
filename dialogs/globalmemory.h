#pragma once

#include <cstddef>
#include <cstdint>

/// Blocks of "global" memory known by a handle, as the help engine and the
/// printer records expect them. A handle is a number, never an address, so
/// a stale or made-up handle is refused instead of being followed.
namespace globalmem {

inline constexpr uint32_t GMEM_ZEROINIT = 0x40;

/// A new block of `bytes` bytes (always zero-filled); 0 when it cannot be had.
intptr_t GlobalAlloc(uint32_t flags, size_t bytes);
/// The block's address, counting one more lock; null for an unknown handle.
void* GlobalLock(intptr_t handle);
/// Counts one lock less; false when the block is no longer locked.
bool GlobalUnlock(intptr_t handle);
/// Frees the block; 0 on success, the handle when it was unknown.
intptr_t GlobalFree(intptr_t handle);
/// The block's size in bytes; 0 for an unknown handle.
size_t GlobalSize(intptr_t handle);

} // namespace globalmem
