// The stand-in engine's entries as its tests call them.
#pragma once

#include "apphelp_exports.h"

#include <windows.h>

#include <string>
#include <vector>

// The engine's entry points, looked up by name in the apphelp.dll that the system
// directory search finds, as the tool does.
#define ENGINE_ENTRY(name) decltype(&::name) name
struct Engine {
    HMODULE module;
    ENGINE_ENTRY(SdbInitDatabaseEx);
    ENGINE_ENTRY(SdbReleaseDatabase);
    ENGINE_ENTRY(SdbGetMatchingExe);
    ENGINE_ENTRY(SdbTagRefToTagID);
    ENGINE_ENTRY(SdbFindFirstTag);
    ENGINE_ENTRY(SdbFindNextTag);
    ENGINE_ENTRY(SdbGetStringTagPtr);
    ENGINE_ENTRY(SdbGetTagFromTagID);
    ENGINE_ENTRY(SdbGUIDToString);
    ENGINE_ENTRY(SdbGetPermLayerKeys);
    ENGINE_ENTRY(SdbPackAppCompatData);
    ENGINE_ENTRY(SdbUnpackAppCompatData);
    ENGINE_ENTRY(SdbGetAppCompatDataSize);
    ENGINE_ENTRY(SdbOpenDatabase);
    ENGINE_ENTRY(SdbCloseDatabase);
    ENGINE_ENTRY(SdbCreateDatabase);
    ENGINE_ENTRY(SdbBeginWriteListTag);
    ENGINE_ENTRY(SdbEndWriteListTag);
    ENGINE_ENTRY(SdbWriteStringTag);
    ENGINE_ENTRY(SdbWriteDWORDTag);
    ENGINE_ENTRY(SdbWriteBinaryTag);
    ENGINE_ENTRY(SdbCloseDatabaseWrite);
    ENGINE_ENTRY(SdbGetFileAttributes);
    ENGINE_ENTRY(SdbFreeFileAttributes);
};
#undef ENGINE_ENTRY

// Loaded on first use; entries the library lacks are null.
const Engine& TheEngine();

// The 912-byte result buffer of the tool, filled with its marker byte.
std::vector<BYTE> MarkedBuffer();

// A 32-bit little-endian field of a record.
DWORD FieldAt(const std::vector<BYTE>& record, std::size_t offset);

// The NAME of the item a TAGREF designates in the context; "?" when it does not resolve.
std::wstring NameOf(HSDB hsdb, TAGREF tagRef);

// The names of an item's direct children of one tag, in order.
std::vector<std::wstring> ChildNames(HSDB hsdb, TAGREF parent, TAG tag);

// The text of the record's database GUID in slot n.
std::wstring DatabaseGuidText(const std::vector<BYTE>& record, int slot);

// Where the sample programs are installed in the prefix.
const wchar_t* const SampleFolder = L"C:\\quillet-samples\\";

// A fresh folder under the temporary folder, removed with its files at the end of a test.
// Each file is written into a subfolder of its own, so that a name can be used again while
// the system still holds an earlier file of that name.
struct ScratchFolder {
    std::wstring path;
    std::vector<std::wstring> files;
    std::vector<std::wstring> folders;
    ScratchFolder();
    ~ScratchFolder();
    std::wstring Write(const std::wstring& name, const std::vector<BYTE>& bytes);
};

std::vector<BYTE> ReadWholeFile(const std::wstring& path);

// An HSDB released at the end of a scope.
struct ContextHolder {
    HSDB hsdb;
    explicit ContextHolder(HSDB handle) : hsdb(handle) {}
    ~ContextHolder() {
        if (hsdb != nullptr)
            TheEngine().SdbReleaseDatabase(hsdb);
    }
};
