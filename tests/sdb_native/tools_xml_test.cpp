// The XML dump compiled back byte for byte, edits of it, the audit and the tag table, on
// databases that the tests build.
#include "audit.h"
#include "sdb_audit.h"
#include "sdb_patch.h"
#include "sdb_text.h"
#include "sdb_time.h"
#include "base64.h"
#include "dump_items.h"
#include "json_dump.h"
#include "sdb_dump.h"
#include "sdb_image.h"
#include "sdb_index.h"
#include "sdb_test_image.h"
#include "sdb_writer.h"
#include "xml_dump.h"
#include "xml_image.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <functional>
#include <sstream>

using namespace sdb;

namespace {

std::vector<uint8_t> close(Writer& w) {
    std::vector<uint8_t> image;
    EXPECT_TRUE(close_to_buffer(w, &image)) << writer_error(w);
    return image;
}

std::string xml_of(const std::vector<uint8_t>& image, WalkResult* walked = nullptr) {
    DatabasePtr db = open_database_buffer(image.data(), image.size());
    EXPECT_TRUE(db);
    std::ostringstream out;
    WalkResult result = dump_xml(*db, out);
    if (walked != nullptr) {
        *walked = result;
    }
    return out.str();
}

// Compiles the file dialect; false with the error's message in *message.
bool compile(const std::string& xml, std::vector<uint8_t>* image, std::string* message,
             std::vector<CompileError>* notes = nullptr) {
    pugi::xml_document document;
    CompileError error;
    std::vector<CompileError> ignored;
    bool ok = parse_xml(xml, &document, &error) &&
              compile_file_xml(xml, document, image, &error, notes ? notes : &ignored);
    *message = error.message;
    return ok;
}

void expect_round_trip(const std::vector<uint8_t>& image, const char* what) {
    std::string xml = xml_of(image);
    std::vector<uint8_t> back;
    std::string message;
    ASSERT_TRUE(compile(xml, &back, &message)) << what << ": " << message << "\n" << xml;
    EXPECT_EQ(back, image) << what << "\n" << xml;
}

// One item of every named tag, with a value of its type, inside DATABASE.
std::vector<uint8_t> every_named_tag(uint32_t major) {
    WriterPtr w = create_writer(major);
    declare_index(*w, TAG_EXE, TAG_NAME, 4, true);
    declare_index(*w, TAG_EXE, TAG_EXE_ID, 4, false);
    TAGID database = begin_list(*w, TAG_DATABASE);
    const uint8_t bytes[7] = {1, 2, 3, 4, 5, 6, 7};
    for (uint32_t tag = 0x1000; tag <= 0x9FFF; ++tag) {
        TAG t = static_cast<TAG>(tag);
        if (tag_name(t) == nullptr || t == TAG_DATABASE || t == TAG_STRINGTABLE) {
            continue;
        }
        switch (tag_type(t)) {
        case TAG_TYPE_NULL:
            write_null(*w, t);
            break;
        case TAG_TYPE_WORD:
            write_word(*w, t, static_cast<uint16_t>(tag));
            break;
        case TAG_TYPE_DWORD:
            write_dword(*w, t, tag * 65537u);
            break;
        case TAG_TYPE_QWORD:
            write_qword(*w, t, uint64_t{tag} << 40 | 0x0001000200030004ull);
            break;
        case TAG_TYPE_STRINGREF:
        case TAG_TYPE_STRING:
            write_string(*w, t, std::u16string(u"value of ") + static_cast<char16_t>(tag));
            break;
        case TAG_TYPE_LIST: {
            TAGID list = begin_list(*w, t);
            write_string(*w, TAG_NAME, u"x.exe");
            write_guid(*w, TAG_EXE_ID, Guid{tag, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}});
            end_list(*w, list);
            break;
        }
        case TAG_TYPE_BINARY:
            write_binary(*w, t, bytes, 1 + tag % 7);
            break;
        }
    }
    end_list(*w, database);
    return close(*w);
}

TEST(SdbXmlRoundTrip, EveryNamedTagAtBothVersionsByteForByte) {
    for (uint32_t major : {2u, 3u}) {
        std::vector<uint8_t> image = every_named_tag(major);
        expect_round_trip(image, "every named tag");
        // Names that XML cannot take as element names are given beside the number, and
        // dates beside theirs.
        std::string xml = xml_of(image);
        for (const char* part : {"<ITEM tag=\"0x6017\" name=\"16BIT_DESCRIPTION\"",
                                 "<ITEM tag=\"0x6020\" name=\"16BIT_MODULE_NAME\"", "<TIME at=\"0x",
                                 "<LINK_DATE at=\"0x"}) {
            EXPECT_NE(xml.find(part), std::string::npos) << part;
        }
        size_t dates = 0;
        for (size_t at = xml.find(" date=\""); at != std::string::npos;
             at = xml.find(" date=\"", at + 1)) {
            ++dates;
        }
        EXPECT_EQ(dates, 4u); // TIME, LINK_DATE, UPTO_LINK_DATE, FROM_LINK_DATE
        // The text dump names every item: no tag is shown by number.
        DatabasePtr db = open_database_bytes(image);
        std::ostringstream text;
        EXPECT_EQ(dump_database(*db, text).problem, WalkProblem::None);
        std::istringstream lines(text.str());
        std::string line;
        while (std::getline(lines, line)) {
            size_t name = line.find_first_not_of(' ', 11);
            EXPECT_NE(line.compare(name, 2, "0x"), 0) << line;
        }
    }
}

