// Turns a drop of files on the dialog into one report per file.
#include "dropped_files.h"

#include <string>

#include "../inspect/report_driver.h"
#include "../common/output_pane.h"
#include "../common/platform_banner.h"

namespace {

// Finishes the drop on every way out, also when a report is left by an exception.
class DropHolder {
public:
    explicit DropHolder(HDROP drop) : drop_(drop) {}
    ~DropHolder() { DragFinish(drop_); }
    DropHolder(const DropHolder&) = delete;
    DropHolder& operator=(const DropHolder&) = delete;

private:
    HDROP drop_;
};

} // namespace

void HandleDroppedFiles(HWND, HDROP drop) {
    const DropHolder finish(drop);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, NULL, 0);
    WritePlatformBanner();
    OutputPaneBatch reports;
    std::wstring path;
    for (UINT index = 0; index < count; ++index) {
        const UINT length = DragQueryFileW(drop, index, NULL, 0);
        if (length == 0) {
            continue;
        }
        // The fetch writes a terminating NUL, which must not reach the report.
        path.resize(length + 1);
        const UINT copied = DragQueryFileW(drop, index, &path[0], length + 1);
        if (copied == 0) {
            continue;
        }
        path.resize(copied < length ? copied : length);
        ReportFile(path);
    }
}
