// Compiling the file dialect back into the image it came from, byte for byte.
#include "xml_image.h"

#include "base64.h"
#include "dump_items.h"
#include "sdb_image.h"
#include "sdb_index.h"
#include "sdb_text.h"
#include "sdb_time.h"
#include "sdb_walk.h"
#include "xml_values.h"

#include <cstring>
#include <unordered_map>

using namespace sdb;

namespace {

// The DWORD tags whose value is the TAGID of another item: they follow the item when an
// edit moves it.
bool holds_tagid(TAG tag) {
    switch (tag) {
    case TAG_SHIM_TAGID:
    case TAG_PATCH_TAGID:
    case TAG_LAYER_TAGID:
    case TAG_FLAG_TAGID:
    case TAG_MSI_TRANSFORM_TAGID:
    case TAG_CONTEXT_TAGID:
    case TAG_QUIRK_TAGID:
    case TAG_MIGRATION_DATA_TAGID:
    case TAG_TAGID:
        return true;
    default:
        return false;
    }
}

struct Compile {
    const std::string* xml = nullptr;
    CompileError* error = nullptr;
    std::vector<CompileError>* notes = nullptr;
    std::unordered_map<std::string, TAG> tags; // element name -> tag, as met
    // The string table as the document has it, compiled on its own (its references count
    // from its tag); the first entry of each text; entries added for new texts.
    std::vector<uint8_t> table;
    std::unordered_map<std::u16string, uint32_t> table_refs;
    uint32_t table_size = 6; // bytes of the table, its 6-byte header included
    std::vector<uint8_t> added_entries;
    bool table_written = false;
    // Items that an edit moved: the offset in the dump ("at") -> the offset now.
    std::unordered_map<uint32_t, uint32_t> moved;
    pugi::xml_node first_moved;
    std::vector<size_t> tagid_values;                    // offsets of DWORDs that hold a TAGID
    std::vector<std::pair<size_t, uint32_t>> index_bits; // offset and size of INDEX_BITS
};

bool fail(Compile& c, pugi::xml_node node, const std::string& message) {
    c.error->line = xml_line(*c.xml, node.offset_debug());
    c.error->message = message;
    return false;
}

std::string where(pugi::xml_node node) {
    pugi::xml_attribute at = node.attribute("at");
    return std::string(node.name()) + (at ? std::string(" at ") + at.value() : std::string());
}

bool element_tag(Compile& c, pugi::xml_node node, TAG* tag) {
    if (std::strcmp(node.name(), "ITEM") == 0) {
        uint64_t number = 0;
        if (!parse_number(node.attribute("tag").value(), 0xFFFF, &number) || number == 0) {
            return fail(c, node, "ITEM needs tag=\"0x....\", the tag's number");
        }
        *tag = static_cast<TAG>(number);
        // The name that XML cannot take as an element name, given for readers.
        pugi::xml_attribute name = node.attribute("name");
        if (name && (tag_name(*tag) == nullptr || std::strcmp(tag_name(*tag), name.value()) != 0)) {
            return fail(c, node,
                        std::string("ITEM: name=\"") + name.value() + "\" is not the name of tag " +
                            tag_number_text(*tag));
        }
    } else {
        auto found = c.tags.find(node.name());
        if (found == c.tags.end()) {
            found = c.tags.emplace(node.name(), tag_from_name(node.name())).first;
        }
        *tag = found->second;
        if (*tag == 0) {
            return fail(c, node, std::string("unknown element ") + node.name());
        }
    }
    if (fixed_data_size(*tag) < 0 && !tag_has_size(*tag)) {
        return fail(c, node, where(node) + ": the tag's type (its top four bits) is unknown");
    }
    return true;
}

bool check_attributes(Compile& c, pugi::xml_node node) {
    static const char* const KNOWN[] = {"at",      "pad", "raw",  "ref", "guid",
                                        "version", "tag", "name", "date"};
    for (pugi::xml_attribute attribute : node.attributes()) {
        bool known = false;
        for (const char* name : KNOWN) {
            known = known || std::strcmp(attribute.name(), name) == 0;
        }
        if (!known) {
            return fail(c, node,
                        std::string("unknown attribute ") + attribute.name() + " on " +
                            node.name());
        }
    }
    return true;
}

// The element's text: its first text child, which may be empty.
std::string text_of(pugi::xml_node node) {
    return node.child_value();
}

bool utf16_of(Compile& c, pugi::xml_node node, const std::string& text, std::u16string* units) {
    if (!from_utf8(text, units)) {
        return fail(c, node, where(node) + ": the text is not UTF-8");
    }
    if (units->find(u'\0') != std::u16string::npos) {
        return fail(c, node, where(node) + ": the text holds a NUL");
    }
    return true;
}

void put_text(std::vector<uint8_t>& out, const std::u16string& units) {
    for (char16_t unit : units) {
        put16(out, unit);
    }
    put16(out, 0);
}

// The text that the XML dump gives for a reference into the table: that of a STRING item
// there whose data is text XML holds (readers take an item at any offset inside the table,
// even inside another's data). False when there is none.
bool table_text(const Compile& c, uint32_t ref, std::string* utf8) {
    uint64_t at = ref;
    if (at < 6 || (at & 1u) != 0 || at + 6 > c.table.size() ||
        tag_type(load16(c.table.data() + at)) != TAG_TYPE_STRING) {
        return false;
    }
    uint32_t size = load32(c.table.data() + at + 2);
    return at + 6 + size <= c.table.size() && xml_text(c.table.data() + at + 6, size, utf8);
}

// The reference of a STRINGREF: the one the dump gave while the table there still gives
// the element's text (so that a table listing a text twice stays as it was), or gives no
// text and the element has none; otherwise the first entry of the text, added to the table
// when there is none.
bool string_ref(Compile& c, pugi::xml_node node, uint32_t* ref) {
    std::u16string text;
    if (!utf16_of(c, node, text_of(node), &text)) {
        return false;
    }
    pugi::xml_attribute given = node.attribute("ref");
    uint64_t number = 0;
    if (given && !parse_number(given.value(), 0xFFFFFFFF, &number)) {
        return fail(c, node, where(node) + ": ref=\"" + given.value() + "\" is not a number");
    }
    std::string there;
    if (given && (table_text(c, static_cast<uint32_t>(number), &there) ? there == text_of(node)
                                                                       : text.empty())) {
        *ref = static_cast<uint32_t>(number);
        return true;
    }
    auto found = c.table_refs.find(text);
    if (found != c.table_refs.end()) {
        *ref = found->second;
        return true;
    }
    if (c.table_written) {
        return fail(c, node, where(node) + ": a new string after the STRINGTABLE");
    }
    *ref = c.table_size + static_cast<uint32_t>(c.added_entries.size());
    put16(c.added_entries, TAG_STRINGTABLE_ITEM);
    put32(c.added_entries, static_cast<uint32_t>((text.size() + 1) * 2));
    put_text(c.added_entries, text);
    c.table_refs.emplace(text, *ref);
    return true;
}

bool number_of(Compile& c, pugi::xml_node node, uint64_t max, uint64_t* value) {
    std::string text = text_of(node);
    if (!parse_number(text, max, value)) {
        return fail(c, node, where(node) + ": \"" + text + "\" is not a number that fits");
    }
    return true;
}

// A QWORD: its number, or its version when the text is left out; both must agree.
bool qword_of(Compile& c, pugi::xml_node node, uint64_t* value) {
    pugi::xml_attribute version = node.attribute("version");
    uint64_t from_version = 0;
    if (version && !parse_qword(version.value(), &from_version)) {
        return fail(c, node, where(node) + ": version=\"" + version.value() + "\" is not a.b.c.d");
    }
    if (version && text_of(node).empty()) {
        *value = from_version;
        return true;
    }
    if (!number_of(c, node, ~uint64_t{0}, value)) {
        return false;
    }
    if (version && from_version != *value) {
        return fail(c, node, where(node) + ": the version and the number differ");
    }
    return true;
}

// A number of a date tag: a date given with it must be the number's.
bool date_agrees(Compile& c, pugi::xml_node node, TAG tag, uint64_t number) {
    pugi::xml_attribute date = node.attribute("date");
    std::string text;
    if (date && !tag_date_text(tag, number, &text)) {
        return fail(c, node, where(node) + ": date=\"...\" on a tag that holds no date");
    }
    if (date && text != date.value()) {
        return fail(c, node,
                    where(node) + ": the date and the number differ (the number is " + text + ")");
    }
    return true;
}

// A BINARY: its base64 data, or its GUID when the text is left out; both must agree.
bool binary_of(Compile& c, pugi::xml_node node, std::vector<uint8_t>* bytes) {
    pugi::xml_attribute guid_text = node.attribute("guid");
    Guid guid;
    if (guid_text && !parse_guid(guid_text.value(), &guid)) {
        return fail(c, node, where(node) + ": guid=\"" + guid_text.value() + "\" is not a GUID");
    }
    uint8_t guid_bytes[GUID_BYTES];
    if (guid_text) {
        guid_to_bytes(guid, guid_bytes);
    }
    if (guid_text && text_of(node).empty()) {
        bytes->assign(guid_bytes, guid_bytes + GUID_BYTES);
        return true;
    }
    if (!base64_decode(text_of(node), bytes)) {
        return fail(c, node, where(node) + ": the data is not base64");
    }
    if (guid_text &&
        (bytes->size() != GUID_BYTES || std::memcmp(bytes->data(), guid_bytes, GUID_BYTES) != 0)) {
        return fail(c, node, where(node) + ": the GUID and the data differ");
    }
    return true;
}

bool emit_element(Compile& c, pugi::xml_node node, std::vector<uint8_t>& out, uint32_t base,
                  unsigned depth);

bool emit_children(Compile& c, pugi::xml_node list, std::vector<uint8_t>& out, uint32_t base,
                   unsigned depth) {
    for (pugi::xml_node child : list.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            if (std::strspn(child.value(), " \t\r\n") != std::strlen(child.value())) {
                return fail(c, child, where(list) + ": unexpected text in a list");
            }
        } else if (child.type() == pugi::node_element &&
                   !emit_element(c, child, out, base, depth + 1)) {
            return false;
        }
    }
    return true;
}

