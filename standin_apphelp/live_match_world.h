// The running system as the evaluator sees it during a match.
#pragma once

#include "match_world.h"
#include "program_image.h"

#include <map>
#include <memory>
#include <string>

// Files of the running system, each read once per match through RecentFileAttributes. A
// 32-bit engine on 64-bit Windows reads a 64-bit program's system32 through Sysnative, so
// that the system's redirection does not turn it into SysWOW64.
class LiveMatchWorld : public MatchWorld {
public:
    FileState Attributes(const std::u16string& path, const FileAttributes** attributes) override;
    Knowledge FolderExists(const std::u16string& path) override;

private:
    struct Entry {
        FileState state;
        std::unique_ptr<FileAttributes> attributes;
    };
    std::map<std::u16string, Entry> files_; // by upper-cased path
};

// The running Windows: its bitness, build and the folders' variables as a 64-bit program
// sees them.
SystemFacts LiveSystemFacts();

// The program's PE machine or NE module name, from the start of its file.
ProgramImage ReadProgramHeaders(const wchar_t* path);
