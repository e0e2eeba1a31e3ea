// The one owner of every handle: each held value is closed exactly once,
// whichever way ownership moves, and the kernel-handle form (invalid -1)
// holds nothing for both of the values the system's functions fail with.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/runtime/UniqueResource.h"

namespace {

std::vector<int> g_closed;
void Close(int value) { g_closed.push_back(value); }
using Owned = platform::UniqueResource<int, &Close, -1>;

std::vector<void*> g_closedPointers;
void ClosePointer(void* value) { g_closedPointers.push_back(value); }
using OwnedPointer = platform::UniqueResource<void*, &ClosePointer, -1>;

TEST(UniqueResource, ClosesEachValueOnceWhateverWayOwnershipMoves) {
    g_closed.clear();
    {
        Owned a(3);
        Owned b(std::move(a));  // a gives it up
        Owned c(4);
        c = std::move(b);       // c closes 4 and takes 3
        c.Reset(3);             // the same value again: nothing to close
        Owned d(5);
        EXPECT_EQ(5, d.Release());  // given up, never closed
        Owned e(-1);                // holds nothing
        EXPECT_FALSE(e.Valid());
    }
    EXPECT_EQ((std::vector<int>{4, 3}), g_closed);
}

TEST(UniqueResource, AKernelHandleHoldsNothingWhenNullOrMinusOne) {
    g_closedPointers.clear();
    {
        OwnedPointer null(nullptr);
        OwnedPointer failed(reinterpret_cast<void*>(std::intptr_t(-1)));
        EXPECT_FALSE(null.Valid());
        EXPECT_FALSE(failed.Valid());
        static int object;
        OwnedPointer held(&object);
        EXPECT_TRUE(held.Valid());
        held.Reset();
        EXPECT_FALSE(held.Valid());
    }
    ASSERT_EQ(1u, g_closedPointers.size());
}

}  // namespace
