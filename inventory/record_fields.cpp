// Small pieces of the records as text, shared by the text and the JSON writers.
#include "record_fields.h"

#include "sdb_time.h"

#include <cstdio>

namespace inventory {

std::optional<std::string> date_text(const std::optional<uint64_t>& filetime) {
    if (!filetime) {
        return std::nullopt;
    }
    return sdb::filetime_text(*filetime);
}

std::string entry_kind_text(sdb::TAG kind) {
    if (const char* name = sdb::tag_name(kind)) {
        return name;
    }
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(kind));
    return text;
}

} // namespace inventory
