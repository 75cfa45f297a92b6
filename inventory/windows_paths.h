// Windows paths as the inventory compares and builds them: case-blind, with %windir%.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace inventory {

// The simple case folding of one code point (Unicode's C and S mappings): what NTFS and the
// registry compare names by, so that "ÄRGER.sdb" and "ärger.sdb" are one name.
uint32_t fold_code_point(uint32_t code);
// text with each code point folded; bytes that are not UTF-8 stay as they are.
std::string fold_case(std::string_view text);

// Equality of the two texts' folded forms.
bool equal_ignoring_case(std::string_view a, std::string_view b);
// The order of the two texts' folded forms, for maps that meet names written in any case.
struct LessIgnoringCase {
    bool operator()(std::string_view a, std::string_view b) const;
};

// A leading %windir%, %SystemRoot% or %SystemDrive% (any case) replaced by windows_dir or its
// drive.
std::string expand_windows_variables(std::string path, const std::string& windows_dir);

// A form for comparing two paths: folded case, '/' as '\', no doubled or trailing '\', and
// the "\\?\" and "\\.\" prefixes of a path on a drive taken away.
std::string path_key(const std::string& path);

// dir + '\' + name.
std::string join_path(const std::string& dir, const std::string& name);
// The part after the last '\' or '/'.
std::string_view file_name_of(std::string_view path);

// A path on a drive given in the "\\?\C:\" or "\\.\C:\" form, without that prefix; other
// paths as they are ("\\?\UNC\server\share" stays a share).
std::string_view drive_path(std::string_view path);

// The components of a path, without its drive ("C:"), its "\\?\" or "\\.\" prefix, empty
// parts and "." parts; ".." stays, for the caller to refuse or resolve.
std::vector<std::string> path_components(const std::string& path);

} // namespace inventory