TEST(SdbXmlRoundTrip, WhatOtherWritersLeaveIsKept) {
    // Date-like and odd minor versions, a file without INDEXES.
    for (uint32_t minor : {0u, 7u, 20120801u, 0xFFFFFFFFu}) {
        ImageBuilder image;
        image.header(2, minor).sized(TAG_DATABASE, 6).word(TAG_NAME).dword(6);
        image.sized(TAG_STRINGTABLE, 10).sized(TAG_STRINGTABLE_ITEM, 4).text(u"A");
        expect_round_trip(image.bytes, "minor version");
    }
    // An odd-sized BINARY followed by a pad byte that is not 0 (inside the list, counted in
    // its size) and at the end of a list whose size leaves the pad out; a BYTE item; an
    // unnamed tag; a tag whose name is no XML name; an empty list.
    ImageBuilder odd;
    odd.header(3, 0).sized(TAG_DATABASE, 45);
    odd.sized(TAG_FILE_BITS, 3).raw({1, 2, 3, 0xAB});
    odd.word(0x2001).raw({9, 0});
    odd.word(0x4099).dword(77);
    odd.word(TAG_16BIT_DESCRIPTION).dword(6);
    odd.sized(TAG_LIBRARY, 0);
    odd.sized(TAG_LAYER, 7).sized(TAG_DATA_BITS, 1).raw({5, 0xCD});
    odd.sized(TAG_STRINGTABLE, 10).sized(TAG_STRINGTABLE_ITEM, 4).text(u"B");
    DatabasePtr check = open_database_bytes(odd.bytes);
    unsigned items = 0;
    EXPECT_EQ(walk_database(*check, [&](TAGID, unsigned) { ++items; }).problem, WalkProblem::None);
    EXPECT_EQ(items, 10u);
    expect_round_trip(odd.bytes, "odd sizes and pads");
    // Strings that XML cannot hold as text (one without its NUL), a string with bytes after its
    // NUL, a string of blanks, a text listed twice in the table and referred to at each place.
    ImageBuilder strings;
    strings.header().sized(TAG_DATABASE, 30);
    for (uint32_t ref : {6u, 16u, 30u, 46u, 58u}) {
        strings.word(TAG_NAME).dword(ref);
    }
    strings.sized(TAG_STRINGTABLE, 84);
    strings.sized(TAG_STRINGTABLE_ITEM, 4).text(u"xy", false);
    strings.sized(TAG_STRINGTABLE_ITEM, 4).text(u"\xD800");
    strings.sized(TAG_STRINGTABLE_ITEM, 8).text(u"a\x01\r");
    strings.sized(TAG_STRINGTABLE_ITEM, 10).text(u"ab").raw({'c', 0, 'd', 0});
    strings.sized(TAG_STRINGTABLE_ITEM, 6).text(u"  ");
    strings.sized(TAG_STRINGTABLE_ITEM, 6).text(u"  ");
    strings.sized(TAG_STRINGTABLE_ITEM, 4).text(u"\t");
    expect_round_trip(strings.bytes, "strings");
    // Readers take a table entry of any STRING tag, so a reference to one is kept.
    ImageBuilder other_tag;
    other_tag.header().sized(TAG_DATABASE, 6).word(TAG_NAME).dword(6);
    other_tag.sized(TAG_STRINGTABLE, 10).sized(0x8803, 4).text(u"D");
    expect_round_trip(other_tag.bytes, "entry of another STRING tag");
    // A reference into the middle of an entry whose data holds another item.
    ImageBuilder nested;
    nested.header().sized(TAG_DATABASE, 12).word(TAG_NAME).dword(6).word(TAG_NAME).dword(18);
    nested.sized(TAG_STRINGTABLE, 22).sized(TAG_STRINGTABLE_ITEM, 16).text(u"E").raw({0, 0});
    nested.sized(TAG_STRINGTABLE_ITEM, 4).text(u"F");
    expect_round_trip(nested.bytes, "entry inside another");
}

TEST(SdbXmlRoundTrip, BadStringReferencesAreKeptAndReported) {
    ImageBuilder image;
    image.header().sized(TAG_DATABASE, 12).word(TAG_NAME).dword(0x1234).word(TAG_VENDOR).dword(2);
    image.sized(TAG_STRINGTABLE, 10).sized(TAG_STRINGTABLE_ITEM, 4).text(u"C");
    WalkResult walked;
    std::string xml = xml_of(image.bytes, &walked);
    EXPECT_EQ(walked.value_problem, WalkProblem::BadStringRef);
    EXPECT_EQ(walked.value_where, 18u);
    EXPECT_NE(xml.find("no string at this reference"), std::string::npos);
    expect_round_trip(image.bytes, "bad references");
}

TEST(SdbXmlRoundTrip, DamagedFilesSayWhereAndDoNotCompile) {
    std::vector<uint8_t> image = every_named_tag(2);
    image.resize(image.size() / 2);
    WalkResult walked;
    std::string xml = xml_of(image, &walked);
    ASSERT_NE(walked.problem, WalkProblem::None);
    EXPECT_NE(xml.find("<STOPPED at="), std::string::npos);
    std::vector<uint8_t> back;
    std::string message;
    EXPECT_FALSE(compile(xml, &back, &message));
    EXPECT_NE(message.find("cannot be reproduced exactly"), std::string::npos) << message;
    // A list that runs past its parent: a child ending at the parent's odd end has no pad,
    // since the byte after it lies outside the parent.
    ImageBuilder cut;
    cut.header().sized(TAG_DATABASE, 13).sized(TAG_EXE, 20).sized(TAG_FILE_BITS, 1).raw({9, 0xAB});
    xml = xml_of(cut.bytes, &walked);
    EXPECT_NE(walked.problem, WalkProblem::None);
    EXPECT_NE(xml.find("<FILE_BITS at=\"0x00000018\">CQ==</FILE_BITS>"), std::string::npos) << xml;
}

