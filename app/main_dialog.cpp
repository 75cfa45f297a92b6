// The main dialog: its set-up, its commands and its message procedure.
#include "main_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include "../resources/resource.h"
#include "dialog_layout.h"
#include "admin_check.h"
#include "../common/entry_point.h"
#include "dropped_files.h"
#include "../common/output_pane.h"
#include "relaunch.h"
#include "window_picker.h"

HINSTANCE AppInstance = NULL;
HWND CrosshairIcon = NULL;
HWND TargetLabel = NULL;
HWND ElevateButton = NULL;
HCURSOR CrosshairCursor = NULL;
HPEN HighlightPen = NULL;
bool MessageFilterLookedUp = false;
ChangeWindowMessageFilterFn MessageFilterEntry = NULL;

namespace {

// Lets processes of lower integrity level drop files on the dialog.
void AdmitDropMessages() {
    const ChangeWindowMessageFilterFn filter = LookUpOnce(
        MessageFilterLookedUp, MessageFilterEntry, User32Module, "ChangeWindowMessageFilter");
    if (filter == NULL) {
        return;
    }
    const UINT admitted[] = {WM_DROPFILES, WM_COPYDATA, 0x0049};
    for (UINT message : admitted) {
        filter(message, MSGFLT_ADD);
    }
}

void HandleCommand(HWND dialog, WORD command) {
    switch (command) {
    case IDOK:
    case IDCANCEL:
    case SC_CLOSE:
        EndDialog(dialog, 0);
        break;
    case IDC_ELEVATE:
        RelaunchElevated(dialog);
        break;
    default:
        break;
    }
}

} // namespace

void InitMainDialog(HWND dialog) {
    OutputPane = GetDlgItem(dialog, IDC_OUTPUT);
    CrosshairIcon = GetDlgItem(dialog, IDC_FINDER);
    TargetLabel = GetDlgItem(dialog, IDC_TARGET);
    ElevateButton = GetDlgItem(dialog, IDC_ELEVATE);
    if (IsAdmin) {
        ShowWindow(ElevateButton, SW_HIDE);
        ElevateButton = NULL;
    } else {
        SendMessageW(ElevateButton, BCM_SETSHIELD, 0, 1);
    }
    SendMessageW(OutputPane, EM_LIMITTEXT, 0, 0);
    CrosshairCursor = static_cast<HCURSOR>(LoadImageW(AppInstance, MAKEINTRESOURCEW(IDC_CROSSHAIR),
                                                      IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    HighlightPen = CreatePen(PS_SOLID, 3, RGB(0, 0, 0));
    DragAcceptFiles(dialog, TRUE);
    AdmitDropMessages();
    SetWindowTextW(OutputPane, L"Or drop files to test them.");
    LayoutMainDialog(dialog);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        DragAcceptFiles(dialog, FALSE);
        break;
    case WM_SIZE:
        LayoutMainDialog(dialog);
        break;
    case WM_INITDIALOG:
        InitMainDialog(dialog);
        break;
    case WM_COMMAND:
    case WM_SYSCOMMAND:
        HandleCommand(dialog, LOWORD(wParam));
        break;
    case WM_MOUSEMOVE:
        if (Picking) {
            TrackHover();
        }
        break;
    case WM_LBUTTONDOWN: {
        // A press during a pick (its release lost, or synthesized input) belongs to that pick;
        // starting over would forget the frame that is on the screen.
        if (Picking) {
            break;
        }
        POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (CrosshairIcon != NULL && ChildWindowFromPoint(dialog, at) == CrosshairIcon) {
            StartPick(dialog);
        }
        break;
    }
    case WM_LBUTTONUP:
        if (Picking) {
            ReleaseCapture();
        }
        break;
    case WM_CAPTURECHANGED:
        FinishPick(dialog, reinterpret_cast<HWND>(lParam));
        break;
    case WM_DROPFILES:
        HandleDroppedFiles(dialog, reinterpret_cast<HDROP>(wParam));
        break;
    default:
        break;
    }
    return FALSE;
}
