#include "cmemory.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

TEST(cMemory, BlocksAreZeroFilledLockedOnceHandedOverAndFreedWhenReplaced) {
    cMemory m;
    EXPECT_EQ(std::tuple(m.Pointer(), m.Size(), m.LockMemory()), std::tuple(nullptr, 0u, false));
    ASSERT_TRUE(m.AllocateMemory(26));
    EXPECT_GE(m.Size(), 26u);
    auto* bytes = static_cast<unsigned char*>(m.Pointer());
    ASSERT_NE(bytes, nullptr);
    EXPECT_TRUE(std::all_of(bytes, bytes + 26, [](unsigned char b) { return b == 0; }));
    EXPECT_FALSE(m.LockMemory()); // already locked; the address stays
    EXPECT_EQ(m.Pointer(), bytes);
    m.UnlockMemory();
    EXPECT_TRUE(m.LockMemory());
    m.FreeMemory();
    EXPECT_EQ(std::tuple(m.Handle(), m.Pointer()), std::tuple(0, nullptr));

    // Handed over, a block outlives the object; replaced, it is freed.
    intptr_t taken = 0;
    {
        cMemory giver;
        ASSERT_TRUE(giver.AllocateMemory(8));
        static_cast<char*>(giver.Pointer())[0] = 'x';
        taken = giver.Handle();
        giver.ReleaseDontFreeMemory();
        EXPECT_EQ(giver.Handle(), 0);
    }
    EXPECT_EQ(globalmem::GlobalSize(taken), 8u);
    EXPECT_EQ(static_cast<char*>(globalmem::GlobalLock(taken))[0], 'x');
    globalmem::GlobalUnlock(taken);

    cMemory owner;
    owner.setHandle(taken);
    EXPECT_NE(owner.Pointer(), nullptr);
    ASSERT_TRUE(owner.AllocateMemory(4)); // frees the locked block first
    EXPECT_EQ(std::tuple(globalmem::GlobalSize(taken), globalmem::GlobalLock(taken)),
              std::tuple(0u, nullptr));
    EXPECT_EQ(globalmem::GlobalFree(taken), taken);

    cMemory huge;
    EXPECT_FALSE(huge.AllocateMemory(SIZE_MAX));
    EXPECT_EQ(huge.Handle(), 0);
}
