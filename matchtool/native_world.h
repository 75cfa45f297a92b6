// The files of this machine as the evaluator sees them, found without regard to case.
#pragma once

#include "match_world.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// The folder variables of an installation of Windows on C: with their default values
// (WINDIR, SYSTEMROOT, SYSTEMDRIVE, PROGRAMFILES, and PROGRAMFILES(X86) on 64-bit Windows).
void SetDefaultFolders(SystemFacts& system);

// Windows-style paths ('\\'-separated) are looked up on the native file system, each
// component matched without case as Windows would when no exact name exists. Attributes
// are read once per path and kept.
class NativeMatchWorld : public MatchWorld {
public:
    // With a root, a path on drive C: ("C:\\Windows\\...") is looked up below it: the
    // root is a mounted Windows volume.
    explicit NativeMatchWorld(std::string root = std::string()) : root_(std::move(root)) {}

    FileState Attributes(const std::u16string& path, const FileAttributes** attributes) override;
    Knowledge FolderExists(const std::u16string& path) override;
    bool ListFolder(const std::u16string& path, std::vector<std::u16string>& names,
                    std::vector<bool>& isFolder) override;

    // The native path a Windows-style one stands for; empty when a component is missing.
    std::string NativePath(const std::u16string& path) const;

protected:
    // Where a Windows-style path lies natively: Present with *native set, Missing, or
    // Unreadable when it cannot be looked at (its answers are then unknown).
    virtual FileState Locate(const std::u16string& path, std::string* native) const;

private:
    struct Entry {
        FileState state;
        std::unique_ptr<FileAttributes> attributes;
    };
    std::string root_;
    std::map<std::u16string, Entry> files_;
};
