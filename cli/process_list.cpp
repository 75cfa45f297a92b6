// The process list from a Toolhelp snapshot.
#include "process_list.h"

#include <tlhelp32.h>

#include <algorithm>

#include "../common/handle_holder.h"

namespace {

bool ByProcessId(const ListedProcess& left, const ListedProcess& right) {
    return left.processId < right.processId;
}

const ListedProcess* FindListed(const std::vector<ListedProcess>& processes, DWORD processId) {
    for (const ListedProcess& listed : processes) {
        if (listed.processId == processId) {
            return &listed;
        }
    }
    return NULL;
}

} // namespace

CreateToolhelp32SnapshotFn CreateToolhelp32SnapshotEntry = CreateToolhelp32Snapshot;

bool ListProcesses(std::vector<ListedProcess>& processes, DWORD& error) {
    processes.clear();
    error = 0;
    // A snapshot that cannot be taken is INVALID_HANDLE_VALUE, as a file that cannot be opened.
    const FileHandleHolder snapshot(CreateToolhelp32SnapshotEntry(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Held()) {
        error = GetLastError();
        return false;
    }
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Handle(), &entry); more;
         more = Process32NextW(snapshot.Handle(), &entry)) {
        // The name field is NUL-terminated within its fixed size.
        const size_t length =
            std::find(entry.szExeFile, entry.szExeFile + MAX_PATH, L'\0') - entry.szExeFile;
        const ListedProcess listed = {entry.th32ProcessID, std::wstring(entry.szExeFile, length)};
        processes.push_back(listed);
    }
    std::sort(processes.begin(), processes.end(), ByProcessId);
    return true;
}

bool IsListed(const std::vector<ListedProcess>& processes, DWORD processId) {
    return FindListed(processes, processId) != NULL;
}

std::wstring ListedImageName(const std::vector<ListedProcess>& processes, DWORD processId) {
    const ListedProcess* listed = FindListed(processes, processId);
    return listed != NULL ? listed->imageName : std::wstring();
}