// The data of an item of a fixed-size or sized type, from its typed value.
bool value_bytes(Compile& c, pugi::xml_node node, TAG tag, std::vector<uint8_t>* data) {
    uint64_t number = 0;
    std::u16string text;
    switch (tag_type(tag)) {
    case TAG_TYPE_NULL:
        if (!text_of(node).empty()) {
            return fail(c, node, where(node) + ": a NULL item takes no value");
        }
        return true;
    case TAG_TYPE_BYTE:
        return number_of(c, node, 0xFF, &number) &&
               (data->push_back(static_cast<uint8_t>(number)), true);
    case TAG_TYPE_WORD:
        return number_of(c, node, 0xFFFF, &number) &&
               (put16(*data, static_cast<uint16_t>(number)), true);
    case TAG_TYPE_DWORD:
        return number_of(c, node, 0xFFFFFFFF, &number) && date_agrees(c, node, tag, number) &&
               (put32(*data, static_cast<uint32_t>(number)), true);
    case TAG_TYPE_QWORD:
        return qword_of(c, node, &number) && date_agrees(c, node, tag, number) &&
               (put64(*data, number), true);
    case TAG_TYPE_STRINGREF: {
        uint32_t ref = 0;
        return string_ref(c, node, &ref) && (put32(*data, ref), true);
    }
    case TAG_TYPE_STRING:
        return utf16_of(c, node, text_of(node), &text) && (put_text(*data, text), true);
    default:
        return binary_of(c, node, data);
    }
}

