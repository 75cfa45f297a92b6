// The whole database as XML, one element per item in file order.
#include "xml_dump.h"

#include "base64.h"
#include "dump_items.h"
#include "sdb_image.h"
#include "sdb_time.h"

#include <pugixml.hpp>

#include <vector>

using namespace sdb;

namespace {

void set_number(pugi::xml_node node, uint64_t value) {
    node.text().set(static_cast<unsigned long long>(value));
}

// date="..." on the items of date tags, for readers; sdbc checks it against the number.
void set_date(pugi::xml_node node, TAG tag, uint64_t value) {
    std::string text;
    if (tag_date_text(tag, value, &text)) {
        node.append_attribute("date") = text.c_str();
    }
}

void set_raw(pugi::xml_node node, const DumpItem& item) {
    node.append_attribute("raw") = base64_encode(item.data, item.size).c_str();
}

void set_value(const Database& db, pugi::xml_node node, const DumpItem& item) {
    std::string text;
    switch (tag_type(item.tag)) {
    case TAG_TYPE_BYTE:
        set_number(node, item.data[0]);
        break;
    case TAG_TYPE_WORD:
        set_number(node, load16(item.data));
        break;
    case TAG_TYPE_DWORD:
        set_date(node, item.tag, load32(item.data));
        set_number(node, load32(item.data));
        break;
    case TAG_TYPE_QWORD:
        if (is_version_tag(item.tag)) {
            node.append_attribute("version") = version_text(load64(item.data)).c_str();
        }
        set_date(node, item.tag, load64(item.data));
        set_number(node, load64(item.data));
        break;
    case TAG_TYPE_STRINGREF: {
        uint32_t ref = load32(item.data);
        node.append_attribute("ref") = offset_text(ref).c_str();
        // Text only where the table's entry has it too, so that sdbc finds the entry again.
        const char16_t* string = get_stringtable_ptr(db, ref);
        TAGID entry = database_stringtable(db) + ref;
        if (string != nullptr && xml_text(database_image(db) + get_data_offset(db, entry),
                                          get_data_size(db, entry), &text)) {
            node.text().set(text.c_str());
        } else {
            // Before the element: inside, the blanks before it would become its text.
            node.parent()
                .insert_child_before(pugi::node_comment, node)
                .set_value(string == nullptr ? " no string at this reference "
                                             : " the string is kept as raw bytes in the table ");
        }
        break;
    }
    case TAG_TYPE_STRING:
        if (xml_text(item.data, item.size, &text)) {
            node.text().set(text.c_str());
        } else {
            set_raw(node, item);
        }
        break;
    case TAG_TYPE_BINARY: {
        if (is_guid_tag(item.tag) && item.size == GUID_BYTES) {
            node.append_attribute("guid") = guid_to_text(guid_from_bytes(item.data)).c_str();
        }
        node.text().set(base64_encode(item.data, item.size).c_str());
        break;
    }
    default: // NULL: presence is the value; a LIST holds its children
        break;
    }
}

} // namespace

WalkResult dump_xml(const Database& db, std::ostream& out) {
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    pugi::xml_node root = document.append_child("SDB");
    root.append_attribute("major") = database_major(db);
    root.append_attribute("minor") = database_minor(db);
    // The element that receives the items of each depth.
    std::vector<pugi::xml_node> parents{root};
    WalkResult result = walk_dump_items(db, [&](const DumpItem& item) {
        parents.resize(item.depth + 1);
        const char* name = xml_tag_name(item.tag);
        pugi::xml_node node = parents[item.depth].append_child(name != nullptr ? name : "ITEM");
        if (name == nullptr) {
            node.append_attribute("tag") = tag_number_text(item.tag).c_str();
            if (tag_name(item.tag) != nullptr) {
                node.append_attribute("name") = tag_name(item.tag);
            }
        }
        node.append_attribute("at") = offset_text(item.tagid).c_str();
        set_value(db, node, item);
        if (item.pad) {
            node.append_attribute("pad") = item.pad_byte;
        }
        if (tag_type(item.tag) == TAG_TYPE_LIST) {
            parents.push_back(node);
        }
    });
    if (result.problem != WalkProblem::None) {
        pugi::xml_node stopped = root.append_child("STOPPED");
        stopped.append_attribute("at") = offset_text(result.where).c_str();
        stopped.append_attribute("reason") = walk_problem_text(result.problem);
    }
    document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    return result;
}