// A custom database: an InjectDll through a layer, a RedirectEXE and an in-memory patch.
std::vector<uint8_t> risky_database() {
    WriterPtr w = create_writer();
    declare_index(*w, TAG_EXE, TAG_NAME, 4, true);
    TAGID database = begin_list(*w, TAG_DATABASE);
    TAGID library = begin_list(*w, TAG_LIBRARY);
    TAGID shim = begin_list(*w, TAG_SHIM);
    write_string(*w, TAG_NAME, u"InjectDll");
    write_string(*w, TAG_COMMAND_LINE, u"C:\\evil.dll");
    end_list(*w, shim);
    TAGID patch = begin_list(*w, TAG_PATCH);
    write_string(*w, TAG_NAME, u"NopCheck");
    const uint8_t bits[8] = {0x90, 0x90, 0x90, 0x90, 0, 0, 0, 0};
    write_binary(*w, TAG_PATCH_BITS, bits, sizeof bits);
    end_list(*w, patch);
    end_list(*w, library);
    TAGID layer = begin_list(*w, TAG_LAYER);
    write_string(*w, TAG_NAME, u"Sneaky");
    TAGID ref = begin_list(*w, TAG_SHIM_REF);
    write_dword(*w, TAG_SHIM_TAGID, shim);
    end_list(*w, ref);
    end_list(*w, layer);
    TAGID exe = begin_list(*w, TAG_EXE);
    write_string(*w, TAG_NAME, u"game.exe");
    TAGID file = begin_list(*w, TAG_MATCHING_FILE);
    write_string(*w, TAG_NAME, u"*");
    write_dword(*w, TAG_SIZE, 4096);
    end_list(*w, file);
    TAGID uses = begin_list(*w, TAG_LAYER);
    write_string(*w, TAG_NAME, u"sneaky");
    end_list(*w, uses);
    TAGID redirect = begin_list(*w, TAG_SHIM_REF);
    write_string(*w, TAG_NAME, u"RedirectEXE");
    write_string(*w, TAG_COMMAND_LINE, u"C:\\other.exe");
    end_list(*w, redirect);
    TAGID patch_ref = begin_list(*w, TAG_PATCH_REF);
    write_string(*w, TAG_NAME, u"NopCheck");
    write_dword(*w, TAG_PATCH_TAGID, patch);
    end_list(*w, patch_ref);
    end_list(*w, exe);
    end_list(*w, database);
    return close(*w);
}

TEST(SdbXmlRoundTrip, PatchAndInjectionDatabases) {
    expect_round_trip(risky_database(), "risky database");
}

TEST(SdbXmlEdit, ChangedTextsAndMovedItems) {
    std::vector<uint8_t> image = risky_database();
    std::string xml = xml_of(image);
    // A new name gets a new entry at the end of the table; a second, longer command line
    // moves every item after it, and the TAGIDs that point at them follow.
    size_t name = xml.find(">game.exe<");
    ASSERT_NE(name, std::string::npos);
    xml.replace(name, 10, ">renamed.exe<");
    size_t library = xml.find("<LIBRARY");
    xml.insert(library, "<DESCRIPTION>added</DESCRIPTION>");
    std::vector<uint8_t> back;
    std::string message;
    std::vector<CompileError> notes;
    ASSERT_TRUE(compile(xml, &back, &message, &notes)) << message;
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].message.find("moved"), std::string::npos);
    DatabasePtr db = open_database_bytes(back);
    TAGID database = database_list(*db);
    EXPECT_EQ(read_string(*db, find_first_tag(*db, database, TAG_DESCRIPTION)), u"added");
    TAGID exe = find_first_tag(*db, database, TAG_EXE);
    EXPECT_EQ(read_string(*db, find_first_tag(*db, exe, TAG_NAME)), u"renamed.exe");
    TAGID patch_ref = find_first_tag(*db, exe, TAG_PATCH_REF);
    TAGID patch = read_child_dword(*db, patch_ref, TAG_PATCH_TAGID);
    EXPECT_EQ(get_tag(*db, patch), TAG_PATCH);
    TAGID layer = find_first_tag(*db, database, TAG_LAYER);
    TAGID shim = read_child_dword(*db, find_first_tag(*db, layer, TAG_SHIM_REF), TAG_SHIM_TAGID);
    EXPECT_EQ(read_string(*db, find_first_tag(*db, shim, TAG_NAME)), u"InjectDll");
    // The index record follows the EXE it points at.
    IndexRecord record;
    ASSERT_TRUE(index_record(*db, find_index(*db, TAG_EXE, TAG_NAME), 0, &record));
    EXPECT_EQ(record.tagid, exe);
}

// Every record of an index filled to its last record follows its moved item, the last one
// too.
TEST(SdbXmlEdit, TheLastRecordOfAFullIndexFollowsItsItem) {
    WriterPtr w = create_writer();
    ASSERT_TRUE(declare_index(*w, TAG_EXE, TAG_NAME, 2, true));
    TAGID list = begin_list(*w, TAG_DATABASE);
    for (const char16_t* name : {u"a.exe", u"b.exe"}) {
        TAGID exe = begin_list(*w, TAG_EXE);
        write_string(*w, TAG_NAME, name);
        end_list(*w, exe);
    }
    end_list(*w, list);
    std::vector<uint8_t> image;
    ASSERT_TRUE(close_to_buffer(*w, &image));
    std::string xml = xml_of(image);
    size_t exe = xml.find("<EXE");
    ASSERT_NE(exe, std::string::npos);
    xml.insert(exe, "<DESCRIPTION>added</DESCRIPTION>");
    std::vector<uint8_t> back;
    std::string message;
    std::vector<CompileError> notes;
    ASSERT_TRUE(compile(xml, &back, &message, &notes)) << message;
    DatabasePtr db = open_database_bytes(back);
    TAGID index = find_index(*db, TAG_EXE, TAG_NAME);
    ASSERT_EQ(index_record_count(*db, index), 2u);
    TAGID moved = find_first_tag(*db, database_list(*db), TAG_EXE);
    for (uint32_t n = 0; n < 2; ++n) {
        IndexRecord record;
        ASSERT_TRUE(index_record(*db, index, n, &record));
        EXPECT_EQ(record.tagid, moved) << n;
        moved = find_next_tag(*db, database_list(*db), moved);
    }
}

