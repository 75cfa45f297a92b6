// The JSON Lines objects, composed from the same report steps as the text (schema in
// docs/cli-json.md).
#include "json_report.h"

#include <nlohmann/json.hpp>

#include "../common/platform_banner.h"
#include "../common/wow64.h"
#include "../inspect/compat_layer_guard.h"
#include "../inspect/current_target.h"
#include "../inspect/live_shim_info.h"
#include "../inspect/redirection_revert.h"
#include "../inspect/stored_layers.h"
#include "../sdbtools/base64.h"
#include "../shimreport/explain_match.h"
#include "../shimreport/match_executable.h"
#include "command_line.h"
#include "console_output.h"
#include "explain_fields.h"
#include "report_fields.h"

using nlohmann::json;

namespace {

const int SchemaVersion = 2;

// One object on one line. Every character beyond ASCII is escaped, so the line is the same
// in every encoding of the output.
void WriteObject(const json& object) {
    const std::string line = object.dump(-1, ' ', true, json::error_handler_t::replace);
    WriteToStandardOutput(std::wstring(line.begin(), line.end()) + L"\r\n");
}

// The match and the stored layers of a path, as the report body finds them, and with explain
// why the match came about.
void AddBodyFields(const std::wstring& path, bool explain, json& target) {
    const RedirectionRevert redirection;
    Explanation explanation;
    target["match"] = MatchFields(MatchExecutableLines(path, explain ? &explanation : NULL));
    const StoredLayers stored = ReadStoredLayers(path);
    target["storedLayers"] = StoredLayerFields(stored);
    if (explain) {
        AddStoredLayers(explanation, stored.perUser, stored.userLayers, stored.perMachine,
                        stored.machineLayers);
        target["explain"] = ExplanationFields(explanation);
    }
}

json LiveFields(DWORD processId) {
    LiveShimInfo info = {
        0, 0, std::vector<unsigned char>(), std::vector<unsigned char>(), 0, false, 0, false};
    return LiveStateFields(ReadLiveShimInfo(processId, info), info);
}

} // namespace

void WriteJsonBanner() {
    std::wstring text;
    {
        // The banner's own step looks the version up; its text is kept for the field.
        const CapturedAppends banner;
        WritePlatformBanner();
        text = banner.Text().substr(0, banner.Text().size() - 2);
    }
    WriteObject({{"type", "banner"},
                 {"schema", SchemaVersion},
                 {"program", Utf8(ProgramName())},
                 {"major", VersionRecord.dwMajorVersion},
                 {"minor", VersionRecord.dwMinorVersion},
                 {"build", VersionRecord.dwBuildNumber},
                 {"wow64", SelfIsWow64()},
                 {"text", Utf8(text)}});
}

void WriteJsonFile(const std::wstring& path, bool exists, bool explain) {
    const CompatLayerGuard compatLayer;
    CurrentTarget.processId = 0;
    json target = {{"type", "file"}, {"path", Utf8(path)}, {"exists", exists}};
    AddBodyFields(path, explain, target);
    WriteObject(target);
}

void WriteJsonProcess(DWORD processId, const std::wstring& listedName, bool opened,
                      const std::wstring& label, DWORD failureCode, bool explain) {
    const CompatLayerGuard compatLayer;
    json target = {{"type", "process"},
                   {"pid", processId},
                   {"imageName", listedName.empty() ? json() : json(Utf8(listedName))}};
    if (!opened) {
        target["path"] = nullptr;
        target["failure"] = FailureFields(label, failureCode);
        if (explain) {
            target["explain"] = nullptr;
        }
        WriteObject(target);
        return;
    }
    target["path"] = Utf8(CurrentTarget.imagePath);
    target["failure"] =
        CurrentTarget.imagePath.empty() ? FailureFields(label, failureCode) : json();
    AddBodyFields(CurrentTarget.imagePath, explain, target);
    target["live"] = LiveFields(processId);
    WriteObject(target);
}

void WriteJsonSummary(unsigned reported, unsigned notOpened, unsigned ended) {
    WriteObject(
        {{"type", "summary"}, {"reported", reported}, {"notOpened", notOpened}, {"ended", ended}});
}
