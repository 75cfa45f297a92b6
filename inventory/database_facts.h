// What a database file holds, for its record: identity, entry counts, targets, findings.
#pragma once

#include "inventory_records.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace inventory {

// Fills the facts of record from the file's bytes. A file that does not open as a database,
// or has no DATABASE list, leaves record->readable false with the reason in read_problem; a
// damaged one is read as far as it goes, with where it stops in read_problem.
// record->signature, the view's verdict on the file, rates the audit's findings.
void describe_database(const std::vector<uint8_t>& bytes, size_t target_limit,
                       DatabaseRecord* record);

} // namespace inventory
