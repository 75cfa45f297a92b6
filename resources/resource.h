// Resource and control identifiers shared by the resource script and the code.
#pragma once

// Resource and control identifiers of the main dialog.
#define IDD_MAIN 101
#define IDC_CROSSHAIR 102

#define IDC_OUTPUT 1001
#define IDC_FINDER 1002
#define IDC_TARGET 1003
#define IDC_ELEVATE 1004
