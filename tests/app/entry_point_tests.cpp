// The two caching rules of optional entry lookups, against entries the system has and lacks.
#include <gtest/gtest.h>

#include "../../common/entry_point.h"

namespace {

typedef DWORD(WINAPI* GetTickCountFn)();

TEST(EntryLookup, OnceKeepsTheFirstAnswerEvenWhenMissing) {
    bool lookedUp = false;
    GetTickCountFn entry = NULL;
    EXPECT_EQ(LookUpOnce(lookedUp, entry, Kernel32Module, "NoSuchEntryPoint"),
              static_cast<GetTickCountFn>(NULL));
    EXPECT_TRUE(lookedUp);
    // Not asked again: a name that exists is not found once the first lookup has failed.
    EXPECT_EQ(LookUpOnce(lookedUp, entry, Kernel32Module, "GetTickCount"),
              static_cast<GetTickCountFn>(NULL));

    lookedUp = false;
    ASSERT_EQ(LookUpOnce(lookedUp, entry, Kernel32Module, "GetTickCount"), &GetTickCount);
    EXPECT_EQ(entry, &GetTickCount);
}

TEST(EntryLookup, WhileMissingAsksUntilFoundThenKeeps) {
    GetTickCountFn entry = NULL;
    EXPECT_EQ(LookUpWhileMissing(entry, Kernel32Module, "NoSuchEntryPoint"),
              static_cast<GetTickCountFn>(NULL));
    EXPECT_EQ(LookUpWhileMissing(entry, Kernel32Module, "GetTickCount"), &GetTickCount);
    // Found, it is kept: a later call with another name does not replace it.
    EXPECT_EQ(LookUpWhileMissing(entry, Kernel32Module, "NoSuchEntryPoint"), &GetTickCount);
}

TEST(EntryLookup, EachModuleNameNamesALoadedModule) {
    const wchar_t* const modules[] = {Kernel32Module, NtdllModule, User32Module};
    for (const wchar_t* module : modules) {
        EXPECT_NE(GetModuleHandleW(module), static_cast<HMODULE>(NULL)) << module;
    }
}

} // namespace
