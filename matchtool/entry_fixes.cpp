// Reads the fixes an EXE entry applies, for the report of a match.
#include "entry_fixes.h"

#include "sdb_tags.h"

namespace {

std::u16string ChildString(const sdb::Database& db, sdb::TAGID parent, sdb::TAG tag) {
    const char16_t* text = sdb::get_child_string_ptr(db, parent, tag);
    return text != nullptr ? std::u16string(text) : std::u16string();
}

// The message of a database-level APPHELP of that HTMLHELPID (the entry's own carries none).
void FindMessage(const sdb::Database& db, EntryApphelp& apphelp) {
    sdb::TAGID root = sdb::database_list(db);
    for (sdb::TAGID item = sdb::find_first_tag(db, root, sdb::TAG_APPHELP); item != 0;
         item = sdb::find_next_tag(db, root, item)) {
        sdb::TAGID id = sdb::find_first_tag(db, item, sdb::TAG_HTMLHELPID);
        if (id == 0 || sdb::read_dword(db, id) != apphelp.helpId)
            continue;
        apphelp.title = ChildString(db, item, sdb::TAG_APPHELP_TITLE);
        apphelp.details = ChildString(db, item, sdb::TAG_APPHELP_DETAILS);
        sdb::TAGID link = sdb::find_first_tag(db, item, sdb::TAG_LINK);
        if (link != 0)
            apphelp.linkUrl = ChildString(db, link, sdb::TAG_LINK_URL);
        return;
    }
}

} // namespace

EntryFixes ReadEntryFixes(const sdb::Database& db, sdb::TAGID exe) {
    EntryFixes fixes;
    for (sdb::TAGID child = sdb::get_first_child(db, exe); child != 0;
         child = sdb::get_next_child(db, exe, child)) {
        switch (sdb::get_tag(db, child)) {
        case sdb::TAG_LAYER:
            fixes.layers.push_back(ChildString(db, child, sdb::TAG_NAME));
            break;
        case sdb::TAG_SHIM_REF:
            fixes.shims.push_back(ChildString(db, child, sdb::TAG_NAME));
            break;
        case sdb::TAG_FLAG_REF:
            fixes.flags.push_back(ChildString(db, child, sdb::TAG_NAME));
            break;
        case sdb::TAG_PATCH_REF:
            fixes.patches.push_back(ChildString(db, child, sdb::TAG_NAME));
            break;
        case sdb::TAG_APPHELP: {
            if (fixes.apphelp.present)
                break;
            EntryApphelp& apphelp = fixes.apphelp;
            apphelp.present = true;
            sdb::TAGID severity = sdb::find_first_tag(db, child, sdb::TAG_PROBLEMSEVERITY);
            apphelp.hasSeverity = severity != 0;
            apphelp.severity = sdb::read_dword(db, severity);
            sdb::TAGID id = sdb::find_first_tag(db, child, sdb::TAG_HTMLHELPID);
            apphelp.hasHelpId = id != 0;
            apphelp.helpId = sdb::read_dword(db, id);
            if (apphelp.hasHelpId)
                FindMessage(db, apphelp);
            break;
        }
        default:
            break;
        }
    }
    return fixes;
}

const char* BlockTypeName(std::uint32_t severity) {
    switch (severity) {
    case 1:
        return "no-block";
    case 2:
        return "hard-block";
    case 3:
        return "minor-problem";
    case 4:
        return "reinstall";
    default:
        break;
    }
    return "other";
}
