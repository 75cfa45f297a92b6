// Tests of the apphelp.dll binding: loads, retries and the lookup of every entry.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../shimreport/apphelp_api.h"
#include "../../shimreport/match_executable.h"
#include "../../shimreport/unpack_shim_data.h"

namespace {

int Loads = 0;
HMODULE LoadResult = NULL;
std::vector<std::string> LookedUp;
std::vector<std::string> Present;

HMODULE CountingLoader() {
    ++Loads;
    return LoadResult;
}

void WINAPI AnyEntry() {}

FARPROC WINAPI RecordingLookup(HMODULE module, LPCSTR name) {
    EXPECT_EQ(LoadResult, module);
    LookedUp.push_back(name);
    for (const std::string& present : Present) {
        if (present == name) {
            return reinterpret_cast<FARPROC>(AnyEntry);
        }
    }
    return NULL;
}

class ApphelpBinding : public ::testing::Test {
protected:
    void SetUp() override {
        savedLoader = LoadApphelpLibrary;
        savedLookup = LookUpApphelpEntry;
        LoadApphelpLibrary = CountingLoader;
        LookUpApphelpEntry = RecordingLookup;
        ApphelpApi = ApphelpApiTable();
        Loads = 0;
        LoadResult = NULL;
        LookedUp.clear();
        Present.clear();
    }
    void TearDown() override {
        LoadApphelpLibrary = savedLoader;
        LookUpApphelpEntry = savedLookup;
        ApphelpApi = ApphelpApiTable();
    }

    ApphelpLoaderFn savedLoader = nullptr;
    ApphelpLookupFn savedLookup = nullptr;
};

TEST_F(ApphelpBinding, FailedLoadIsRetriedAtTheNextUse) {
    EnsureApphelpLoaded();
    EnsureApphelpLoaded();
    EXPECT_EQ(2, Loads);
    EXPECT_EQ(nullptr, ApphelpApi.module);
    EXPECT_TRUE(LookedUp.empty());

    LoadResult = GetModuleHandleW(nullptr);
    EnsureApphelpLoaded();
    EXPECT_EQ(3, Loads);
    EXPECT_EQ(LoadResult, ApphelpApi.module);
}

TEST_F(ApphelpBinding, SuccessfulLoadLooksUpEveryNameOnceInTableOrder) {
    LoadResult = GetModuleHandleW(nullptr);
    EnsureApphelpLoaded();
    EnsureApphelpLoaded();
    EXPECT_EQ(1, Loads);
    const std::vector<std::string> expected = {
        "SdbOpenDatabase",       "SdbCloseDatabase",     "SdbTagToString",
        "SdbGetTagFromTagID",    "SdbFindFirstTag",      "SdbFindNextTag",
        "SdbGetFirstChild",      "SdbGetNextChild",      "SdbOpenApphelpResourceFile",
        "SdbGetStringTagPtr",    "SdbReadWORDTag",       "SdbReadDWORDTag",
        "SdbReadQWORDTag",       "SdbGetAppPatchDir",    "SdbUnpackAppCompatData",
        "SdbGetDatabaseVersion", "SdbGetTagDataSize",    "SdbGetBinaryTagData",
        "SdbGUIDToString",       "SdbGetFileAttributes", "SdbFreeFileAttributes",
        "SdbGetMatchingExe",     "SdbFindFirstTagRef",   "SdbFindNextTagRef",
        "SdbInitDatabaseEx",     "SdbReleaseDatabase",   "SdbTagRefToTagID",
        "SdbFormatAttribute",    "SdbGetPermLayerKeys"};
    EXPECT_EQ(expected, LookedUp);
}

TEST_F(ApphelpBinding, MissingNamesStayNullAndAreNotLookedUpAgain) {
    LoadResult = GetModuleHandleW(nullptr);
    Present = {"SdbCloseDatabase", "SdbGetMatchingExe", "SdbGetPermLayerKeys"};
    EnsureApphelpLoaded();
    EXPECT_NE(nullptr, ApphelpApi.SdbCloseDatabase);
    EXPECT_NE(nullptr, ApphelpApi.SdbGetMatchingExe);
    EXPECT_NE(nullptr, ApphelpApi.SdbGetPermLayerKeys);
    EXPECT_EQ(nullptr, ApphelpApi.SdbOpenDatabase);
    EXPECT_EQ(nullptr, ApphelpApi.SdbInitDatabaseEx);
    EXPECT_EQ(nullptr, ApphelpApi.SdbFormatAttribute);

    // The report names the first entry it lacks and calls nothing.
    ReportStream stream;
    MatchExecutable(L"C:\\setup.exe", stream);
    EXPECT_EQ(L"apphelp.dll: SdbInitDatabaseEx not available\r\n", stream.str());
    EXPECT_EQ(1, Loads);
    EXPECT_EQ(29u, LookedUp.size());
}

TEST_F(ApphelpBinding, MissingLibraryIsReportedAndRetriedByEachReport) {
    ReportStream stream;
    MatchExecutable(L"C:\\setup.exe", stream);
    const unsigned char shimData[4] = {};
    UnpackShimData(shimData, false, stream);
    EXPECT_EQ(L"apphelp.dll not available\r\napphelp.dll not available\r\n", stream.str());
    EXPECT_EQ(2, Loads);
}

} // namespace
