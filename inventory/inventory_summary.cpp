// The counts that open the inventory's reports, taken from its records.
#include "inventory_output.h"

#include <algorithm>
#include <cstring>

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

std::vector<std::pair<const char*, size_t>> provenance_counts(const InventorySummary& summary) {
    std::vector<std::pair<const char*, size_t>> counts;
    for (size_t i = 0; i < PROVENANCE_COUNT; ++i) {
        const char* word = provenance_text(static_cast<Provenance>(i));
        auto same = [&](const std::pair<const char*, size_t>& count) {
            return std::strcmp(count.first, word) == 0;
        };
        auto known = std::find_if(counts.begin(), counts.end(), same);
        if (known == counts.end()) {
            counts.emplace_back(word, summary.by_provenance[i]);
        } else {
            known->second += summary.by_provenance[i];
        }
    }
    return counts;
}

} // namespace inventory