bool emit_element(Compile& c, pugi::xml_node node, std::vector<uint8_t>& out, uint32_t base,
                  unsigned depth) {
    TAG tag = 0;
    if (!check_attributes(c, node) || !element_tag(c, node, &tag)) {
        return false;
    }
    uint64_t at = uint64_t{base} + out.size();
    if (at > 0xFFFFFFF0u) {
        return fail(c, node, "the database would reach 4 GiB");
    }
    if ((at & 1u) != 0) {
        return fail(c, node,
                    where(node) + " would start on an odd offset: the item before "
                                  "it needs its pad=\"0\"");
    }
    if (depth >= MAX_DEPTH) {
        return fail(c, node, "elements nested too deeply");
    }
    uint64_t dumped_at = 0;
    pugi::xml_attribute at_text = node.attribute("at");
    if (at_text && parse_number(at_text.value(), 0xFFFFFFFF, &dumped_at) && dumped_at != at &&
        c.moved.emplace(static_cast<uint32_t>(dumped_at), static_cast<uint32_t>(at)).second &&
        !c.first_moved) {
        c.first_moved = node;
    }
    size_t start = out.size();
    put16(out, tag);
    pugi::xml_attribute raw = node.attribute("raw");
    if (tag_type(tag) == TAG_TYPE_LIST) {
        if (raw) {
            return fail(c, node, where(node) + ": a list holds elements, not raw data");
        }
        put32(out, 0);
        if (!emit_children(c, node, out, base, depth)) {
            return false;
        }
        store32(out, start + 2, static_cast<uint32_t>(out.size() - start - 6));
    } else {
        if (node.find_child(
                [](pugi::xml_node child) { return child.type() == pugi::node_element; })) {
            return fail(c, node, where(node) + ": only a list holds elements");
        }
        std::vector<uint8_t> data;
        if (raw ? !base64_decode(raw.value(), &data) : !value_bytes(c, node, tag, &data)) {
            return raw ? fail(c, node, where(node) + ": raw=\"...\" is not base64") : false;
        }
        int fixed = fixed_data_size(tag);
        if (fixed >= 0 && data.size() != static_cast<size_t>(fixed)) {
            return fail(c, node,
                        where(node) + ": raw data of " + std::to_string(data.size()) +
                            " bytes for a " + std::to_string(fixed) + "-byte value");
        }
        if (fixed < 0) {
            if (data.size() > 0xFFFFFFF0u) {
                return fail(c, node, "the database would reach 4 GiB");
            }
            put32(out, static_cast<uint32_t>(data.size()));
        }
        if (holds_tagid(tag)) {
            c.tagid_values.push_back(out.size());
        } else if (tag == TAG_INDEX_BITS) {
            c.index_bits.emplace_back(out.size(), static_cast<uint32_t>(data.size()));
        }
        out.insert(out.end(), data.begin(), data.end());
    }
    pugi::xml_attribute pad = node.attribute("pad");
    uint64_t pad_byte = 0;
    if (pad && !parse_number(pad.value(), 0xFF, &pad_byte)) {
        return fail(c, node, where(node) + ": pad=\"" + pad.value() + "\" is not a byte");
    }
    if (pad) {
        out.push_back(static_cast<uint8_t>(pad_byte));
    }
    return true;
}

