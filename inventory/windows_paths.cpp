// Windows paths as the inventory compares and builds them: case-blind, with %windir%.
#include "windows_paths.h"

namespace inventory {

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_ignoring_case(const std::string& text, const char* prefix) {
    size_t i = 0;
    for (; prefix[i] != 0; ++i) {
        if (i == text.size() || lower(text[i]) != lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool LessIgnoringCase::operator()(std::string_view a, std::string_view b) const {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return lower(a[i]) < lower(b[i]);
        }
    }
    return a.size() < b.size();
}

std::string lower_ascii(std::string text) {
    for (char& c : text) {
        c = lower(c);
    }
    return text;
}

std::string expand_windows_variables(std::string path, const std::string& windows_dir) {
    for (const char* variable : {"%windir%", "%SystemRoot%"}) {
        if (starts_ignoring_case(path, variable)) {
            return windows_dir + path.substr(std::char_traits<char>::length(variable));
        }
    }
    return path;
}

std::string path_key(const std::string& path) {
    std::string key;
    key.reserve(path.size());
    for (char c : path) {
        if (is_separator(c)) {
            if (key.empty() || key.back() != '\\') {
                key.push_back('\\');
            }
        } else {
            key.push_back(lower(c));
        }
    }
    if (key.size() > 1 && key.back() == '\\') {
        key.pop_back();
    }
    return key;
}

std::string join_path(const std::string& dir, const std::string& name) {
    if (dir.empty() || is_separator(dir.back())) {
        return dir + name;
    }
    return dir + "\\" + name;
}

std::string_view file_name_of(std::string_view path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<std::string> path_components(const std::string& path) {
    std::string rest = path;
    if (rest.compare(0, 4, "\\\\?\\") == 0) {
        rest = rest.substr(4);
    }
    if (rest.size() >= 2 && rest[1] == ':') {
        rest = rest.substr(2);
    }
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || is_separator(rest[i])) {
            if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part.push_back(rest[i]);
        }
    }
    return parts;
}

} // namespace inventory