TEST(SdbXmlEdit, MistakesAreRefusedWithTheirPlace) {
    const std::string head = "<SDB major=\"2\" minor=\"1\"><DATABASE>";
    const std::string tail = "</DATABASE></SDB>";
    struct Case {
        const char* body;
        const char* message;
    };
    for (const Case& c : {
             Case{"<BOX/>", "unknown element BOX"},
             Case{"<SIZE>12k</SIZE>", "is not a number that fits"},
             Case{"<MATCH_MODE>65536</MATCH_MODE>", "is not a number that fits"},
             Case{"<SIZE colour=\"red\">1</SIZE>", "unknown attribute colour"},
             Case{"<EXE_ID guid=\"{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}\">AAAA</EXE_ID>",
                  "the GUID and the data differ"},
             Case{"<BIN_FILE_VERSION version=\"1.2.3.4\">5</BIN_FILE_VERSION>",
                  "the version and the number differ"},
             Case{"<FILE_BITS>not base64!</FILE_BITS>", "not base64"},
             Case{"<FILE_BITS>AQID</FILE_BITS><SIZE>1</SIZE>", "odd offset"},
             Case{"<SIZE raw=\"AQI=\"/>", "raw data of 2 bytes for a 4-byte value"},
             Case{"<ITEM tag=\"0xA001\">1</ITEM>", "type (its top four bits) is unknown"},
             Case{"<GENERAL>1</GENERAL>", "a NULL item takes no value"},
             Case{"<SIZE><NAME/></SIZE>", "only a list holds elements"},
             Case{"<LIBRARY>text</LIBRARY>", "unexpected text in a list"},
             Case{"<TIME date=\"2017-12-06T21:15:08Z\">5</TIME>", "the date and the number differ"},
             Case{"<LINK_DATE date=\"1970-01-01T00:00:01Z\">0</LINK_DATE>",
                  "the date and the number differ"},
             Case{"<SIZE date=\"1970-01-01T00:00:00Z\">0</SIZE>", "on a tag that holds no date"},
             Case{"<ITEM tag=\"0x6017\" name=\"NAME\">x</ITEM>", "is not the name of tag 0x6017"},
         }) {
        std::vector<uint8_t> image;
        std::string message;
        EXPECT_FALSE(compile(head + c.body + tail, &image, &message)) << c.body;
        EXPECT_NE(message.find(c.message), std::string::npos) << c.body << ": " << message;
    }
    // The string table is checked like any item.
    std::string message;
    std::vector<uint8_t> odd;
    EXPECT_FALSE(compile("<SDB major=\"2\" minor=\"1\"><ITEM tag=\"0x2001\">1</ITEM>"
                         "<STRINGTABLE/></SDB>",
                         &odd, &message));
    EXPECT_NE(message.find("STRINGTABLE would start on an odd offset"), std::string::npos)
        << message;
    // What an edit may leave out: a GUID or a version alone gives the value.
    std::vector<uint8_t> image;
    ASSERT_TRUE(compile(head +
                            "<EXE_ID guid=\"{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}\"/>"
                            "<BIN_FILE_VERSION version=\"1.2.3.4\"/><NAME>new</NAME>" +
                            tail,
                        &image, &message))
        << message;
    DatabasePtr db = open_database_bytes(image);
    TAGID database = database_list(*db);
    EXPECT_EQ(read_child_qword(*db, database, TAG_BIN_FILE_VERSION), 0x0001000200030004ull);
    EXPECT_EQ(read_string(*db, find_first_tag(*db, database, TAG_NAME)), u"new");
    Guid guid;
    EXPECT_TRUE(read_guid(*db, find_first_tag(*db, database, TAG_EXE_ID), &guid));
}

// The rules of the findings of an audit, in order.
std::vector<std::string> rules_of(const AuditReport& report) {
    std::vector<std::string> rules;
    for (const AuditFinding& f : report.findings) {
        rules.push_back(f.rule);
    }
    return rules;
}

// "NAME value" of each detail of a finding, joined by "; ".
std::string details_of(const AuditFinding& f) {
    std::string out;
    for (const AuditField& field : f.details) {
        out += (out.empty() ? "" : "; ") + field.name + " " + field.value;
    }
    return out;
}

TEST(SdbAudit, FindsInjectionRedirectionAndPatches) {
    std::vector<uint8_t> image = risky_database();
    DatabasePtr db = open_database_bytes(image);
    AuditReport report = audit_database(*db);
    EXPECT_EQ(rules_of(report), (std::vector<std::string>{"patch", "inject-dll", "inject-dll",
                                                          "redirect-exe", "patch"}));
    ASSERT_EQ(report.findings.size(), 5u);
    // PATCH_BITS of 8 bytes cannot hold a record: said, not read past.
    EXPECT_EQ(report.findings[0].entry.kind, TAG_PATCH);
    EXPECT_EQ(details_of(report.findings[0]), "PATCH_BITS ends inside a record");
    EXPECT_EQ(report.findings[1].entry.kind, TAG_LAYER);
    EXPECT_EQ(report.findings[1].entry.name, "Sneaky");
    // The EXE's own finding through its layer names the DLL, the layer and the EXE; the
    // command line comes from the SHIM when the reference has none.
    const AuditFinding& through = report.findings[2];
    EXPECT_EQ(through.entry.kind, TAG_EXE);
    EXPECT_EQ(through.entry.exe, "game.exe");
    EXPECT_EQ(details_of(through), "LAYER sneaky; SHIM InjectDll; COMMAND_LINE C:\\evil.dll");
    EXPECT_EQ(details_of(report.findings[3]), "SHIM RedirectEXE; COMMAND_LINE C:\\other.exe");
    EXPECT_EQ(report.findings[3].severity, AuditSeverity::High);
    EXPECT_TRUE(audit_actionable(report));
    // A database of harmless fixes, and one without a DATABASE list, give nothing.
    WriterPtr w = create_writer();
    TAGID database = begin_list(*w, TAG_DATABASE);
    TAGID exe = begin_list(*w, TAG_EXE);
    write_string(*w, TAG_NAME, u"old.exe");
    TAGID ref = begin_list(*w, TAG_SHIM_REF);
    write_string(*w, TAG_NAME, u"CorrectFilePaths");
    end_list(*w, ref);
    end_list(*w, exe);
    end_list(*w, database);
    DatabasePtr clean = open_database_bytes(close(*w));
    EXPECT_TRUE(audit_database(*clean).findings.empty());
    DatabasePtr bare = open_database_bytes(ImageBuilder().header().sized(TAG_LIBRARY, 0).bytes);
    EXPECT_TRUE(audit_database(*bare).findings.empty());
}

