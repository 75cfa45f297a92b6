// Placeholder until target inspection lands; replaced as a whole.
#include "current_target.h"
#include "identify_window.h"
#include "report_driver.h"

TargetRecord CurrentTarget = {0, std::wstring()};

std::wstring IdentifyWindow(HWND) { return std::wstring(); }
void ReportFile(const std::wstring&) {}
void ReportProcess() {}
void ReportTarget(const std::wstring&) {}
