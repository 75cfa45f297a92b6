// The audit of a shim database: the database's identity and the findings of each rule
// (the rules and their public sources are listed in sdb/README.md).
#include "sdb_audit.h"

#include "sdb_index.h"
#include "sdb_patch.h"
#include "sdb_text.h"

#include <cinttypes>
#include <cstdio>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sdb {

namespace {

// Microsoft's main databases by the DATABASE_ID that Microsoft gives them.
struct MainDatabase {
    const char* id;
    const char* file;
};
const MainDatabase MAIN_DATABASES[] = {
    {"{11111111-1111-1111-1111-111111111111}", "sysmain.sdb"},
    {"{d8ff6d16-6a3a-468a-8b44-01714ddc49ea}", "msimain.sdb"},
    {"{f9ab2228-3312-4a73-b6f9-936d70e112ef}", "drvmain.sdb"},
};
const size_t MAIN_DATABASE_COUNT = sizeof MAIN_DATABASES / sizeof MAIN_DATABASES[0];

// The main database whose DATABASE_ID id is; nullptr for any other. The IDs are parsed once,
// since every database audited is compared with them.
const MainDatabase* main_database_with(const Guid& id) {
    static const std::vector<Guid> ids = [] {
        std::vector<Guid> parsed(MAIN_DATABASE_COUNT);
        for (size_t i = 0; i < MAIN_DATABASE_COUNT; ++i) {
            parse_guid(MAIN_DATABASES[i].id, &parsed[i]);
        }
        return parsed;
    }();
    for (size_t i = 0; i < MAIN_DATABASE_COUNT; ++i) {
        if (ids[i] == id) {
            return &MAIN_DATABASES[i];
        }
    }
    return nullptr;
}

// Shims whose use is a finding by their name alone.
struct ShimRule {
    const char16_t* shim;
    const char* rule;
    AuditSeverity severity;
    const char* summary;
    bool needs_command_line; // a finding only with a command line
};
const ShimRule SHIM_RULES[] = {
    {u"InjectDll", "inject-dll", AuditSeverity::High, "loads DLLs into the program", false},
    {u"RedirectEXE", "redirect-exe", AuditSeverity::High, "starts another program instead", false},
    {u"RelaunchElevated", "elevation", AuditSeverity::Medium,
     "runs the program with administrator rights", false},
    {u"ElevateCreateProcess", "elevation", AuditSeverity::Medium,
     "runs the program's child processes with administrator rights", false},
    {u"ForceAdminAccess", "elevation", AuditSeverity::Medium,
     "tells the program that it runs as an administrator", false},
    {u"DisableNX", "weakens-security", AuditSeverity::Medium, "turns data execution prevention off",
     false},
    {u"DisableSEH", "weakens-security", AuditSeverity::Medium,
     "turns structured exception handler checks off", false},
    {u"TerminateExe", "weakens-security", AuditSeverity::Medium,
     "ends the programs that its command line names", true},
};

// Layers that run a program with administrator rights.
const char16_t* const ELEVATING_LAYERS[] = {u"RunAsAdmin", u"RunAsHighest"};

// The shim DLLs of the engine itself, which Windows installs in its AppPatch folder. A
// DLLFILE with a folder, or of another name, brings other code into the program.
const char16_t* const ENGINE_DLLS[] = {u"AcGenral.dll", u"AcLayers.dll", u"AcRes.dll",
                                       u"AcSpecfc.dll", u"AcWinRT.dll",  u"AcXtrnal.dll"};

// The fixes that an entry can apply.
const TAG FIX_TAGS[] = {TAG_SHIM_REF, TAG_PATCH_REF, TAG_LAYER, TAG_FLAG_REF,
                        TAG_MSI_TRANSFORM_REF};

// A child's string; nullptr for item 0, which would stand for the root.
const char16_t* child_string(const Database& db, TAGID item, TAG tag) {
    return item != 0 ? get_child_string_ptr(db, item, tag) : nullptr;
}

// True for a NAME that says Microsoft, in any case.
bool names_microsoft(std::string name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return name.find("microsoft") != std::string::npos;
}

std::string utf8_or_empty(const char16_t* text) {
    return text != nullptr ? to_utf8(text) : std::string();
}

std::u16string folded(const char16_t* text) {
    std::u16string out;
    for (; text != nullptr && *text != 0; ++text) {
        out.push_back(fold_upper(*text));
    }
    return out;
}

bool in_list(const char16_t* name, const char16_t* const* list, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (equal_nocase(name, list[i])) {
            return true;
        }
    }
    return false;
}

