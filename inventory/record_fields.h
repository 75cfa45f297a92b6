// Small pieces of the records as text, shared by the text and the JSON writers.
#pragma once

#include "inventory_records.h"

#include <cstdint>
#include <optional>
#include <string>

namespace inventory {

// A FILETIME as ISO 8601 ("2026-12-09T10:40:37Z"); absent when there is none.
std::optional<std::string> date_text(const std::optional<uint64_t>& filetime);
// The kind of the entry a finding applies through ("EXE", "LAYER"); "0xNNNN" for an unnamed tag.
std::string entry_kind_text(sdb::TAG kind);

} // namespace inventory
