// The typed records of the inventory, from which its text and its JSON are written.
//
// Registrations, databases with their provenance, stored layers and the Program
// Compatibility Assistant's records.
#pragma once

#include "file_view.h"
#include "registry_view.h"

#include "sdb_audit.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace inventory {

// "native" or "32-bit" for the machine hives, "user" for a user's.
const char* hive_text(Hive hive);

enum class RegistrationKind {
    InstalledSdb, // AppCompatFlags\InstalledSDB\{GUID}
    Custom,       // AppCompatFlags\Custom\<program> or Custom\Layers\<layer>, one {GUID}.sdb value
};
// "InstalledSDB" or "Custom".
const char* registration_kind_text(RegistrationKind kind);

// One registration of a database, as the registry holds it.
struct Registration {
    RegistrationKind kind = RegistrationKind::InstalledSdb;
    Hive hive = Hive::Machine;
    std::string key;  // the key, from HKLM ("HKLM\SOFTWARE\...\InstalledSDB\{...}")
    std::string guid; // the GUID the key (InstalledSDB) or value (Custom) is named by, as written
    bool guid_valid = false; // guid parses as a GUID; then it is also written in lower case
    std::string program;     // Custom: the program the key is named by; else empty
    std::string layer;       // Custom\Layers\<layer>: the layer it names (program is then empty)
    std::optional<std::string> path;        // InstalledSDB: DatabasePath, %windir% expanded
    std::optional<std::string> description; // InstalledSDB: DatabaseDescription
    std::optional<uint64_t>
        install_time; // DatabaseInstallTimeStamp, or the Custom value: a FILETIME
    std::optional<uint32_t> database_type; // InstalledSDB: DatabaseType
    // Values that are of the wrong type or size, unterminated or not a GUID, one line each
    // ("DatabasePath: a DWORD where a string belongs"); the registration is kept.
    std::vector<std::string> problems;
};

// What the inventory makes of a database: one word, with the reason in the record.
enum class Provenance {
    VerifiedMicrosoft, // a main database in its place, signed by Microsoft as the OS verified
    ClaimedMain,       // a main database in its place with its DATABASE_ID, not verified
    Installed,         // registered, present, and its DATABASE_ID is the registered GUID
    MissingFile,       // registered, but the file is not there
    Unregistered,      // a file in AppPatch\Custom (or Custom64) that nothing registers
    GuidMismatch,      // registered under a GUID other than the file's DATABASE_ID
    ClaimsMicrosoft,   // not a main database, yet its NAME says it is Microsoft's
    NotADatabase,      // the file is there but is not a readable database
};
const size_t PROVENANCE_COUNT = 8;
// "verified-microsoft", "claims-microsoft" (ClaimedMain and ClaimsMicrosoft alike: the
// anomalies tell them apart), "installed", "missing-file", "unregistered", "guid-mismatch",
// "not-a-database".
const char* provenance_text(Provenance provenance);
// True for the anomalies (every word but VerifiedMicrosoft, ClaimedMain and Installed).
bool is_anomaly(Provenance provenance);

struct EntryCounts {
    size_t exe = 0;
    size_t layer = 0;
    size_t shim = 0;
    size_t patch = 0;
    size_t msi = 0; // MSI_PACKAGE entries
};

// One database: a file found, or a file a registration names, or both.
struct DatabaseRecord {
    std::string guid; // the registered GUID, else the file's DATABASE_ID; empty when neither
    std::string path; // the Windows path of the file
    FileStatus file = FileStatus::Missing; // Ok when the file is there and was read
    bool main = false; // one of the main databases of AppPatch (AppPatch\AppPatch64)
    // The file's size and SHA-256 (lower-case hex) when it was read; its times (FILETIMEs)
    // where the view gives them.
    std::optional<uint64_t> size;
    std::string sha256;
    FileTimes times;
    std::vector<size_t> registrations; // indexes into Inventory::registrations
    // What the file holds, when it opened as a database.
    bool readable = false;
    std::string read_problem; // why it is not a database, or where a damaged one stops
    std::optional<std::string> name;
    std::optional<std::string> database_id;
    std::optional<uint64_t> time; // TIME, a FILETIME
    std::optional<std::string> compiler_version;
    // Which main database Microsoft publishes its DATABASE_ID for ("DATABASE_ID is that of
    // sysmain.sdb"); empty when none.
    std::string main_id;
    sdb::SignatureVerdict signature; // from the file view: NotChecked off the running system
    EntryCounts counts;
    std::vector<std::string> targets; // the first few programs its EXE entries name
    size_t target_count = 0;          // all of them
    std::vector<sdb::AuditFinding> findings;
    // The verdict: the word that matters most, why, and every anomaly that holds.
    Provenance provenance = Provenance::Installed;
    std::string reason;
    std::vector<Provenance> anomalies;
};

// One layer named in a stored layer string, and the shims it holds.
struct LayerExpansion {
    std::string name;
    bool found = false;             // a main or a registered database defines it
    std::string database;           // the file of the database that defines it
    bool main = false;              // that database is a main one
    std::vector<std::string> shims; // its SHIM_REF names, in file order
};

// One stored layer string: a value under AppCompatFlags\Layers.
struct StoredLayer {
    Hive hive = Hive::Machine;        // Machine or Machine32 per machine, User per user
    std::string user;                 // the user's name for Hive::User; else empty
    std::string program;              // the value's name: the program's path
    std::string value;                // the string as stored
    std::vector<std::string> markers; // the leading flags ("~", "#", "$", "!")
    std::vector<LayerExpansion> layers;
    std::string problem; // the value is not a string, or is unterminated; else empty
};

// One program path the Program Compatibility Assistant recorded for a user.
struct AssistantRecord {
    std::string user;
    std::string list;    // "Store" or "Persisted"
    std::string program; // the value's name
    uint32_t type = VALUE_NONE;
};

// How a hive was read, for the report; filled by the program that opened the hives.
enum class HiveState {
    Clean,    // its sequence numbers agree
    Replayed, // dirty, and brought up to date from its transaction logs (a copy; never the file)
    Dirty,    // dirty, and read as it is: no log could be replayed
    Damaged,  // read as far as it goes
};
// "clean", "replayed", "dirty", "damaged".
const char* hive_state_text(HiveState state);

struct HiveRecord {
    std::string role; // "software", "system" or "user"
    std::string user; // a user hive's name (the SID where known); else empty
    std::string path; // the file, as the program names it
    HiveState state = HiveState::Clean;
    std::vector<std::string> logs; // the logs replayed, by file name
};

struct Inventory {
    // The computer the records are of (empty when unknown) and when they were collected (a
    // FILETIME), set by the program; every JSON line carries both.
    std::string host;
    std::optional<uint64_t> collected;
    std::vector<HiveRecord> hives;
    std::vector<Registration> registrations;
    std::vector<DatabaseRecord> databases;
    std::vector<StoredLayer> layers;
    std::vector<AssistantRecord> assistant;
    // Keys and folders that could not be read; the inventory goes on without them.
    std::vector<std::string> warnings;
};

// True when a database has an anomaly or a finding above info: what exit code 3 reports.
bool inventory_alarms(const Inventory& inventory);

} // namespace inventory
