// The audit of a shim database: the database's identity and the findings of each rule
// (the rules and their public sources are listed in sdb/README.md).
#include "sdb_audit.h"

#include "sdb_audit_tree.h"
#include "sdb_index.h"
#include "sdb_patch.h"
#include "sdb_text.h"

#include <cinttypes>
#include <cstdio>
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

// How the shim's command line is judged against Microsoft's.
enum class CommandForm { Any, Inject, Redirect };

// Shims whose use is a finding by their name alone.
struct ShimRule {
    const char16_t* shim;
    const char* rule;
    AuditSeverity severity;
    const char* summary;
    bool needs_command_line; // a finding only with a command line
    CommandForm form;
};
const ShimRule SHIM_RULES[] = {
    {u"InjectDll", "inject-dll", AuditSeverity::High, "loads DLLs into the program", false,
     CommandForm::Inject},
    {u"RedirectEXE", "redirect-exe", AuditSeverity::High, "starts another program instead", false,
     CommandForm::Redirect},
    {u"RelaunchElevated", "elevation", AuditSeverity::Medium,
     "runs the program with administrator rights", false, CommandForm::Any},
    {u"ElevateCreateProcess", "elevation", AuditSeverity::Medium,
     "runs the program's child processes with administrator rights", false, CommandForm::Any},
    {u"ForceAdminAccess", "elevation", AuditSeverity::Medium,
     "tells the program that it runs as an administrator", false, CommandForm::Any},
    {u"DisableNX", "weakens-security", AuditSeverity::Medium, "turns data execution prevention off",
     false, CommandForm::Any},
    {u"DisableSEH", "weakens-security", AuditSeverity::Medium,
     "turns structured exception handler checks off", false, CommandForm::Any},
    {u"TerminateExe", "weakens-security", AuditSeverity::Medium,
     "ends the programs that its command line names", true, CommandForm::Any},
};

// Layers that run a program with administrator rights.
const char16_t* const ELEVATING_LAYERS[] = {u"RunAsAdmin", u"RunAsHighest"};

// The children of an entry that apply something to the programs it matches.
const TAG FIX_TAGS[] = {TAG_SHIM_REF,          TAG_PATCH_REF,   TAG_LAYER,  TAG_FLAG_REF,
                        TAG_MSI_TRANSFORM_REF, TAG_CONTEXT_REF, TAG_APPHELP};

bool is_fix(TAG tag) {
    for (TAG fix : FIX_TAGS) {
        if (tag == fix) {
            return true;
        }
    }
    return false;
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

std::string utf8(const SalvagedText& text) {
    return text.present ? to_utf8(std::u16string(text.text)) : std::string();
}

std::u16string folded(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        out.push_back(fold_upper(c));
    }
    return out;
}

