// The facts of Microsoft's own shim databases that the audit compares fixes with.
#include "sdb_audit_shape.h"

#include "sdb_index.h"

#include <cstddef>

namespace sdb {

namespace {

// The DLLFILE values of Microsoft's system, installer, driver, assistant and Fix It
// databases. A newer release may add names: such a fix is reported at its rule's severity.
const char16_t* const MICROSOFT_SHIM_DLLS[] = {
    u"AcSpecfc.dll", u"AcGenral.dll", u"AcLayers.dll",           u"AcWow64.dll",     u"INTERNAL",
    u"AcXtrnal.dll", u"AcWinRT.dll",  u"KeyboardFilterShim.dll", u"luapriv.dll",     u"LogExts.dll",
    u"asb264.dll",   u"asb2.dll",     u"TrackRegLeaks.dll",      u"ShimEngInternal", u"LogShim.dll",
    u"cvdll.dll",    u"ApiHex86.dll", u"ApiHex64.dll",           u"AcWebSvc.dll",    u"AcUddi.dll",
    u"AcRes.dll",
};

bool starts_nocase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && same_nocase(text.substr(0, prefix.size()), prefix);
}

bool separator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// The path a command line starts with.
std::u16string_view leading_path(std::u16string_view command) {
    if (!command.empty() && command[0] == u'"') {
        command.remove_prefix(1);
        size_t quote = command.find(u'"');
        return quote == std::u16string_view::npos ? command : command.substr(0, quote);
    }
    // Unquoted: up to the first space after a dot, so that "Program Files\a.exe /x" keeps
    // its folder's space and loses its arguments.
    size_t dot = command.find(u'.');
    size_t space = command.find(u' ', dot == std::u16string_view::npos ? 0 : dot);
    return space == std::u16string_view::npos ? command : command.substr(0, space);
}

// The text after a leading path's folder in the Windows folder, if it is there.
bool under_windows(std::u16string_view path) {
    if (!path.empty() && path[0] == u'+') {
        path.remove_prefix(1);
    }
    for (std::u16string_view variable : {u"%windir%", u"%systemroot%"}) {
        if (starts_nocase(path, variable) &&
            (path.size() == variable.size() || separator(path[variable.size()]))) {
            return true;
        }
    }
    // X:\Windows\...
    return path.size() >= 11 && path[1] == u':' && separator(path[2]) &&
           starts_nocase(path.substr(3), u"windows") && separator(path[10]) &&
           path.find(u"..") == std::u16string_view::npos;
}

} // namespace

bool same_nocase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold_upper(a[i]) != fold_upper(b[i])) {
            return false;
        }
    }
    return true;
}

const char* content_shape_text(ContentShape shape) {
    switch (shape) {
    case ContentShape::Microsoft:
        return "microsoft";
    case ContentShape::Other:
        return "other";
    case ContentShape::Foreign:
        break;
    }
    return "foreign";
}

ContentShape worse_shape(ContentShape a, ContentShape b) {
    return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

PathPlace path_place(std::u16string_view command) {
    std::u16string_view path = leading_path(command);
    if (under_windows(path)) {
        return PathPlace::Windows;
    }
    bool has_folder = false;
    for (char16_t c : path) {
        has_folder = has_folder || separator(c) || c == u':';
    }
    if (!has_folder) {
        return PathPlace::Bare;
    }
    // A drive, the root of a drive, a UNC path, or a variable that may lead anywhere.
    if (separator(path[0]) || path.find(u':') != std::u16string_view::npos || path[0] == u'%' ||
        (path[0] == u'+' && path.size() > 1)) {
        return PathPlace::Outside;
    }
    return PathPlace::Relative;
}

bool microsoft_shim_dll(std::u16string_view dll) {
    for (const char16_t* name : MICROSOFT_SHIM_DLLS) {
        if (same_nocase(dll, name)) {
            return true;
        }
    }
    return false;
}

ContentShape dll_shape(std::u16string_view dll) {
    if (microsoft_shim_dll(dll)) {
        return ContentShape::Microsoft;
    }
    if (path_place(dll) == PathPlace::Windows) {
        // One of theirs by a path under Windows is not their form, though they could load it.
        size_t slash = dll.find_last_of(u"\\/");
        return microsoft_shim_dll(dll.substr(slash + 1)) ? ContentShape::Other
                                                         : ContentShape::Foreign;
    }
    return ContentShape::Foreign;
}

ContentShape inject_command_shape(std::u16string_view command) {
    switch (path_place(command)) {
    case PathPlace::Bare:
        return command.empty() ? ContentShape::Other : ContentShape::Microsoft;
    case PathPlace::Relative:
    case PathPlace::Windows:
        return ContentShape::Other;
    case PathPlace::Outside:
        break;
    }
    return ContentShape::Foreign;
}

ContentShape redirect_command_shape(std::u16string_view command) {
    std::u16string_view path = leading_path(command);
    switch (path_place(command)) {
    case PathPlace::Bare:
    case PathPlace::Relative:
        return command.empty() ? ContentShape::Other : ContentShape::Microsoft;
    case PathPlace::Windows:
        // Theirs name the folder through a variable, never by a drive.
        return path.find(u':') == std::u16string_view::npos ? ContentShape::Microsoft
                                                            : ContentShape::Other;
    case PathPlace::Outside:
        break;
    }
    return ContentShape::Foreign;
}

ContentShape command_shape(std::u16string_view command) {
    return path_place(command) == PathPlace::Outside ? ContentShape::Foreign
                                                     : ContentShape::Microsoft;
}

} // namespace sdb
