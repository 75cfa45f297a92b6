// Writes the text of a match report's typed lines.
#include "match_lines.h"

#include <ios>

#include "hex_dump.h"
#include "print_result_flags.h"

namespace {

void WriteName(const EntryName& name, ReportStream& stream) {
    stream << (name.named ? name.name.c_str() : L"<null>");
}

void WriteEntry(const MatchEntry& entry, ReportStream& stream) {
    if (!entry.resolved) {
        stream << L"TagRefToTagID failed";
        return;
    }
    stream << L"(0x" << std::hex << entry.tagRef << L") ";
    WriteName(entry.name, stream);
    for (const NestedEntry& nested : entry.nested) {
        stream << crlf << L"  - ";
        WriteName(nested.name, stream);
    }
    if (!entry.nestedMissing.empty()) {
        stream << crlf << entry.nestedMissing;
    }
}

void WriteLine(const MatchLine& line, ReportStream& stream) {
    switch (line.kind) {
    case MatchLineKind::Failure:
        stream << line.text << crlf;
        break;
    case MatchLineKind::NoMatch:
        stream << L"No match" << crlf;
        break;
    case MatchLineKind::UnpackFailed:
        stream << L"Unable to unpack AppCompatData" << crlf << crlf;
        break;
    case MatchLineKind::UnknownFormat:
        stream << L"Unknown format for SDBQUERYRESULT" << crlf;
        HexDump(stream, line.firstBytes, sizeof line.firstBytes);
        stream << crlf;
        break;
    case MatchLineKind::Exe:
        stream << L"EXE: ";
        WriteEntry(line.entry, stream);
        if (line.hasFlags) {
            stream << L", with flags: ";
            PrintResultFlags(stream, line.value);
        }
        stream << crlf;
        break;
    case MatchLineKind::Layer:
        stream << L"LAYER: ";
        WriteEntry(line.entry, stream);
        stream << crlf;
        break;
    case MatchLineKind::LayerFlags:
        stream << L"LayerFlags: ";
        PrintResultFlags(stream, line.value) << crlf;
        break;
    case MatchLineKind::ResultFlags:
        stream << L"Flags: ";
        PrintResultFlags(stream, line.value) << crlf;
        break;
    case MatchLineKind::Apphelp:
        // No prefix and no base of its own.
        stream << L"Apphelp: " << line.value << crlf;
        break;
    case MatchLineKind::Database:
        stream << L"SDB: " << line.text << crlf;
        break;
    }
}

} // namespace

MatchLine MakeMatchLine(MatchLineKind kind) {
    MatchLine line;
    line.kind = kind;
    line.entry.resolved = false;
    line.entry.tagRef = 0;
    line.entry.name.named = false;
    line.hasFlags = false;
    line.value = 0;
    for (unsigned char& byte : line.firstBytes) {
        byte = 0;
    }
    return line;
}

void AddMatchLine(MatchReport& report, MatchLineKind kind, const std::wstring& text) {
    MatchLine line = MakeMatchLine(kind);
    line.text = text;
    report.lines.push_back(line);
}

void WriteMatchReport(const MatchReport& report, ReportStream& stream) {
    for (const MatchLine& line : report.lines) {
        WriteLine(line, stream);
    }
}
