// The JSON fields of a report's typed lines and values.
#include "report_fields.h"

#include <windows.h>

#include "../inspect/live_shim_report.h"
#include "../sdb/sdb_tags.h"
#include "../sdbtools/base64.h"
#include "../shimreport/print_result_flags.h"

using nlohmann::json;

namespace {

json NameField(const EntryName& name) {
    return name.named ? json(Utf8(name.name)) : json();
}

// "0x" and the lowercase digits without leading zeros, as the text report writes a flag word.
std::string HexText(uint64_t value) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdef"[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "0x" + digits;
}

json EntryFields(const MatchEntry& entry) {
    if (!entry.resolved) {
        return json{{"tagRef", nullptr}, {"name", nullptr}, {"error", "TagRefToTagID failed"}};
    }
    return json{{"tagRef", entry.tagRef}, {"name", NameField(entry.name)}, {"error", nullptr}};
}

// An EXE entry's nested entries: all in order, and each kind on its own; null when they could
// not be walked.
void AddNestedFields(const MatchEntry& entry, json& fields) {
    if (!entry.nestedMissing.empty()) {
        fields["nested"] = nullptr;
        fields["nestedLayers"] = nullptr;
        fields["nestedShims"] = nullptr;
        return;
    }
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
            if (!line.entry.nestedMissing.empty()) {
                match["failures"].push_back(Utf8(line.entry.nestedMissing));
            }
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

json FailureFields(const std::wstring& message, unsigned long code) {
    return json{{"message", Utf8(message)}, {"code", code}};
}

json LiveStateFields(bool read, const LiveShimInfo& info) {
    if (!read) {
        return json{{"read", false}, {"failure", "Could not read remote shim info"}};
    }
    json live = {{"read", true},
                 {"failure", nullptr},
                 {"appCompatFlags", info.appCompatFlags},
                 {"appCompatFlagsHex", HexText(info.appCompatFlags)},
                 {"appCompatFlagsUser", info.appCompatFlagsUser},
                 {"appCompatFlagsUserHex", HexText(info.appCompatFlagsUser)},
                 {"targetIs64Bit", info.targetIs64Bit},
                 {"peb64", info.peb64},
                 {"shimData", nullptr},
                 {"appCompatInfo", nullptr}};
    if (!info.shimData.empty()) {
        live["shimData"] = {{"bytesRead", info.shimDataSize},
                            {"match", MatchFields(UnpackedShimDataLines(info))}};
    }
    if (!info.appCompatInfo.empty()) {
        live["appCompatInfo"] = {
            {"size", info.appCompatInfoSize},
            {"base64", base64_encode(&info.appCompatInfo[0], info.appCompatInfoSize)}};
    }
    return live;
}
