// The verdict on a database: verified-microsoft, claims-microsoft, installed, or the anomalies that
// hold, with reasons.
#pragma once

#include "inventory_records.h"

#include <vector>

namespace inventory {

// Sets record->provenance, reason and anomalies from the record's facts and registrations.
// The word is the first anomaly of missing-file, not-a-database, guid-mismatch,
// claims-microsoft, unregistered; else, for a main database, verified-microsoft when its
// signature is verified and claims-microsoft when it is not; installed otherwise.
// The reason gives every anomaly's reason, separated by "; ".
void judge_database(const std::vector<Registration>& registrations, DatabaseRecord* record);

} // namespace inventory