std::string hex_text(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08" PRIX32, value);
    return text;
}

// True for a DLLFILE that is not one of the engine's own DLLs.
bool foreign_dll(const char16_t* dll) {
    if (dll == nullptr || *dll == 0) {
        return false;
    }
    for (const char16_t* c = dll; *c != 0; ++c) {
        if (*c == u'\\' || *c == u'/' || *c == u':') {
            return true;
        }
    }
    return !in_list(dll, ENGINE_DLLS, sizeof ENGINE_DLLS / sizeof ENGINE_DLLS[0]);
}

// The definitions of a list (LIBRARY or DATABASE) by folded NAME, first of each name.
class Definitions {
public:
    Definitions(const Database& db, TAGID parent, TAG tag) : db_(db), tag_(tag) {
        // Parent 0 would stand for the root.
        for (TAGID t = parent != 0 ? find_first_tag(db, parent, tag) : 0; t != 0;
             t = find_next_tag(db, parent, t)) {
            by_name_.emplace(folded(get_child_string_ptr(db, t, TAG_NAME)), t);
        }
    }
    // The definition of a reference: by the TAGID it holds when that is an item of the
    // definition's tag, else by name; 0 when neither.
    TAGID find(TAGID ref, TAG tagid_tag) const {
        TAGID target = read_child_dword(db_, ref, tagid_tag);
        if (target != 0 && get_tag(db_, target) == tag_) {
            return target;
        }
        const char16_t* name = get_child_string_ptr(db_, ref, TAG_NAME);
        if (name == nullptr) {
            return 0;
        }
        auto found = by_name_.find(folded(name));
        return found != by_name_.end() ? found->second : 0;
    }

private:
    const Database& db_;
    TAG tag_;
    std::unordered_map<std::u16string, TAGID> by_name_;
};

class Auditor {
public:
    Auditor(const Database& db, TAGID database, TAGID library)
        : db_(db), database_(database), shims_(db, library, TAG_SHIM),
          patches_(db, library, TAG_PATCH), layers_(db, database, TAG_LAYER) {}

    std::vector<AuditFinding> findings;

    void audit_library(TAGID library) {
        for (TAGID t = get_first_child(db_, library); t != 0; t = get_next_child(db_, library, t)) {
            TAG tag = get_tag(db_, t);
            EntryRef entry = entry_of(t, tag, EntryRef());
            if (tag == TAG_SHIM) {
                const char16_t* dll = get_child_string_ptr(db_, t, TAG_DLLFILE);
                if (foreign_dll(dll)) {
                    AuditFinding& f = add("custom-dll", AuditSeverity::High, t, entry,
                                          "defines a shim whose DLL is not the engine's own");
                    field(f, "DLLFILE", utf8_or_empty(dll));
                }
            } else if (tag == TAG_PATCH && find_first_tag(db_, t, TAG_PATCH_BITS) != 0) {
                AuditFinding& f = add("patch", AuditSeverity::High, t, entry,
                                      "defines an in-memory patch of a program's code");
                patch_fields(f, t);
            }
        }
    }

