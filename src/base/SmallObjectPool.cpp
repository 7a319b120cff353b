// Small-object pool: the replacement operator new and delete of the translator. Blocks of up
// to 512 bytes come from per-size free lists carved out of one reserved address range; larger
// ones, and all of them when the range cannot be reserved, go to malloc. A translation makes
// millions of small nodes, names and lists: the general allocator's per-block header, its
// rounding and its bookkeeping cost about a tenth of the memory and of the time. Never returns
// pool memory to the system before exit, and is left out of sanitizer builds, which track
// every block themselves.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "base/SmallObjectPool.hpp"
#include "platform/Platform.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define VORN_NO_POOL 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORN_NO_POOL 1
#endif
#endif

#ifndef VORN_NO_POOL

namespace {

// Sizes go up in steps of 8. Every block of a size that is a multiple of 16 is 16-aligned (its
// region starts on a page boundary), and an object that needs that alignment always has such
// a size; the rest need 8 at most. Half the blocks thus save the 8 bytes that rounding
// every size up to 16 would cost.
constexpr std::size_t granule = 8;
constexpr std::size_t largest = 512;
constexpr std::size_t classes = largest / granule;
constexpr unsigned regionBits = 29;  // half a gigabyte of addresses per size; beyond it, malloc
constexpr std::size_t regionSize = std::size_t(1) << regionBits;

struct FreeBlock {
    FreeBlock* next;
};

// Zero-initialised before any constructor runs, so operator new works from the first call.
struct Pool {
    char* base;  // the reserved range; null until the first allocation, or when it failed
    char* top[classes];  // the next untouched block of each size's region
    char* backed[classes];  // the end of the part of each region made resident so far
    FreeBlock* freed[classes];
};
Pool pool;

// The pool serves one thread, the only one vorn translates on, without a lock: an atomic
// exchange on every allocation and every release cost more than the lists themselves. The
// first thread to allocate owns it until another takes it over (the translation runs on a
// thread of its own with a large stack, while start-up allocates on the main one). Other
// threads get malloc; a pool block they release is handed back through a lock-free stack,
// which the owner empties into its lists when one runs dry.
std::atomic<unsigned> ownerTicket(0);  // 0 until a thread owns the pool
thread_local unsigned heldTicket = 0;
std::atomic<FreeBlock*> handedBack(nullptr);
bool reserved = false;

bool owner() { return heldTicket != 0 && heldTicket == ownerTicket.load(std::memory_order_relaxed); }

bool isOwner() {
    if (owner()) return true;
    unsigned none = 0;
    if (!ownerTicket.compare_exchange_strong(none, 1)) return false;
    heldTicket = 1;
    return true;
}

std::size_t classOf(const void* p) {
    return static_cast<std::size_t>(static_cast<const char*>(p) - pool.base) >> regionBits;
}

void takeBack() {
    FreeBlock* block = handedBack.exchange(nullptr, std::memory_order_acquire);
    while (block) {
        FreeBlock* next = block->next;
        const std::size_t c = classOf(block);
        block->next = pool.freed[c];
        pool.freed[c] = block;
        block = next;
    }
}

void reserve() {
    platform::tuneGeneralAllocator();
    // One region per size, made usable a run at a time.
    void* range = platform::reserveAddressSpace(classes * regionSize);
    if (!range) return;
    pool.base = static_cast<char*>(range);
    for (std::size_t c = 0; c < classes; ++c) pool.top[c] = pool.base + c * regionSize;
}

// Pages are made usable a run at a time: one call instead of a fault per page, which under a
// virtual machine costs more than the work that touches the page.
constexpr std::size_t backingRun = 32 * 1024;

bool backMore(std::size_t c, char* end) {
    // The first run of a size is not made resident at once: most sizes never fill one, and
    // backing it whole would only add to the resident size.
    const bool first = !pool.backed[c];
    char* from = first ? pool.top[c] : pool.backed[c];
    std::size_t length = std::min<std::size_t>(backingRun, static_cast<std::size_t>(end - from));
    if (!platform::commitPages(from, length, !first)) return false;
    pool.backed[c] = from + length;
    return true;
}

inline void* popFreed(std::size_t c) {
    FreeBlock* block = pool.freed[c];
    if (!block) return nullptr;
    // Freed blocks lie scattered, and reading a cold block's link stalls the allocation: fetching
    // the next one now has it in cache by the time this size is asked for again.
    FreeBlock* next = block->next;
    pool.freed[c] = next;
    if (next) __builtin_prefetch(next, 1);
    return block;
}

void* fromPool(std::size_t size) {
    if (size > largest) return nullptr;
    const std::size_t c = size == 0 ? 0 : (size - 1) / granule;
    if (!isOwner()) return nullptr;
    if (!reserved) {
        reserved = true;
        reserve();
    }
    if (!pool.base) return nullptr;
    if (!pool.freed[c] && handedBack.load(std::memory_order_relaxed)) takeBack();
    if (void* block = popFreed(c)) return block;
    const std::size_t blockSize = (c + 1) * granule;
    char* end = pool.base + (c + 1) * regionSize;
    if (pool.top[c] + blockSize > end) return nullptr;
    if (pool.top[c] + blockSize > pool.backed[c] && !backMore(c, end)) return nullptr;
    void* block = pool.top[c];
    pool.top[c] += blockSize;
    return block;
}

bool toPool(void* p) {
    char* at = static_cast<char*>(p);
    if (!pool.base || at < pool.base || at >= pool.base + classes * regionSize) return false;
    FreeBlock* block = static_cast<FreeBlock*>(p);
    if (owner()) {
        const std::size_t c = classOf(p);
        block->next = pool.freed[c];
        pool.freed[c] = block;
        return true;
    }
    block->next = handedBack.load(std::memory_order_relaxed);
    while (!handedBack.compare_exchange_weak(block->next, block, std::memory_order_release,
                                             std::memory_order_relaxed)) {
    }
    return true;
}

// Most requests are met by the first block of a free list: that path is kept free of calls.
inline void* allocate(std::size_t size) {
    if (size - 1 < largest && pool.base && owner())
        if (void* block = popFreed((size - 1) / granule)) return block;
    if (void* block = fromPool(size)) return block;
    for (;;) {
        if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void release(void* p) noexcept {
    if (p && !toPool(p)) std::free(p);
}

}  // namespace

void takeOverSmallObjectPool() {
    // The thread giving the pool up waits for this one (it starts and joins it), so no two
    // threads ever work on the lists at once.
    heldTicket = ownerTicket.fetch_add(1) + 1;
}

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

#else

void takeOverSmallObjectPool() {}

#endif
