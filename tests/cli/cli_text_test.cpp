#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../../app/dropped_files.h"
#include "../../inspect/current_target.h"
#include "../../inspect/identify_window.h"
#include "../../inspect/report_driver.h"
#include "../inspect/target_process.h"
#include "../inspect/test_support.h"
#include "cli_run.h"

namespace {

const std::wstring Samples = L"C:\\quillet-samples\\";
const std::wstring Scratch = L"C:\\quillet-cli-tests\\";

// A drop of the paths, as the shell hands it to WM_DROPFILES; the handler releases it.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    size_t units = 1;
    for (const std::wstring& path : paths) {
        units += path.size() + 1;
    }
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    wchar_t* out = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& path : paths) {
        std::copy(path.begin(), path.end(), out);
        out += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::wstring Quoted(const std::vector<std::wstring>& paths) {
    std::wstring arguments;
    for (const std::wstring& path : paths) {
        arguments += L" \"" + path + L"\"";
    }
    return arguments;
}

// The text after the banner line.
std::wstring AfterBanner(const std::wstring& text) {
    const std::wstring::size_type end = text.find(L"\r\n");
    return end == std::wstring::npos ? std::wstring() : text.substr(end + 2);
}

size_t Occurrences(const std::wstring& text, const std::wstring& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CreateDirectoryW(Scratch.c_str(), NULL); }
    PaneForTest pane;
};

TEST_F(CliTest, FileReportsAreThePaneTextOfTheSameDropByteForByte) {
    // Names beyond ASCII, one outside the Basic Multilingual Plane, must survive as UTF-8.
    const std::wstring unusual = Scratch + L"\u00dcbersicht \u65e5\u672c \U0001F600.exe";
    ASSERT_TRUE(CopyFileW((Samples + L"plainapp.exe").c_str(), unusual.c_str(), FALSE));
    const std::vector<std::wstring> paths = {Samples + L"cadwriter.exe", Samples + L"ledgerpro.exe",
                                             unusual, Samples + L"plainapp.exe",
                                             L"C:\\quillet-samples"};
    HandleDroppedFiles(NULL, MakeDrop(paths));
    const CliRun run = RunCli(Quoted(paths));
    EXPECT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_EQ(pane.Text(), run.output);
    EXPECT_NE(std::wstring::npos, run.output.find(L"EXE: ")) << run.output;
    EXPECT_NE(std::wstring::npos, run.output.find(L"\\\u00dcbersicht \u65e5\u672c \U0001F600.exe"));
    // CR LF line ends only, and nothing after the last report's own line break.
    EXPECT_EQ(Occurrences(run.output, L"\n"), Occurrences(run.output, L"\r\n"));
    EXPECT_EQ(L"\r\n\r\n", run.output.substr(run.output.size() - 4));
    EXPECT_TRUE(run.errors.empty()) << run.errors;
    DeleteFileW(unusual.c_str());
}

TEST_F(CliTest, RelativePathsAreReportedAsTheFullPathsADropGives) {
    HandleDroppedFiles(NULL, MakeDrop({Samples + L"cadwriter.exe"}));
    SetCurrentDirectoryW(Samples.c_str());
    const CliRun run = RunCli(L"cadwriter.exe");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(pane.Text(), run.output);
}

TEST_F(CliTest, MissingFileIsStillReportedAndExitsWithOne) {
    const std::wstring missing = Scratch + L"no such program.exe";
    HandleDroppedFiles(NULL, MakeDrop({missing, Samples + L"plainapp.exe"}));
    const CliRun run = RunCli(Quoted({missing, Samples + L"plainapp.exe"}));
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(pane.Text(), run.output);
    EXPECT_NE(std::wstring::npos, run.errors.find(L"no such program.exe: no such file"))
        << run.errors;
}

TEST_F(CliTest, PidGivesThePicksReportWithTheLiveStateBlockExactly) {
    TargetProcess target(L"--match C:\\quillet-samples\\cadwriter.exe");
    ASSERT_TRUE(target.Ready());
    // What the dialog shows after a pick of the target's window.
    IdentifyWindow(target.Window());
    ReportProcess();
    const std::wstring picked = pane.Text();
    ASSERT_NE(std::wstring::npos, picked.find(L"\r\nLive info:\r\nAppCompatFlags: 0x400\r\n"
                                              L"AppCompatFlags: 0x1000000002\r\nEXE: "))
        << picked;
    const CliRun run = RunCli(L"--pid " + std::to_wstring(target.ProcessId()));
    EXPECT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_EQ(picked, AfterBanner(run.output));
    EXPECT_EQ(0u, run.output.find(L"Running on "));
}

