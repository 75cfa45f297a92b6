// The registrations of databases: InstalledSDB keys and Custom values, in both machine views.
#include "registrations.h"

#include "registry_keys.h"
#include "registry_values.h"
#include "windows_paths.h"

#include "sdb_guid.h"

namespace inventory {

namespace {

const char* const SDB_SUFFIX = ".sdb";
// The subkey of Custom that registers layers rather than a program.
const char* const CUSTOM_LAYERS = "Layers";

// Records the GUID as written and, when it parses, in the lower-case form.
void set_guid(std::string_view text, Registration* registration) {
    sdb::Guid guid{};
    registration->guid_valid = text.size() == sdb::GUID_TEXT_CHARS - 1 && text.front() == '{' &&
                               sdb::parse_guid(text, &guid);
    if (registration->guid_valid) {
        registration->guid = sdb::guid_to_text(guid);
    } else {
        registration->guid = text;
        registration->problems.push_back("\"" + registration->guid + "\" is not a GUID");
    }
}

// Moves a value's problem line, if any, into the registration.
void keep_problem(std::string* problem, Registration* registration) {
    if (!problem->empty()) {
        registration->problems.push_back(*problem);
        problem->clear();
    }
}

Registration read_installed(const RegistryView& registry, const KeyPath& key,
                            const std::string& windows_dir, std::vector<std::string>* warnings) {
    Registration registration;
    registration.kind = RegistrationKind::InstalledSdb;
    registration.hive = key.hive;
    registration.key = key_display_name(key, std::string());
    set_guid(file_name_of(key.path), &registration);
    std::vector<RegistryValue> values;
    KeyStatus status = read_values(registry, key, std::string(), &values, warnings);
    std::string text;
    std::string problem;
    if (const RegistryValue* path = find_value(values, "DatabasePath")) {
        if (value_string(*path, &text, &problem)) {
            registration.path = expand_windows_variables(std::move(text), windows_dir);
        }
    } else if (status == KeyStatus::Present) {
        problem = "DatabasePath: absent";
    }
    keep_problem(&problem, &registration);
    if (const RegistryValue* description = find_value(values, "DatabaseDescription")) {
        if (value_string(*description, &text, &problem)) {
            registration.description = text;
        }
        keep_problem(&problem, &registration);
    }
    if (const RegistryValue* stamp = find_value(values, "DatabaseInstallTimeStamp")) {
        uint64_t time = 0;
        if (value_qword(*stamp, &time, &problem)) {
            registration.install_time = time;
        }
        keep_problem(&problem, &registration);
    }
    if (const RegistryValue* type = find_value(values, "DatabaseType")) {
        uint32_t number = 0;
        if (value_dword(*type, &number, &problem)) {
            registration.database_type = number;
        }
        keep_problem(&problem, &registration);
    }
    return registration;
}

// The {GUID}.sdb values of a Custom key, for a program or (under Custom\Layers) a layer.
void read_custom(const RegistryView& registry, const KeyPath& key, const std::string& program,
                 const std::string& layer, std::vector<Registration>* registrations,
                 std::vector<std::string>* warnings) {
    std::vector<RegistryValue> values;
    read_values(registry, key, std::string(), &values, warnings);
    const std::string shown = key_display_name(key, std::string());
    for (const RegistryValue& value : values) {
        Registration registration;
        registration.kind = RegistrationKind::Custom;
        registration.hive = key.hive;
        registration.key = shown;
        registration.program = program;
        registration.layer = layer;
        std::string_view name = value.name;
        const size_t suffix = std::char_traits<char>::length(SDB_SUFFIX);
        bool has_suffix = name.size() >= suffix &&
                          equal_ignoring_case(name.substr(name.size() - suffix), SDB_SUFFIX);
        if (has_suffix && name.size() == suffix) {
            // Nothing before the suffix: no GUID to read, and no file name either.
            registration.guid = value.name;
            registration.problems.push_back("\"" + value.name + "\" is not a database name");
        } else {
            if (has_suffix) {
                name.remove_suffix(suffix);
            } else {
                registration.problems.push_back("\"" + value.name + "\" does not end in .sdb");
            }
            set_guid(name, &registration);
        }
        std::string problem;
        uint64_t time = 0;
        if (value_qword(value, &time, &problem)) {
            registration.install_time = time;
        }
        keep_problem(&problem, &registration);
        registrations->push_back(std::move(registration));
    }
}

} // namespace

std::vector<Registration> read_registrations(const RegistryView& registry,
                                             const std::string& windows_dir,
                                             std::vector<std::string>* warnings) {
    std::vector<Registration> registrations;
    const Hive hives[] = {Hive::Machine, Hive::Machine32};
    for (Hive hive : hives) {
        KeyPath installed = appcompat_key(hive, 0, "InstalledSDB");
        std::vector<std::string> names;
        read_subkeys(registry, installed, std::string(), &names, warnings);
        for (const std::string& name : names) {
            registrations.push_back(read_installed(
                registry, appcompat_key(hive, 0, "InstalledSDB\\" + name), windows_dir, warnings));
        }
    }
    for (Hive hive : hives) {
        KeyPath custom = appcompat_key(hive, 0, "Custom");
        std::vector<std::string> programs;
        read_subkeys(registry, custom, std::string(), &programs, warnings);
        for (const std::string& program : programs) {
            KeyPath key = appcompat_key(hive, 0, "Custom\\" + program);
            read_custom(registry, key, program, std::string(), &registrations, warnings);
            if (!equal_ignoring_case(program, CUSTOM_LAYERS)) {
                continue;
            }
            // Custom\Layers holds a key per layer that a custom database defines.
            std::vector<std::string> layers;
            read_subkeys(registry, key, std::string(), &layers, warnings);
            for (const std::string& layer : layers) {
                read_custom(registry, appcompat_key(hive, 0, "Custom\\" + program + "\\" + layer),
                            std::string(), layer, &registrations, warnings);
            }
        }
    }
    return registrations;
}

} // namespace inventory
