// The audit's severities from content and signature, one finding per fix, and findings that
// survive damage for as long as their bytes do.
#include "audit.h"
#include "sdb_audit.h"
#include "sdb_image.h"
#include "sdb_patch.h"
#include "sdb_test_image.h"
#include "sdb_text.h"
#include "sdb_walk.h"
#include "sdb_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace sdb;

namespace {

const char16_t* const MICROSOFT_NAME = u"Microsoft Windows Application Compatibility Fix Database";
const char* const SYSMAIN_ID = "{11111111-1111-1111-1111-111111111111}";

std::vector<uint8_t> closed(Writer& w) {
    std::vector<uint8_t> image;
    EXPECT_TRUE(close_to_buffer(w, &image)) << writer_error(w);
    return image;
}

// A shim of the LIBRARY; no DLLFILE when dll is null.
void shim(Writer& w, const char16_t* name, const char16_t* dll) {
    TAGID t = begin_list(w, TAG_SHIM);
    write_string(w, TAG_NAME, name);
    if (dll != nullptr) {
        write_string(w, TAG_DLLFILE, dll);
    }
    end_list(w, t);
}

void reference(Writer& w, TAG tag, const char16_t* name, const char16_t* command = nullptr) {
    TAGID t = begin_list(w, tag);
    write_string(w, TAG_NAME, name);
    if (command != nullptr) {
        write_string(w, TAG_COMMAND_LINE, command);
    }
    end_list(w, t);
}

// One PATCH_BITS record that replaces 2 bytes of `module`, then the end.
std::vector<uint8_t> one_patch(const char16_t* module) {
    ImageBuilder b;
    b.dword(PATCH_REPLACE).dword(PATCH_RECORD_HEADER + 2).dword(2).dword(0x1000).dword(0);
    for (uint32_t i = 0; i < PATCH_RECORD_MODULE_UNITS; ++i) {
        b.word(*module != 0 ? *module++ : 0);
    }
    return b.raw({0x90, 0x90}).dword(PATCH_END).bytes;
}

// A database that claims Microsoft's identity or not, whose LIBRARY defines `library` and
// whose one EXE (`exe`) holds what `fill` writes.
std::vector<uint8_t> database_of(bool claims, const std::function<void(Writer&)>& library,
                                 const std::function<void(Writer&)>& fill,
                                 const char16_t* exe = u"victim.exe", uint32_t major = 2) {
    WriterPtr w = create_writer(major);
    TAGID database = begin_list(*w, TAG_DATABASE);
    write_string(*w, TAG_NAME, claims ? MICROSOFT_NAME : u"Contoso fixes");
    Guid id{};
    parse_guid(claims ? SYSMAIN_ID : "{6c4c1f4e-3a2b-4d5e-8f90-123456789abc}", &id);
    write_guid(*w, TAG_DATABASE_ID, id);
    TAGID lib = begin_list(*w, TAG_LIBRARY);
    library(*w);
    end_list(*w, lib);
    TAGID entry = begin_list(*w, TAG_EXE);
    write_string(*w, TAG_NAME, exe);
    fill(*w);
    end_list(*w, entry);
    end_list(*w, database);
    return closed(*w);
}

const AuditFinding* finding(const AuditReport& report, const std::string& rule) {
    for (const AuditFinding& f : report.findings) {
        if (f.rule == rule) {
            return &f;
        }
    }
    return nullptr;
}

struct ShapeCase {
    const char* what;
    const char* rule;
    // Its severity as reported; no finding of the rule when "".
    const char* severity;
    bool foreign; // Microsoft's files never hold it: impersonation where the file claims theirs
    std::function<void(Writer&)> library;
    std::function<void(Writer&)> fill;
    uint32_t major;
};

std::vector<ShapeCase> shape_cases() {
    auto inject = [](const char16_t* command) {
        return [command](Writer& w) { reference(w, TAG_SHIM_REF, u"InjectDll", command); };
    };
    auto redirect = [](const char16_t* command) {
        return [command](Writer& w) { reference(w, TAG_SHIM_REF, u"RedirectEXE", command); };
    };
    auto engine = [](Writer& w) {
        shim(w, u"InjectDll", u"AcGenral.dll");
        shim(w, u"RedirectEXE", u"AcGenral.dll");
    };
    auto defining = [](const char16_t* dll) { return [dll](Writer& w) { shim(w, u"Fix", dll); }; };
    auto applying_fix = [](Writer& w) { reference(w, TAG_SHIM_REF, u"Fix"); };
    auto nothing = [](Writer&) {};
    return {
        {"InjectDll of a bare system DLL", "inject-dll", "info", false, engine,
         inject(u"secur32.dll"), 2},
        {"InjectDll by an absolute path", "inject-dll", "high", true, engine,
         inject(u"C:\\Tools\\AtomicTest.dll"), 2},
        {"InjectDll by a UNC path", "inject-dll", "high", true, engine,
         inject(u"\\\\server\\share\\a.dll"), 2},
        {"InjectDll under the Windows folder", "inject-dll", "high", false, engine,
         inject(u"%windir%\\system32\\a.dll"), 2},
        {"InjectDll of a shim this file does not define", "inject-dll", "high", false, nothing,
         inject(u"secur32.dll"), 2},
        {"RedirectEXE relative to the program", "redirect-exe", "info", false, engine,
         redirect(u"..\\bs.exe"), 2},
        {"RedirectEXE with a space in its folder", "redirect-exe", "info", false, engine,
         redirect(u"TurboTax 2010\\TurboTax 2010 Installer.exe"), 2},
        {"RedirectEXE through %windir%", "redirect-exe", "info", false, engine,
         redirect(u"+%windir%\\system32\\regsvr32.exe"), 2},
        {"RedirectEXE by a drive path under Windows", "redirect-exe", "high", false, engine,
         redirect(u"C:\\Windows\\System32\\cmd.exe"), 2},
        {"RedirectEXE out of the Windows folder", "redirect-exe", "high", true, engine,
         redirect(u"C:\\Windows\\..\\Users\\Public\\x.exe /q"), 2},
        {"RedirectEXE to a share", "redirect-exe", "high", true, engine,
         redirect(u"\"\\\\host\\s\\x.exe\""), 2},
        {"the engine's INTERNAL", "custom-dll", "", false, defining(u"INTERNAL"), applying_fix, 2},
        {"one of Microsoft's shim DLLs in another case", "custom-dll", "", false,
         defining(u"acspecfc.DLL"), applying_fix, 2},
        {"a DLL Microsoft's files never name", "custom-dll", "high", true, defining(u"evil.dll"),
         applying_fix, 2},
        {"a DLL by an absolute path", "custom-dll", "high", true, defining(u"C:\\x\\evil.dll"),
         applying_fix, 2},
        {"Microsoft's DLL by a path under Windows", "custom-dll", "high", false,
         defining(u"C:\\Windows\\AppPatch\\AcLayers.dll"), applying_fix, 2},
        {"DisableNX of Microsoft's DLL", "weakens-security", "info", false,
         [](Writer& w) { shim(w, u"DisableNX", u"AcLayers.dll"); },
         [](Writer& w) { reference(w, TAG_SHIM_REF, u"DisableNX"); }, 2},
        {"DisableNX defined elsewhere", "weakens-security", "medium", false, nothing,
         [](Writer& w) { reference(w, TAG_SHIM_REF, u"DisableNX"); }, 2},
        {"a patch in a pre-Windows 10 file", "patch", "high", false,
         [](Writer& w) {
             TAGID p = begin_list(w, TAG_PATCH);
             write_string(w, TAG_NAME, u"P");
             std::vector<uint8_t> bits = one_patch(u"mshtml.dll");
             write_binary(w, TAG_PATCH_BITS, bits.data(), bits.size());
             end_list(w, p);
         },
         nothing, 2},
        {"a patch in a Windows 10 file", "patch", "high", true,
         [](Writer& w) {
             TAGID p = begin_list(w, TAG_PATCH);
             write_string(w, TAG_NAME, u"P");
             std::vector<uint8_t> bits = one_patch(u"mshtml.dll");
             write_binary(w, TAG_PATCH_BITS, bits.data(), bits.size());
             end_list(w, p);
         },
         nothing, 3},
    };
}

TEST(SdbAuditTrust, SeverityFromContentOnBothSidesOfEachLineNeverFromTheClaim) {
    for (const ShapeCase& c : shape_cases()) {
        for (bool claims : {false, true}) {
            std::vector<uint8_t> image =
                database_of(claims, c.library, c.fill, u"victim.exe", c.major);
            DatabasePtr db = open_database_bytes(image);
            ASSERT_TRUE(db);
            std::string what = std::string(c.what) + (claims ? ", claiming Microsoft" : "");
            AuditReport report = audit_database(*db);
            EXPECT_EQ(audit_provenance_text(report.identity.provenance),
                      std::string(claims ? "claims-microsoft" : "third-party"))
                << what;
            const AuditFinding* f = nullptr;
            for (const AuditFinding& each : report.findings) {
                f = each.rule == c.rule && each.entry.kind == TAG_EXE ? &each : f;
                f = f == nullptr && each.rule == c.rule ? &each : f;
            }
            ASSERT_EQ(f != nullptr, *c.severity != 0) << what;
            if (f != nullptr) {
                EXPECT_EQ(audit_severity_text(f->severity), std::string(c.severity)) << what;
                EXPECT_EQ(f->basis,
                          *c.severity == 'i' ? AuditBasis::MicrosoftContent : AuditBasis::Rule)
                    << what;
            }
            // The claim alone changes nothing but the impersonation it adds.
            const AuditFinding* impersonates = finding(report, "impersonates-microsoft");
            ASSERT_EQ(impersonates != nullptr, claims && c.foreign) << what;
            if (impersonates != nullptr) {
                EXPECT_EQ(impersonates->severity, AuditSeverity::High);
                EXPECT_EQ(&report.findings.front(), impersonates);
                EXPECT_EQ(impersonates->details.at(1).value.rfind("0x", 0), 0u) << what;
            }
            EXPECT_EQ(audit_actionable(report),
                      (f != nullptr && *c.severity != 'i') || impersonates != nullptr)
                << what;
            // --strict keeps each rule's severity; a verified signature lowers all to info
            // and ends the impersonation.
            AuditOptions strict;
            strict.strict = true;
            for (const AuditFinding& each : audit_database(*db, strict).findings) {
                EXPECT_EQ(each.severity, each.rule_severity) << what;
            }
            AuditOptions verified;
            verified.signature.state = SignatureState::Verified;
            verified.signature.signer = "Microsoft Windows";
            AuditReport trusted = audit_database(*db, verified);
            EXPECT_EQ(trusted.identity.provenance, AuditProvenance::VerifiedMicrosoft) << what;
            EXPECT_FALSE(audit_actionable(trusted)) << what;
            EXPECT_EQ(finding(trusted, "impersonates-microsoft"), nullptr) << what;
            // A check that failed trusts nothing more than no check.
            AuditOptions failed;
            failed.signature.state = SignatureState::NotVerified;
            EXPECT_EQ(audit_actionable(audit_database(*db, failed)), audit_actionable(report))
                << what;
        }
    }
}

TEST(SdbAuditTrust, EveryStarEntryAndOneFindingPerFixWithItsOwnCommandLine) {
    std::vector<uint8_t> image = database_of(
        false, [](Writer& w) { shim(w, u"DisableNX", u"AcLayers.dll"); },
        [](Writer& w) {
            reference(w, TAG_SHIM_REF, u"DisableNX");
            reference(w, TAG_SHIM_REF, u"TerminateExe", u"av.exe");
            reference(w, TAG_SHIM_REF, u"TerminateExe", u"edr.exe");
        },
        u"*");
    DatabasePtr db = open_database_bytes(image);
    AuditReport report = audit_database(*db);
    std::vector<const AuditFinding*> weakens;
    for (const AuditFinding& f : report.findings) {
        if (f.rule == "weakens-security") {
            weakens.push_back(&f);
        }
    }
    ASSERT_EQ(weakens.size(), 3u);
    EXPECT_EQ(weakens[0]->summary, "turns data execution prevention off");
    EXPECT_EQ(weakens[0]->severity, AuditSeverity::Info); // Microsoft's DLL, defined here
    EXPECT_EQ(weakens[1]->summary, "ends the programs that its command line names");
    EXPECT_EQ(weakens[1]->severity, AuditSeverity::Medium); // a shim defined elsewhere
    EXPECT_EQ(weakens[1]->details.back().value, "av.exe");
    EXPECT_EQ(weakens[2]->details.back().value, "edr.exe");
    EXPECT_LT(weakens[0]->where, weakens[1]->where);
    EXPECT_LT(weakens[1]->where, weakens[2]->where);
    const AuditFinding* any = finding(report, "any-exe");
    ASSERT_NE(any, nullptr);
    EXPECT_EQ(any->details.size(), 3u);
    EXPECT_EQ(any->severity, AuditSeverity::Medium);

    struct Star {
        const char* what;
        std::function<void(Writer&)> fill;
        AuditSeverity severity;
    };
    for (const Star& c : {
             Star{"flags alone, as the assistant's database holds them",
                  [](Writer& w) { reference(w, TAG_FLAG_REF, u"DisablePCA"); },
                  AuditSeverity::Info},
             Star{"a CONTEXT_REF alone", [](Writer& w) { reference(w, TAG_CONTEXT_REF, u"DRM"); },
                  AuditSeverity::Info},
             Star{"nothing", [](Writer&) {}, AuditSeverity::Info},
             Star{"a shim defined elsewhere",
                  [](Writer& w) { reference(w, TAG_SHIM_REF, u"CorrectFilePaths"); },
                  AuditSeverity::Medium},
         }) {
        DatabasePtr star = open_database_bytes(database_of(
            true, [](Writer&) {}, c.fill, u"*"));
        AuditReport found = audit_database(*star);
        const AuditFinding* f = finding(found, "any-exe");
        ASSERT_NE(f, nullptr) << c.what;
        EXPECT_EQ(f->severity, c.severity) << c.what;
        EXPECT_EQ(f->rule_severity, AuditSeverity::Medium) << c.what;
        EXPECT_EQ(finding(found, "impersonates-microsoft"), nullptr) << c.what;
    }
}

// A database with its string table first, so that a cut keeps every name: an EXE that
// injects a DLL and applies a patch of the LIBRARY.
struct CutDatabase {
    std::vector<uint8_t> bytes;
    uint32_t patch = 0, bits_end = 0; // the PATCH, the end of its PATCH_BITS
    uint32_t inject = 0, inject_name_end = 0, command_end = 0; // the SHIM_REF and its items
    uint32_t patch_ref = 0, patch_ref_name_end = 0;
};

CutDatabase cut_database() {
    const std::u16string strings[] = {u"InjectDll", u"C:\\Tools\\AtomicTest.dll", u"victim.exe",
                                      u"Hook"};
    ImageBuilder b;
    b.header();
    uint32_t table = static_cast<uint32_t>(b.bytes.size());
    uint32_t table_size = 0;
    for (const std::u16string& s : strings) {
        table_size += 6 + 2 * static_cast<uint32_t>(s.size() + 1);
    }
    b.sized(TAG_STRINGTABLE, table_size);
    uint32_t refs[4];
    for (size_t i = 0; i < 4; ++i) {
        refs[i] = static_cast<uint32_t>(b.bytes.size()) - table;
        b.sized(TAG_STRINGTABLE_ITEM, 2 * static_cast<uint32_t>(strings[i].size() + 1))
            .text(strings[i].c_str());
    }
    CutDatabase c;
    std::vector<uint8_t> bits = one_patch(u"services.exe");
    // Whole items, headers included.
    uint32_t patch_size = 6 + 6 + 6 + static_cast<uint32_t>(bits.size());
    uint32_t exe_size = 6 + 6 + (6 + 6 + 6) + (6 + 6);
    uint32_t database = static_cast<uint32_t>(b.bytes.size());
    b.sized(TAG_DATABASE, 6 + patch_size + exe_size);
    b.sized(TAG_LIBRARY, patch_size);
    c.patch = static_cast<uint32_t>(b.bytes.size());
    b.sized(TAG_PATCH, patch_size - 6);
    b.word(TAG_NAME).dword(refs[3]);
    b.sized(TAG_PATCH_BITS, static_cast<uint32_t>(bits.size()));
    b.bytes.insert(b.bytes.end(), bits.begin(), bits.end());
    c.bits_end = static_cast<uint32_t>(b.bytes.size());
    b.sized(TAG_EXE, exe_size - 6);
    b.word(TAG_NAME).dword(refs[2]);
    c.inject = static_cast<uint32_t>(b.bytes.size());
    b.sized(TAG_SHIM_REF, 12).word(TAG_NAME).dword(refs[0]);
    c.inject_name_end = static_cast<uint32_t>(b.bytes.size());
    b.word(TAG_COMMAND_LINE).dword(refs[1]);
    c.command_end = static_cast<uint32_t>(b.bytes.size());
    c.patch_ref = static_cast<uint32_t>(b.bytes.size());
    b.sized(TAG_PATCH_REF, 6).word(TAG_NAME).dword(refs[3]);
    c.patch_ref_name_end = static_cast<uint32_t>(b.bytes.size());
    EXPECT_EQ(c.patch_ref_name_end, database + 6 + 6 + patch_size + exe_size);
    EXPECT_EQ(c.patch_ref_name_end, b.bytes.size());
    c.bytes = b.bytes;
    return c;
}

TEST(SdbAuditDamage, EachFindingLastsExactlyAsLongAsItsBytesAtEveryCut) {
    CutDatabase c = cut_database();
    {
        DatabasePtr whole = open_database_bytes(c.bytes);
        AuditReport report = audit_database(*whole);
        TAGID where = 0;
        std::string reason;
        ASSERT_FALSE(audit_damage(report, &where, &reason)) << reason;
        ASSERT_EQ(report.findings.size(), 3u);
    }
    for (uint32_t size = HEADER_SIZE; size < c.bytes.size(); ++size) {
        DatabasePtr db =
            open_database_bytes(std::vector<uint8_t>(c.bytes.begin(), c.bytes.begin() + size));
        ASSERT_TRUE(db) << size;
        AuditReport report = audit_database(*db);
        TAGID where = 0;
        std::string reason;
        EXPECT_TRUE(audit_damage(report, &where, &reason)) << size;
        const AuditFinding* patch = nullptr;
        const AuditFinding* inject = nullptr;
        const AuditFinding* patch_ref = nullptr;
        for (const AuditFinding& f : report.findings) {
            patch = f.where == c.patch ? &f : patch;
            inject = f.where == c.inject ? &f : inject;
            patch_ref = f.where == c.patch_ref ? &f : patch_ref;
        }
        EXPECT_EQ(report.findings.size(),
                  size_t{patch != nullptr} + (inject != nullptr) + (patch_ref != nullptr))
            << size;
        EXPECT_EQ(patch != nullptr, size >= c.bits_end) << size;
        EXPECT_EQ(inject != nullptr, size >= c.inject_name_end) << size;
        if (inject != nullptr) {
            bool command = size >= c.command_end;
            EXPECT_EQ(inject->details.size(), command ? 2u : 1u) << size;
            EXPECT_EQ(inject->severity, AuditSeverity::High) << size;
            EXPECT_EQ(inject->shape, command ? ContentShape::Foreign : ContentShape::Other) << size;
        }
        EXPECT_EQ(patch_ref != nullptr, size >= c.patch_ref + 6) << size;
        if (patch_ref != nullptr) {
            // The PATCH it names by a NAME that survives, its bits from the LIBRARY.
            bool named = size >= c.patch_ref_name_end;
            EXPECT_EQ(patch_ref->details.front().value, named ? "Hook" : "") << size;
            EXPECT_EQ(patch_ref->details.size(), named ? 5u : 1u) << size;
        }
        EXPECT_EQ(audit_actionable(report), !report.findings.empty()) << size;
    }
}

// The shim-persistence database: one EXE that injects a DLL by its path.
std::vector<uint8_t> persistence_database() {
    return database_of(
        false, [](Writer&) {},
        [](Writer& w) { reference(w, TAG_SHIM_REF, u"InjectDll", u"C:\\Tools\\AtomicTest.dll"); });
}

TEST(SdbAuditDamage, DamageIsReportedAndHidesNoFindingTheDumpShows) {
    // Cut by its last two bytes: the path loses only its terminator, and says so.
    std::vector<uint8_t> image = persistence_database();
    std::vector<uint8_t> cut(image.begin(), image.end() - 2);
    AuditReport report = audit_database(*open_database_bytes(cut));
    const AuditFinding* inject = finding(report, "inject-dll");
    ASSERT_NE(inject, nullptr);
    EXPECT_EQ(inject->details.back().value, "C:\\Tools\\AtomicTest.dll");
    EXPECT_TRUE(inject->details.back().cut);
    TAGID where = 0;
    std::string reason;
    EXPECT_TRUE(audit_damage(report, &where, &reason));
    std::ostringstream text;
    write_audit_text("cut.sdb", report, text);
    EXPECT_NE(text.str().find("COMMAND_LINE \"C:\\Tools\\AtomicTest.dll\" (cut short)"),
              std::string::npos)
        << text.str();

    // A string reference out of the table inside a SHIM_REF: damaged, never clean.
    std::vector<uint8_t> broken = image;
    DatabasePtr db = open_database_bytes(image);
    TAGID command = 0;
    walk_database(*db, [&](TAGID t, unsigned) {
        command = get_tag(*db, t) == TAG_COMMAND_LINE ? t : command;
    });
    ASSERT_NE(command, 0u);
    store32(broken, command + 2, 0x7FFFFFF0);
    EXPECT_TRUE(audit_damage(audit_database(*open_database_bytes(broken)), &where, &reason));
    EXPECT_EQ(where, command);

    // A header alone, and a file whose DATABASE is gone, are damaged.
    std::vector<uint8_t> header(image.begin(), image.begin() + HEADER_SIZE);
    EXPECT_TRUE(audit_damage(audit_database(*open_database_bytes(header)), &where, &reason));
    EXPECT_EQ(reason, "no DATABASE list");
    std::vector<uint8_t> renamed = image;
    TAGID database = database_list(*db);
    renamed[database] = static_cast<uint8_t>(TAG_LIBRARY);
    renamed[database + 1] = static_cast<uint8_t>(TAG_LIBRARY >> 8);
    EXPECT_TRUE(audit_damage(audit_database(*open_database_bytes(renamed)), &where, &reason));

    // One size byte flipped so that the EXE runs past its DATABASE and the file: the dump
    // still walks its SHIM_REF, and so does the audit.
    std::vector<uint8_t> overrun = image;
    TAGID exe = find_first_tag(*db, database, TAG_EXE);
    overrun[exe + 5] = 0x7F;
    DatabasePtr damaged = open_database_bytes(overrun);
    std::vector<TAGID> walked;
    walk_database(*damaged, [&](TAGID t, unsigned) { walked.push_back(t); });
    AuditReport seen = audit_database(*damaged);
    inject = finding(seen, "inject-dll");
    ASSERT_NE(inject, nullptr);
    EXPECT_NE(std::find(walked.begin(), walked.end(), inject->where), walked.end());
    EXPECT_TRUE(audit_damage(seen, &where, &reason));
    EXPECT_EQ(where, exe);
}

} // namespace