// Compiles the first STRINGTABLE on its own, so that the references before it know its
// entries. Its references count from its own tag, so it is compiled at offset 0.
bool read_string_table(Compile& c, pugi::xml_node table) {
    if (!emit_element(c, table, c.table, 0, 0)) {
        return false;
    }
    // Offsets in the table are no offsets of the file: nothing was moved there.
    c.moved.clear();
    c.first_moved = pugi::xml_node();
    c.tagid_values.clear();
    c.index_bits.clear();
    // The entries as a reader walks them; the compile above checked their extent.
    for (uint32_t at = 6; at < c.table.size();) {
        TAG tag = load16(c.table.data() + at);
        int fixed = fixed_data_size(tag);
        uint32_t size = fixed >= 0 ? static_cast<uint32_t>(fixed) : load32(c.table.data() + at + 2);
        std::string utf8;
        std::u16string text;
        if (table_text(c, at, &utf8) && from_utf8(utf8, &text)) {
            c.table_refs.emplace(text, at);
        }
        at = align_even(at + (fixed >= 0 ? 2 : 6) + size);
    }
    c.table_size = static_cast<uint32_t>(c.table.size());
    return true;
}

// After an edit that moved items: TAGID values and index records follow their items.
void follow_moved_items(Compile& c, std::vector<uint8_t>& image) {
    auto follow = [&](size_t at) {
        auto found = c.moved.find(load32(image.data() + at));
        if (found != c.moved.end()) {
            store32(image, at, found->second);
        }
    };
    for (size_t at : c.tagid_values) {
        follow(at);
    }
    for (const auto& bits : c.index_bits) {
        for (uint32_t record = 0; record + INDEX_RECORD_SIZE <= bits.second;
             record += INDEX_RECORD_SIZE) {
            follow(bits.first + record + INDEX_RECORD_TAGID);
        }
    }
    c.notes->push_back(CompileError{
        xml_line(*c.xml, c.first_moved.offset_debug()),
        where(c.first_moved) + " and " + std::to_string(c.moved.size() - 1) +
            " other items moved: their TAGIDs in ..._TAGID values and index records follow "
            "them; index keys stay as written"});
}

} // namespace

