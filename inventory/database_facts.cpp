// What a database file holds, for its record: identity, entry counts, targets, findings.
#include "database_facts.h"

#include "sdb_audit.h"
#include "sdb_reader.h"
#include "sdb_text.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace inventory {

namespace {

std::string hex_tagid(sdb::TAGID tagid) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(tagid));
    return text;
}

void count_library(const sdb::Database& db, sdb::TAGID library, EntryCounts* counts) {
    for (sdb::TAGID item = sdb::get_first_child(db, library); item != 0;
         item = sdb::get_next_child(db, library, item)) {
        sdb::TAG tag = sdb::get_tag(db, item);
        counts->shim += tag == sdb::TAG_SHIM ? 1 : 0;
        counts->patch += tag == sdb::TAG_PATCH ? 1 : 0;
    }
}

// A hash of a name folded to ASCII lower case, taken from its UTF-16 units as they are: a
// main database names tens of thousands of programs, and a string per name would cost more
// than the rest of its reading. Two names of 64-bit FNV-1a hashes collide too rarely to
// matter for a count.
uint64_t folded_hash(const char16_t* name) {
    uint64_t hash = 14695981039346656037ull;
    for (; *name != 0; ++name) {
        char16_t unit = *name >= u'A' && *name <= u'Z' ? static_cast<char16_t>(*name + 32) : *name;
        hash = (hash ^ unit) * 1099511628211ull;
    }
    return hash;
}

// The distinct name hashes seen, in an open-addressed table: a main database's tens of
// thousands of names are counted without a sort or a node for each.
class NameHashes {
public:
    // True when hash is new.
    bool insert(uint64_t hash) {
        hash = hash == 0 ? 1 : hash; // 0 marks an empty slot
        if (2 * (count_ + 1) > slots_.size()) {
            grow();
        }
        size_t mask = slots_.size() - 1;
        for (size_t at = static_cast<size_t>(hash) & mask;; at = (at + 1) & mask) {
            if (slots_[at] == hash) {
                return false;
            }
            if (slots_[at] == 0) {
                slots_[at] = hash;
                ++count_;
                return true;
            }
        }
    }
    size_t size() const { return count_; }

private:
    void grow() {
        std::vector<uint64_t> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 64 : 2 * old.size(), 0);
        count_ = 0;
        for (uint64_t hash : old) {
            if (hash != 0) {
                insert(hash);
            }
        }
    }

    std::vector<uint64_t> slots_;
    size_t count_ = 0;
};

void count_entries(const sdb::Database& db, sdb::TAGID database, size_t target_limit,
                   DatabaseRecord* record) {
    NameHashes names;
    for (sdb::TAGID item = sdb::get_first_child(db, database); item != 0;
         item = sdb::get_next_child(db, database, item)) {
        switch (sdb::get_tag(db, item)) {
        case sdb::TAG_LIBRARY:
            count_library(db, item, &record->counts);
            break;
        case sdb::TAG_LAYER:
            ++record->counts.layer;
            break;
        case sdb::TAG_MSI_PACKAGE:
            ++record->counts.msi;
            break;
        case sdb::TAG_EXE: {
            ++record->counts.exe;
            const char16_t* name = sdb::get_child_string_ptr(db, item, sdb::TAG_NAME);
            if (name == nullptr || *name == 0) {
                break;
            }
            if (names.insert(folded_hash(name)) && record->targets.size() < target_limit) {
                record->targets.push_back(sdb::to_utf8(name));
            }
            break;
        }
        default:
            break;
        }
    }
    record->target_count = names.size();
}

} // namespace

void describe_database(const std::vector<uint8_t>& bytes, size_t target_limit,
                       DatabaseRecord* record) {
    sdb::OpenError error = sdb::OpenError::None;
    sdb::DatabasePtr db = sdb::open_database_buffer(bytes.data(), bytes.size(), &error);
    if (!db) {
        record->read_problem = sdb::open_error_text(error);
        return;
    }
    sdb::TAGID database = sdb::database_list(*db);
    if (database == 0) {
        record->read_problem = "no DATABASE list";
        return;
    }
    record->readable = true;
    sdb::AuditOptions options;
    options.signature = record->signature;
    sdb::AuditReport audit = sdb::audit_database(*db, options);
    sdb::DatabaseIdentity& identity = audit.identity;
    if (!identity.name.empty()) {
        record->name = std::move(identity.name);
    }
    if (identity.has_id) {
        record->database_id = sdb::guid_to_text(identity.id);
    }
    record->main_id = std::move(identity.main_reason);
    if (identity.has_time) {
        record->time = identity.time;
    }
    if (const char16_t* version =
            sdb::get_child_string_ptr(*db, database, sdb::TAG_COMPILER_VERSION)) {
        record->compiler_version = sdb::to_utf8(version);
    }
    count_entries(*db, database, target_limit, record);
    record->findings = std::move(audit.findings);
    sdb::TAGID where = 0;
    std::string reason;
    if (sdb::audit_damage(audit, &where, &reason)) {
        record->read_problem = std::string("damaged at ") + hex_tagid(where) + ": " + reason;
    }
}

} // namespace inventory
