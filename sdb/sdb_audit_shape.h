// What Microsoft's own shim databases hold, as counted in their files: the shim DLLs they
// name and the forms of the command lines they give, for telling a fix of their shape from
// one of an attacker's.
#pragma once

#include <string_view>

namespace sdb {

// How a fix's content compares with Microsoft's own.
enum class ContentShape {
    Microsoft, // as Microsoft's databases hold it
    Other,     // not as they hold it, yet nothing they never hold
    Foreign,   // what Microsoft's databases never hold (a DLL outside Windows, a UNC path)
};
// "microsoft", "other", "foreign".
const char* content_shape_text(ContentShape shape);
// Equality of two texts by fold_upper(), as the engine compares names.
bool same_nocase(std::u16string_view a, std::u16string_view b);
// The least Microsoft-like of two shapes.
ContentShape worse_shape(ContentShape a, ContentShape b);

// Where a path points, by its text alone.
enum class PathPlace {
    Bare,     // a file name without a folder
    Relative, // a path relative to the program's folder
    Windows,  // under the Windows folder: %windir%, %SystemRoot% (a leading `+` allowed) or
              // X:\Windows
    Outside,  // an absolute path elsewhere, a path from the root of a drive, a UNC path
};
// A leading quote is skipped; the path ends at a closing quote or, unquoted, at a space
// that follows its file name's extension.
PathPlace path_place(std::u16string_view path);

// True for a DLLFILE that Microsoft's databases name: one of their shim DLLs (INTERNAL, the
// engine's built-in fixes, among them), by its bare name, in any case.
bool microsoft_shim_dll(std::u16string_view dll);

// The shape of a DLLFILE: Microsoft for theirs, Foreign for another name or a path outside
// Windows, Other for one of theirs by a path under Windows.
ContentShape dll_shape(std::u16string_view dll);
// The shape of an InjectDll command line: Microsoft's name a bare DLL file name.
ContentShape inject_command_shape(std::u16string_view command);
// The shape of a RedirectEXE command line: Microsoft's are relative to the program, or
// under the Windows folder through an environment variable.
ContentShape redirect_command_shape(std::u16string_view command);
// The shape of another shim's command line: Foreign when it names a path outside Windows.
ContentShape command_shape(std::u16string_view command);

} // namespace sdb
