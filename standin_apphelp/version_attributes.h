// The attributes a file's version resource gives.
#pragma once

#include "file_attributes.h"

// Adds what the file's version resource tells, through the platform's version queries:
// the fixed version numbers and dates, the language of the first translation and the
// version strings of that translation. Adds nothing when the resource is missing or unsound.
void AddVersionAttributes(const wchar_t* path, FileAttributes& attributes);