    // An entry under DATABASE that can apply fixes: EXE, LAYER, MSI_PACKAGE.
    void audit_entry(TAGID item, TAG tag) {
        EntryRef entry = entry_of(item, tag, EntryRef());
        audit_fixes(item, entry, std::string());
        if (tag == TAG_EXE) {
            const char16_t* name = get_child_string_ptr(db_, item, TAG_NAME);
            if (name != nullptr && name[0] == u'*' && name[1] == 0) {
                breadth(item, entry, "any-exe", "applies its fixes to every program");
            }
        } else if (tag == TAG_MSI_PACKAGE) {
            breadth(item, entry, "msi", "applies fixes to an installer package");
            for (TAGID action = find_first_tag(db_, item, TAG_MSI_CUSTOM_ACTION); action != 0;
                 action = find_next_tag(db_, item, action)) {
                EntryRef inner = entry_of(action, TAG_MSI_CUSTOM_ACTION, entry);
                audit_fixes(action, inner, std::string());
                breadth(action, inner, "msi", "applies fixes to an installer's custom action");
            }
        }
    }

    // Called after the other rules: a NAME that says Microsoft is worth acting on beside a
    // risky fix, and only info alone (Microsoft's own smaller databases, whose IDs are not
    // published, say so too); a main database's ID under another name always is.
    void audit_identity(const DatabaseIdentity& identity) {
        if (identity.microsoft_main) {
            return;
        }
        bool by_name = names_microsoft(identity.name);
        bool by_id = identity.has_id && main_database_with(identity.id) != nullptr;
        if (!by_name && !by_id) {
            return;
        }
        bool risky = by_id;
        for (const AuditFinding& other : findings) {
            risky = risky || other.severity != AuditSeverity::Info;
        }
        AuditFinding f;
        f.rule = "claims-microsoft";
        f.severity = risky ? AuditSeverity::Medium : AuditSeverity::Info;
        f.rule_severity = f.severity;
        f.where = database_;
        f.entry.tagid = database_;
        f.entry.kind = TAG_DATABASE;
        f.entry.name = identity.name;
        f.summary = "calls itself Microsoft's but is not one of its main databases";
        if (by_name) {
            field(f, "NAME", identity.name);
        }
        if (by_id) {
            field(f, "DATABASE_ID", guid_to_text(identity.id));
        }
        // The DATABASE comes before its items.
        findings.insert(findings.begin(), std::move(f));
    }

private:
    // An entry as the rules pass it on; its names are read only for a finding, as most
    // entries of a main database have none.
    struct EntryRef {
        TAGID tagid;
        TAG kind;
        TAGID owner; // the EXE or MSI_PACKAGE it is or lies in; 0 when none
    };

    static EntryRef entry_of(TAGID item, TAG tag, const EntryRef& outer) {
        bool owner = tag == TAG_EXE || tag == TAG_MSI_PACKAGE;
        return EntryRef{item, tag, owner ? item : outer.owner};
    }

    AuditEntry described(const EntryRef& ref) const {
        AuditEntry entry;
        entry.tagid = ref.tagid;
        entry.kind = ref.kind;
        entry.name = utf8_or_empty(get_child_string_ptr(db_, ref.tagid, TAG_NAME));
        if (ref.owner != 0) {
            entry.exe = utf8_or_empty(get_child_string_ptr(db_, ref.owner, TAG_NAME));
            entry.app_name = utf8_or_empty(get_child_string_ptr(db_, ref.owner, TAG_APP_NAME));
        }
        return entry;
    }

    // The finding of `rule` for the entry, made on first use: one per rule and entry.
    AuditFinding& add(const char* rule, AuditSeverity severity, TAGID where, const EntryRef& entry,
                      const char* summary) {
        auto key = std::make_pair(std::string(rule), entry.tagid);
        auto found = index_.find(key);
        if (found != index_.end()) {
            return findings[found->second];
        }
        index_.emplace(key, findings.size());
        AuditFinding f;
        f.rule = rule;
        f.severity = severity;
        f.rule_severity = severity;
        f.where = where;
        f.entry = described(entry);
        f.summary = summary;
        findings.push_back(std::move(f));
        return findings.back();
    }

    static void field(AuditFinding& f, const char* name, const std::string& value) {
        f.details.push_back(AuditField{name, value});
    }