TEST_F(CliTest, ProcessThatCannotBeOpenedIsNamedByItsIdAndExitsWithOne) {
    // Process ids are multiples of four far below this one.
    const DWORD gone = 2147483630;
    TargetProcess alive(L"--nothing");
    ASSERT_TRUE(alive.Ready());
    const CliRun run =
        RunCli(L"--pid " + std::to_wstring(gone) + L" --pid " + std::to_wstring(alive.ProcessId()));
    EXPECT_EQ(1u, run.exitCode);
    const std::wstring reports = AfterBanner(run.output);
    const std::wstring header = L"Process: pid " + std::to_wstring(gone) + L"\r\n";
    ASSERT_EQ(0u, reports.find(header + L"Error opening proc: ")) << reports;
    // The sweep goes on after the failure: the live process is reported next.
    const std::wstring::size_type next = reports.find(L"\r\n\r\n") + 4;
    EXPECT_EQ(next, reports.find(L"Process: " + TargetProgramPath())) << reports;
    EXPECT_NE(std::wstring::npos, run.errors.find(L"Error opening proc: ")) << run.errors;
}

TEST_F(CliTest, AllFindsEveryRunningTargetOnceAfterThePidsInAscendingIdAndNotItself) {
    const std::vector<std::wstring> names = {L"sweep-a.exe", L"sweep-b.exe", L"sweep-c.exe"};
    for (const std::wstring& name : names) {
        ASSERT_TRUE(CopyFileW(TargetProgramPath().c_str(), (Scratch + name).c_str(), FALSE));
    }
    {
        TargetProcess a(L"", Scratch + names[0]);
        TargetProcess b(L"--nothing", Scratch + names[1]);
        TargetProcess c(L"", Scratch + names[2]);
        ASSERT_TRUE(a.Ready() && b.Ready() && c.Ready());
        // Named by --pid, twice, and by --all: still reported once.
        const std::wstring namedA = L"--pid " + std::to_wstring(a.ProcessId());
        const CliRun run = RunCli(namedA + L" " + namedA + L" --all");
        EXPECT_EQ(0u, run.exitCode) << run.errors;
        std::vector<std::wstring::size_type> at;
        for (const std::wstring& name : names) {
            const std::wstring header = L"Process: " + Scratch + name + L"\r\n";
            EXPECT_EQ(1u, Occurrences(run.output, header)) << run.output;
            at.push_back(run.output.find(header));
        }
        // The --pid first, then the sweep by ascending id.
        EXPECT_LT(at[0], at[1]);
        EXPECT_LT(at[0], at[2]);
        EXPECT_EQ(b.ProcessId() < c.ProcessId(), at[1] < at[2]);
        EXPECT_NE(std::wstring::npos, run.errors.find(L": processes: ")) << run.errors;
        EXPECT_EQ(2u, Occurrences(run.output, L"\r\nLive info:\r\nAppCompatFlags: 0x400\r\n"));
        EXPECT_EQ(std::wstring::npos, run.output.find(L"quillet-cli.exe")) << run.output;
    }
    for (const std::wstring& name : names) {
        DeleteFileW((Scratch + name).c_str());
    }
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndTheUsageOnStandardError) {
    const wchar_t* mistakes[] = {L"", L"--bogus", L"--pid", L"--pid 12x", L"--pid -3", L"--json"};
    for (const wchar_t* arguments : mistakes) {
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(2u, run.exitCode) << arguments;
        EXPECT_TRUE(run.output.empty()) << arguments;
        EXPECT_NE(std::wstring::npos, run.errors.find(L"usage: ")) << arguments;
    }
}

TEST_F(CliTest, HelpPrintsTheUsageAndExitsWithZero) {
    // "/?" is no file named "?", and help wins over the other arguments wherever it stands.
    const wchar_t* asks[] = {L"--help", L"-h", L"-?", L"/?", L"C:\\missing.exe /?"};
    for (const wchar_t* arguments : asks) {
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(0u, run.exitCode) << arguments;
        EXPECT_EQ(0u, run.output.find(L"usage: quillet-cli")) << arguments << run.output;
        EXPECT_TRUE(run.errors.empty()) << arguments << run.errors;
    }
}

TEST_F(CliTest, VersionPrintsOneLineWithTheProjectsVersionAndExitsWithZero) {
    // --version wins over a missing file as help does; after "--" it is a file.
    const std::wstring expected =
        std::wstring(sizeof(void*) == 8 ? L"quillet-cli64 " : L"quillet-cli ") +
        QUILLET_PROJECT_VERSION_W;
    for (const wchar_t* arguments : {L"--version", L"--version C:\\missing.exe"}) {
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(0u, run.exitCode) << arguments;
        EXPECT_EQ(0u, run.output.find(expected)) << arguments << run.output;
        EXPECT_EQ(run.output.size() - 2, run.output.find(L"\r\n")) << run.output;
        EXPECT_TRUE(run.errors.empty()) << arguments << run.errors;
    }
    const CliRun file = RunCli(L"-- --version");
    EXPECT_EQ(1u, file.exitCode);
    EXPECT_EQ(std::wstring::npos, file.output.find(expected));
}

TEST_F(CliTest, DoubleDashMakesTheNextArgumentsFiles) {
    const CliRun run = RunCli(L"-- --all");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::wstring::npos, AfterBanner(run.output).find(L"File: ")) << run.output;
    EXPECT_NE(std::wstring::npos, run.output.find(L"\\--all\r\n")) << run.output;
}

} // namespace
