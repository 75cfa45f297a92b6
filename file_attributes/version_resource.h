// The attributes a version resource block gives.
#pragma once

#include "byte_reader.h"
#include "file_attributes.h"
#include "version_block.h"

// Adds what a version block tells, read as the platform's version queries would: the fixed
// version numbers, dates, OS and type; the language of the first translation; the version
// strings of that translation's table. Adds nothing from a block that is not sound in its
// form.
void AddVersionAttributes(ByteView block, VersionForm form, FileAttributes& attributes);
