// Tests of a whole run in this process, where the process list and the opening of processes
// can be made to fail: exit codes, the summary, and each process reported once.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "../../cli/command_run.h"
#include "../../cli/process_list.h"
#include "../../cli/target_reports.h"
#include "../../inspect/identify_window.h"
#include "../inspect/target_process.h"
#include "cli_run.h"

using nlohmann::json;

namespace {

DWORD RefusedId = 0;
DWORD EndedId = 0;

// Refuses one process as a protected one is refused, and answers for another as the system
// does for a process that ended after the list was taken.
HANDLE WINAPI SelectiveOpen(DWORD access, BOOL inherit, DWORD processId) {
    if (processId == RefusedId || processId == EndedId) {
        SetLastError(processId == RefusedId ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER);
        return NULL;
    }
    return OpenProcess(access, inherit, processId);
}

HANDLE WINAPI FailingSnapshot(DWORD, DWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
}

// One standard handle goes to a temporary file while this lives.
class RedirectedHandle {
public:
    explicit RedirectedHandle(DWORD which) : which_(which), saved_(GetStdHandle(which)) {
        SetStdHandle(which_, file_.Handle());
    }
    ~RedirectedHandle() { SetStdHandle(which_, saved_); }
    RedirectedHandle(const RedirectedHandle&) = delete;
    RedirectedHandle& operator=(const RedirectedHandle&) = delete;