bool compile_file_xml(const std::string& xml, const pugi::xml_document& document,
                      std::vector<uint8_t>* image, CompileError* error,
                      std::vector<CompileError>* notes) {
    Compile c;
    c.xml = &xml;
    c.error = error;
    c.notes = notes;
    pugi::xml_node root = document.document_element();
    pugi::xml_node stopped = root.child("STOPPED");
    if (stopped) {
        return fail(c, stopped,
                    std::string("the dump stopped at ") + stopped.attribute("at").value() + " (" +
                        stopped.attribute("reason").value() +
                        "): a damaged file cannot be reproduced exactly");
    }
    uint64_t major = 0;
    uint64_t minor = 0;
    if (!parse_number(root.attribute("major").value(), 0xFFFFFFFF, &major) ||
        (major != 2 && major != 3) ||
        !parse_number(root.attribute("minor").value(), 0xFFFFFFFF, &minor)) {
        return fail(c, root, "SDB needs major=\"2\" or \"3\" and a minor=\"...\" number");
    }
    std::vector<uint8_t>& out = *image;
    out.clear();
    put32(out, static_cast<uint32_t>(major));
    put32(out, static_cast<uint32_t>(minor));
    out.insert(out.end(), {'s', 'd', 'b', 'f'});
    pugi::xml_node table = root.child("STRINGTABLE");
    if (table && !read_string_table(c, table)) {
        return false;
    }
    for (pugi::xml_node child : root.children()) {
        if (child == table) {
            c.table_written = true;
            if ((out.size() & 1u) != 0) {
                return fail(c, table,
                            where(table) + " would start on an odd offset: the item "
                                           "before it needs its pad=\"0\"");
            }
            if (!c.added_entries.empty() && table.attribute("pad")) {
                return fail(c, table, where(table) + ": new strings do not fit after its pad");
            }
            size_t start = out.size();
            out.insert(out.end(), c.table.begin(), c.table.end());
            out.insert(out.end(), c.added_entries.begin(), c.added_entries.end());
            store32(out, start + 2,
                    load32(out.data() + start + 2) + static_cast<uint32_t>(c.added_entries.size()));
        } else if (child.type() == pugi::node_element && !emit_element(c, child, out, 0, 0)) {
            return false;
        }
    }
    if (!table && !c.added_entries.empty()) {
        // No table in the document: the strings get one at the end, as a writer puts it.
        put16(out, TAG_STRINGTABLE);
        put32(out, static_cast<uint32_t>(c.added_entries.size()));
        out.insert(out.end(), c.added_entries.begin(), c.added_entries.end());
    }
    if (!c.moved.empty()) {
        follow_moved_items(c, out);
    }
    return true;
}
