// Tests of a drop: the order of its reports and its release on every way out.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <new>
#include <string>
#include <vector>

#include "../../app/dropped_files.h"
#include "../../common/output_pane.h"
#include "../../shimreport/apphelp_api.h"
#include "dialog_fixture.h"

namespace {

// A drop as the shell hands it over: DROPFILES, then the wide paths, each NUL-terminated, and
// a final NUL.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    size_t characters = 1;
    for (const std::wstring& path : paths) {
        characters += path.size() + 1;
    }
    const size_t size = sizeof(DROPFILES) + characters * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, size);
    DROPFILES* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    wchar_t* out = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& path : paths) {
        out = std::copy(path.begin(), path.end(), out);
        *out++ = L'\0';
    }
    *out = L'\0';
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

HSDB WINAPI OutOfMemoryInit(DWORD, LPCWSTR, USHORT) {
    throw std::bad_alloc();
}
BOOL WINAPI NeverMatches(HSDB, LPCWSTR, LPCWSTR, LPCWSTR, DWORD, void*) {
    return FALSE;
}

// Puts an engine in place whose every context runs out of memory; the real one comes back after.
class EngineOutOfMemory {
public:
    EngineOutOfMemory() : saved_(ApphelpApi) {
        ApphelpApi = ApphelpApiTable();
        ApphelpApi.module = GetModuleHandleW(NULL);
        ApphelpApi.SdbGetMatchingExe = NeverMatches;
        ApphelpApi.SdbInitDatabaseEx = OutOfMemoryInit;
    }
    ~EngineOutOfMemory() { ApphelpApi = saved_; }
    EngineOutOfMemory(const EngineOutOfMemory&) = delete;
    EngineOutOfMemory& operator=(const EngineOutOfMemory&) = delete;

private:
    const ApphelpApiTable saved_;
};

class Drop : public ::testing::Test {
protected:
    MainDialogFixture fixture_{true};
};

TEST_F(Drop, EveryPathGetsAFileReportInTheDropsOrderAfterOneBanner) {
    const std::vector<std::wstring> paths = {L"C:\\windows\\notepad.exe", L"C:\\windows",
                                             L"C:\\missing file.exe"};
    SetWindowTextW(OutputPane, L"an earlier report");
    HDROP drop = MakeDrop(paths);
    HandleDroppedFiles(fixture_.dialog(), drop);
    // The drop is released.
    EXPECT_EQ(GlobalSize(drop), 0u);
    const std::vector<std::wstring> lines = Lines(WindowText(OutputPane));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind(L"Running on ", 0), 0u);
    std::vector<std::wstring> headers;
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(L"Running on ", 0), std::wstring::npos);
        if (lines[i].rfind(L"File: ", 0) == 0) {
            headers.push_back(lines[i].substr(6));
            // The path reaches the report without its terminator: the header line ends there
            // and an empty line follows.
            ASSERT_LT(i + 1, lines.size());
            EXPECT_EQ(lines[i + 1], L"");
        }
    }
    EXPECT_EQ(headers, paths);
}

TEST_F(Drop, DropIsReleasedWhenAReportIsLeftByAnException) {
    HDROP drop = MakeDrop({L"C:\\windows\\notepad.exe", L"C:\\windows\\regedit.exe"});
    {
        EngineOutOfMemory engine;
        EXPECT_THROW(HandleDroppedFiles(fixture_.dialog(), drop), std::bad_alloc);
    }
    EXPECT_EQ(GlobalSize(drop), 0u);
    // What was reported before the exception still reaches the pane.
    const std::vector<std::wstring> lines = Lines(WindowText(OutputPane));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind(L"Running on ", 0), 0u);
    EXPECT_EQ(lines[1], L"File: C:\\windows\\notepad.exe");
}

} // namespace
