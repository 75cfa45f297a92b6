// Writes flag words by their names.
#include "print_result_flags.h"

#include <ios>

namespace {

struct FlagName {
    DWORD bit;
    const wchar_t* name;
};

// The order of the report, which is not bit order: the apphelp cancel bit comes fourth.
const FlagName FlagNames[] = {
    {0x1, L"DISABLE_SHIM"},          {0x2, L"DISABLE_APPHELP"}, {0x4, L"APPHELP_NOUI"},
    {0x10000000, L"APPHELP_CANCEL"}, {0x10, L"DISABLE_SXS"},    {0x20, L"DISABLE_LAYER"},
    {0x40, L"DISABLE_DRIVER"},
};

DWORD NamedBits() {
    DWORD bits = 0;
    for (const FlagName& flag : FlagNames) {
        bits |= flag.bit;
    }
    return bits;
}

} // namespace

ReportStream& PrintResultFlags(ReportStream& stream, DWORD flags) {
    const wchar_t* separator = L"";
    for (const wchar_t* name : ResultFlagNames(flags)) {
        stream << separator << name;
        separator = L" | ";
    }
    const DWORD unnamed = flags & ~NamedBits();
    if (unnamed != 0) {
        stream << separator << L"0x" << std::hex << unnamed;
    }
    return stream;
}

std::vector<const wchar_t*> ResultFlagNames(DWORD flags) {
    std::vector<const wchar_t*> names;
    for (const FlagName& flag : FlagNames) {
        if ((flags & flag.bit) != 0) {
            names.push_back(flag.name);
        }
    }
    return names;
}
