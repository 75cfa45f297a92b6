#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "../../app/dropped_files.h"
#include "../../app/output_pane.h"
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

} // namespace
