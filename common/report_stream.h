// The stream in which each report block is composed before it reaches the pane.
#pragma once

#include <ostream>
#include <sstream>

// A report block is composed in its own wide string stream, then appended to the pane whole.
typedef std::wstringstream ReportStream;

// Ends a report line: carriage return, then line feed, without a flush.
std::wostream& crlf(std::wostream& stream);