    // The opcode, MODULE_NAME, offset and pattern size of each record of a PATCH's
    // PATCH_BITS.
    void patch_fields(AuditFinding& f, TAGID patch) {
        uint32_t size = 0;
        TAGID bits_item = patch != 0 ? find_first_tag(db_, patch, TAG_PATCH_BITS) : 0;
        const uint8_t* bits = get_binary_ptr(db_, bits_item, &size);
        if (bits == nullptr) {
            return;
        }
        bool complete = false;
        for (const PatchRecord& record : decode_patch_bits(bits, size, &complete)) {
            field(f, "opcode", patch_opcode_text(record.opcode));
            field(f, "MODULE_NAME", to_utf8(record.module));
            field(f, "offset", hex_text(record.rva));
            field(f, "bytes", std::to_string(record.pattern_size));
        }
        if (!complete) {
            field(f, "PATCH_BITS", "ends inside a record");
        }
    }

    // The fixes of `list` for `entry`: its shims, patches and layers; `through` names the
    // layer they come from, if any.
    void audit_fixes(TAGID list, const EntryRef& entry, const std::string& through) {
        for (TAGID t = get_first_child(db_, list); t != 0; t = get_next_child(db_, list, t)) {
            TAG tag = get_tag(db_, t);
            if (tag == TAG_SHIM_REF) {
                audit_shim_ref(t, entry, through);
            } else if (tag == TAG_PATCH_REF) {
                TAGID patch = patches_.find(t, TAG_PATCH_TAGID);
                const char16_t* name = get_child_string_ptr(db_, t, TAG_NAME);
                AuditFinding& f =
                    add("patch", AuditSeverity::High, t, entry,
                        entry.kind == TAG_LAYER ? "patches the code of every program run with it"
                                                : "patches the program's code in memory");
                with_layer(f, through);
                field(f, "PATCH",
                      utf8_or_empty(name != nullptr ? name : child_string(db_, patch, TAG_NAME)));
                patch_fields(f, patch);
            } else if (tag == TAG_LAYER && through.empty() && entry.kind != TAG_LAYER) {
                audit_layer_ref(t, entry);
            }
        }
    }

    void audit_layer_ref(TAGID ref, const EntryRef& entry) {
        TAGID defined = layers_.find(ref, TAG_LAYER_TAGID);
        const char16_t* name = get_child_string_ptr(db_, ref, TAG_NAME);
        if (name == nullptr) {
            name = child_string(db_, defined, TAG_NAME);
        }
        if (in_list(name, ELEVATING_LAYERS, sizeof ELEVATING_LAYERS / sizeof ELEVATING_LAYERS[0])) {
            AuditFinding& f = add("elevation", AuditSeverity::Medium, ref, entry,
                                  "runs the program with administrator rights");
            field(f, "LAYER", utf8_or_empty(name));
        }
        // The fixes of a layer that this database defines.
        if (defined != 0) {
            audit_fixes(defined, entry, utf8_or_empty(name));
        }
    }

    void audit_shim_ref(TAGID ref, const EntryRef& entry, const std::string& through) {
        TAGID shim = shims_.find(ref, TAG_SHIM_TAGID);
        const char16_t* name = get_child_string_ptr(db_, ref, TAG_NAME);
        if (name == nullptr) {
            name = child_string(db_, shim, TAG_NAME);
        }
        const char16_t* command = get_child_string_ptr(db_, ref, TAG_COMMAND_LINE);
        if (command == nullptr) {
            command = child_string(db_, shim, TAG_COMMAND_LINE);
        }
        const char16_t* dll = child_string(db_, shim, TAG_DLLFILE);
        for (const ShimRule& rule : SHIM_RULES) {
            if (!equal_nocase(name, rule.shim) ||
                (rule.needs_command_line && (command == nullptr || *command == 0))) {
                continue;
            }
            AuditFinding& f = add(rule.rule, rule.severity, ref, entry, rule.summary);
            with_layer(f, through);
            field(f, "SHIM", utf8_or_empty(name));
            if (command != nullptr) {
                field(f, "COMMAND_LINE", to_utf8(command));
            }
        }
        if (foreign_dll(dll)) {
            AuditFinding& f = add("custom-dll", AuditSeverity::High, ref, entry,
                                  "brings a DLL that is not the engine's own into the program");
            with_layer(f, through);
            field(f, "SHIM", utf8_or_empty(name));
            field(f, "DLLFILE", to_utf8(dll));
        }
    }

