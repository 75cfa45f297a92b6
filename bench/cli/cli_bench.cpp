// cli_bench [--files COUNT]... [--processes COUNT] [--explain COUNT]: times the console program's
// reports against the engine calls and process reads that they have to make (the lookups that
// name the matched entries included), and checks the limits:
//  - reports on 1000 files, as text and as JSON, take at most 1.2 times the same
//    SdbGetMatchingExe and SdbGetPermLayerKeys calls alone, and 2000 files at most 2.1 times
//    1000;
//  - reports with --explain on COUNT copies of a matching sample (1000 by default), as text and
//    as JSON, take at most 1.5 times the plain reports on the same copies;
//  - a sweep (--all) over COUNT running target programs (100 by default), as text and as JSON,
//    takes at most 1.5 times the same reads and engine calls alone.
// The reports go to a temporary file, as a script's redirection would take them. Runs under
// Wine with the stand-in engine of the prefix; each figure is the best of three runs.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../../cli/process_list.h"
#include "../bench_files.h"
#include "../../cli/target_reports.h"
#include "../../inspect/live_shim_info.h"
#include "../../inspect/redirection_revert.h"
#include "../../shimreport/apphelp_api.h"
#include "../../tests/inspect/target_process.h"

namespace {

void StoredLayerCalls(const std::wstring& path) {
    wchar_t layers[257];
    for (DWORD which = 1; which <= 2; ++which) {
        DWORD size = 256;
        ApphelpApi.SdbGetPermLayerKeys(path.c_str(), layers, &size, which);
    }
}

DWORD DwordAt(const std::vector<unsigned char>& record, size_t offset) {
    DWORD value = 0;
    std::memcpy(&value, &record[offset], sizeof value);
    return value;
}

TAGID NameOf(PDB database, TAGID parent) {
    const TAG TagName = 0x6001;
    ApphelpApi.SdbGetStringTagPtr(database, ApphelpApi.SdbFindFirstTag(database, parent, TagName));
    return parent;
}

// What naming one entry takes: its reference resolved, its name and, for an EXE entry, the
// names of its nested layers and shims.
void NameEntry(HSDB context, TAGREF tagRef, bool nested) {
    PDB database = NULL;
    TAGID tagId = 0;
    if (!ApphelpApi.SdbTagRefToTagID(context, tagRef, &database, &tagId)) {
        return;
    }
    NameOf(database, tagId);
    const TAG nestedTags[] = {0x700B, 0x7009};
    for (TAG tag : nestedTags) {
        for (TAGID child = nested ? ApphelpApi.SdbFindFirstTag(database, tagId, tag) : 0;
             child != 0; child = ApphelpApi.SdbFindNextTag(database, tagId, child)) {
            NameOf(database, child);
        }
    }
}

// The lookups that the text of a 456-byte record takes: every entry named, every database of
// the map turned into its GUID's text.
void NameRecord(HSDB context, const std::vector<unsigned char>& record) {
    const DWORD exeCount = std::min<DWORD>(DwordAt(record, 168), 16);
    const DWORD layerCount = std::min<DWORD>(DwordAt(record, 172), 8);
    for (DWORD i = 0; i < exeCount; ++i) {
        NameEntry(context, DwordAt(record, 4 * i), true);
    }
    for (DWORD i = 0; i < layerCount; ++i) {
        NameEntry(context, DwordAt(record, 128 + 4 * i), false);
    }
    const DWORD map = DwordAt(record, 196);
    for (int slot = 0; slot < 16; ++slot) {
        wchar_t text[64];
        GUID guid;
        std::memcpy(&guid, &record[200 + 16 * slot], sizeof guid);
        if ((map & (DWORD(1) << slot)) != 0) {
            ApphelpApi.SdbGUIDToString(&guid, text, 64);
        }
    }
}

void MatchCall(const std::wstring& path) {
    std::vector<unsigned char> result(912);
    const HSDB context = ApphelpApi.SdbInitDatabaseEx(0, NULL, ImageTypeX86);
    if (ApphelpApi.SdbGetMatchingExe(context, path.c_str(), NULL, NULL, 0, &result[0])) {
        NameRecord(context, result);
    }
    ApphelpApi.SdbReleaseDatabase(context);
}

double FileCallsAlone(const std::vector<std::wstring>& paths) {
    const double start = Seconds();
    for (const std::wstring& path : paths) {
        const RedirectionRevert redirection;
        MatchCall(path);
        StoredLayerCalls(path);
    }
    return Seconds() - start;
}

double FileReports(const std::vector<std::wstring>& paths, bool json, bool explain = false) {
    const OutputToFile output(L"quillet-cli-bench.txt");
    const double start = Seconds();
    for (const std::wstring& path : paths) {
        ReportFileTarget(path, json, explain);
    }
    return Seconds() - start;
}

// What a sweep has to do for each process: open and name it, match its image, ask for its
// stored layers, read its PEB and blocks, unpack its shim data, and look up the names of the
// entries of both records.
double SweepCallsAlone(const std::vector<ListedProcess>& processes, DWORD self) {
    const double start = Seconds();
    for (const ListedProcess& listed : processes) {
        if (listed.processId == self || listed.processId == 0) {
            continue;
        }
        const HANDLE process =
            OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, listed.processId);
        if (process == NULL) {
            continue;
        }
        // The module list of a process of the other pointer size is out of reach; its image
        // path then comes from the image name query, as the report takes it.
        wchar_t image[1040] = {};
        DWORD size = 1040;
        if (GetModuleFileNameExW(process, NULL, image, 1040) == 0 &&
            QueryFullProcessImageNameW(process, 0, image, &size) == 0) {
            image[0] = L'\0';
        }
        CloseHandle(process);
        const RedirectionRevert redirection;
        MatchCall(image);
        StoredLayerCalls(image);
        LiveShimInfo info = {
            0, 0, std::vector<unsigned char>(), std::vector<unsigned char>(), 0, false, 0, false};
        if (ReadLiveShimInfo(listed.processId, info) && !info.shimData.empty()) {
            std::vector<unsigned char> result(912);
            const HSDB context = ApphelpApi.SdbInitDatabaseEx(
                0, NULL, info.targetIs64Bit ? ImageTypeX64 : ImageTypeX86);
            if (ApphelpApi.SdbUnpackAppCompatData(context, L"test", &info.shimData[0],
                                                  &result[0])) {
                NameRecord(context, result);
            }
            ApphelpApi.SdbReleaseDatabase(context);
        }
    }
    return Seconds() - start;
}

