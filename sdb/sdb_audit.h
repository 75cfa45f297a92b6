// The audit of a shim database: typed findings on fixes that bring code into a program,
// raise or weaken its security or reach every program, each rated by its content and by
// the evidence of the file's signature, never by what the file says of itself.
// Portable (standard library and sdbformat only), so that other tools can reuse it.
#pragma once

#include "sdb_audit_shape.h"
#include "sdb_guid.h"
#include "sdb_reader.h"
#include "sdb_walk.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sdb {

enum class AuditSeverity { Info, Medium, High };
// "info", "medium", "high".
const char* audit_severity_text(AuditSeverity severity);

// One decoded fact of a finding. `name` is a tag name (COMMAND_LINE, DLLFILE, MODULE_NAME)
// or a lower-case word for what no tag names (offset); `value` is UTF-8 text, numbers as
// 0x… hex, so that the text and the JSON forms show the same.
struct AuditField {
    std::string name;
    std::string value;
    bool cut = false; // the file ends inside the value: `value` is what survives
};

// The entry through which a fix applies.
struct AuditEntry {
    TAGID tagid = 0;      // an EXE, LAYER, MSI_PACKAGE, MSI_CUSTOM_ACTION, SHIM, PATCH or DATABASE
    TAG kind = 0;         // its tag
    std::string name;     // its NAME, UTF-8; empty when it has none
    std::string exe;      // the NAME of the EXE (or MSI_PACKAGE) it is or lies in; else empty
    std::string app_name; // that EXE's or MSI_PACKAGE's APP_NAME; else empty
};

// On what a finding's severity rests.
enum class AuditBasis {
    Rule,              // the rule's own severity
    MicrosoftContent,  // info: its content has the shape of Microsoft's own fixes
    VerifiedSignature, // info: the file's signature is Microsoft's, as the OS verified it
};
// "rule", "microsoft-content", "verified-signature".
const char* audit_basis_text(AuditBasis basis);

struct AuditFinding {
    // The rule's id ("inject-dll"); sdb/README.md lists them.
    std::string rule;
    // As reported: the rule's, or info where content or a verified signature lowers it.
    AuditSeverity severity = AuditSeverity::Info;
    // As the rule rates it.
    AuditSeverity rule_severity = AuditSeverity::Info;
    AuditBasis basis = AuditBasis::Rule;
    // How the fix compares with Microsoft's own.
    ContentShape shape = ContentShape::Other;
    // The item that applies the fix (SHIM_REF, PATCH_REF, ...).
    TAGID where = 0;
    AuditEntry entry;
    std::string summary;             // what the fix does, in a few words
    std::vector<AuditField> details; // decoded fields, in a fixed order per rule
};

// What the OS says of the file's signature. Only a platform that can check it sets more
// than NotChecked (the portable tools cannot).
enum class SignatureState {
    NotChecked,  // nothing checked it
    NotVerified, // checked: unsigned, untrusted, or signed by another than Microsoft
    Verified,    // signed by Microsoft, through the file's own signature or a catalog
};
// "not checked", "not verified", "verified".
const char* signature_state_text(SignatureState state);

struct SignatureVerdict {
    SignatureState state = SignatureState::NotChecked;
    std::string signer; // the signer's name, when one was found
    std::string detail; // why it is not verified, or how it was (catalog or embedded)
};

// On what the database's claim to be Microsoft's rests.
enum class AuditProvenance {
    ThirdParty,        // it does not claim to be Microsoft's
    ClaimsMicrosoft,   // its NAME or DATABASE_ID says Microsoft's, and nothing verified it
    VerifiedMicrosoft, // its signature is Microsoft's
};
// "third-party", "claims-microsoft", "verified-microsoft".
const char* audit_provenance_text(AuditProvenance provenance);

// Who the database says it is, and on what its trust rests.
struct DatabaseIdentity {
    std::string name; // NAME, UTF-8; empty when absent
    bool has_id = false;
    Guid id{}; // DATABASE_ID
    bool has_time = false;
    uint64_t time = 0; // TIME, a FILETIME (100 ns units since 1601)
    // Which main database Microsoft publishes this DATABASE_ID for ("DATABASE_ID is that of
    // sysmain.sdb"); else empty. Plain data: any compiler writes it.
    std::string main_reason;
    AuditProvenance provenance = AuditProvenance::ThirdParty;
    // What the claim rests on ("NAME names Microsoft; DATABASE_ID is that of sysmain.sdb");
    // empty for a file that claims nothing.
    std::string claim;
    SignatureVerdict signature;
};

struct AuditOptions {
    bool strict = false; // every finding keeps its rule's severity
    // The verdict on the file's signature, from the platform.
    SignatureVerdict signature;
};

struct AuditReport {
    DatabaseIdentity identity;
    std::vector<AuditFinding> findings; // in file order, one per fix
    // Where reading stopped, and the first bad value, as the dump reports them; the
    // findings cover every item the walk reached.
    WalkResult walk;
    bool has_database = false; // false: the file holds no DATABASE, so it is damaged
};

// Audits db. Walks it as the dump does, so a damaged file gives the findings of every item
// whose bytes survive, with the damage in report.walk.
AuditReport audit_database(const Database& db, const AuditOptions& options = {});

// True when a finding is high or medium: what a script should act on.
bool audit_actionable(const AuditReport& report);

// The damage the audit met: where and why; false for a sound file. A file without a
// DATABASE is damaged.
bool audit_damage(const AuditReport& report, TAGID* where, std::string* reason);

} // namespace sdb
