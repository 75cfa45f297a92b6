// Finding and opening the hives of an image (or the hive files given alone).
#pragma once

#include "command_line.h"
#include "image_files.h"
#include "image_registry.h"

#include <string>
#include <vector>

namespace image_inventory {

// Windows paths of the hives inside an image.
const char* const SOFTWARE_HIVE = "C:\\Windows\\System32\\config\\SOFTWARE";
const char* const USERS_FOLDER = "C:\\Users";
const char* const USER_HIVE = "NTUSER.DAT";

// Opens ROOT's SOFTWARE (or --software) and every Users\*\NTUSER.DAT (or each --ntuser)
// into registry. False when a hive that is there or was named could not be read at all.
bool open_hives(const CommandLine& line, const ImageFiles& files, ImageRegistry* registry,
                std::vector<std::string>* warnings);

} // namespace image_inventory
