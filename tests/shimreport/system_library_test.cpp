// Tests of the system-directory-only library load.
#include <string>

#include <gtest/gtest.h>

#include "../../shimreport/system_library.h"

namespace {

TEST(SystemLibrary, LoadsFromTheSystemDirectoryOnly) {
    // The copy planted beside the program is not taken for a system library, though a bare-name
    // load finds it. The bare load comes last: a module once loaded is found by name.
    EXPECT_EQ(nullptr, LoadSystemLibrary(L"quillet_planted.dll"));
    HMODULE planted = LoadLibraryW(L"quillet_planted.dll");
    EXPECT_NE(nullptr, planted);
    FreeLibrary(planted);

    HMODULE version = LoadSystemLibrary(L"version.dll");
    ASSERT_NE(nullptr, version);
    wchar_t directory[MAX_PATH];
    wchar_t loaded[MAX_PATH];
    UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    ASSERT_NE(0u, GetModuleFileNameW(version, loaded, MAX_PATH));
    EXPECT_EQ(0, _wcsnicmp(directory, loaded, length)) << loaded;
}

} // namespace
