// libFuzzer target: opens any bytes as a database, walks and dumps it (as text, XML, JSON,
// and audited), compiles its XML back and compiles the input itself as XML, and navigates,
// reads and looks up every item on the way.
#include "audit.h"
#include "json_dump.h"
#include "sdb_dump.h"
#include "sdb_exe_lookup.h"
#include "sdb_index.h"
#include "xml_dump.h"
#include "xml_image.h"

#include <cstdlib>
#include <sstream>

using namespace sdb;

namespace {

// Reads an item in every way that its type allows, and in the ways it does not.
void read_item(const Database& db, TAGID tagid) {
    uint32_t size = 0;
    Guid guid;
    std::vector<uint8_t> bytes;
    read_word(db, tagid);
    read_dword(db, tagid);
    read_qword(db, tagid);
    read_string(db, tagid);
    read_binary(db, tagid, &bytes);
    read_guid(db, tagid, &guid);
    get_binary_ptr(db, tagid, &size);
    // Every value of a DWORD is also tried as a TAGID and as a string reference, as a
    // reader of SHIM_TAGID and the like would.
    uint32_t value = read_dword(db, tagid);
    get_tag(db, value);
    get_first_child(db, value);
    get_stringtable_ptr(db, value);
}

// Looks up the item's name, when it has one, through the index and by scanning.
void look_up(const Database& db, const ExeIndex& index, TAGID parent, TAGID tagid) {
    TAG tag = get_tag(db, tagid);
    const char16_t* name = get_child_string_ptr(db, tagid, TAG_NAME);
    if (tag_type(tag) != TAG_TYPE_LIST || name == nullptr) {
        return;
    }
    KeySearch search;
    for (TAGID t = find_first_by_key(db, parent, tag, TAG_NAME, name, &search); t != 0;
         t = find_next_by_key(db, &search)) {
    }
    for (TAGID t = scan_first_by_key(db, parent, tag, TAG_NAME, name, &search); t != 0;
         t = find_next_by_key(db, &search)) {
    }
    // The name as a file name: exact and wildcard entries, as --find and the matcher ask.
    find_exes(db, name);
    // And through the lookup kept per database, the name also as a 16-bit module name.
    std::vector<ExeCandidate> candidates;
    index.find(name, name, &candidates);
}

} // namespace

// Compiles XML text of the file dialect; any input must fail cleanly or give an image.
bool compile_text(const std::string& xml, std::vector<uint8_t>* image) {
    pugi::xml_document document;
    CompileError error;
    std::vector<CompileError> notes;
    return parse_xml(xml, &document, &error) &&
           std::string(document.document_element().name()) == "SDB" &&
           compile_file_xml(xml, document, image, &error, &notes);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> compiled;
    compile_text(std::string(reinterpret_cast<const char*>(data), size), &compiled);
    DatabasePtr db = open_database_buffer(data, size);
    if (!db) {
        return 0;
    }
    std::ostringstream out;
    dump_database(*db, out);
    std::ostringstream json;
    dump_json(*db, json);
    std::ostringstream audit;
    AuditReport report = audit_database(*db);
    write_audit_text("fuzz.sdb", report, audit);
    write_audit_json("fuzz.sdb", report, audit);
    // A file the walk reads whole comes back byte for byte from its XML.
    std::ostringstream xml;
    WalkResult walked = dump_xml(*db, xml);
    bool back = compile_text(xml.str(), &compiled);
    if (walked.problem == WalkProblem::None &&
        (!back || compiled != std::vector<uint8_t>(data, data + size))) {
        std::abort();
    }
    // Navigation by TAGID, independent of the walk: two levels below the root.
    ExeIndex index(*db);
    for (TAGID top = get_first_child(*db, TAGID_ROOT); top != 0;
         top = get_next_child(*db, TAGID_ROOT, top)) {
        for (TAGID t = get_first_child(*db, top); t != 0; t = get_next_child(*db, top, t)) {
            read_item(*db, t);
            look_up(*db, index, top, t);
            for (TAGID child = get_first_child(*db, t); child != 0;
                 child = find_next_tag(*db, t, child)) {
                read_item(*db, child);
            }
        }
    }
    return 0;
}
