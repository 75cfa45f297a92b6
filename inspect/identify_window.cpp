// Identifies a window's process and image path for the picker label.
#include "identify_window.h"

#include <psapi.h>

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

std::wstring WindowTitleLine(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = GetWindowTextW(window, &buffer[0], static_cast<int>(buffer.size()));
    std::wstring title(&buffer[0], static_cast<size_t>(copied > 0 ? copied : 0));
    const std::wstring::size_type lineBreak = title.find_first_of(L"\r\n");
    if (lineBreak != std::wstring::npos) {
        title.erase(lineBreak);
    }
    return title + L"\r\n";
}

// Finds the image path of an open process; a failure is described in the label instead.
std::wstring ImagePathOf(HANDLE process, ReportStream& label) {
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
        return std::wstring();
    }
    DWORD size = ImagePathCapacity;
    if (query(process, 0, &buffer[0], &size) == 0) {
        const DWORD queryError = GetLastError();
        label << L"Error reading proc name: " << queryError;
        return std::wstring();
    }
    return std::wstring(&buffer[0], size < ImagePathCapacity ? size : ImagePathCapacity);
}

} // namespace

bool IdentifyProcess(DWORD processId, ReportStream& label) {
    CurrentTarget.imagePath.clear();
    CurrentTarget.processId = processId;
    const KernelHandleHolder process(
        OpenProcessEntry(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (process.Handle() == NULL) {
        const DWORD openError = GetLastError();
        label << L"Error opening proc: " << openError;
        return false;
    }
    const std::wstring imagePath = ImagePathOf(process.Handle(), label);
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
    IdentifyProcess(processId, label);
    return label.str();
}
