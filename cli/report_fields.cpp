// The JSON fields of a report's typed lines and values.
#include "report_fields.h"

#include <windows.h>

#include <cwchar>

#include "../sdb/sdb_tags.h"
#include "../shimreport/print_result_flags.h"

using nlohmann::json;

namespace {

json NameField(const EntryName& name) {
    return name.named ? json(Utf8(name.name)) : json();
}

json EntryFields(const MatchEntry& entry) {
    if (!entry.resolved) {
        return json{{"tagRef", nullptr}, {"name", nullptr}, {"error", "TagRefToTagID failed"}};
    }
    return json{{"tagRef", entry.tagRef}, {"name", NameField(entry.name)}, {"error", nullptr}};
}

// An EXE entry's nested entries: all in order, and each kind on its own.
void AddNestedFields(const MatchEntry& entry, json& fields) {
    json nested = json::array();
    json layers = json::array();
    json shims = json::array();
    for (const NestedEntry& child : entry.nested) {
        nested.push_back(NameField(child.name));
        (child.tag == sdb::TAG_LAYER ? layers : shims).push_back(NameField(child.name));
    }
    fields["nested"] = nested;
    fields["nestedLayers"] = layers;
    fields["nestedShims"] = shims;
}

} // namespace

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int units = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, NULL, 0, NULL, NULL);
    std::string bytes(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), units, &bytes[0], length, NULL, NULL);
    }
    return bytes;
}

json FlagFields(DWORD value) {
    json names = json::array();
    for (const wchar_t* name : ResultFlagNames(value)) {
        names.push_back(Utf8(name));
    }
    return json{{"value", value}, {"names", names}};
}

json MatchFields(const MatchReport& report) {
    json match = {{"matched", report.matched},  {"exe", json::array()},
                  {"layers", json::array()},    {"layerFlags", nullptr},
                  {"flags", nullptr},           {"apphelp", nullptr},
                  {"databases", json::array()}, {"failures", json::array()}};
    for (const MatchLine& line : report.lines) {
        switch (line.kind) {
        case MatchLineKind::Failure:
            match["failures"].push_back(Utf8(line.text));
            break;
        case MatchLineKind::NoMatch:
            break;
        case MatchLineKind::UnpackFailed:
            match["failures"].push_back("Unable to unpack AppCompatData");
            break;
        case MatchLineKind::UnknownFormat:
            match["failures"].push_back("Unknown format for SDBQUERYRESULT");
            break;
        case MatchLineKind::Exe: {
            json entry = EntryFields(line.entry);
            AddNestedFields(line.entry, entry);
            entry["flags"] = line.hasFlags ? FlagFields(line.value) : json();
            match["exe"].push_back(entry);
            break;
        }
        case MatchLineKind::Layer:
            match["layers"].push_back(EntryFields(line.entry));
            break;
        case MatchLineKind::LayerFlags:
            match["layerFlags"] = FlagFields(line.value);
            break;
        case MatchLineKind::ResultFlags:
            match["flags"] = FlagFields(line.value);
            break;
        case MatchLineKind::Apphelp:
            match["apphelp"] = line.value;
            break;
        case MatchLineKind::Database:
            match["databases"].push_back(Utf8(line.text));
            break;
        }
    }
    return match;
}

json StoredLayerFields(const StoredLayers& stored) {
    return json{{"user", stored.perUser ? json(Utf8(stored.userLayers)) : json()},
                {"machine", stored.perMachine ? json(Utf8(stored.machineLayers)) : json()}};
}

json FailureFields(const std::wstring& message) {
    const std::wstring::size_type colon = message.rfind(L": ");
    json code;
    if (colon != std::wstring::npos) {
        code = std::wcstoul(message.c_str() + colon + 2, NULL, 10);
    }
    return json{{"message", Utf8(message)}, {"code", code}};
}
