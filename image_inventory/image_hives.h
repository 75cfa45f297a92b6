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
const char* const SYSTEM_HIVE = "C:\\Windows\\System32\\config\\SYSTEM";
const char* const USERS_FOLDER = "C:\\Users";
const char* const OLD_USERS_FOLDER = "C:\\Documents and Settings";
const char* const USER_HIVE = "NTUSER.DAT";
// The profiles of a SOFTWARE hive: one subkey per SID, with ProfileImagePath.
const char* const PROFILE_LIST = "Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// Opens ROOT's SOFTWARE (or --software), its SYSTEM (or --system) and every user hive (or
// each --ntuser) into registry. The user hives are those of the profiles ProfileList names,
// of the system and service profiles, and of every folder of Users and Documents and
// Settings, each file once (however its path is spelled or linked), each user named by SID
// where ProfileList or the well-known profiles give one. False when a hive that is there or
// was named could not be read at all.
bool open_hives(const CommandLine& line, const ImageFiles& files, ImageRegistry* registry,
                std::vector<std::string>* warnings);

} // namespace image_inventory