bool in_list(const SalvagedText& name, const char16_t* const* list, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (name.present && same_nocase(name.text, list[i])) {
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

// The definitions of a list (LIBRARY or DATABASE) by folded NAME, first of each name.
class Definitions {
public:
    Definitions(const AuditTree& tree, uint32_t parent, TAG tag) : tree_(tree), tag_(tag) {
        for (uint32_t t = tree.first_child(parent); t != NO_NODE; t = tree.next_sibling(t)) {
            if (tree.tag(t) == tag) {
                SalvagedText name = tree.child_text(t, TAG_NAME);
                if (name.present && !name.cut) {
                    by_name_.emplace(folded(name.text), t);
                }
            }
        }
    }
    // The definition of a reference: by the TAGID it holds when that is an item of the
    // definition's tag, else by name; NO_NODE when neither.
    uint32_t find(uint32_t ref, TAG tagid_tag) const {
        uint32_t target = tree_.node_at(tree_.dword(tree_.child(ref, tagid_tag)));
        if (target != NO_NODE && tree_.tag(target) == tag_) {
            return target;
        }
        SalvagedText name = tree_.child_text(ref, TAG_NAME);
        if (!name.present || name.cut) {
            return NO_NODE;
        }
        auto found = by_name_.find(folded(name.text));
        return found != by_name_.end() ? found->second : NO_NODE;
    }

private:
    const AuditTree& tree_;
    TAG tag_;
    std::unordered_map<std::u16string, uint32_t> by_name_;
};

class Auditor {
public:
    Auditor(const AuditTree& tree, uint32_t database, uint32_t library, bool version3)
        : tree_(tree), version3_(version3), shims_(tree, library, TAG_SHIM),
          patches_(tree, library, TAG_PATCH), layers_(tree, database, TAG_LAYER) {}

    std::vector<AuditFinding> findings;

    void audit_library(uint32_t library) {
        for (uint32_t t = tree_.first_child(library); t != NO_NODE; t = tree_.next_sibling(t)) {
            TAG tag = tree_.tag(t);
            EntryRef entry = entry_of(t, tag, EntryRef());
            if (tag == TAG_SHIM) {
                SalvagedText dll = tree_.child_text(t, TAG_DLLFILE);
                ContentShape shape = dll_shape_of(dll);
                // A shim without a DLLFILE brings no DLL.
                if (dll.present && !dll.text.empty() && shape != ContentShape::Microsoft) {
                    AuditFinding& f =
                        add("custom-dll", AuditSeverity::High, t, entry,
                            "defines a shim whose DLL is not one of Microsoft's", shape);
                    field(f, "DLLFILE", dll);
                }
            } else if (tag == TAG_PATCH) {
                uint32_t bits = tree_.child(t, TAG_PATCH_BITS);
                if (bits != NO_NODE) {
                    AuditFinding& f =
                        add("patch", AuditSeverity::High, t, entry,
                            "defines an in-memory patch of a program's code", patch_shape(t));
                    patch_fields(f, bits);
                }
            }
        }
    }

    // An entry under DATABASE that can apply fixes: EXE, LAYER, MSI_PACKAGE.
    void audit_entry(uint32_t item, TAG tag) {
        EntryRef entry = entry_of(item, tag, EntryRef());
        audit_fixes(item, entry, Through());
        if (tag == TAG_EXE) {
            SalvagedText name = tree_.child_text(item, TAG_NAME);
            if (name.present && !name.cut && name.text == u"*") {
                breadth(item, entry, "any-exe", "applies its fixes to every program", true);
            }
        } else if (tag == TAG_MSI_PACKAGE) {
            breadth(item, entry, "msi", "applies fixes to an installer package", false);
            for (uint32_t action = tree_.first_child(item); action != NO_NODE;
                 action = tree_.next_sibling(action)) {
                if (tree_.tag(action) != TAG_MSI_CUSTOM_ACTION) {
                    continue;
                }
                EntryRef inner = entry_of(action, TAG_MSI_CUSTOM_ACTION, entry);
                audit_fixes(action, inner, Through());
                breadth(action, inner, "msi", "applies fixes to an installer's custom action",
                        false);
            }
        }
    }

private:
    // An entry as the rules pass it on; its names are read only for a finding, as most
    // entries of a main database have none.
    struct EntryRef {
        uint32_t node = NO_NODE;
        TAG kind = 0;
        uint32_t owner = NO_NODE; // the EXE or MSI_PACKAGE it is or lies in
    };
    // The layer that fixes come through, if any.
    struct Through {
        bool layer = false;
        SalvagedText name;
    };

    static EntryRef entry_of(uint32_t item, TAG tag, const EntryRef& outer) {
        bool owner = tag == TAG_EXE || tag == TAG_MSI_PACKAGE;
        return EntryRef{item, tag, owner ? item : outer.owner};
    }

    AuditEntry described(const EntryRef& ref) const {
        AuditEntry entry;
        entry.tagid = tree_.tagid(ref.node);
        entry.kind = ref.kind;
        entry.name = utf8(tree_.child_text(ref.node, TAG_NAME));
        if (ref.owner != NO_NODE) {
            entry.exe = utf8(tree_.child_text(ref.owner, TAG_NAME));
            entry.app_name = utf8(tree_.child_text(ref.owner, TAG_APP_NAME));
        }
        return entry;
    }

    AuditFinding& add(const char* rule, AuditSeverity severity, uint32_t where,
                      const EntryRef& entry, const char* summary, ContentShape shape) {
        AuditFinding f;
        f.rule = rule;
        f.severity = severity;
        f.rule_severity = severity;
        f.shape = shape;
        f.where = tree_.tagid(where);
        f.entry = described(entry);
        f.summary = summary;
        findings.push_back(std::move(f));
        return findings.back();
    }

    static void field(AuditFinding& f, const char* name, const std::string& value) {
        f.details.push_back(AuditField{name, value, false});
    }
    static void field(AuditFinding& f, const char* name, const SalvagedText& value) {
        f.details.push_back(AuditField{name, utf8(value), value.cut});
    }

    ContentShape dll_shape_of(const SalvagedText& dll) const {
        // A name cut short may be anything.
        if (!dll.present || dll.text.empty()) {
            return ContentShape::Other;
        }
        ContentShape shape = dll_shape(dll.text);
        return dll.cut ? worse_shape(shape, ContentShape::Other) : shape;
    }

    // The records of a PATCH's PATCH_BITS: Microsoft's patch modules by name, and never in
    // a Windows 10 database. Patches of theirs and of attackers have the same form, so no
    // patch has Microsoft's shape.
    ContentShape patch_shape(uint32_t patch) const {
        if (version3_) {
            return ContentShape::Foreign;
        }
        SalvagedBinary bits = tree_.binary(tree_.child(patch, TAG_PATCH_BITS));
        bool complete = false;
        for (const PatchRecord& record : decode_patch_bits(bits.data, bits.size, &complete)) {
            if (path_place(record.module) == PathPlace::Outside) {
                return ContentShape::Foreign;
            }
        }
        return ContentShape::Other;
    }

    // The opcode, MODULE_NAME, offset and pattern size of each record of PATCH_BITS.
    void patch_fields(AuditFinding& f, uint32_t bits_node) {
        SalvagedBinary bits = tree_.binary(bits_node);
        if (bits.data == nullptr) {
            return;
        }
        bool complete = false;
        for (const PatchRecord& record : decode_patch_bits(bits.data, bits.size, &complete)) {
            field(f, "opcode", patch_opcode_text(record.opcode));
            field(f, "MODULE_NAME", to_utf8(record.module));
            field(f, "offset", hex_text(record.rva));
            field(f, "bytes", std::to_string(record.pattern_size));
        }
        if (!complete || bits.cut) {
            field(f, "PATCH_BITS",
                  bits.cut ? "cut short by the end of the file" : "ends inside a record");
        }
    }

    // A shim reference as Microsoft's files hold them: the shim is defined here with one
    // of their DLLs, and its command line has the form of theirs.
    ContentShape shim_shape(uint32_t shim, const SalvagedText& command, CommandForm form) const {
        // A shim defined elsewhere is not judged by its DLL; its command line still is.
        ContentShape shape = shim == NO_NODE ? ContentShape::Other
                                             : dll_shape_of(tree_.child_text(shim, TAG_DLLFILE));
        if (!command.present) {
            return form == CommandForm::Any ? shape : worse_shape(shape, ContentShape::Other);
        }
        ContentShape by_command = form == CommandForm::Inject ? inject_command_shape(command.text)
                                  : form == CommandForm::Redirect
                                      ? redirect_command_shape(command.text)
                                      : command_shape(command.text);
        if (command.cut) {
            by_command = worse_shape(by_command, ContentShape::Other);
        }
        return worse_shape(shape, by_command);
    }

    // A layer's fixes as Microsoft's: defined here, with fixes all of their shape.
    ContentShape layer_shape(uint32_t layer) {
        if (layer == NO_NODE) {
            return ContentShape::Other;
        }
        auto known = layer_shapes_.find(layer);
        if (known != layer_shapes_.end()) {
            return known->second;
        }
        ContentShape shape = ContentShape::Microsoft;
        for (uint32_t t = tree_.first_child(layer); t != NO_NODE; t = tree_.next_sibling(t)) {
            if (is_fix(tree_.tag(t)) && tree_.tag(t) != TAG_LAYER) {
                shape = worse_shape(shape, fix_shape(t));
            }
        }
        layer_shapes_.emplace(layer, shape);
        return shape;
    }

    CommandForm form_of(const SalvagedText& name) const {
        for (const ShimRule& rule : SHIM_RULES) {
            if (name.present && same_nocase(name.text, rule.shim)) {
                return rule.form;
            }
        }
        return CommandForm::Any;
    }

    // The shape of any fix an entry applies.
    ContentShape fix_shape(uint32_t fix) {
        switch (tree_.tag(fix)) {
        case TAG_SHIM_REF: {
            uint32_t shim = shims_.find(fix, TAG_SHIM_TAGID);
            SalvagedText name = ref_name(fix, shim);
            return shim_shape(shim, ref_command(fix, shim), form_of(name));
        }
        case TAG_PATCH_REF: {
            uint32_t patch = patches_.find(fix, TAG_PATCH_TAGID);
            return patch != NO_NODE ? patch_shape(patch) : ContentShape::Other;
        }
        case TAG_LAYER:
            return layer_shape(layers_.find(fix, TAG_LAYER_TAGID));
        case TAG_FLAG_REF:    // the engine's own switches: no code comes with them
        case TAG_CONTEXT_REF: // as the Windows 10 system database's `*` entries use them
        case TAG_APPHELP:     // a message
            return ContentShape::Microsoft;
        default:
            return ContentShape::Other;
        }
    }

    SalvagedText ref_name(uint32_t ref, uint32_t definition) const {
        SalvagedText name = tree_.child_text(ref, TAG_NAME);
        return name.present ? name : tree_.child_text(definition, TAG_NAME);
    }
    SalvagedText ref_command(uint32_t ref, uint32_t shim) const {
        SalvagedText command = tree_.child_text(ref, TAG_COMMAND_LINE);
        return command.present ? command : tree_.child_text(shim, TAG_COMMAND_LINE);
    }

    // The fixes of `list` for `entry`: its shims, patches and layers, each its own finding.
    void audit_fixes(uint32_t list, const EntryRef& entry, const Through& through) {
        for (uint32_t t = tree_.first_child(list); t != NO_NODE; t = tree_.next_sibling(t)) {
            TAG tag = tree_.tag(t);
            if (tag == TAG_SHIM_REF) {
                audit_shim_ref(t, entry, through);
            } else if (tag == TAG_PATCH_REF) {
                uint32_t patch = patches_.find(t, TAG_PATCH_TAGID);
                AuditFinding& f =
                    add("patch", AuditSeverity::High, t, entry,
                        entry.kind == TAG_LAYER ? "patches the code of every program run with it"
                                                : "patches the program's code in memory",
                        patch != NO_NODE ? patch_shape(patch) : ContentShape::Other);
                with_layer(f, through);
                field(f, "PATCH", ref_name(t, patch));
                uint32_t bits = tree_.child(patch, TAG_PATCH_BITS);
                if (bits != NO_NODE) {
                    patch_fields(f, bits);
                }
            } else if (tag == TAG_LAYER && !through.layer && entry.kind != TAG_LAYER) {
                audit_layer_ref(t, entry);
            }
        }
    }

    void audit_layer_ref(uint32_t ref, const EntryRef& entry) {
        uint32_t defined = layers_.find(ref, TAG_LAYER_TAGID);
        SalvagedText name = ref_name(ref, defined);
        if (in_list(name, ELEVATING_LAYERS, sizeof ELEVATING_LAYERS / sizeof ELEVATING_LAYERS[0])) {
            AuditFinding& f =
                add("elevation", AuditSeverity::Medium, ref, entry,
                    "runs the program with administrator rights", layer_shape(defined));
            field(f, "LAYER", name);
        }
        // The fixes of a layer that this database defines.
        if (defined != NO_NODE) {
            audit_fixes(defined, entry, Through{true, name});
        }
    }

    void audit_shim_ref(uint32_t ref, const EntryRef& entry, const Through& through) {
        uint32_t shim = shims_.find(ref, TAG_SHIM_TAGID);
        SalvagedText name = ref_name(ref, shim);
        SalvagedText command = ref_command(ref, shim);
        for (const ShimRule& rule : SHIM_RULES) {
            if (!name.present || !same_nocase(name.text, rule.shim) ||
                (rule.needs_command_line && (!command.present || command.text.empty()))) {
                continue;
            }
            AuditFinding& f = add(rule.rule, rule.severity, ref, entry, rule.summary,
                                  shim_shape(shim, command, rule.form));
            with_layer(f, through);
            field(f, "SHIM", name);
            if (command.present) {
                field(f, "COMMAND_LINE", command);
            }
        }
        SalvagedText dll = tree_.child_text(shim, TAG_DLLFILE);
        ContentShape dll_shape =
            dll.present && !dll.text.empty() ? dll_shape_of(dll) : ContentShape::Microsoft;
        if (dll_shape != ContentShape::Microsoft) {
            AuditFinding& f =
                add("custom-dll", AuditSeverity::High, ref, entry,
                    "brings a DLL that is not one of Microsoft's into the program", dll_shape);
            with_layer(f, through);
            field(f, "SHIM", name);
            field(f, "DLLFILE", dll);
            if (command.present) {
                field(f, "COMMAND_LINE", command);
            }
        }
    }

    static void with_layer(AuditFinding& f, const Through& through) {
        if (through.layer) {
            field(f, "LAYER", through.name);
        }
    }

    // The breadth rules: an entry that reaches far, with what it applies. `always`: a
    // finding even when it applies nothing.
    void breadth(uint32_t list, const EntryRef& entry, const char* rule, const char* summary,
                 bool always) {
        AuditFinding f;
        ContentShape shape = ContentShape::Microsoft;
        bool any = false;
        for (uint32_t t = tree_.first_child(list); t != NO_NODE; t = tree_.next_sibling(t)) {
            TAG tag = tree_.tag(t);
            if (!is_fix(tag) || (tag == TAG_APPHELP && !always)) {
                continue;
            }
            any = true;
            shape = worse_shape(shape, fix_shape(t));
            field(f, tag_name(tag), tree_.child_text(t, TAG_NAME));
        }
        if (!any && !always) {
            return;
        }
        AuditFinding& added = add(rule, AuditSeverity::Medium, list, entry, summary, shape);
        added.details = std::move(f.details);
    }

    const AuditTree& tree_;
    bool version3_;
    Definitions shims_;
    Definitions patches_;
    Definitions layers_;
    std::unordered_map<uint32_t, ContentShape> layer_shapes_;
};

DatabaseIdentity identity_of(const AuditTree& tree, uint32_t database,
                             const SignatureVerdict& signature) {
    DatabaseIdentity identity;
    identity.signature = signature;
    identity.name = utf8(tree.child_text(database, TAG_NAME));
    SalvagedBinary id = tree.binary(tree.child(database, TAG_DATABASE_ID));
    if (id.data != nullptr && id.size == 16 && !id.cut) {
        identity.has_id = true;
        identity.id = guid_from_bytes(id.data);
    }
    uint32_t time = tree.child(database, TAG_TIME);
    identity.has_time = time != NO_NODE;
    identity.time = tree.qword(time);
    const MainDatabase* main = identity.has_id ? main_database_with(identity.id) : nullptr;
    if (main != nullptr) {
        identity.main_reason = std::string("DATABASE_ID is that of ") + main->file;
    }
    if (names_microsoft(identity.name)) {
        identity.claim = "NAME names Microsoft";
    }
    if (main != nullptr) {
        identity.claim += (identity.claim.empty() ? "" : "; ") + identity.main_reason;
    }
    identity.provenance = signature.state == SignatureState::Verified
                              ? AuditProvenance::VerifiedMicrosoft
                          : !identity.claim.empty() ? AuditProvenance::ClaimsMicrosoft
                                                    : AuditProvenance::ThirdParty;
    return identity;
}

// A file that claims Microsoft's identity and holds what Microsoft's files never hold.
void judge_impersonation(const DatabaseIdentity& identity, TAGID database,
                         std::vector<AuditFinding>* findings) {
    if (identity.provenance != AuditProvenance::ClaimsMicrosoft) {
        return;
    }
    std::string foreign;
    for (const AuditFinding& f : *findings) {
        if (f.shape == ContentShape::Foreign) {
            foreign += (foreign.empty() ? "" : " ") + hex_text(f.where);
        }
    }
    if (foreign.empty()) {
        return;
    }
    AuditFinding f;
    f.rule = "impersonates-microsoft";
    f.severity = AuditSeverity::High;
    f.rule_severity = AuditSeverity::High;
    f.shape = ContentShape::Foreign;
    f.where = database;
    f.entry.tagid = database;
    f.entry.kind = TAG_DATABASE;
    f.entry.name = identity.name;
    f.summary = "claims to be Microsoft's but holds what Microsoft's databases never hold";
    f.details.push_back(AuditField{"claim", identity.claim, false});
    f.details.push_back(AuditField{"foreign", foreign, false});
    // The DATABASE comes before its items.
    findings->insert(findings->begin(), std::move(f));
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

const char* audit_basis_text(AuditBasis basis) {
    switch (basis) {
    case AuditBasis::MicrosoftContent:
        return "microsoft-content";
    case AuditBasis::VerifiedSignature:
        return "verified-signature";
    case AuditBasis::Rule:
        break;
    }
    return "rule";
}

const char* signature_state_text(SignatureState state) {
    switch (state) {
    case SignatureState::Verified:
        return "verified";
    case SignatureState::NotVerified:
        return "not verified";
    case SignatureState::NotChecked:
        break;
    }
    return "not checked";
}

const char* audit_provenance_text(AuditProvenance provenance) {
    switch (provenance) {
    case AuditProvenance::VerifiedMicrosoft:
        return "verified-microsoft";
    case AuditProvenance::ClaimsMicrosoft:
        return "claims-microsoft";
    case AuditProvenance::ThirdParty:
        break;
    }
    return "third-party";
}

AuditReport audit_database(const Database& db, const AuditOptions& options) {
    AuditReport report;
    AuditTree tree(db);
    report.walk = tree.walk();
    uint32_t database = NO_NODE;
    for (uint32_t t = tree.first_top(); t != NO_NODE && database == NO_NODE;
         t = tree.next_sibling(t)) {
        database = tree.tag(t) == TAG_DATABASE ? t : NO_NODE;
    }
    report.has_database = database != NO_NODE;
    report.identity = identity_of(tree, database, options.signature);
    if (database == NO_NODE) {
        return report;
    }
    Auditor auditor(tree, database, tree.child(database, TAG_LIBRARY), database_major(db) >= 3);
    for (uint32_t t = tree.first_child(database); t != NO_NODE; t = tree.next_sibling(t)) {
        TAG tag = tree.tag(t);
        if (tag == TAG_LIBRARY) {
            auditor.audit_library(t);
        } else if (tag == TAG_EXE || tag == TAG_LAYER || tag == TAG_MSI_PACKAGE) {
            auditor.audit_entry(t, tag);
        }
    }
    report.findings = std::move(auditor.findings);
    bool verified = options.signature.state == SignatureState::Verified;
    for (AuditFinding& f : report.findings) {
        if (options.strict) {
            continue;
        }
        if (verified) {
            f.severity = AuditSeverity::Info;
            f.basis = AuditBasis::VerifiedSignature;
        } else if (f.shape == ContentShape::Microsoft) {
            f.severity = AuditSeverity::Info;
            f.basis = AuditBasis::MicrosoftContent;
        }
    }
    judge_impersonation(report.identity, tree.tagid(database), &report.findings);
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

bool audit_damage(const AuditReport& report, TAGID* where, std::string* reason) {
    if (report.walk.problem != WalkProblem::None) {
        *where = report.walk.where;
        *reason = walk_problem_text(report.walk.problem);
    } else if (report.walk.value_problem != WalkProblem::None) {
        *where = report.walk.value_where;
        *reason = std::string("bad value: ") + walk_problem_text(report.walk.value_problem);
    } else if (!report.has_database) {
        *where = HEADER_SIZE;
        *reason = "no DATABASE list";
    } else {
        return false;
    }
    return true;
}

} // namespace sdb
