// Opens an image's databases for matching and indexes its stored layers by program path.
#include "image_databases.h"

#include "main_databases.h"
#include "native_world.h"
#include "windows_paths.h"

#include "sdb_exe_lookup.h"

namespace {

const std::uint16_t MachineIa64 = 0x200;

bool Impersonates(const inventory::DatabaseRecord& record) {
    for (const sdb::AuditFinding& finding : record.findings) {
        if (finding.rule == "impersonates-microsoft")
            return true;
    }
    return false;
}

// The database of a record whose file was read, opened and indexed; nullptr with a warning
// when it cannot be.
std::unique_ptr<ToolDatabase> OpenRecord(const image_inventory::ImageReading& image,
                                         const inventory::DatabaseRecord& record,
                                         std::vector<std::string>& warnings) {
    std::vector<std::uint8_t> bytes;
    inventory::FileStatus status = image.files.read_file(record.path, &bytes);
    sdb::OpenError error = sdb::OpenError::None;
    sdb::DatabasePtr db;
    if (status == inventory::FileStatus::Ok)
        db = sdb::open_database_bytes(std::move(bytes), &error);
    if (!db) {
        warnings.push_back(record.path + ": not searched: " +
                           (status == inventory::FileStatus::Ok
                                ? std::string(sdb::open_error_text(error))
                                : std::string(inventory::file_status_text(status))));
        return nullptr;
    }
    if (sdb::database_stopped_at(*db) != 0) {
        warnings.push_back(record.path + ": damaged: read stopped at offset " +
                           std::to_string(sdb::database_stopped_at(*db)) + ": " +
                           sdb::database_stop_reason(*db) + "; its entries past it are missed");
    }
    std::unique_ptr<ToolDatabase> database(new ToolDatabase());
    database->path = record.path;
    database->db = std::move(db);
    database->index.reset(new sdb::ExeIndex(*database->db));
    database->inImage = true;
    database->provenance = inventory::provenance_text(record.provenance);
    database->impersonates = Impersonates(record);
    database->microsoft = record.main && !record.main_id.empty() && !database->impersonates &&
                          (record.provenance == inventory::Provenance::VerifiedMicrosoft ||
                           record.provenance == inventory::Provenance::ClaimedMain);
    return database;
}

} // namespace

ImageDatabases PrepareImageDatabases(const image_inventory::ImageReading& image) {
    ImageDatabases result;
    std::string wow64;
    result.system.known = true;
    result.system.is64Bit =
        image.files.resolve("C:\\Windows\\SysWOW64", &wow64) == inventory::FileStatus::Ok;
    result.system.build = image.banner.build ? *image.banner.build : 0;
    SetDefaultFolders(result.system);

    const std::string main32 =
        inventory::path_key(inventory::system_database_path(image.files, false));
    const std::string main64 =
        inventory::path_key(inventory::system_database_path(image.files, true));
    for (const inventory::DatabaseRecord& record : image.inventory.databases) {
        std::string key = inventory::path_key(record.path);
        bool isMain32 = record.main && key == main32;
        bool isMain64 = record.main && key == main64;
        bool registered = !record.main && !record.registrations.empty();
        if (!isMain32 && !isMain64 && !registered)
            continue; // the other main databases, and files nothing registers
        if (record.file != inventory::FileStatus::Ok) {
            result.warnings.push_back((record.path.empty() ? record.guid : record.path) +
                                      ": not searched: the file is " +
                                      inventory::file_status_text(record.file));
            continue;
        }
        std::unique_ptr<ToolDatabase> database = OpenRecord(image, record, result.warnings);
        if (!database)
            continue;
        if (isMain32)
            result.main32 = database.get();
        else if (isMain64)
            result.main64 = database.get();
        else
            result.custom.push_back(database.get());
        result.owned.push_back(std::move(database));
    }
    if (result.main32 == nullptr)
        result.warnings.push_back(inventory::system_database_path(image.files, false) +
                                  ": missing: 32-bit programs are matched without it");
    if (result.main64 == nullptr && result.system.is64Bit)
        result.warnings.push_back(inventory::system_database_path(image.files, true) +
                                  ": missing: 64-bit programs are matched without it");
    for (const inventory::StoredLayer& layer : image.inventory.layers)
        result.layers[inventory::path_key(layer.program)].push_back(&layer);
    return result;
}

const ToolDatabase* MainDatabaseFor(const ImageDatabases& databases, std::uint16_t machine) {
    bool wide = machine == MachineAmd64 || machine == MachineArm64 || machine == MachineIa64;
    return wide ? databases.main64 : databases.main32;
}
