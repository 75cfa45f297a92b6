// Windows paths as the inventory compares and builds them: case-blind, with %windir%.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace inventory {

// ASCII case-blind equality (what the registry and the file system fold beyond ASCII is
// left as it is: such names compare by their bytes).
bool equal_ignoring_case(std::string_view a, std::string_view b);
// The order of the two texts' ASCII lower case, for maps that meet names written in any case.
struct LessIgnoringCase {
    bool operator()(std::string_view a, std::string_view b) const;
};
// ASCII lower case.
std::string lower_ascii(std::string text);

// A leading %windir% or %SystemRoot% (any case) replaced by windows_dir.
std::string expand_windows_variables(std::string path, const std::string& windows_dir);

// A form for comparing two paths: lower case, '/' as '\', no doubled or trailing '\'.
std::string path_key(const std::string& path);

// dir + '\' + name.
std::string join_path(const std::string& dir, const std::string& name);
// The part after the last '\' or '/'.
std::string_view file_name_of(std::string_view path);

// The components of a path, without its drive ("C:"), its "\\?\" prefix, empty parts and
// "." parts; ".." stays, for the caller to refuse or resolve.
std::vector<std::string> path_components(const std::string& path);

} // namespace inventory
