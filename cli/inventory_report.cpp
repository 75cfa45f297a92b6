// The inventory of the running system's shim databases and stored layers, on standard output.
#include "inventory_report.h"

#include <windows.h>

#include <string>
#include <vector>

#include "../common/utf8_text.h"
#include "../inventory/inventory.h"
#include "../inventory/inventory_output.h"
#include "../inventory/main_databases.h"
#include "../liveinventory/engine_layers.h"
#include "../liveinventory/win32_file_view.h"
#include "../liveinventory/win32_registry_view.h"
#include "console_output.h"
#include "target_reports.h"

namespace {

// The computer's name (its NetBIOS name, as the registry keeps it); empty when unknown.
std::string ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? Utf8(std::wstring_view(name, size)) : std::string();
}

uint64_t FiletimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

} // namespace

InventoryOutcome ReportInventory(bool databases, bool layers, bool json,
                                 sdb::AuditSeverity minSeverity) {
    const Win32RegistryView registry;
    const Win32FileView files;
    inventory::InventoryOptions options;
    options.databases = databases;
    options.layers = layers;
    inventory::Inventory found = inventory::build_inventory(registry, files, options);
    found.host = ComputerName();
    found.collected = FiletimeNow();
    if (layers) {
        // The core's own expansion read the main databases natively; the engine's reading of
        // the same files is what a program on this system gets, so it takes the place of it.
        std::vector<std::string> mains;
        for (const inventory::MainFile& main : inventory::read_main_databases(files)) {
            if (main.status == inventory::FileStatus::Ok) {
                mains.push_back(main.path);
            }
        }
        ExpandStoredLayers(mains, found);
    }
    for (const std::string& warning : found.warnings) {
        WarnOnStandardError(WideFromUtf8(warning));
    }
    inventory::OutputOptions output;
    output.min_severity = minSeverity;
    // UTF-8 already, so that a pipe or file takes it without a round trip through UTF-16.
    WriteUtf8ToStandardOutput(json ? inventory::inventory_json(found, "\r\n", output)
                                   : inventory::inventory_text(found, "\r\n", output));
    const InventoryOutcome outcome = {inventory::inventory_alarms(found), found.warnings.empty()};
    return outcome;
}
