// Compiling the XML description of a shim database into a database image.
#include "xml_compile.h"

#include "sdb_index.h"
#include "sdb_text.h"
#include "sdb_walk.h"
#include "xml_values.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <map>

using namespace sdb;

namespace {

// Items that references name: kind of item -> upper-cased name -> TAGID.
typedef std::map<std::u16string, TAGID> Names;

struct Compile {
    const std::string* xml = nullptr;
    Writer* writer = nullptr;
    Names shims;
    Names flags;
    Names patches;
    Names layers;
    CompileError* error = nullptr;
    std::vector<CompileError>* notes = nullptr;
};

// An EXE to write, with the APP it came from (or a null node).
struct PendingExe {
    pugi::xml_node exe;
    pugi::xml_node app;
    uint64_t key;
    bool wildcard; // it gets WILDCARD_NAME: indexed by that, not by NAME
};

// A NAME with `*` or `?` is a pattern; as real compilers do, sdbc gives such an EXE its
// pattern as WILDCARD_NAME too.
bool wildcard_name(const char* name) {
    return std::strpbrk(name, "*?") != nullptr;
}

unsigned line_of(const Compile& c, ptrdiff_t offset) {
    return xml_line(*c.xml, offset);
}

// Text of blanks only, such as a line break inside an otherwise empty element.
bool blank_text(pugi::xml_node node) {
    return (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) &&
           std::strspn(node.value(), " \t\r\n") == std::strlen(node.value());
}

bool fail(Compile& c, pugi::xml_node node, const std::string& message) {
    c.error->line = line_of(c, node.offset_debug());
    c.error->message = message;
    return false;
}

std::u16string upper(const std::string& utf8) {
    std::u16string text;
    from_utf8(utf8, &text);
    for (char16_t& unit : text) {
        unit = fold_upper(unit);
    }
    return text;
}

// The tag that an attribute name stands for on an element; 0 when unknown.
TAG attribute_tag(TAG element, const char* name) {
    if (std::strcmp(name, "ID") == 0) {
        return element == TAG_DATABASE ? TAG_DATABASE_ID : element == TAG_EXE ? TAG_EXE_ID : 0;
    }
    TAG tag = tag_from_name(name);
    return tag_type(tag) == TAG_TYPE_LIST ? 0 : tag;
}

bool write_attributes(Compile& c, pugi::xml_node node, TAG element) {
    for (pugi::xml_attribute attribute : node.attributes()) {
        TAG tag = attribute_tag(element, attribute.name());
        if (tag == 0) {
            return fail(c, node,
                        std::string("unknown attribute ") + attribute.name() + " on " +
                            node.name());
        }
        std::string problem;
        if (!write_attribute(*c.writer, tag, attribute.value(), &problem)) {
            return fail(c, node,
                        std::string(attribute.name()) + "=\"" + attribute.value() + "\" " +
                            (problem.empty() ? "cannot be written" : problem));
        }
    }
    return true;
}

// For a reference element, the definitions it may name and the tag of their TAGID.
Names* referenced(Compile& c, TAG element, bool top_level, TAG* tagid_tag) {
    switch (element) {
    case TAG_SHIM_REF:
        *tagid_tag = TAG_SHIM_TAGID;
        return &c.shims;
    case TAG_FLAG_REF:
        *tagid_tag = TAG_FLAG_TAGID;
        return &c.flags;
    case TAG_PATCH_REF:
        *tagid_tag = TAG_PATCH_TAGID;
        return &c.patches;
    case TAG_LAYER:
        *tagid_tag = TAG_LAYER_TAGID;
        return top_level ? nullptr : &c.layers;
    default:
        return nullptr;
    }
}

// For a definition element, where its name is recorded.
Names* defined(Compile& c, TAG element, TAG parent) {
    if (parent == TAG_LIBRARY) {
        return element == TAG_SHIM    ? &c.shims
               : element == TAG_FLAG  ? &c.flags
               : element == TAG_PATCH ? &c.patches
                                      : nullptr;
    }
    return parent == TAG_DATABASE && element == TAG_LAYER ? &c.layers : nullptr;
}

bool write_element(Compile& c, pugi::xml_node node, TAG parent, pugi::xml_node app, unsigned depth);

bool write_children(Compile& c, pugi::xml_node node, TAG tag, unsigned depth) {
    for (pugi::xml_node child : node.children()) {
        if (!write_element(c, child, tag, pugi::xml_node(), depth + 1)) {
            return false;
        }
    }
    return true;
}

// The reference's TAGID when it names a definition of this database.
bool write_reference(Compile& c, pugi::xml_node node, TAG tag, TAG parent) {
    TAG tagid_tag = 0;
    Names* names = referenced(c, tag, parent == TAG_DATABASE, &tagid_tag);
    pugi::xml_attribute name = node.attribute("NAME");
    if (names == nullptr || !name || node.attribute(tag_name(tagid_tag))) {
        return true;
    }
    auto found = names->find(upper(name.value()));
    if (found == names->end()) {
        // As in real databases, a reference may name an item of another database.
        c.notes->push_back(
            CompileError{line_of(c, node.offset_debug()),
                         std::string(node.name()) + " " + name.value() +
                             " names nothing in this database: written by name only"});
        return true;
    }
    return write_dword(*c.writer, tagid_tag, found->second);
}

bool write_element(Compile& c, pugi::xml_node node, TAG parent, pugi::xml_node app,
                   unsigned depth) {
    if (blank_text(node)) {
        return true;
    }
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
        return fail(c, node, std::string("unexpected text \"") + node.value() + "\"");
    }
    if (node.type() != pugi::node_element) {
        return true;
    }
    TAG tag = tag_from_name(node.name());
    if (tag_type(tag) != TAG_TYPE_LIST || tag == TAG_APP || tag == TAG_DATABASE ||
        tag == TAG_INDEXES || tag == TAG_INDEX || tag == TAG_STRINGTABLE) {
        return fail(c, node,
                    std::string("unexpected element ") + node.name() + " in " + tag_name(parent));
    }
    // The indexes are sized for EXEs under DATABASE and SHIMs in the LIBRARY.
    if ((tag == TAG_EXE && parent != TAG_DATABASE) || (tag == TAG_SHIM && parent != TAG_LIBRARY)) {
        return fail(c, node,
                    std::string(node.name()) + " belongs " +
                        (tag == TAG_EXE ? "under DATABASE or in an APP" : "in the LIBRARY"));
    }
    if (depth >= MAX_DEPTH) {
        return fail(c, node, "elements nested too deeply");
    }
    TAGID list = begin_list(*c.writer, tag);
    if (!write_attributes(c, node, tag)) {
        return false;
    }
    // An EXE carries its APP's name and vendor.
    for (const char* carried : {"NAME", "VENDOR"}) {
        pugi::xml_attribute value = app.attribute(carried);
        TAG as = std::strcmp(carried, "NAME") == 0 ? TAG_APP_NAME : TAG_VENDOR;
        std::string problem;
        if (value && !node.attribute(tag_name(as)) &&
            !write_attribute(*c.writer, as, value.value(), &problem)) {
            return fail(c, app, std::string(carried) + "=\"" + value.value() + "\" " + problem);
        }
    }
    pugi::xml_attribute exe_name = node.attribute("NAME");
    std::string problem;
    if (tag == TAG_EXE && wildcard_name(exe_name.value()) && !node.attribute("WILDCARD_NAME") &&
        !write_attribute(*c.writer, TAG_WILDCARD_NAME, exe_name.value(), &problem)) {
        return fail(c, node, std::string("NAME=\"") + exe_name.value() + "\" " + problem);
    }
    if (!write_reference(c, node, tag, parent) || !write_children(c, node, tag, depth)) {
        return false;
    }
    Names* names = defined(c, tag, parent);
    pugi::xml_attribute name = node.attribute("NAME");
    if (names != nullptr && name && !names->emplace(upper(name.value()), list).second) {
        return fail(c, node, std::string(node.name()) + " " + name.value() + " is defined twice");
    }
    end_list(*c.writer, list);
    return true;
}

