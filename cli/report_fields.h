// The facts of a report as JSON fields, taken from the same typed lines and values that the
// report's text is written from.
#pragma once

#include <windows.h>

#include <nlohmann/json.hpp>

#include <string>

#include "../common/utf8_text.h"
#include "../inspect/live_shim_state.h"
#include "../inspect/stored_layers.h"
#include "../shimreport/match_lines.h"

// A flag word: its value and the names of its named bits.
nlohmann::json FlagFields(DWORD value);

// A match or an unpacked shim data block.
nlohmann::json MatchFields(const MatchReport& report);

// The layers stored per user and per machine; null where none is stored.
nlohmann::json StoredLayerFields(const StoredLayers& stored);

// A failure message, such as "Error opening proc: 5", and the system error code it ends with.
nlohmann::json FailureFields(const std::wstring& message, unsigned long code);

// The shim state read out of a process; read says whether all of it could be read. Each flag
// word is written as a number and as exact hexadecimal text, since a parser that reads numbers
// as doubles loses what lies above 2^53.
nlohmann::json LiveStateFields(bool read, const LiveShimInfo& info);