// One PATCH_BITS record that replaces `bytes` bytes at `rva` of `module`, then the end.
std::vector<uint8_t> patch_bits(const char16_t* module, uint32_t rva, uint32_t bytes) {
    ImageBuilder b;
    b.dword(PATCH_REPLACE).dword(PATCH_RECORD_HEADER + bytes).dword(bytes).dword(rva).dword(0);
    for (uint32_t i = 0; i < PATCH_RECORD_MODULE_UNITS; ++i) {
        b.word(*module != 0 ? *module++ : 0);
    }
    for (uint32_t i = 0; i < bytes; ++i) {
        b.raw({0x90});
    }
    return b.dword(PATCH_END).bytes;
}

// A database with one entry whose fixes `fill` writes; the LIBRARY defines the shims
// Plain (AcGenral.dll), InjectDll, the patch Bits and, in a risky one, Evil (DLLFILE
// C:\x\evil.dll).
struct RuleCase {
    const char* what;
    const char* rule; // expected only when risky
    AuditSeverity severity;
    const char* details; // of the finding, when risky
    std::function<void(Writer&, bool risky)> fill;
};

std::vector<uint8_t> rule_database(const RuleCase& c, bool risky, const char16_t* name = u"Contoso",
                                   const Guid* id = nullptr) {
    WriterPtr w = create_writer();
    TAGID database = begin_list(*w, TAG_DATABASE);
    write_string(*w, TAG_NAME, name);
    if (id != nullptr) {
        write_guid(*w, TAG_DATABASE_ID, *id);
    }
    TAGID library = begin_list(*w, TAG_LIBRARY);
    for (const char16_t* shim : {u"Evil", u"Plain", u"InjectDll"}) {
        if (shim[0] == u'E' && !risky) {
            continue;
        }
        TAGID t = begin_list(*w, TAG_SHIM);
        write_string(*w, TAG_NAME, shim);
        if (shim[0] != u'I') {
            write_string(*w, TAG_DLLFILE, shim[0] == u'E' ? u"C:\\x\\evil.dll" : u"AcGenral.dll");
        }
        end_list(*w, t);
    }
    TAGID patch = begin_list(*w, TAG_PATCH);
    write_string(*w, TAG_NAME, u"Bits");
    end_list(*w, patch);
    end_list(*w, library);
    c.fill(*w, risky);
    end_list(*w, database);
    return close(*w);
}

void ref(Writer& w, TAG tag, const char16_t* name, const char16_t* command = nullptr) {
    TAGID t = begin_list(w, tag);
    write_string(w, TAG_NAME, name);
    if (command != nullptr) {
        write_string(w, TAG_COMMAND_LINE, command);
    }
    end_list(w, t);
}

// An EXE of the name that holds one reference.
void exe_with(Writer& w, const char16_t* exe, TAG tag, const char16_t* name,
              const char16_t* command = nullptr) {
    TAGID t = begin_list(w, TAG_EXE);
    write_string(w, TAG_NAME, exe);
    ref(w, tag, name, command);
    end_list(w, t);
}

