// The keys the inventory reads, below each hive's root, and how they are shown.
#pragma once

#include "registry_view.h"

#include <string>

namespace inventory {

// AppCompatFlags below HKLM\SOFTWARE (both machine views) and below a user's hive root.
const char* const MACHINE_APPCOMPAT = "Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags";
const char* const USER_APPCOMPAT =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags";

// The AppCompatFlags key of a hive (a user's when hive is Hive::User).
KeyPath appcompat_key(Hive hive, size_t user, const std::string& below);

// The full name of a key as a reader of the registry knows it: "HKLM\SOFTWARE\...",
// "HKLM\SOFTWARE\WOW6432Node\..." or "HKU\<user>\...".
std::string key_display_name(const KeyPath& key, const std::string& user_name);

} // namespace inventory