bool collect_exes(Compile& c, pugi::xml_node database, std::vector<PendingExe>* exes) {
    for (pugi::xml_node child : database.children()) {
        if (std::strcmp(child.name(), "EXE") == 0) {
            exes->push_back(PendingExe{child, pugi::xml_node(), 0, false});
        } else if (std::strcmp(child.name(), "APP") == 0) {
            for (pugi::xml_attribute attribute : child.attributes()) {
                if (std::strcmp(attribute.name(), "NAME") != 0 &&
                    std::strcmp(attribute.name(), "VENDOR") != 0) {
                    return fail(c, child,
                                std::string("unknown attribute ") + attribute.name() +
                                    " on APP (it takes NAME and VENDOR)");
                }
            }
            for (pugi::xml_node exe : child.children()) {
                if (blank_text(exe)) {
                    continue;
                }
                if (std::strcmp(exe.name(), "EXE") != 0) {
                    return fail(c, exe.type() == pugi::node_element ? exe : child,
                                "APP holds only EXE elements");
                }
                exes->push_back(PendingExe{exe, child, 0, false});
            }
        }
    }
    for (PendingExe& exe : *exes) {
        exe.key = string_key(upper(exe.exe.attribute("NAME").value()).c_str());
        exe.wildcard =
            wildcard_name(exe.exe.attribute("NAME").value()) || exe.exe.attribute("WILDCARD_NAME");
    }
    // Entries of one key stay together, as a unique-key index needs.
    std::stable_sort(exes->begin(), exes->end(),
                     [](const PendingExe& a, const PendingExe& b) { return a.key < b.key; });
    return true;
}

