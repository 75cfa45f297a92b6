// The audit's report as sdbdump writes it: lines of text, or JSON Lines.
#include "audit.h"

#include "dump_items.h"
#include "json_text.h"
#include "sdb_dump.h"
#include "sdb_time.h"

using namespace sdb;

namespace {

std::string kind_text(TAG tag) {
    const char* name = tag_name(tag);
    return name != nullptr ? name : tag_number_text(tag);
}

std::string id_text(const DatabaseIdentity& identity) {
    return identity.has_id ? guid_to_text(identity.id) : std::string();
}

void json_member(std::string& out, const char* name, const std::string& value, bool first = false) {
    out += first ? "\"" : ", \"";
    out += name;
    out += "\": ";
    append_json_string(out, value);
}

// "; provenance claims-microsoft: CLAIM; signature not checked"
std::string trust_text(const DatabaseIdentity& identity) {
    std::string text = "; provenance ";
    text += audit_provenance_text(identity.provenance);
    if (!identity.claim.empty()) {
        text += ": " + identity.claim;
    }
    const SignatureVerdict& signature = identity.signature;
    text += "; signature ";
    text += signature.state == SignatureState::NotChecked ? "not verified (not checked here)"
                                                          : signature_state_text(signature.state);
    if (!signature.signer.empty()) {
        text += ", signed by " + quoted(signature.signer);
    }
    if (!signature.detail.empty()) {
        text += ": " + signature.detail;
    }
    return text;
}

} // namespace

void write_audit_text(const std::string& file, const AuditReport& report, std::ostream& out) {
    if (report.findings.empty()) {
        return;
    }
    const DatabaseIdentity& identity = report.identity;
    out << file << ": DATABASE NAME " << quoted(identity.name);
    if (identity.has_id) {
        out << ", DATABASE_ID " << id_text(identity);
    }
    if (identity.has_time) {
        out << ", TIME " << filetime_text(identity.time);
    }
    out << trust_text(identity) << '\n';
    for (const AuditFinding& f : report.findings) {
        out << file << ": " << offset_text(f.where) << ' ' << audit_severity_text(f.severity) << ' '
            << f.rule << ": " << kind_text(f.entry.kind);
        if (!f.entry.name.empty()) {
            out << ' ' << quoted(f.entry.name);
        }
        if (f.entry.kind != TAG_EXE && f.entry.kind != TAG_MSI_PACKAGE && !f.entry.exe.empty()) {
            out << " in " << quoted(f.entry.exe);
        }
        if (!f.entry.app_name.empty()) {
            out << " of APP_NAME " << quoted(f.entry.app_name);
        }
        out << " at " << offset_text(f.entry.tagid) << ": " << f.summary;
        const char* separator = ": ";
        for (const AuditField& field : f.details) {
            out << separator << field.name << ' ' << quoted(field.value);
            if (field.cut) {
                out << " (cut short)";
            }
            separator = ", ";
        }
        if (f.basis == AuditBasis::MicrosoftContent) {
            out << " (" << audit_severity_text(f.rule_severity)
                << " by its rule; info: shaped as Microsoft's own fixes)";
        } else if (f.basis == AuditBasis::VerifiedSignature) {
            out << " (" << audit_severity_text(f.rule_severity)
                << " by its rule; info: the file's signature is Microsoft's)";
        }
        out << '\n';
    }
}

void write_audit_json(const std::string& file, const AuditReport& report, std::ostream& out) {
    std::string text;
    if (!report.findings.empty()) {
        const DatabaseIdentity& identity = report.identity;
        text += "{";
        json_member(text, "type", "database", true);
        json_member(text, "file", file);
        json_member(text, "name", identity.name);
        json_member(text, "id", id_text(identity));
        // TIME as a string: a parser that reads numbers as doubles would round it.
        json_member(text, "time", identity.has_time ? std::to_string(identity.time) : "");
        json_member(text, "time_date", identity.has_time ? filetime_text(identity.time) : "");
        json_member(text, "provenance", audit_provenance_text(identity.provenance));
        json_member(text, "claim", identity.claim);
        json_member(text, "main_reason", identity.main_reason);
        json_member(text, "signature", signature_state_text(identity.signature.state));
        json_member(text, "signer", identity.signature.signer);
        json_member(text, "signature_detail", identity.signature.detail);
        text += "}\n";
    }
    for (const AuditFinding& f : report.findings) {
        text += "{";
        json_member(text, "type", "finding", true);
        json_member(text, "file", file);
        json_member(text, "at", offset_text(f.where));
        json_member(text, "rule", f.rule);
        json_member(text, "severity", audit_severity_text(f.severity));
        json_member(text, "rule_severity", audit_severity_text(f.rule_severity));
        json_member(text, "basis", audit_basis_text(f.basis));
        json_member(text, "shape", content_shape_text(f.shape));
        text += ", \"entry\": {";
        json_member(text, "at", offset_text(f.entry.tagid), true);
        json_member(text, "kind", kind_text(f.entry.kind));
        json_member(text, "name", f.entry.name);
        json_member(text, "exe", f.entry.exe);
        json_member(text, "app_name", f.entry.app_name);
        text += "}";
        json_member(text, "summary", f.summary);
        text += ", \"details\": [";
        for (size_t i = 0; i < f.details.size(); ++i) {
            text += i == 0 ? "{" : ", {";
            json_member(text, "name", f.details[i].name, true);
            json_member(text, "value", f.details[i].value);
            text += f.details[i].cut ? ", \"cut\": true}" : ", \"cut\": false}";
        }
        text += "]}\n";
        out << text;
        text.clear();
    }
    TAGID where = 0;
    std::string reason;
    if (audit_damage(report, &where, &reason)) {
        text += "{";
        json_member(text, "type", "damage", true);
        json_member(text, "file", file);
        json_member(text, "at", offset_text(where));
        json_member(text, "reason", reason);
        text += "}\n";
    }
    out << text;
}
