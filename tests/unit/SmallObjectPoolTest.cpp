// The small-object pool serves one thread without locking; blocks crossing threads must still
// end where they came from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <thread>
#include <vector>

#include "base/SmallObjectPool.hpp"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool poolBuilt = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool poolBuilt = false;
#else
constexpr bool poolBuilt = true;
#endif
#else
constexpr bool poolBuilt = true;
#endif

// A size few others use, so that its free list is short.
constexpr std::size_t size = 488;

TEST(SmallObjectPoolTest, BlocksReleasedByAnotherThreadAreReused) {
    if (!poolBuilt) GTEST_SKIP() << "sanitizer builds use malloc";
    std::vector<void*> blocks;
    for (int i = 0; i < 100; ++i) blocks.push_back(::operator new(size));
    std::thread([&] {
        for (void* block : blocks) ::operator delete(block);
    }).join();
    std::set<void*> released(blocks.begin(), blocks.end());
    std::vector<void*> again;
    for (int i = 0; i < 100000 && !released.empty(); ++i) {
        again.push_back(::operator new(size));
        released.erase(again.back());
    }
    EXPECT_TRUE(released.empty()) << released.size() << " blocks never came back";
    for (void* block : again) ::operator delete(block);
}

TEST(SmallObjectPoolTest, AnotherThreadsBlocksCanBeReleasedAnywhere) {
    std::vector<int*> made;
    std::thread([&] {
        for (int i = 0; i < 100; ++i) made.push_back(new int(i));
        delete new int(-1);
    }).join();
    int sum = 0;
    for (int* value : made) {
        sum += *value;
        delete value;
    }
    EXPECT_EQ(sum, 4950);
}

// The translation runs on a thread of its own, started after the main thread claimed the pool.
TEST(SmallObjectPoolTest, AThreadThatTakesThePoolOverIsServedByIt) {
    if (!poolBuilt) GTEST_SKIP() << "sanitizer builds use malloc";
    constexpr long rare = 504;
    // Pool blocks of one size lie side by side once its free list is used up; malloc puts a
    // header between any two blocks, so no two of its blocks are this close.
    std::vector<char*> blocks;
    int adjacent = 0;
    std::thread([&] {
        takeOverSmallObjectPool();
        while (adjacent < 2 && blocks.size() < 10000) {
            blocks.push_back(static_cast<char*>(::operator new(rare)));
            if (blocks.size() > 1) adjacent += std::labs(blocks.back() - blocks[blocks.size() - 2]) == rare;
        }
    }).join();
    takeOverSmallObjectPool();
    EXPECT_EQ(adjacent, 2);
    for (char* block : blocks) ::operator delete(block);
}

}  // namespace