double Sweep(const std::vector<ListedProcess>& processes, DWORD self, bool json) {
    const OutputToFile output(L"quillet-cli-bench.txt");
    const double start = Seconds();
    for (const ListedProcess& listed : processes) {
        if (listed.processId != self && listed.processId != 0) {
            ReportProcessTarget(listed.processId, processes, json, false);
        }
    }
    return Seconds() - start;
}

} // namespace

int wmain(int count, wchar_t** arguments) {
    std::vector<size_t> fileCounts;
    size_t processCount = 100;
    size_t explainCount = 1000;
    for (int i = 1; i + 1 < count; i += 2) {
        const size_t value = static_cast<size_t>(std::wcstoul(arguments[i + 1], NULL, 10));
        if (std::wstring(arguments[i]) == L"--files") {
            fileCounts.push_back(value);
        } else if (std::wstring(arguments[i]) == L"--processes") {
            processCount = value;
        } else if (std::wstring(arguments[i]) == L"--explain") {
            explainCount = value;
        }
    }
    if (fileCounts.empty()) {
        fileCounts = {1000, 2000};
    }
    EnsureApphelpLoaded();
    if (ApphelpApi.SdbInitDatabaseEx == NULL || ApphelpApi.SdbGetMatchingExe == NULL ||
        ApphelpApi.SdbReleaseDatabase == NULL || ApphelpApi.SdbGetPermLayerKeys == NULL ||
        ApphelpApi.SdbUnpackAppCompatData == NULL) {
        std::fputs("cli_bench: no shim engine with the needed entries\n", stderr);
        return 2;
    }
    bool withinLimits = true;
    std::printf("%8s %12s %12s %8s %12s %8s\n", "files", "engine (s)", "text (s)", "ratio",
                "json (s)", "ratio");
    // Each measured count with its best text and JSON times.
    std::vector<std::pair<size_t, std::pair<double, double>>> measured;
    for (size_t files : fileCounts) {
        // --files 0 leaves the file reports out.
        if (files == 0) {
            continue;
        }
        const std::vector<std::wstring> paths = MakeFiles(L"quillet-cli-bench", files);
        const std::vector<double> best = BestOfEach({[&] { return FileCallsAlone(paths); },
                                                     [&] { return FileReports(paths, false); },
                                                     [&] { return FileReports(paths, true); }});
        const double alone = best[0];
        const double text = best[1];
        const double json = best[2];
        measured.push_back(std::make_pair(files, std::make_pair(text, json)));
        std::printf("%8u %12.3f %12.3f %8.2f %12.3f %8.2f\n", static_cast<unsigned>(files), alone,
                    text, text / alone, json, json / alone);
        std::fflush(stdout);
        withinLimits = withinLimits && (files != 1000 || std::max(text, json) <= 1.2 * alone);
    }
    for (size_t i = 0; i + 1 < measured.size(); ++i) {
        if (measured[i].first == 1000 && measured[i + 1].first == 2000) {
            const double textGrowth = measured[i + 1].second.first / measured[i].second.first;
            const double jsonGrowth = measured[i + 1].second.second / measured[i].second.second;
            std::printf("2000 files / 1000 files: text %.2f, json %.2f (limit 2.1)\n", textGrowth,
                        jsonGrowth);
            withinLimits = withinLimits && std::max(textGrowth, jsonGrowth) <= 2.1;
        }
    }
    if (processCount > 0) {
        std::vector<std::unique_ptr<TargetProcess>> targets;
        for (size_t i = 0; i < processCount; ++i) {
            targets.emplace_back(new TargetProcess(L"--match C:\\quillet-samples\\cadwriter.exe"));
        }
        std::vector<ListedProcess> processes;
        DWORD listError = 0;
        if (!ListProcesses(processes, listError)) {
            std::fprintf(stderr, "the process list could not be taken: error %lu\n",
                         static_cast<unsigned long>(listError));
            return 2;
        }
        const DWORD self = GetCurrentProcessId();
        const std::vector<double> best =
            BestOfEach({[&] { return SweepCallsAlone(processes, self); },
                        [&] { return Sweep(processes, self, false); },
                        [&] { return Sweep(processes, self, true); }});
        const double alone = best[0];
        const double text = best[1];
        const double json = best[2];
        std::printf("%8s %12s %12s %8s %12s %8s\n", "processes", "reads (s)", "text (s)", "ratio",
                    "json (s)", "ratio");
        std::printf("%8u %12.3f %12.3f %8.2f %12.3f %8.2f (limit 1.5)\n",
                    static_cast<unsigned>(processes.size() - 1), alone, text, text / alone, json,
                    json / alone);
        withinLimits = withinLimits && std::max(text, json) <= 1.5 * alone;
    }
    if (explainCount > 0) {
        // Copies of a sample whose entry has conditions, layers and shims, each keeping its name.
        const std::vector<std::wstring> paths = CopyProgram(
            L"quillet-cli-bench-explain", L"C:\\quillet-samples\\cadwriter.exe", explainCount);
        const std::vector<double> best =
            BestOfEach({[&] { return FileReports(paths, false); },
                        [&] { return FileReports(paths, false, true); },
                        [&] { return FileReports(paths, true); },
                        [&] { return FileReports(paths, true, true); }});
        std::printf("%8s %12s %12s %8s %12s %12s %8s\n", "explain", "text (s)", "explain (s)",
                    "ratio", "json (s)", "explain (s)", "ratio");
        std::printf("%8u %12.3f %12.3f %8.2f %12.3f %12.3f %8.2f (limit 1.5)\n",
                    static_cast<unsigned>(explainCount), best[0], best[1], best[1] / best[0],
                    best[2], best[3], best[3] / best[2]);
        withinLimits = withinLimits && best[1] <= 1.5 * best[0] && best[3] <= 1.5 * best[2];
    }
    std::puts(withinLimits ? "within the limits" : "OUTSIDE the limits");
    return withinLimits ? 0 : 1;
}