const std::vector<RuleCase>& rule_cases() {
    static const std::vector<RuleCase> cases = {
        {"InjectDll", "inject-dll", AuditSeverity::High, "SHIM injectdll; COMMAND_LINE a.dll",
         [](Writer& w, bool risky) {
             exe_with(w, u"a.exe", TAG_SHIM_REF, risky ? u"injectdll" : u"Plain", u"a.dll");
         }},
        {"RedirectEXE", "redirect-exe", AuditSeverity::High, "SHIM RedirectEXE; COMMAND_LINE b.exe",
         [](Writer& w, bool risky) {
             exe_with(w, u"a.exe", TAG_SHIM_REF, risky ? u"RedirectEXE" : u"Plain", u"b.exe");
         }},
        {"a shim with a foreign DLL", "custom-dll", AuditSeverity::High,
         "SHIM Evil; DLLFILE C:\\x\\evil.dll",
         [](Writer& w, bool risky) {
             exe_with(w, u"a.exe", TAG_SHIM_REF, risky ? u"Evil" : u"Plain");
         }},
        {"an elevating layer", "elevation", AuditSeverity::Medium, "LAYER RunAsAdmin",
         [](Writer& w, bool risky) {
             exe_with(w, u"a.exe", TAG_LAYER, risky ? u"RunAsAdmin" : u"RunAsInvoker");
         }},
        {"RelaunchElevated", "elevation", AuditSeverity::Medium, "SHIM RelaunchElevated",
         [](Writer& w, bool risky) {
             exe_with(w, u"a.exe", TAG_SHIM_REF, risky ? u"RelaunchElevated" : u"Plain");
         }},
        {"ForceAdminAccess in a layer", "elevation", AuditSeverity::Medium, "SHIM ForceAdminAccess",
         [](Writer& w, bool risky) {
             TAGID layer = begin_list(w, TAG_LAYER);
             write_string(w, TAG_NAME, u"L");
             ref(w, TAG_SHIM_REF, risky ? u"ForceAdminAccess" : u"Plain");
             end_list(w, layer);
         }},
        {"DisableNX", "weakens-security", AuditSeverity::Medium, "SHIM DisableNX",
         [](Writer& w, bool risky) {
             exe_with(w, u"a.exe", TAG_SHIM_REF, risky ? u"DisableNX" : u"Plain");
         }},
        {"TerminateExe with a command line", "weakens-security", AuditSeverity::Medium,
         "SHIM TerminateExe; COMMAND_LINE av.exe",
         [](Writer& w, bool risky) {
             exe_with(w, u"a.exe", TAG_SHIM_REF, u"TerminateExe", risky ? u"av.exe" : u"");
         }},
        {"a PATCH_REF in a layer", "patch", AuditSeverity::High, "PATCH Bits",
         [](Writer& w, bool risky) {
             TAGID layer = begin_list(w, TAG_LAYER);
             write_string(w, TAG_NAME, u"L");
             ref(w, risky ? TAG_PATCH_REF : TAG_FLAG_REF, u"Bits");
             end_list(w, layer);
         }},
        {"an EXE named *", "any-exe", AuditSeverity::Medium, "SHIM_REF Unlisted",
         [](Writer& w, bool risky) {
             exe_with(w, risky ? u"*" : u"*.exe", TAG_SHIM_REF, u"Unlisted");
         }},
        {"a fix of an MSI package", "msi", AuditSeverity::Medium, "LAYER WinXP",
         [](Writer& w, bool risky) {
             TAGID package = begin_list(w, TAG_MSI_PACKAGE);
             write_string(w, TAG_NAME, u"setup.msi");
             if (risky) {
                 ref(w, TAG_LAYER, u"WinXP");
             }
             end_list(w, package);
         }},
        {"a fix of an MSI custom action", "msi", AuditSeverity::Medium, "SHIM_REF Unlisted",
         [](Writer& w, bool) {
             TAGID package = begin_list(w, TAG_MSI_PACKAGE);
             write_string(w, TAG_NAME, u"setup.msi");
             TAGID action = begin_list(w, TAG_MSI_CUSTOM_ACTION);
             write_string(w, TAG_NAME, u"Install");
             ref(w, TAG_SHIM_REF, u"Unlisted");
             end_list(w, action);
             end_list(w, package);
         }},
    };
    return cases;
}

TEST(SdbAudit, EachRuleWithAndWithoutItsRiskyFix) {
    for (const RuleCase& c : rule_cases()) {
        for (bool risky : {true, false}) {
            DatabasePtr db = open_database_bytes(rule_database(c, risky));
            AuditReport report = audit_database(*db);
            const AuditFinding* found = nullptr;
            for (const AuditFinding& f : report.findings) {
                found = f.rule == c.rule && f.entry.kind != TAG_SHIM ? &f : found;
            }
            // The custom action's case has no harmless form: its package holds no fix.
            bool expected = risky || std::string(c.what).find("custom action") != std::string::npos;
            ASSERT_EQ(found != nullptr, expected) << c.what << (risky ? "" : ", harmless");
            if (found != nullptr) {
                EXPECT_EQ(found->severity, c.severity) << c.what;
                EXPECT_EQ(details_of(*found), c.details) << c.what;
            }
            // An entry inside a package is named with the package it lies in.
            if (found != nullptr && found->entry.kind == TAG_MSI_CUSTOM_ACTION) {
                EXPECT_EQ(found->entry.name, "Install");
                EXPECT_EQ(found->entry.exe, "setup.msi");
            }
        }
    }
}

TEST(SdbAudit, OneFindingPerFixWithItsContext) {
    WriterPtr w = create_writer();
    TAGID database = begin_list(*w, TAG_DATABASE);
    TAGID library = begin_list(*w, TAG_LIBRARY);
    TAGID shim = begin_list(*w, TAG_SHIM);
    write_string(*w, TAG_NAME, u"InjectDll");
    write_string(*w, TAG_COMMAND_LINE, u"default.dll");
    end_list(*w, shim);
    TAGID flag = begin_list(*w, TAG_FLAG);
    write_string(*w, TAG_NAME, u"NotAShim");
    end_list(*w, flag);
    // Two bytes over the last whole record: said after the records that were read.
    TAGID cut_patch = begin_list(*w, TAG_PATCH);
    write_string(*w, TAG_NAME, u"Cut");
    std::vector<uint8_t> cut = patch_bits(u"a.dll", 0x10, 2);
    cut.resize(cut.size() - 2);
    write_binary(*w, TAG_PATCH_BITS, cut.data(), cut.size());
    end_list(*w, cut_patch);
    TAGID patch = begin_list(*w, TAG_PATCH);
    write_string(*w, TAG_NAME, u"Hook");
    std::vector<uint8_t> bits = patch_bits(u"services.exe", 0x1A2B3C, 5);
    write_binary(*w, TAG_PATCH_BITS, bits.data(), bits.size());
    end_list(*w, patch);
    end_list(*w, library);
    TAGID exe = begin_list(*w, TAG_EXE);
    write_string(*w, TAG_NAME, u"svc.exe");
    write_string(*w, TAG_APP_NAME, u"Service");
    ref(*w, TAG_SHIM_REF, u"InjectDll", u"one.dll");
    ref(*w, TAG_SHIM_REF, u"InjectDll", u"two.dll");
    // A SHIM_TAGID that points at an item of another tag: the name finds the definition.
    TAGID by_id = begin_list(*w, TAG_SHIM_REF);
    write_dword(*w, TAG_SHIM_TAGID, flag);
    write_string(*w, TAG_NAME, u"injectdll");
    end_list(*w, by_id);
    // One that points at the SHIM needs no name.
    TAGID by_tagid = begin_list(*w, TAG_SHIM_REF);
    write_dword(*w, TAG_SHIM_TAGID, shim);
    end_list(*w, by_tagid);
    TAGID patch_ref = begin_list(*w, TAG_PATCH_REF);
    write_dword(*w, TAG_PATCH_TAGID, patch);
    end_list(*w, patch_ref);
    end_list(*w, exe);
    end_list(*w, database);
    DatabasePtr db = open_database_bytes(close(*w));
    AuditReport report = audit_database(*db);
    ASSERT_EQ(rules_of(report),
              (std::vector<std::string>{"patch", "patch", "inject-dll", "inject-dll", "inject-dll",
                                        "inject-dll", "patch"}));
    EXPECT_EQ(details_of(report.findings[0]), "opcode replace; MODULE_NAME a.dll; offset "
                                              "0x00000010; bytes 2; PATCH_BITS ends inside a "
                                              "record");
    EXPECT_EQ(details_of(report.findings[1]),
              "opcode replace; MODULE_NAME services.exe; offset 0x001A2B3C; bytes 5");
    const AuditFinding& inject = report.findings[2];
    EXPECT_EQ(details_of(inject), "SHIM InjectDll; COMMAND_LINE one.dll");
    EXPECT_EQ(details_of(report.findings[3]), "SHIM InjectDll; COMMAND_LINE two.dll");
    EXPECT_EQ(details_of(report.findings[4]), "SHIM injectdll; COMMAND_LINE default.dll");
    EXPECT_EQ(details_of(report.findings[5]), "SHIM InjectDll; COMMAND_LINE default.dll");
    EXPECT_EQ(report.findings[3].where, get_next_child(*db, exe, inject.where));
    EXPECT_EQ(inject.entry.tagid, exe);
    EXPECT_EQ(inject.entry.exe, "svc.exe");
    EXPECT_EQ(inject.entry.app_name, "Service");
    EXPECT_EQ(inject.where, find_first_tag(*db, exe, TAG_SHIM_REF));
    // A PATCH_REF without a name takes its PATCH's, and decodes its bits.
    EXPECT_EQ(details_of(report.findings[6]), "PATCH Hook; opcode replace; MODULE_NAME "
                                              "services.exe; offset 0x001A2B3C; bytes 5");
}