    std::string Contents() const { return file_.Contents(); }

private:
    DWORD which_;
    HANDLE saved_;
    TemporaryOutputFile file_;
};

struct SweepRun {
    int exitCode;
    std::string output;
    std::string errors;
};

SweepRun RunHere(const CliOptions& options) {
    const RedirectedHandle output(STD_OUTPUT_HANDLE);
    const RedirectedHandle errors(STD_ERROR_HANDLE);
    const int exitCode = ReportCommandLine(options);
    const SweepRun run = {exitCode, output.Contents(), errors.Contents()};
    return run;
}

CliOptions Options(bool all, bool asJson, std::vector<DWORD> processIds) {
    CliOptions options = {false,
                          false,
                          asJson,
                          all,
                          false,
                          false,
                          false,
                          std::vector<CliTarget>(),
                          sdb::AuditSeverity::Info};
    for (DWORD processId : processIds) {
        const CliTarget target = {true, std::wstring(), processId};
        options.targets.push_back(target);
    }
    return options;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The header of a process that could not be opened, up to its listed name.
std::string Header(DWORD processId) {
    return "Process: pid " + std::to_string(processId) + " (";
}

// The report of a process that could not be opened: its header and message lines.
std::string ReportOf(const std::string& output, DWORD processId) {
    const std::string::size_type start = output.find(Header(processId));
    return start == std::string::npos
               ? std::string()
               : output.substr(start, output.find("\r\n\r\n", start) - start);
}

std::string Warning(DWORD processId, DWORD code) {
    return "process " + std::to_string(processId) +
           ": Error opening proc: " + std::to_string(code) + "\r\n";
}

class CliSweep : public ::testing::Test {
protected:
    void TearDown() override {
        OpenProcessEntry = OpenProcess;
        CreateToolhelp32SnapshotEntry = CreateToolhelp32Snapshot;
    }
};

// A sweep meets processes that cannot be opened on every real system, and processes that end
// while it runs: both are reported and counted, and neither fails the run. A --pid the user
// named that cannot be opened does.
TEST_F(CliSweep, SweptProcessesThatCannotBeOpenedOrEndedAreCountedNotFailures) {
    TargetProcess refused(L"--nothing");
    TargetProcess ended(L"--nothing");
    TargetProcess open(L"--nothing");
    ASSERT_TRUE(refused.Ready() && ended.Ready() && open.Ready());
    RefusedId = refused.ProcessId();
    EndedId = ended.ProcessId();
    OpenProcessEntry = SelectiveOpen;

    const SweepRun text = RunHere(Options(true, false, {}));
    EXPECT_EQ(ExitReported, text.exitCode) << text.errors;
    EXPECT_EQ(1u, Occurrences(text.output, Header(RefusedId)));
    EXPECT_EQ(1u, Occurrences(text.output, Header(EndedId)));
    EXPECT_NE(std::string::npos,
              ReportOf(text.output, RefusedId).find("\r\nError opening proc: 5"));
    EXPECT_NE(std::string::npos, ReportOf(text.output, EndedId).find("\r\nError opening proc: 87"));
    const std::string summary = " could not be opened, 1 ended before being read\r\n";
    ASSERT_NE(std::string::npos, text.errors.find(summary)) << text.errors;
    EXPECT_EQ(text.errors.size(), text.errors.find(summary) + summary.size()) << text.errors;

    const SweepRun run = RunHere(Options(true, true, {}));
    EXPECT_EQ(ExitReported, run.exitCode);
    // The same warnings in both modes.
    for (const SweepRun* mode : {&text, &run}) {
        EXPECT_EQ(1u, Occurrences(mode->errors, Warning(RefusedId, ERROR_ACCESS_DENIED)));
        EXPECT_EQ(1u, Occurrences(mode->errors, Warning(EndedId, ERROR_INVALID_PARAMETER)));
    }
    const std::string last = run.output.substr(run.output.rfind("{"));
    const json counts = json::parse(last.substr(0, last.size() - 2));
    EXPECT_EQ("summary", counts["type"]);
    EXPECT_EQ(1u, counts["ended"].get<unsigned>());
    EXPECT_GE(counts["notOpened"].get<unsigned>(), 1u);
    // Every process of the sweep is one of the three, and each is one object.
    const unsigned total = counts["reported"].get<unsigned>() +
                           counts["notOpened"].get<unsigned>() + counts["ended"].get<unsigned>();
    EXPECT_EQ(total, Occurrences(run.output, "\"type\":\"process\""));
    EXPECT_EQ(counts["notOpened"].get<unsigned>() + 1,
              Occurrences(run.output, "\"message\":\"Error opening proc: "));
    EXPECT_EQ(1u, Occurrences(run.output, "\"failure\":{\"code\":87,"));
    EXPECT_LE(1u, Occurrences(run.output, "\"failure\":{\"code\":5,"));

    for (DWORD named : {RefusedId, EndedId}) {
        const SweepRun pid = RunHere(Options(true, false, {named, open.ProcessId()}));
        EXPECT_EQ(ExitTargetMissing, pid.exitCode) << named;
        EXPECT_EQ(1u, Occurrences(pid.output, Header(named)));
    }

    // Windows lists the idle pseudo-process, id 0, and answers its opening as it answers for an
    // ended one; it never ends, so it could not be opened.
    const RedirectedHandle output(STD_OUTPUT_HANDLE);
    const RedirectedHandle errors(STD_ERROR_HANDLE);
    const std::vector<ListedProcess> idle = {{0, L"[System Process]"}};
    EXPECT_EQ(ProcessOutcome::NotOpened, ReportProcessTarget(0, idle, false, false));
}

TEST_F(CliSweep, EachProcessIsReportedOnceWhateverNamesIt) {
    TargetProcess target(L"--nothing");
    ASSERT_TRUE(target.Ready());
    const DWORD id = target.ProcessId();
    OpenProcessEntry = SelectiveOpen;
    RefusedId = id;
    EndedId = 0;
    for (bool all : {false, true}) {
        for (bool asJson : {false, true}) {
            const SweepRun run = RunHere(Options(all, asJson, {id, id}));
            EXPECT_EQ(ExitTargetMissing, run.exitCode);
            const std::string named = asJson ? "\"pid\":" + std::to_string(id) + "," : Header(id);
            EXPECT_EQ(1u, Occurrences(run.output, named)) << all << asJson << run.output;
            EXPECT_EQ(1u, Occurrences(run.errors, "process " + std::to_string(id) + ": "))
                << run.errors;
        }
    }
}

TEST_F(CliSweep, ProcessListThatCannotBeTakenFailsTheRunWithAMessage) {
    CreateToolhelp32SnapshotEntry = FailingSnapshot;
    for (bool asJson : {false, true}) {
        const SweepRun run = RunHere(Options(true, asJson, {}));
        EXPECT_EQ(ExitTargetMissing, run.exitCode);
        EXPECT_NE(std::string::npos,
                  run.errors.find(": the process list could not be taken: error 8\r\n"))
            << run.errors;
        // Nothing was swept.
        EXPECT_EQ(std::string::npos, run.output.find("rocess")) << run.output;
        EXPECT_EQ(std::string::npos, run.output.find("summary")) << run.output;
    }
}

} // namespace
