// Looks files up on the native file system for the evaluator.
#include "native_world.h"

#include "file_facts.h"
#include "path_resolution.h"

#include "sdb_text.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string NativeMatchWorld::NativePath(const std::u16string& path) const {
    std::string text = sdb::to_utf8(path);
    if (!root_.empty() && text.size() >= 2 && (text[0] == 'C' || text[0] == 'c') && text[1] == ':')
        text = root_ + "/" + text.substr(2);
    for (char& c : text) {
        if (c == '\\')
            c = '/';
    }
    std::error_code error;
    if (fs::exists(text, error))
        return text;
    // Walk component by component, taking a case-blind match where the exact one is missing.
    fs::path walked = text.size() > 0 && text[0] == '/' ? fs::path("/") : fs::path();
    for (const fs::path& part : fs::path(text).relative_path()) {
        fs::path next = walked / part;
        if (part == "." || part == ".." || fs::exists(next, error)) {
            walked = next;
            continue;
        }
        std::u16string wanted;
        if (!sdb::from_utf8(part.string(), &wanted))
            return std::string();
        wanted = FoldedText(wanted);
        bool found = false;
        for (fs::directory_iterator it(walked.empty() ? fs::path(".") : walked, error), end;
             !error && it != end; it.increment(error)) {
            std::u16string name;
            if (sdb::from_utf8(it->path().filename().string(), &name) &&
                FoldedText(name) == wanted) {
                walked = it->path();
                found = true;
                break;
            }
        }
        if (!found)
            return std::string();
    }
    return walked.string();
}

FileState NativeMatchWorld::Attributes(const std::u16string& path,
                                       const FileAttributes** attributes) {
    auto found = files_.find(path);
    if (found == files_.end()) {
        Entry entry;
        std::string native = NativePath(path);
        std::error_code error;
        if (native.empty() || !fs::exists(native, error) || fs::is_directory(native, error)) {
            entry.state = error ? FileState::Unreadable : FileState::Missing;
        } else {
            entry.attributes.reset(new FileAttributes());
            ProgramImage image;
            entry.state = ReadFileFacts(native, *entry.attributes, image) ? FileState::Present
                                                                          : FileState::Unreadable;
            if (entry.state != FileState::Present)
                entry.attributes.reset();
        }
        found = files_.emplace(path, std::move(entry)).first;
    }
    *attributes = found->second.attributes.get();
    return found->second.state;
}

Knowledge NativeMatchWorld::FolderExists(const std::u16string& path) {
    std::string native = NativePath(path);
    std::error_code error;
    if (native.empty())
        return Knowledge::No;
    return fs::is_directory(native, error) ? Knowledge::Yes : Knowledge::No;
}

bool NativeMatchWorld::ListFolder(const std::u16string& path, std::vector<std::u16string>& names,
                                  std::vector<bool>& isFolder) {
    std::string native = NativePath(path);
    std::error_code error;
    if (native.empty())
        return true; // no such folder: nothing in it
    for (fs::directory_iterator it(native, error), end; !error && it != end; it.increment(error)) {
        std::u16string name;
        if (!sdb::from_utf8(it->path().filename().string(), &name))
            continue;
        std::error_code kindError;
        names.push_back(name);
        isFolder.push_back(it->is_directory(kindError));
    }
    return !error;
}
