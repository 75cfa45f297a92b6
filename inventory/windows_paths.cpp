// Windows paths as the inventory compares and builds them: case-blind, with %windir%.
#include "windows_paths.h"

#include "case_folding_table.h"
#include "sdb_text.h"

#include <algorithm>
#include <iterator>

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

// The code point of the UTF-8 sequence at text[*at], moving *at past it; false, moving one
// byte, for a byte that starts no well-formed sequence.
bool next_code_point(std::string_view text, size_t* at, uint32_t* code) {
    unsigned char lead = static_cast<unsigned char>(text[*at]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || *at + length > text.size()) {
        ++*at;
        return false;
    }
    uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        unsigned char next = static_cast<unsigned char>(text[*at + i]);
        if ((next & 0xC0) != 0x80) {
            ++*at;
            return false;
        }
        value = (value << 6) | (next & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF) {
        ++*at;
        return false;
    }
    *at += length;
    *code = value;
    return true;
}

// Most names are ASCII: those need neither the table nor a copy.
bool is_ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

uint32_t fold_code_point(uint32_t code) {
    if (code < 0x80) {
        return static_cast<unsigned char>(lower(static_cast<char>(code)));
    }
    auto after = std::upper_bound(
        std::begin(CASE_FOLDING_RUNS), std::end(CASE_FOLDING_RUNS), code,
        [](uint32_t value, const CaseFoldingRun& run) { return value < run.first; });
    if (after == std::begin(CASE_FOLDING_RUNS)) {
        return code;
    }
    const CaseFoldingRun& run = *std::prev(after);
    uint32_t offset = code - run.first;
    if (offset % run.step != 0 || offset / run.step >= run.count) {
        return code;
    }
    return static_cast<uint32_t>(static_cast<int64_t>(code) + run.delta);
}

std::string fold_case(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    if (is_ascii(text)) {
        for (char c : text) {
            folded.push_back(lower(c));
        }
        return folded;
    }
    size_t at = 0;
    while (at < text.size()) {
        size_t start = at;
        uint32_t code = 0;
        if (next_code_point(text, &at, &code)) {
            sdb::append_utf8(fold_code_point(code), &folded);
        } else {
            folded.append(text.substr(start, at - start));
        }
    }
    return folded;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (is_ascii(a) && is_ascii(b)) {
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
    return fold_case(a) == fold_case(b);
}

bool LessIgnoringCase::operator()(std::string_view a, std::string_view b) const {
    if (is_ascii(a) && is_ascii(b)) {
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
            if (lower(a[i]) != lower(b[i])) {
                return lower(a[i]) < lower(b[i]);
            }
        }
        return a.size() < b.size();
    }
    return fold_case(a) < fold_case(b);
}

std::string expand_windows_variables(std::string path, const std::string& windows_dir) {
    for (const char* variable : {"%windir%", "%SystemRoot%"}) {
        if (starts_ignoring_case(path, variable)) {
            return windows_dir + path.substr(std::char_traits<char>::length(variable));
        }
    }
    const char* drive = "%SystemDrive%";
    if (starts_ignoring_case(path, drive) && windows_dir.size() >= 2 && windows_dir[1] == ':') {
        return windows_dir.substr(0, 2) + path.substr(std::char_traits<char>::length(drive));
    }
    return path;
}

std::string_view drive_path(std::string_view path) {
    if (path.size() >= 6 && is_separator(path[0]) && is_separator(path[1]) &&
        (path[2] == '?' || path[2] == '.') && is_separator(path[3]) && path[5] == ':') {
        path.remove_prefix(4);
    }
    return path;
}

std::string path_key(const std::string& path) {
    std::string folded = fold_case(drive_path(path));
    std::string key;
    key.reserve(folded.size());
    for (char c : folded) {
        if (is_separator(c)) {
            if (key.empty() || key.back() != '\\') {
                key.push_back('\\');
            }
        } else {
            key.push_back(c);
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
    std::string_view rest = drive_path(path);
    if (rest.size() >= 2 && rest[1] == ':') {
        rest.remove_prefix(2);
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
