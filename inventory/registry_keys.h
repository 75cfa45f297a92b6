// The keys the inventory reads, below each hive's root, and how they are shown.
#pragma once

#include "registry_view.h"

#include <string>
#include <vector>

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

// The key's subkeys or values, as RegistryView gives them. A key that exists but cannot be
// read, and each subkey or value the view could not read, give a line in *warnings that names
// the key; what was read is given all the same.
KeyStatus read_subkeys(const RegistryView& registry, const KeyPath& key,
                       const std::string& user_name, std::vector<std::string>* names,
                       std::vector<std::string>* warnings);
KeyStatus read_values(const RegistryView& registry, const KeyPath& key,
                      const std::string& user_name, std::vector<RegistryValue>* values,
                      std::vector<std::string>* warnings);

} // namespace inventory
