// The engine's executable match call.
#include "apphelp_exports.h"

#include "context_loading.h"
#include "recent_attributes.h"
#include "file_paths.h"
#include "handles.h"
#include "live_match_world.h"
#include "perm_layers.h"

#include "layer_names.h"
#include "matcher.h"
#include "sdb_index.h"

namespace {

const wchar_t* const CompatLayerVariable = L"__COMPAT_LAYER";

// The layer variable from an environment block ("NAME=value\0...\0\0"), or from the process.
std::wstring EnvironmentLayers(LPCWSTR environment) {
    std::wstring name = std::wstring(CompatLayerVariable) + L"=";
    if (environment != nullptr) {
        for (const wchar_t* entry = environment; *entry != L'\0'; entry += wcslen(entry) + 1) {
            if (_wcsnicmp(entry, name.c_str(), name.size()) == 0)
                return entry + name.size();
        }
        return std::wstring();
    }
    DWORD length = GetEnvironmentVariableW(CompatLayerVariable, nullptr, 0);
    if (length == 0)
        return std::wstring();
    std::wstring value(length, L'\0');
    DWORD written = GetEnvironmentVariableW(CompatLayerVariable, &value[0], length);
    value.resize(written < length ? written : 0);
    return value;
}

std::vector<std::u16string> LayerNames(const std::wstring& text) {
    return SplitLayerNames(std::u16string(AsU16(text.c_str()), text.size()));
}

BOOL MatchPath(Context* context, LPCWSTR path, LPCWSTR environment, DWORD flags, BYTE* result) {
    std::wstring exePath = LongPathOf(path);
    std::wstring exeName = FileNameOf(exePath);

    std::vector<MatcherDatabase> databases;
    for (std::size_t n = 0; n < context->databases.size(); ++n) {
        const ContextDatabase& database = context->databases[n];
        bool consult =
            database.customGuid.empty() || CustomDatabaseApplies(database.customGuid, exeName);
        databases.push_back(MatcherDatabase{database.handle->reader.get(),
                                            static_cast<std::uint32_t>(n), consult,
                                            database.exeIndex.get()});
    }

    LiveMatchWorld world;
    const FileAttributes* program = nullptr;
    MatchRequest request;
    request.program.path.assign(AsU16(exePath.c_str()), exePath.size());
    if (world.Attributes(request.program.path, &program) == FileState::Present)
        request.program.attributes = program;
    ProgramImage image = ReadProgramHeaders(exePath.c_str());
    request.program.machine = image.machine;
    request.program.moduleName16 = image.moduleName16;
    request.system = LiveSystemFacts();
    std::wstring stored;
    if (ReadPermLayers(path, GPLK_USER | GPLK_MACHINE, stored))
        request.storedLayers = LayerNames(stored);
    if (!(flags & SDBGMEF_IGNORE_ENVIRONMENT))
        request.environmentLayers = LayerNames(EnvironmentLayers(environment));

    QueryRecord record = EmptyQueryRecord();
    bool matched = MatchEntries(databases, request, world, record);
    WriteQueryRecord(record, result);
    return matched ? TRUE : FALSE;
}

} // namespace

// Writes exactly the 456-byte record; unused slots are zero. True when anything matched.
BOOL WINAPI SdbGetMatchingExe(HSDB hsdb, LPCWSTR path, LPCWSTR, LPCWSTR environment, DWORD flags,
                              void* result) {
    Context* context = ContextOf(hsdb);
    if (context == nullptr || path == nullptr || result == nullptr)
        return FALSE;
    return GuardedCall(FALSE, [&] {
        return MatchPath(context, path, environment, flags, static_cast<BYTE*>(result));
    });
}
