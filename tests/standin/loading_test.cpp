// Tests that the stand-in engine is the one loaded and that its exports take null arguments.
#include "engine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The system directory's apphelp.dll is the stand-in, not a builtin stub of Wine's.
TEST(Loading, TheSystemDirectoryLibraryIsTheStandIn) {
    const Engine& e = TheEngine();
    ASSERT_NE(e.module, nullptr);
    wchar_t path[MAX_PATH];
    ASSERT_NE(GetModuleFileNameW(e.module, path, MAX_PATH), 0u);
    std::vector<BYTE> image = ReadWholeFile(path);
    ASSERT_GT(image.size(), 0x100u);
    const char builtinMark[] = "Wine builtin DLL";
    EXPECT_NE(std::memcmp(&image[0x40], builtinMark, sizeof builtinMark - 1), 0) << path;
    ASSERT_NE(e.SdbInitDatabaseEx, nullptr);
    HSDB hsdb = e.SdbInitDatabaseEx(0, nullptr, 0x14C);
    EXPECT_NE(hsdb, nullptr);
    e.SdbReleaseDatabase(hsdb);
}

typedef UINT_PTR(WINAPI* Call0)();
typedef UINT_PTR(WINAPI* Call1)(UINT_PTR);
typedef UINT_PTR(WINAPI* Call2)(UINT_PTR, UINT_PTR);
typedef UINT_PTR(WINAPI* Call3)(UINT_PTR, UINT_PTR, UINT_PTR);
typedef UINT_PTR(WINAPI* Call4)(UINT_PTR, UINT_PTR, UINT_PTR, UINT_PTR);
typedef UINT_PTR(WINAPI* Call6)(UINT_PTR, UINT_PTR, UINT_PTR, UINT_PTR, UINT_PTR, UINT_PTR);

UINT_PTR CallWithZeros(FARPROC entry, int slots) {
    switch (slots) {
    case 1:
        return reinterpret_cast<Call1>(entry)(0);
    case 2:
        return reinterpret_cast<Call2>(entry)(0, 0);
    case 3:
        return reinterpret_cast<Call3>(entry)(0, 0, 0);
    case 4:
        return reinterpret_cast<Call4>(entry)(0, 0, 0, 0);
    case 6:
        return reinterpret_cast<Call6>(entry)(0, 0, 0, 0, 0, 0);
    default:
        return reinterpret_cast<Call0>(entry)();
    }
}

struct Export {
    const char* name;
    int slots; // 32-bit stack words of its arguments
};

// Every export with null and zero arguments fails cleanly. The few that succeed with
// them (a context over the installed databases, a tag name, an error code) say so.
TEST(Loading, EveryExportTakesNullsAndZeros) {
    const Export exports[] = {
        {"SdbBeginWriteListTag", 2},    {"SdbCloseDatabase", 1},
        {"SdbCloseDatabaseWrite", 1},   {"SdbCreateDatabase", 2},
        {"SdbEndWriteListTag", 2},      {"SdbFindFirstTag", 3},
        {"SdbFindFirstTagRef", 3},      {"SdbFindNextTag", 3},
        {"SdbFindNextTagRef", 3},       {"SdbFormatAttribute", 3},
        {"SdbFreeFileAttributes", 1},   {"SdbGUIDToString", 3},
        {"SdbGetAppCompatDataSize", 1}, {"SdbGetBinaryTagData", 2},
        {"SdbGetDatabaseVersion", 3},   {"SdbGetFileAttributes", 3},
        {"SdbGetFirstChild", 2},        {"SdbGetMatchingExe", 6},
        {"SdbGetNextChild", 3},         {"SdbGetPermLayerKeys", 4},
        {"SdbGetStringTagPtr", 2},      {"SdbGetTagDataSize", 2},
        {"SdbGetTagFromTagID", 2},      {"SdbOpenApphelpResourceFile", 1},
        {"SdbOpenDatabase", 2},         {"SdbPackAppCompatData", 4},
        {"SdbReadDWORDTag", 3},         {"SdbReadQWORDTag", 4},
        {"SdbReadWORDTag", 3},          {"SdbReleaseDatabase", 1},
        {"SdbTagRefToTagID", 4},        {"SdbUnpackAppCompatData", 4},
        {"SdbWriteBinaryTag", 4},       {"SdbWriteDWORDTag", 3},
        {"SdbWriteNULLTag", 2},         {"SdbWriteQWORDTag", 4},
        {"SdbWriteStringTag", 3},       {"SdbWriteWORDTag", 3},
    };
    HMODULE module = TheEngine().module;
    ASSERT_NE(module, nullptr);
    for (const Export& entry : exports) {
        FARPROC address = GetProcAddress(module, entry.name);
        ASSERT_NE(address, nullptr) << entry.name;
        EXPECT_EQ(CallWithZeros(address, entry.slots), 0u) << entry.name;
    }
    FARPROC init = GetProcAddress(module, "SdbInitDatabaseEx");
    HSDB hsdb = reinterpret_cast<HSDB>(CallWithZeros(init, 3));
    EXPECT_NE(hsdb, nullptr);
    TheEngine().SdbReleaseDatabase(hsdb);
    FARPROC tagName = GetProcAddress(module, "SdbTagToString");
    EXPECT_STREQ(reinterpret_cast<LPCWSTR>(CallWithZeros(tagName, 1)), L"InvalidTag");
    FARPROC patchDir = GetProcAddress(module, "SdbGetAppPatchDir");
    EXPECT_EQ(static_cast<HRESULT>(CallWithZeros(patchDir, 3)), E_INVALIDARG);
}

} // namespace
