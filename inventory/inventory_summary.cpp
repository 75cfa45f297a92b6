// The counts that open the inventory's reports, taken from its records.
#include "inventory_output.h"

namespace inventory {

InventorySummary summarize(const Inventory& inventory, const OutputOptions& options) {
    InventorySummary summary;
    summary.databases = inventory.databases.size();
    for (const DatabaseRecord& database : inventory.databases) {
        ++summary.by_provenance[static_cast<size_t>(database.provenance)];
        summary.anomalies += database.anomalies.empty() ? 0 : 1;
        for (const sdb::AuditFinding& finding : database.findings) {
            ++summary.findings[static_cast<size_t>(finding.severity)];
            summary.hidden_findings += finding.severity < options.min_severity ? 1 : 0;
        }
    }
    summary.warnings = inventory.warnings.size();
    return summary;
}

} // namespace inventory
