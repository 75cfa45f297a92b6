// The whole database as JSON: the tree of the XML dump, for scripts.
#include "json_dump.h"

#include "base64.h"
#include "dump_items.h"
#include "sdb_image.h"
#include "sdb_text.h"

#include <nlohmann/json.hpp>

#include <vector>

using namespace sdb;
using Json = nlohmann::ordered_json;

namespace {

const char* type_name(TAG tag) {
    static const char* const NAMES[] = {"NULL",      "BYTE", "WORD",   "DWORD", "QWORD",
                                        "STRINGREF", "LIST", "STRING", "BINARY"};
    unsigned type = tag_type(tag) >> 12;
    return type >= 1 && type <= 9 ? NAMES[type - 1] : "unknown";
}

void set_value(const Database& db, Json& node, const DumpItem& item) {
    std::string text;
    switch (tag_type(item.tag)) {
    case TAG_TYPE_BYTE:
        node["value"] = item.data[0];
        break;
    case TAG_TYPE_WORD:
        node["value"] = load16(item.data);
        break;
    case TAG_TYPE_DWORD:
        node["value"] = load32(item.data);
        break;
    case TAG_TYPE_QWORD:
        node["value"] = load64(item.data);
        if (is_version_tag(item.tag)) {
            node["version"] = version_text(load64(item.data));
        }
        break;
    case TAG_TYPE_STRINGREF: {
        uint32_t ref = load32(item.data);
        node["ref"] = ref;
        const char16_t* string = get_stringtable_ptr(db, ref);
        node["value"] = string != nullptr ? Json(to_utf8(string)) : Json(nullptr);
        break;
    }
    case TAG_TYPE_STRING:
        if (exact_text(item.data, item.size, &text)) {
            node["value"] = text;
        } else {
            node["raw"] = base64_encode(item.data, item.size);
        }
        break;
    case TAG_TYPE_BINARY:
        node["value"] = base64_encode(item.data, item.size);
        if (is_guid_tag(item.tag) && item.size == GUID_BYTES) {
            node["guid"] = guid_to_text(guid_from_bytes(item.data));
        }
        break;
    case TAG_TYPE_LIST:
        node["children"] = Json::array();
        break;
    default: // NULL: presence is the value
        break;
    }
}

} // namespace

WalkResult dump_json(const Database& db, std::ostream& out) {
    Json document = {{"major", database_major(db)},
                     {"minor", database_minor(db)},
                     {"size", database_size(db)},
                     {"items", Json::array()}};
    // The array that receives the items of each depth. An array deeper than the current
    // item is no longer used once a shallower one grows, so these pointers stay valid.
    std::vector<Json*> parents{&document["items"]};
    WalkResult result = walk_dump_items(db, [&](const DumpItem& item) {
        parents.resize(item.depth + 1);
        const char* name = tag_name(item.tag);
        Json node = {{"at", item.tagid},
                     {"tag", name != nullptr ? std::string(name) : tag_number_text(item.tag)},
                     {"type", type_name(item.tag)}};
        set_value(db, node, item);
        if (item.pad) {
            node["pad"] = item.pad_byte;
        }
        Json& added = parents[item.depth]->emplace_back(std::move(node));
        if (tag_type(item.tag) == TAG_TYPE_LIST) {
            parents.push_back(&added["children"]);
        }
    });
    if (result.problem != WalkProblem::None) {
        document["stopped"] = {{"at", result.where}, {"reason", walk_problem_text(result.problem)}};
    }
    out << document.dump(1, ' ', false, Json::error_handler_t::replace) << '\n';
    return result;
}
