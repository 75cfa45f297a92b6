// The registrations of databases: InstalledSDB keys and Custom values, in both machine views.
#pragma once

#include "inventory_records.h"
#include "registry_view.h"

#include <string>
#include <vector>

namespace inventory {

// Every registration of the machine's native and 32-bit views, InstalledSDB first, in the
// registry's order; a Custom\Layers\<layer> key registers a layer rather than a program.
// DatabasePath is expanded against windows_dir. Keys, subkeys and values that cannot be read
// give a line each in *warnings.
std::vector<Registration> read_registrations(const RegistryView& registry,
                                             const std::string& windows_dir,
                                             std::vector<std::string>* warnings);

} // namespace inventory
