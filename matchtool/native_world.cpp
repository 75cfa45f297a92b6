// Looks files up on the native file system for the evaluator.
#include "native_world.h"

#include "file_facts.h"
#include "path_resolution.h"

#include "sdb_text.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

void SetDefaultFolders(SystemFacts& system) {
    system.variables[u"WINDIR"] = u"C:\\Windows";
    system.variables[u"SYSTEMROOT"] = u"C:\\Windows";
    system.variables[u"SYSTEMDRIVE"] = u"C:";
    system.variables[u"PROGRAMFILES"] = u"C:\\Program Files";
    if (system.is64Bit)
        system.variables[u"PROGRAMFILES(X86)"] = u"C:\\Program Files (x86)";
}

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

FileState NativeMatchWorld::Locate(const std::u16string& path, std::string* native) const {
    *native = NativePath(path);
    return native->empty() ? FileState::Missing : FileState::Present;
}

FileState NativeMatchWorld::Attributes(const std::u16string& path,
                                       const FileAttributes** attributes) {
    auto found = files_.find(path);
    if (found == files_.end()) {
        Entry entry;
        std::string native;
        std::error_code error;
        entry.state = Locate(path, &native);
        if (entry.state == FileState::Present &&
            (!fs::exists(native, error) || fs::is_directory(native, error))) {
            entry.state = error ? FileState::Unreadable : FileState::Missing;
        } else if (entry.state == FileState::Present) {
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
    std::string native;
    FileState state = Locate(path, &native);
    if (state != FileState::Present)
        return state == FileState::Missing ? Knowledge::No : Knowledge::Unknown;
    std::error_code error;
    return fs::is_directory(native, error) ? Knowledge::Yes : Knowledge::No;
}

bool NativeMatchWorld::ListFolder(const std::u16string& path, std::vector<std::u16string>& names,
                                  std::vector<bool>& isFolder) {
    std::string native;
    FileState state = Locate(path, &native);
    if (state != FileState::Present)
        return state == FileState::Missing; // no such folder: nothing in it
    std::error_code error;
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
