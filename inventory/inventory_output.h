// The text and the JSON Lines of an inventory, written from the same records.
#pragma once

#include "inventory_records.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace inventory {

struct OutputOptions {
    // Findings below this are left out of the listing; the summary still counts them.
    sdb::AuditSeverity min_severity = sdb::AuditSeverity::Info;
};

// No JSON line is longer than this, line end included: a line that would be is replaced by
// an "oversized" object naming it, counted in the summary.
const size_t MAX_JSON_LINE = 65536;

// The counts that open both reports.
struct InventorySummary {
    size_t databases = 0;
    size_t by_provenance[PROVENANCE_COUNT] = {}; // indexed by Provenance
    size_t findings[3] = {};                     // indexed by sdb::AuditSeverity
    size_t hidden_findings = 0;                  // below OutputOptions::min_severity
    size_t anomalies = 0;                        // databases with at least one anomaly
    size_t warnings = 0;
};
InventorySummary summarize(const Inventory& inventory, const OutputOptions& options);
// The databases by provenance word, in the order of Provenance, each word once (two
// provenances share "claims-microsoft").
std::vector<std::pair<const char*, size_t>> provenance_counts(const InventorySummary& summary);

// The text report, one line per element, each ended by line_end, UTF-8: the summary, the
// hives, the databases that are not Microsoft's (anomalies first), the registrations, the
// stored layers and the assistant's records, then Microsoft's databases.
std::string inventory_text(const Inventory& inventory, const char* line_end,
                           const OutputOptions& options = {});

// One JSON object per line, each ended by line_end, every character beyond ASCII escaped as
// \uXXXX: a "summary", then "hive", "registration", "database" (each followed by its
// "finding" objects), "layer", "assistant" and "warning" objects, in that order.
std::string inventory_json(const Inventory& inventory, const char* line_end,
                           const OutputOptions& options = {});

} // namespace inventory
