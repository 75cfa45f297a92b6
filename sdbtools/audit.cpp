// The audit of risky fixes: entries that can run foreign code in a program or change its
// code.
#include "audit.h"

#include "dump_items.h"
#include "sdb_dump.h"
#include "sdb_index.h"

using namespace sdb;

namespace {

// Shims whose command line names code that they bring into the program.
struct ShimRule {
    const char16_t* shim;
    const char* rule;
    const char* what; // what the command line names
};
const ShimRule SHIM_RULES[] = {
    {u"InjectDll", "inject-dll", "loads the DLLs"},
    {u"RedirectEXE", "redirect-exe", "starts instead"},
};

std::string tag_text(TAG tag) {
    const char* name = tag_name(tag);
    return name != nullptr ? name : "tag " + std::to_string(tag);
}

// "TAG value" of each child of a list that is not itself a list.
std::string attributes(const Database& db, TAGID list) {
    std::string out;
    for (TAGID t = get_first_child(db, list); t != 0; t = get_next_child(db, list, t)) {
        TAG tag = get_tag(db, t);
        if (tag_type(tag) != TAG_TYPE_LIST) {
            out += (out.empty() ? "" : ", ") + tag_text(tag) + " " + value_text(db, t, tag);
        }
    }
    return out;
}

// The EXE a finding applies to, with its matching files.
std::string exe_text(const Database& db, TAGID exe) {
    std::string out = "; EXE at " + offset_text(exe) + ": " + attributes(db, exe);
    for (TAGID file = find_first_tag(db, exe, TAG_MATCHING_FILE); file != 0;
         file = find_next_tag(db, exe, file)) {
        out += "; MATCHING_FILE " + attributes(db, file);
    }
    return out;
}

// The definition of a reference: by the TAGID it holds when that is an item of the
// definition's tag, else by name among `parent`'s children (none when parent is 0, which
// would be the root); 0 when neither.
TAGID definition(const Database& db, TAGID ref, TAG tagid_tag, TAGID parent, TAG tag) {
    TAGID target = read_child_dword(db, ref, tagid_tag);
    if (target != 0 && get_tag(db, target) == tag) {
        return target;
    }
    const char16_t* name = get_child_string_ptr(db, ref, TAG_NAME);
    if (parent == 0 || name == nullptr) {
        return 0;
    }
    for (TAGID t = find_first_tag(db, parent, tag); t != 0; t = find_next_tag(db, parent, t)) {
        if (equal_nocase(get_child_string_ptr(db, t, TAG_NAME), name)) {
            return t;
        }
    }
    return 0;
}

struct Audit {
    const Database& db;
    TAGID database;
    TAGID library;
    std::vector<Finding> findings;
};

// A SHIM_REF's shim name: its own NAME, or its definition's.
const char16_t* shim_name(Audit& a, TAGID ref, TAGID* shim) {
    *shim = definition(a.db, ref, TAG_SHIM_TAGID, a.library, TAG_SHIM);
    const char16_t* name = get_child_string_ptr(a.db, ref, TAG_NAME);
    return name != nullptr ? name : get_child_string_ptr(a.db, *shim, TAG_NAME);
}

// The SHIM_REFs of `list` (an EXE or a LAYER); `context` says what they apply to.
void audit_shim_refs(Audit& a, TAGID list, const std::string& context) {
    for (TAGID ref = find_first_tag(a.db, list, TAG_SHIM_REF); ref != 0;
         ref = find_next_tag(a.db, list, ref)) {
        TAGID shim = 0;
        const char16_t* name = shim_name(a, ref, &shim);
        for (const ShimRule& rule : SHIM_RULES) {
            if (!equal_nocase(name, rule.shim)) {
                continue;
            }
            const char16_t* command = get_child_string_ptr(a.db, ref, TAG_COMMAND_LINE);
            if (command == nullptr) {
                command = get_child_string_ptr(a.db, shim, TAG_COMMAND_LINE);
            }
            a.findings.push_back(Finding{
                ref, rule.rule,
                "SHIM_REF " + quoted(name) + " " + rule.what + " " +
                    (command != nullptr ? quoted(command) : "(no command line)") + context});
        }
    }
}

void audit_exe(Audit& a, TAGID exe) {
    std::string context = exe_text(a.db, exe);
    audit_shim_refs(a, exe, context);
    // The shims of the layers it names, where this database defines them.
    for (TAGID layer = find_first_tag(a.db, exe, TAG_LAYER); layer != 0;
         layer = find_next_tag(a.db, exe, layer)) {
        TAGID defined = definition(a.db, layer, TAG_LAYER_TAGID, a.database, TAG_LAYER);
        if (defined != 0) {
            audit_shim_refs(a, defined,
                            " through LAYER " +
                                quoted(get_child_string_ptr(a.db, defined, TAG_NAME)) + context);
        }
    }
    for (TAGID ref = find_first_tag(a.db, exe, TAG_PATCH_REF); ref != 0;
         ref = find_next_tag(a.db, exe, ref)) {
        TAGID patch = definition(a.db, ref, TAG_PATCH_TAGID, a.library, TAG_PATCH);
        const char16_t* name = get_child_string_ptr(a.db, ref, TAG_NAME);
        a.findings.push_back(Finding{
            ref, "patch",
            "PATCH_REF " +
                quoted(name != nullptr ? name : get_child_string_ptr(a.db, patch, TAG_NAME)) +
                " patches the program's code in memory" + context});
    }
}

} // namespace

std::vector<Finding> audit_database(const Database& db) {
    Audit a{db, database_list(db), 0, {}};
    // Parent 0 would stand for the root.
    if (a.database == 0) {
        return a.findings;
    }
    a.library = find_first_tag(db, a.database, TAG_LIBRARY);
    for (TAGID patch = a.library != 0 ? find_first_tag(db, a.library, TAG_PATCH) : 0; patch != 0;
         patch = find_next_tag(db, a.library, patch)) {
        TAGID bits = find_first_tag(db, patch, TAG_PATCH_BITS);
        if (bits != 0) {
            a.findings.push_back(
                Finding{patch, "patch",
                        "PATCH " + quoted(get_child_string_ptr(db, patch, TAG_NAME)) + " holds " +
                            std::to_string(get_data_size(db, bits)) + " bytes of PATCH_BITS"});
        }
    }
    for (TAGID t = get_first_child(db, a.database); t != 0; t = get_next_child(db, a.database, t)) {
        TAG tag = get_tag(db, t);
        if (tag == TAG_LAYER) {
            audit_shim_refs(a, t,
                            " in LAYER " + quoted(get_child_string_ptr(db, t, TAG_NAME)) +
                                " (for every program run with it)");
        } else if (tag == TAG_EXE) {
            audit_exe(a, t);
        }
    }
    return a.findings;
}
