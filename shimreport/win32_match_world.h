// The evaluator's view of the running system: files, folders and the registry through Win32,
// file attributes through the engine's own SdbGetFileAttributes.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

#include "match_world.h"
#include "shim_types.h"

// Answers the evaluator's questions on this machine. Paths are read as they are given: the
// caller switches WoW64 file-system redirection off, as the report body does.
class Win32MatchWorld : public MatchWorld {
public:
    // registryView: KEY_WOW64_32KEY or KEY_WOW64_64KEY, the view the program sees.
    explicit Win32MatchWorld(REGSAM registryView);

    FileState Attributes(const std::u16string& path, const FileAttributes** attributes) override;
    Knowledge FolderExists(const std::u16string& path) override;
    Knowledge FileContains(const std::u16string& path,
                           const std::vector<std::uint8_t>& bytes) override;
    // Keys under HKLM, HKCU, HKU and HKCR (short or long names); any other root is Unknown.
    Knowledge RegistryHolds(const RegistryQuery& query) override;

private:
    REGSAM view_;
    std::deque<FileAttributes> read_; // stays where it is while more are added
};

// The running Windows: its build, whether it is 64-bit, and the folder variables as a 64-bit
// program sees them (under WoW64 %ProgramFiles% is ProgramW6432's value).
SystemFacts RunningSystemFacts();

// Reads the PE machine and NE module name from the start of the file; none when unreadable.
void ReadProgramHeader(const std::wstring& path, ProgramFacts& program);

// The engine's attribute array as the evaluator's typed attributes: only those the engine
// marks available, each read through the member its tag's type names.
FileAttributes ConvertAttributes(const ATTRINFO* attributes, DWORD count);
