// The databases of the inventory: main, registered and in the Custom folders, each once.
//
// Each with its file read and described.
#include "database_list.h"

#include "database_facts.h"
#include "sha256.h"
#include "windows_paths.h"

#include <map>

namespace inventory {

namespace {

class RecordSet {
public:
    // The record of path, made when there is none.
    size_t at_path(const std::string& path) {
        std::string key = path_key(path);
        auto found = by_path_.find(key);
        if (found != by_path_.end()) {
            return found->second;
        }
        records_.emplace_back();
        records_.back().path = path;
        by_path_.emplace(std::move(key), records_.size() - 1);
        return records_.size() - 1;
    }
    // A record with no file, for a registration that names none.
    size_t without_path() {
        records_.emplace_back();
        return records_.size() - 1;
    }
    std::vector<DatabaseRecord>& records() { return records_; }

private:
    std::vector<DatabaseRecord> records_;
    std::map<std::string, size_t> by_path_;
};

struct CustomFile {
    std::string path;
    std::string name;
};

// The name without ".sdb" (in any case).
std::string_view stem_of(std::string_view name) {
    const size_t suffix = 4;
    if (name.size() >= suffix && equal_ignoring_case(name.substr(name.size() - suffix), ".sdb")) {
        name.remove_suffix(suffix);
    }
    return name;
}

void list_custom(const FileView& files, const std::string& folder, std::vector<CustomFile>* found,
                 std::vector<std::string>* warnings) {
    std::vector<DirectoryEntry> entries;
    FileStatus status = files.list_directory(folder, &entries);
    // With no file system (hives read alone) each record says so; the folders need no line.
    if (status != FileStatus::Ok && status != FileStatus::Missing &&
        status != FileStatus::Unavailable) {
        warnings->push_back(folder + ": " + file_status_text(status));
    }
    for (DirectoryEntry& entry : entries) {
        if (entry.directory) {
            continue;
        }
        std::string path = join_path(folder, entry.name);
        found->push_back({std::move(path), std::move(entry.name)});
    }
}

// The file's own facts, whatever it holds: what a database is judged on is pinned by them.
void describe_file(const FileView& files, const std::vector<uint8_t>& bytes,
                   DatabaseRecord* record) {
    record->size = bytes.size();
    record->sha256 = sha256_hex(bytes.data(), bytes.size());
    record->times = files.file_times(record->path);
}

void read_record(const FileView& files, size_t target_limit, LayerTable* layers,
                 DatabaseRecord* record) {
    std::vector<uint8_t> bytes;
    record->file = files.read_file(record->path, &bytes);
    if (record->file != FileStatus::Ok) {
        return;
    }
    describe_file(files, bytes, record);
    record->signature = files.verify_signature(record->path);
    describe_database(bytes, target_limit, record);
    // A registered database's layers reach programs as the main ones' do.
    if (layers != nullptr && record->readable && !record->registrations.empty()) {
        if (sdb::DatabasePtr db = sdb::open_database_buffer(bytes.data(), bytes.size())) {
            layers->add_database(*db, record->path, false);
        }
    }
}

} // namespace

std::vector<DatabaseRecord> list_databases(const FileView& files,
                                           const std::vector<MainFile>& mains,
                                           const std::vector<Registration>& registrations,
                                           size_t target_limit, LayerTable* layers,
                                           std::vector<std::string>* warnings) {
    RecordSet set;
    for (const MainFile& main : mains) {
        DatabaseRecord& record = set.records()[set.at_path(main.path)];
        record.main = true;
        record.file = main.status;
        if (main.status == FileStatus::Ok) {
            describe_file(files, main.bytes, &record);
            record.signature = files.verify_signature(main.path);
            describe_database(main.bytes, target_limit, &record);
        }
    }
    std::vector<CustomFile> custom;
    list_custom(files, custom_folder(files), &custom, warnings);
    list_custom(files, custom64_folder(files), &custom, warnings);

    // Keyed by the registrations' own text, which outlives the map.
    std::map<std::string_view, size_t, LessIgnoringCase> by_guid;
    for (size_t i = 0; i < registrations.size(); ++i) {
        const Registration& registration = registrations[i];
        if (registration.kind != RegistrationKind::InstalledSdb) {
            continue;
        }
        size_t at = registration.path ? set.at_path(*registration.path) : set.without_path();
        set.records()[at].registrations.push_back(i);
        by_guid.emplace(registration.guid, at);
    }
    for (size_t i = 0; i < registrations.size(); ++i) {
        const Registration& registration = registrations[i];
        if (registration.kind != RegistrationKind::Custom) {
            continue;
        }
        auto known = by_guid.find(registration.guid);
        size_t at = 0;
        if (known != by_guid.end()) {
            at = known->second;
        } else {
            std::string path = join_path(custom_folder(files), registration.guid + ".sdb");
            for (const CustomFile& file : custom) {
                if (equal_ignoring_case(stem_of(file.name), registration.guid)) {
                    path = file.path;
                    break;
                }
            }
            at = set.at_path(path);
            by_guid.emplace(registration.guid, at);
        }
        set.records()[at].registrations.push_back(i);
    }
    for (const CustomFile& file : custom) {
        set.at_path(file.path);
    }

    std::vector<DatabaseRecord>& records = set.records();
    for (DatabaseRecord& record : records) {
        if (!record.main && !record.path.empty()) {
            read_record(files, target_limit, layers, &record);
        }
        if (!record.registrations.empty()) {
            record.guid = registrations[record.registrations.front()].guid;
        } else if (record.database_id) {
            record.guid = *record.database_id;
        }
    }
    return std::move(records);
}

} // namespace inventory
