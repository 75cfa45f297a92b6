// Identifies a window's process and image path for the picker label.
#include "identify_window.h"

#include <psapi.h>

#include <algorithm>
#include <vector>

#include "../common/entry_point.h"
#include "../common/handle_holder.h"
#include "../common/report_stream.h"
#include "current_target.h"

GetWindowThreadProcessIdFn GetWindowThreadProcessIdEntry = GetWindowThreadProcessId;
OpenProcessFn OpenProcessEntry = OpenProcess;
GetModuleFileNameExFn GetModuleFileNameExEntry = GetModuleFileNameExW;
QueryFullProcessImageNameFn QueryFullProcessImageNameEntry = NULL;

namespace {

const DWORD ImagePathCapacity = 1040;

// More than the picker's label shows of a title. The target answers the title's length
// itself, so the read is bounded by this rather than sized by that answer.
const int TitleCapacity = 2048;

std::wstring WindowTitleLine(HWND window) {
    wchar_t buffer[TitleCapacity] = {};
    const int copied = GetWindowTextW(window, buffer, TitleCapacity);
    // A target may claim to have copied more than it did, or than there was room for.
    const int claimed = copied < 0 ? 0 : (copied < TitleCapacity ? copied : TitleCapacity - 1);
    std::wstring title(buffer, std::find(buffer, buffer + claimed, L'\0'));
    const std::wstring::size_type lineBreak = title.find_first_of(L"\r\n");
    if (lineBreak != std::wstring::npos) {
        title.erase(lineBreak);
    }
    return title + L"\r\n";
}

// Finds the image path of an open process; a failure is described in the label instead, its
// code kept in failureCode.
std::wstring ImagePathOf(HANDLE process, ReportStream& label, DWORD& failureCode) {
    std::vector<wchar_t> buffer(ImagePathCapacity, L'\0');
    const DWORD written = GetModuleFileNameExEntry(process, NULL, &buffer[0], ImagePathCapacity);
    if (written > 0) {
        return std::wstring(&buffer[0], written < ImagePathCapacity ? written : ImagePathCapacity);
    }
    const DWORD moduleError = GetLastError();
    const QueryFullProcessImageNameFn query = LookUpWhileMissing(
        QueryFullProcessImageNameEntry, Kernel32Module, "QueryFullProcessImageNameW");
    if (query == NULL) {
        label << L"Error reading proc name (pre vista): " << moduleError;
        failureCode = moduleError;
        return std::wstring();
    }
    DWORD size = ImagePathCapacity;
    if (query(process, 0, &buffer[0], &size) == 0) {
        const DWORD queryError = GetLastError();
        label << L"Error reading proc name: " << queryError;
        failureCode = queryError;
        return std::wstring();
    }
    return std::wstring(&buffer[0], size < ImagePathCapacity ? size : ImagePathCapacity);
}

} // namespace

bool IdentifyProcess(DWORD processId, ReportStream& label, DWORD& failureCode) {
    failureCode = 0;
    CurrentTarget.imagePath.clear();
    CurrentTarget.processId = processId;
    const KernelHandleHolder process(
        OpenProcessEntry(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (process.Handle() == NULL) {
        const DWORD openError = GetLastError();
        label << L"Error opening proc: " << openError;
        failureCode = openError;
        return false;
    }
    const std::wstring imagePath = ImagePathOf(process.Handle(), label, failureCode);
    CurrentTarget.imagePath = imagePath;
    label << imagePath;
    return true;
}

std::wstring IdentifyWindow(HWND window) {
    CurrentTarget.imagePath.clear();
    if (window == NULL) {
        CurrentTarget.processId = 0;
        return std::wstring();
    }
    ReportStream label;
    label << WindowTitleLine(window);
    // A window destroyed since the hit test gives no id, and the call need not write one then.
    DWORD processId = 0;
    GetWindowThreadProcessIdEntry(window, &processId);
    DWORD failureCode = 0;
    IdentifyProcess(processId, label, failureCode);
    return label.str();
}
