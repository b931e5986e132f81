#include "globalmemory.h"

#include <map>
#include <mutex>
#include <new>
#include <vector>

namespace {

struct Block {
    std::vector<std::byte> bytes;
    int locks = 0;
};

struct Heap {
    std::mutex mutex;
    std::map<intptr_t, Block> blocks;
    intptr_t next = 0x10000;
};

Heap& heap() {
    static Heap h;
    return h;
}

} // namespace

namespace globalmem {

intptr_t GlobalAlloc(uint32_t, size_t bytes) {
    Heap& h = heap();
    std::lock_guard lock(h.mutex);
    try {
        Block block;
        block.bytes.resize(bytes);
        const intptr_t handle = h.next;
        h.next += 8;
        h.blocks.emplace(handle, std::move(block));
        return handle;
    } catch (const std::bad_alloc&) {
        return 0;
    } catch (const std::length_error&) {
        return 0;
    }
}

void* GlobalLock(intptr_t handle) {
    Heap& h = heap();
    std::lock_guard lock(h.mutex);
    auto it = h.blocks.find(handle);
    if (it == h.blocks.end() || it->second.bytes.empty())
        return nullptr;
    ++it->second.locks;
    return it->second.bytes.data();
}

bool GlobalUnlock(intptr_t handle) {
    Heap& h = heap();
    std::lock_guard lock(h.mutex);
    auto it = h.blocks.find(handle);
    if (it == h.blocks.end() || it->second.locks == 0)
        return false;
    return --it->second.locks > 0;
}

intptr_t GlobalFree(intptr_t handle) {
    Heap& h = heap();
    std::lock_guard lock(h.mutex);
    return h.blocks.erase(handle) ? 0 : handle;
}

size_t GlobalSize(intptr_t handle) {
    Heap& h = heap();
    std::lock_guard lock(h.mutex);
    auto it = h.blocks.find(handle);
    return it == h.blocks.end() ? 0 : it->second.bytes.size();
}

} // namespace globalmem
