// A match report as typed lines, in the order the report shows them, and their text.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "../common/report_stream.h"
#include "shim_types.h"

enum class MatchLineKind {
    Failure,       // text: a call that could not be made, or that failed
    NoMatch,       // the engine found no match
    UnpackFailed,  // the packed shim data could not be unpacked
    UnknownFormat, // firstBytes: the start of a record of neither known layout
    Exe,           // entry, with its flags when hasFlags
    Layer,         // entry
    LayerFlags,    // value
    ResultFlags,   // value
    Apphelp,       // value: the apphelp entry's tag reference
    Database       // text: a database GUID as the engine writes it
};

// An entry named by the engine; an entry without a name has named false.
struct EntryName {
    bool named;
    std::wstring name;
};

// An entry nested in an EXE entry: tag is TAG_LAYER or TAG_SHIM_REF.
struct NestedEntry {
    TAG tag;
    EntryName name;
};

// A tag reference of the record, resolved and named, or not resolved (resolved false).
struct MatchEntry {
    bool resolved;
    TAGREF tagRef;
    EntryName name;
    std::vector<NestedEntry> nested; // an EXE entry's layers, then its shims
    // The missing-entry line that stands where the nested entries would be when they could not
    // be walked; empty when they were.
    std::wstring nestedMissing;
};

struct MatchLine {
    MatchLineKind kind;
    std::wstring text;
    MatchEntry entry;
    bool hasFlags; // an EXE entry's flags exist in the layout and are not 0
    DWORD value;
    unsigned char firstBytes[4];
};

// The lines of one match or unpack; matched when the engine answered with a record of a known
// layout, even one without any entry.
struct MatchReport {
    bool matched;
    std::vector<MatchLine> lines;
};

MatchLine MakeMatchLine(MatchLineKind kind);

// Appends a line of the kind that carries text (Failure, Database) or nothing else.
void AddMatchLine(MatchReport& report, MatchLineKind kind, const std::wstring& text = L"");

// Writes the report's text. Tag references are written in hexadecimal, which the stream then
// keeps; the apphelp reference is written in whatever base the stream holds by then.
void WriteMatchReport(const MatchReport& report, ReportStream& stream);
