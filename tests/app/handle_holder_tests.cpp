// The shared handle holder: what it closes, when, and under which empty value.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "../../common/handle_holder.h"

namespace {

std::vector<int> Closed;

// Handles whose empty value is -1, as INVALID_HANDLE_VALUE is for files: 0 is a real one.
struct CountedTraits {
    typedef int Value;
    static int Empty() { return -1; }
    static void Close(int handle) { Closed.push_back(handle); }
};
typedef HandleHolder<CountedTraits> CountedHolder;

TEST(HandleHolder, ClosesWhatItHoldsOnceOnEveryWayOut) {
    Closed.clear();
    { CountedHolder empty; }
    { CountedHolder zero(0); }
    EXPECT_EQ(std::vector<int>{0}, Closed);
    try {
        CountedHolder held(7);
        throw std::runtime_error("leaving");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ((std::vector<int>{0, 7}), Closed);
}

TEST(HandleHolder, ResetReleaseAndReceiveCloseTheHeldHandleFirst) {
    Closed.clear();
    {
        CountedHolder holder(1);
        holder.Reset(2);
        EXPECT_EQ(2, holder.Handle());
        holder.Release();
        EXPECT_FALSE(holder.Held());
        EXPECT_EQ(-1, holder.Handle());
        holder.Release();
        *holder.Receive() = 3;
        EXPECT_TRUE(holder.Held());
        *holder.Receive() = 4;
    }
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), Closed);
}

TEST(HandleHolder, FileHolderTreatsOnlyTheInvalidValueAsEmpty) {
    const FileHandleHolder missing(CreateFileW(L"Z:\\no\\such\\file", GENERIC_READ, 0, NULL,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    EXPECT_FALSE(missing.Held());
    const KernelHandleHolder event(CreateEventW(NULL, TRUE, FALSE, NULL));
    EXPECT_TRUE(event.Held());
    EXPECT_FALSE(KernelHandleHolder().Held());
}

} // namespace
