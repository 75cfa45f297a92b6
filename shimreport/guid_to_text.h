// The shim engine's text form of a GUID.
#pragma once

#include <string>

#include <windows.h>

// The shim engine's text form of a GUID; empty when the engine gives none.
std::wstring GuidToText(const GUID& guid);
