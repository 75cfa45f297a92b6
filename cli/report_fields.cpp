// Reading report lines back into JSON fields.
#include "report_fields.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "../shimreport/print_result_flags.h"

using nlohmann::json;

namespace {

const std::wstring FlagsSuffix = L", with flags: ";

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wstring::size_type start = 0;
    while (start < text.size()) {
        std::wstring::size_type end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool StartsWith(const std::wstring& text, const std::wstring& start) {
    return text.compare(0, start.size(), start) == 0;
}

unsigned long long Hex(const std::wstring& digits) {
    return std::wcstoull(digits.c_str(), NULL, 16);
}

// A name as the report shows it; "<null>" stands for an entry without a name.
json NameField(const std::wstring& name) {
    return name == L"<null>" ? json() : json(Utf8(name));
}

// "DISABLE_SHIM | APPHELP_NOUI | 0x80": the names, and the word they make up.
json FlagFields(const std::wstring& text) {
    json names = json::array();
    unsigned long long value = 0;
    std::wstring::size_type start = 0;
    while (start <= text.size()) {
        std::wstring::size_type end = text.find(L" | ", start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        const std::wstring piece = text.substr(start, end - start);
        if (StartsWith(piece, L"0x")) {
            value |= Hex(piece.substr(2));
        } else {
            names.push_back(Utf8(piece));
            value |= ResultFlagNamed(piece);
        }
        start = end + 3;
    }
    return json{{"value", value}, {"names", names}};
}

// "(0x1f4) name", or the failure to resolve the reference.
json EntryFields(const std::wstring& heading) {
    json entry = json::object();
    const std::wstring::size_type close = heading.find(L") ");
    if (!StartsWith(heading, L"(0x") || close == std::wstring::npos) {
        entry["tagRef"] = nullptr;
        entry["name"] = nullptr;
        entry["error"] = Utf8(heading);
        return entry;
    }
    entry["tagRef"] = Hex(heading.substr(3, close - 3));
    entry["name"] = NameField(heading.substr(close + 2));
    entry["error"] = nullptr;
    return entry;
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

json MatchFields(const std::wstring& text) {
    json match = {{"matched", false},           {"exe", json::array()},
                  {"layers", json::array()},    {"layerFlags", nullptr},
                  {"flags", nullptr},           {"apphelp", nullptr},
                  {"databases", json::array()}, {"failures", json::array()}};
    bool record = false;
    bool noMatch = false;
    const std::vector<std::wstring> lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::wstring& line = lines[i];
        if (line.empty()) {
            continue;
        }
        if (line == L"No match") {
            noMatch = true;
        } else if (StartsWith(line, L"EXE: ")) {
            // The nested entries follow on lines of their own; the flags end the last line.
            std::vector<std::wstring> parts(1, line.substr(5));
            while (i + 1 < lines.size() && StartsWith(lines[i + 1], L"  - ")) {
                parts.push_back(lines[++i].substr(4));
            }
            json flags;
            const std::wstring::size_type suffix = parts.back().rfind(FlagsSuffix);
            if (suffix != std::wstring::npos) {
                flags = FlagFields(parts.back().substr(suffix + FlagsSuffix.size()));
                parts.back().erase(suffix);
            }
            json entry = EntryFields(parts[0]);
            json nested = json::array();
            for (size_t part = 1; part < parts.size(); ++part) {
                nested.push_back(NameField(parts[part]));
            }
            entry["nested"] = nested;
            entry["flags"] = flags;
            match["exe"].push_back(entry);
            record = true;
        } else if (StartsWith(line, L"LAYER: ")) {
            match["layers"].push_back(EntryFields(line.substr(7)));
            record = true;
        } else if (StartsWith(line, L"LayerFlags: ")) {
            match["layerFlags"] = FlagFields(line.substr(12));
            record = true;
        } else if (StartsWith(line, L"Flags: ")) {
            match["flags"] = FlagFields(line.substr(7));
            record = true;
        } else if (StartsWith(line, L"Apphelp: ")) {
            match["apphelp"] = Hex(line.substr(9));
            record = true;
        } else if (StartsWith(line, L"SDB: ")) {
            match["databases"].push_back(Utf8(line.substr(5)));
            record = true;
        } else {
            match["failures"].push_back(Utf8(line));
            // The unknown record's first bytes are dumped on the line that follows.
            if (line == L"Unknown format for SDBQUERYRESULT" && i + 1 < lines.size()) {
                ++i;
            }
        }
    }
    match["matched"] = record || (!noMatch && match["failures"].empty());
    return match;
}

json StoredLayerFields(const std::wstring& text) {
    json layers = {{"user", nullptr}, {"machine", nullptr}};
    const std::vector<std::wstring> lines = Lines(text);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] == L"HKCU\\...\\Layers:") {
            layers["user"] = Utf8(lines[i + 1]);
        } else if (lines[i] == L"HKLM\\...\\Layers:") {
            layers["machine"] = Utf8(lines[i + 1]);
        }
    }
    return layers;
}

json FailureFields(const std::wstring& message) {
    const std::wstring::size_type colon = message.rfind(L": ");
    json code;
    if (colon != std::wstring::npos) {
        code = std::wcstoul(message.c_str() + colon + 2, NULL, 10);
    }
    return json{{"message", Utf8(message)}, {"code", code}};
}