uint32_t count_shims(pugi::xml_node database) {
    uint32_t count = 0;
    for (pugi::xml_node library : database.children("LIBRARY")) {
        for (pugi::xml_node shim = library.child("SHIM"); shim; shim = shim.next_sibling("SHIM")) {
            ++count;
        }
    }
    return count;
}

// The records of the EXE indexes: one per distinct key of the EXEs of exact names, and
// one per wildcard EXE.
void count_exe_records(const std::vector<PendingExe>& exes, uint32_t* by_name,
                       uint32_t* by_wildcard) {
    *by_name = 0;
    *by_wildcard = 0;
    const PendingExe* last = nullptr;
    for (const PendingExe& exe : exes) {
        if (exe.wildcard) {
            ++*by_wildcard;
            continue;
        }
        *by_name += last == nullptr || exe.key != last->key ? 1 : 0;
        last = &exe;
    }
}

// DATABASE's children: definitions first so that references find them, then the other
// elements in their order, then the EXEs.
bool write_database(Compile& c, pugi::xml_node database, const std::vector<PendingExe>& exes) {
    TAGID list = begin_list(*c.writer, TAG_DATABASE);
    if (!write_attributes(c, database, TAG_DATABASE)) {
        return false;
    }
    for (const char* pass : {"LIBRARY", "LAYER", ""}) {
        for (pugi::xml_node child : database.children()) {
            std::string name = child.name();
            bool in_pass =
                *pass != 0 ? name == pass
                           : name != "LIBRARY" && name != "LAYER" && name != "EXE" && name != "APP";
            if (in_pass && !write_element(c, child, TAG_DATABASE, pugi::xml_node(), 1)) {
                return false;
            }
        }
    }
    for (const PendingExe& exe : exes) {
        if (!write_element(c, exe.exe, TAG_DATABASE, exe.app, 1)) {
            return false;
        }
    }
    return end_list(*c.writer, list);
}

} // namespace

bool parse_xml(const std::string& xml, pugi::xml_document* document, CompileError* error) {
    // A text of blanks alone is a value too; a carriage return stays one.
    unsigned flags = (pugi::parse_default | pugi::parse_ws_pcdata_single) & ~pugi::parse_eol;
    pugi::xml_parse_result parsed = document->load_buffer(xml.data(), xml.size(), flags);
    if (!parsed) {
        error->line = xml_line(xml, parsed.offset);
        error->message = std::string("XML: ") + parsed.description();
        return false;
    }
    return true;
}

WriterPtr compile_xml(const std::string& xml, const pugi::xml_document& document,
                      const CompileOptions& options, CompileError* error,
                      std::vector<CompileError>* notes) {
    Compile c;
    c.xml = &xml;
    c.error = error;
    c.notes = notes;
    pugi::xml_node database = document.document_element();
    if (std::strcmp(database.name(), "DATABASE") != 0) {
        fail(c, database, "the document element must be DATABASE");
        return nullptr;
    }
    std::vector<PendingExe> exes;
    if (!collect_exes(c, database, &exes)) {
        return nullptr;
    }
    WriterPtr writer = create_writer(options.major);
    if (!writer) {
        error->message = "unsupported version " + std::to_string(options.major);
        return nullptr;
    }
    c.writer = writer.get();
    if (options.indexes) {
        uint32_t shims = count_shims(database);
        uint32_t by_name = 0;
        uint32_t by_wildcard = 0;
        count_exe_records(exes, &by_name, &by_wildcard);
        if (by_name != 0) {
            declare_index(*writer, TAG_EXE, TAG_NAME, by_name, true, TAG_WILDCARD_NAME);
        }
        if (by_wildcard != 0) {
            declare_index(*writer, TAG_EXE, TAG_WILDCARD_NAME, by_wildcard, false);
        }
        if (shims != 0) {
            declare_index(*writer, TAG_SHIM, TAG_NAME, shims, false);
        }
    }
    if (!write_database(c, database, exes)) {
        return nullptr;
    }
    return writer;
}
