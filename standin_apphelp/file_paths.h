// The path forms the engine compares and stores.
#pragma once

#include <string>

// The long form of a path when the file exists and the platform can give it, else the path
// as given: stored layers are keyed by the long path.
std::wstring LongPathOf(const wchar_t* path);

// A path given in the NT form "\??\C:\..." as a DOS path; others as they are.
std::wstring DosPathOf(const wchar_t* path);

// The last component of a path (after the last '\' or '/').
std::wstring FileNameOf(const std::wstring& path);

// The folder part of a path, without its trailing separator; empty when there is none.
std::wstring FolderOf(const std::wstring& path);

// The Windows folder followed by a relative path, e.g. "AppPatch\\sysmain.sdb".
std::wstring WindowsPath(const wchar_t* relative);