TEST(SdbAudit, PatchBitsRecordsAtTheirBounds) {
    std::vector<uint8_t> one = patch_bits(u"kernel32.dll", 0x1234, 3);
    std::vector<uint8_t> no_end(one.begin(), one.end() - 4);
    std::vector<uint8_t> two = no_end;
    std::vector<uint8_t> second = patch_bits(u"b.dll", 0x20, 0);
    two.insert(two.end(), second.begin(), second.end());
    // A module name of all 32 units has no NUL.
    std::vector<uint8_t> long_name = patch_bits(u"abcdefghijklmnopqrstuvwxyz012345", 1, 0);
    auto with = [&](uint32_t offset, uint32_t value) {
        std::vector<uint8_t> bits = one;
        for (int i = 0; i < 4; ++i) {
            bits[offset + i] = static_cast<uint8_t>(value >> (8 * i));
        }
        return bits;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bits;
        size_t records;
        bool complete;
    };
    for (const Case& c : {
             Case{"the end alone", {0, 0, 0, 0}, 0, true},
             Case{"nothing", {}, 0, true},
             Case{"one record and the end", one, 1, true},
             Case{"one record without the end", no_end, 1, true},
             Case{"two records", two, 2, true},
             Case{"a name of 32 units", long_name, 1, true},
             Case{"a short header", std::vector<uint8_t>(one.begin(), one.begin() + 83), 0, false},
             Case{"a header cut after its size", {2, 0, 0, 0, 84, 0, 0, 0}, 0, false},
             Case{"the pattern cut", std::vector<uint8_t>(one.begin(), one.begin() + 86), 0, false},
             Case{"a record size past the data", with(PATCH_RECORD_SIZE, 1000), 0, false},
             Case{"a record size below its header", with(PATCH_RECORD_SIZE, 83), 0, false},
             Case{"a pattern bigger than its record",
                  with(PATCH_RECORD_PATTERN_SIZE, PATCH_RECORD_HEADER + 4), 0, false},
             Case{"a pattern that leaves no header", with(PATCH_RECORD_PATTERN_SIZE, 4), 0, false},
         }) {
        bool complete = !c.complete;
        std::vector<PatchRecord> records =
            decode_patch_bits(c.bits.data(), c.bits.size(), &complete);
        EXPECT_EQ(records.size(), c.records) << c.what;
        EXPECT_EQ(complete, c.complete) << c.what;
    }
    bool complete = false;
    std::vector<PatchRecord> records = decode_patch_bits(two.data(), two.size(), &complete);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].module, u"kernel32.dll");
    EXPECT_EQ(records[0].rva, 0x1234u);
    EXPECT_EQ(records[0].pattern_size, 3u);
    EXPECT_EQ(records[1].offset, PATCH_RECORD_HEADER + 3);
    EXPECT_EQ(records[1].module, u"b.dll");
    records = decode_patch_bits(long_name.data(), long_name.size(), &complete);
    EXPECT_EQ(records.at(0).module, u"abcdefghijklmnopqrstuvwxyz012345");
    EXPECT_EQ(patch_opcode_text(PATCH_MATCH), "match");
    EXPECT_EQ(patch_opcode_text(7), "opcode 7");
}