    static void with_layer(AuditFinding& f, const std::string& through) {
        if (!through.empty()) {
            field(f, "LAYER", through);
        }
    }

    // The breadth rules: an entry that reaches far and applies fixes, with what it applies.
    void breadth(TAGID list, const EntryRef& entry, const char* rule, const char* summary) {
        for (TAGID t = get_first_child(db_, list); t != 0; t = get_next_child(db_, list, t)) {
            TAG tag = get_tag(db_, t);
            for (TAG fix : FIX_TAGS) {
                if (tag == fix) {
                    AuditFinding& f = add(rule, AuditSeverity::Medium, list, entry, summary);
                    field(f, tag_name(tag), utf8_or_empty(get_child_string_ptr(db_, t, TAG_NAME)));
                }
            }
        }
    }

    const Database& db_;
    TAGID database_;
    Definitions shims_;
    Definitions patches_;
    Definitions layers_;
    std::map<std::pair<std::string, TAGID>, size_t> index_;
};

DatabaseIdentity identity_of(const Database& db, TAGID database) {
    DatabaseIdentity identity;
    identity.name = utf8_or_empty(get_child_string_ptr(db, database, TAG_NAME));
    identity.has_id = read_guid(db, find_first_tag(db, database, TAG_DATABASE_ID), &identity.id);
    TAGID time = find_first_tag(db, database, TAG_TIME);
    identity.has_time = time != 0;
    identity.time = read_qword(db, time);
    bool named = names_microsoft(identity.name);
    const MainDatabase* main = identity.has_id ? main_database_with(identity.id) : nullptr;
    if (named && main != nullptr) {
        identity.microsoft_main = true;
        identity.main_reason =
            std::string("DATABASE_ID is that of ") + main->file + " and NAME names Microsoft";
    }
    return identity;
}

} // namespace

const char* audit_severity_text(AuditSeverity severity) {
    switch (severity) {
    case AuditSeverity::High:
        return "high";
    case AuditSeverity::Medium:
        return "medium";
    case AuditSeverity::Info:
        break;
    }
    return "info";
}

AuditReport audit_database(const Database& db, const AuditOptions& options) {
    AuditReport report;
    report.walk = walk_database(db, [](TAGID, unsigned) {});
    TAGID database = database_list(db);
    // Parent 0 would stand for the root.
    if (database == 0) {
        return report;
    }
    report.identity = identity_of(db, database);
    TAGID library = find_first_tag(db, database, TAG_LIBRARY);
    Auditor auditor(db, database, library);
    for (TAGID t = get_first_child(db, database); t != 0; t = get_next_child(db, database, t)) {
        TAG tag = get_tag(db, t);
        if (tag == TAG_LIBRARY) {
            auditor.audit_library(t);
        } else if (tag == TAG_EXE || tag == TAG_LAYER || tag == TAG_MSI_PACKAGE) {
            auditor.audit_entry(t, tag);
        }
    }
    auditor.audit_identity(report.identity);
    report.findings = std::move(auditor.findings);
    if (report.identity.microsoft_main && !options.strict) {
        for (AuditFinding& finding : report.findings) {
            finding.severity = AuditSeverity::Info;
        }
    }
    return report;
}

bool audit_actionable(const AuditReport& report) {
    for (const AuditFinding& finding : report.findings) {
        if (finding.severity != AuditSeverity::Info) {
            return true;
        }
    }
    return false;
}

} // namespace sdb
