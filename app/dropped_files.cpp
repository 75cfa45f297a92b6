#include "dropped_files.h"

#include <string>

#include "../inspect/report_driver.h"
#include "output_pane.h"
#include "platform_banner.h"

namespace {

// Keeps the output pane hidden while a drop's reports are appended and shows it again on every
// way out. A visible edit control scrolls and repaints its frame on each append, which makes a
// large drop many times slower than the shim engine's own work; the text is the same.
class PaneHiddenDuringDrop {
public:
    PaneHiddenDuringDrop()
        : wasVisible_((GetWindowLongW(OutputPane, GWL_STYLE) & WS_VISIBLE) != 0) {
        if (wasVisible_) {
            ShowWindow(OutputPane, SW_HIDE);
        }
    }
    ~PaneHiddenDuringDrop() {
        if (wasVisible_) {
            ShowWindow(OutputPane, SW_SHOWNA);
        }
    }

private:
    PaneHiddenDuringDrop(const PaneHiddenDuringDrop&);
    PaneHiddenDuringDrop& operator=(const PaneHiddenDuringDrop&);
    bool wasVisible_;
};

} // namespace

void HandleDroppedFiles(HWND, HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, NULL, 0);
    PaneHiddenDuringDrop hidden;
    WritePlatformBanner();
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
    DragFinish(drop);
}