TEST(SdbDump, ValuesByTypeAsTheTextShowsThem) {
    WriterPtr w = create_writer();
    TAGID database = begin_list(*w, TAG_DATABASE);
    // The writer pads odd data to an even size, so the sizes are even.
    uint8_t bytes[18];
    for (uint8_t i = 0; i < 18; ++i) {
        bytes[i] = i;
    }
    write_binary(*w, TAG_FIX_ID, bytes, 16);
    write_binary(*w, TAG_FIX_ID, bytes, 14);
    write_binary(*w, TAG_FILE_BITS, bytes, 16);
    write_binary(*w, TAG_FILE_BITS, bytes, 18);
    write_qword(*w, TAG_UPTO_BIN_FILE_VERSION, 0x0001000200030004ull);
    write_qword(*w, TAG_TIME, 131570685082907747ull);
    write_dword(*w, TAG_LINK_DATE, 0x43B86CFF);
    write_string(*w, TAG_COMMAND_LINE, u"C:\\dir\\a \"b\"\x01");
    end_list(*w, database);
    std::vector<uint8_t> image = close(*w);
    // A BYTE item, which the writer does not make: appended at the end, with its pad.
    image.insert(image.end(), {0x01, 0x20, 0xAB, 0x00});
    DatabasePtr db = open_database_bytes(image);
    std::vector<std::string> values;
    for (TAGID t = get_first_child(*db, database); t != 0; t = get_next_child(*db, database, t)) {
        values.push_back(value_text(*db, t, get_tag(*db, t)));
    }
    TAGID byte = static_cast<TAGID>(image.size() - 4);
    values.push_back(value_text(*db, byte, get_tag(*db, byte)));
    const char* expected[] = {
        "{03020100-0504-0706-0809-0a0b0c0d0e0f}",
        "(14 bytes) 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D",
        "(16 bytes) 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F",
        "(18 bytes) 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ...",
        "0x0001000200030004 (281483566841860) 1.2.3.4",
        "0x01D36ED74B38B463 (131570685082907747) 2017-12-06T21:15:08.2907747Z",
        "0x43B86CFF (1136159999) 2006-01-01T23:59:59Z",
        "\"C:\\dir\\a \"b\"\\x01\" (ref 0x6)",
        "0xAB (171)",
    };
    ASSERT_EQ(values.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i], expected[i]) << i;
    }
}

// The items of a JSON dump in document order: "at", "tag" and the item itself.
void json_items(const nlohmann::json& items, std::vector<nlohmann::json>* out) {
    for (const nlohmann::json& item : items) {
        out->push_back(item);
        if (item.contains("children")) {
            json_items(item["children"], out);
        }
    }
}

TEST(SdbDump, JsonIsWrittenAsWalkedWithOffsetsAndLargeNumbersAsText) {
    std::vector<uint8_t> whole = every_named_tag(2);
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + whole.size() / 2);
    for (const std::vector<uint8_t>* image : {&whole, &cut}) {
        DatabasePtr db = open_database_bytes(*image);
        std::ostringstream out;
        WalkResult walked = dump_json(*db, out);
        nlohmann::json document = nlohmann::json::parse(out.str());
        std::vector<nlohmann::json> items;
        json_items(document["items"], &items);
        std::vector<DumpItem> expected;
        walk_dump_items(*db, [&](const DumpItem& item) { expected.push_back(item); });
        ASSERT_EQ(items.size(), expected.size());
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i]["at"], offset_text(expected[i].tagid));
            EXPECT_NE(items[i]["type"], "unknown") << items[i];
            if (tag_type(expected[i].tag) == TAG_TYPE_QWORD) {
                EXPECT_EQ(items[i]["value"], std::to_string(load64(expected[i].data))) << items[i];
            }
            std::string date;
            if (tag_date_text(expected[i].tag, 0, &date)) {
                EXPECT_TRUE(items[i].contains("date")) << items[i];
            }
        }
        EXPECT_EQ(document.contains("stopped"), walked.problem != WalkProblem::None);
        // The audit's JSON Lines, with a file name that is not UTF-8, are JSON too.
        std::ostringstream lines;
        write_audit_json("caf\xE9\".sdb", audit_database(*db), lines);
        std::istringstream each(lines.str());
        for (std::string line; std::getline(each, line);) {
            EXPECT_EQ(nlohmann::json::parse(line)["file"], "caf\xEF\xBF\xBD\".sdb") << line;
        }
        if (walked.problem != WalkProblem::None) {
            EXPECT_EQ(document["stopped"]["at"], offset_text(walked.where));
        }
    }
}

TEST(SdbTagTable, EveryNameOnceAndTheNumbersOfWindowsSystemDatabases) {
    unsigned named = 0;
    for (uint32_t tag = 0; tag <= 0xFFFF; ++tag) {
        const char* name = tag_name(static_cast<TAG>(tag));
        if (name != nullptr) {
            ++named;
            EXPECT_EQ(tag_from_name(name), tag) << name;
        }
    }
    EXPECT_EQ(named, 322u);
    for (TAG tag : {0x4018, 0x4024, 0x4025, 0x4026, 0x6036, 0x7012, 0x9006, 0x401B, 0x7014}) {
        EXPECT_NE(tag_name(tag), nullptr) << std::hex << tag;
    }
    // One name per number, the newest.
    EXPECT_STREQ(tag_name(0x1007), "TRACE_PCA");
    EXPECT_STREQ(tag_name(0x4023), "GUEST_TARGET_PLATFORM");
    EXPECT_STREQ(tag_name(0x7020), "BIOS");
}

TEST(SdbBase64, EncodesAndRefusesMalformedText) {
    const uint8_t bytes[] = {0xFB, 0xFF, 0x00, 0x41};
    for (size_t n = 0; n <= sizeof bytes; ++n) {
        std::vector<uint8_t> back;
        ASSERT_TRUE(base64_decode(base64_encode(bytes, n), &back));
        EXPECT_EQ(back, std::vector<uint8_t>(bytes, bytes + n));
    }
    EXPECT_EQ(base64_encode(bytes, 4), "+/8AQQ==");
    std::vector<uint8_t> out;
    for (const char* bad : {"A", "AB=C", "A===", "QQ==QQ==", "QQ?=", "QUJD="}) {
        EXPECT_FALSE(base64_decode(bad, &out)) << bad;
    }
    EXPECT_TRUE(base64_decode(" QU\nJD ", &out));
}

} // namespace
