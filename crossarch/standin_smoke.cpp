// Loads the engine of this program's architecture from the system directory, as a caller of
// that architecture would, and checks that the sample programs match what the sample
// catalogue says. Exit code 0 when they do.
#include "apphelp_exports.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int checks = 0;
int failures = 0;

void Check(bool condition, const char* what) {
    ++checks;
    if (!condition) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

DWORD FieldAt(const BYTE* record, std::size_t offset) {
    DWORD value = 0;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

// An entry point by name; through void* since a FARPROC is no function of this type.
template <typename Function> Function Entry(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace

int main() {
    HMODULE module = LoadLibraryExW(L"apphelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    Check(module != nullptr, "apphelp.dll loads from the system directory");
    if (module == nullptr)
        return 1;
    auto init = Entry<decltype(&SdbInitDatabaseEx)>(module, "SdbInitDatabaseEx");
    auto release = Entry<decltype(&SdbReleaseDatabase)>(module, "SdbReleaseDatabase");
    auto match = Entry<decltype(&SdbGetMatchingExe)>(module, "SdbGetMatchingExe");
    auto guidText = Entry<decltype(&SdbGUIDToString)>(module, "SdbGUIDToString");
    Check(init != nullptr && release != nullptr && match != nullptr && guidText != nullptr,
          "the entry points are exported by name");
    if (failures != 0)
        return 1;

    HSDB hsdb = init(0, nullptr, sizeof(void*) == 8 ? IMAGE_TYPE_X64 : IMAGE_TYPE_X86);
    Check(hsdb != nullptr, "a context opens");
    BYTE record[912];
    std::memset(record, 0xAB, sizeof record);
    Check(match(hsdb, L"C:\\quillet-samples\\cadwriter.exe", nullptr, nullptr, 0, record),
          "cadwriter.exe matches");
    Check(FieldAt(record, 168) == 1 && FieldAt(record, 172) == 2, "one exe and two layers");
    Check(FieldAt(record, 456) == 0xABABABAB && record[455] == 0, "a 456-byte record");
    wchar_t text[50] = {0};
    guidText(reinterpret_cast<const GUID*>(record + 200), text, 50);
    Check(std::wstring(text) == L"{11111111-1111-1111-1111-111111111111}", "the main database");
    Check(match(hsdb, L"C:\\quillet-samples\\ledgerpro.exe", nullptr, nullptr, 0, record) &&
              FieldAt(record, 196) == 3,
          "ledgerpro.exe matches in the main and the custom database");
    Check(!match(hsdb, L"C:\\quillet-samples\\plainapp.exe", nullptr, nullptr, 0, record),
          "plainapp.exe matches nothing");
    release(hsdb);
    std::printf("standin_smoke: %d checks, %d failed\n", checks, failures);
    return failures == 0 ? 0 : 1;
}
