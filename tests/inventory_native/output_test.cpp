// The inventory's reports as a reader meets them: the summary first, what needs a look before
// Microsoft's own databases, findings hidden below a severity but counted, one JSON line per
// database and per finding, none too long, each with the host and the time; and the digest
// the database lines carry, against the published test vectors.
#include "inventory.h"
#include "inventory_output.h"
#include "memory_views.h"
#include "sha256.h"
#include "test_database.h"
#include "test_hive.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

using inventory::Hive;
using nlohmann::json;

namespace {

std::string sha256_of(const std::string& text) {
    return inventory::sha256_hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(Sha256, PublishedVectorsAcrossBlockBoundaries) {
    EXPECT_EQ(sha256_of(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_of("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the block, a second one is needed.
    EXPECT_EQ(sha256_of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256_of("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                        "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(sha256_of(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

const char* const CUSTOM = "C:\\Windows\\AppPatch\\Custom\\";
const char* const INSTALLED = "{aaaaaaaa-0000-0000-0000-000000000001}";
const char* const MISSING = "{bbbbbbbb-0000-0000-0000-000000000002}";
const uint64_t FILETIME_2020 = 132223104000000000ull; // 2020-01-01T00:00:00Z

std::vector<std::string> lines_of(const std::string& report) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = report.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(report.substr(start, end - start));
    }
    return lines;
}

size_t index_of(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

void register_installed(MemoryRegistry* registry, const std::string& guid,
                        const std::string& description = "") {
    registry->set(Hive::Machine, 0, std::string(APPCOMPAT) + "\\InstalledSDB\\" + guid,
                  {string_value("DatabasePath", CUSTOM + guid + ".sdb"),
                   string_value("DatabaseDescription", description)});
}

// Main databases that the OS calls signed by Microsoft.
class SignedMainFiles : public MemoryFiles {
public:
    sdb::SignatureVerdict verify_signature(const std::string& path) const override {
        sdb::SignatureVerdict verdict;
        if (path.find("\\AppPatch\\sysmain.sdb") != std::string::npos) {
            verdict.state = sdb::SignatureState::Verified;
            verdict.signer = "Microsoft Windows";
        }
        return verdict;
    }
};

// Microsoft's signed main database with an info finding, an installed database with a high one, and
// a registration whose file is missing.
class InventoryReport : public ::testing::Test {
protected:
    void SetUp() override {
        files.add("C:\\Windows\\AppPatch\\sysmain.sdb",
                  database_bytes({"Microsoft Windows Application Compatibility Fix Database",
                                  SYSMAIN_ID,
                                  0,
                                  "",
                                  {"InjectDll"},
                                  {{"EVIL", {"InjectDll"}}},
                                  {}}));
        installed_bytes = database_bytes(
            {"Contoso", INSTALLED, 0, "", {"InjectDll"}, {{"BAD", {"InjectDll"}}}, {}});
        files.add(CUSTOM + std::string(INSTALLED) + ".sdb", installed_bytes);
        register_installed(&registry, INSTALLED);
        register_installed(&registry, MISSING);
    }

    inventory::Inventory inventory() {
        inventory::Inventory result = inventory::build_inventory(registry, files);
        result.host = "WS-01";
        result.collected = FILETIME_2020;
        return result;
    }

    MemoryRegistry registry;
    SignedMainFiles files;
    std::vector<uint8_t> installed_bytes;
};

TEST_F(InventoryReport, TextOpensWithTheSummaryAndListsMicrosoftsDatabasesLast) {
    inventory::Inventory result = inventory();
    result.warnings.push_back("a key that could not be read");
    std::vector<std::string> text = lines_of(inventory::inventory_text(result, "\n"));
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text[0],
              "Summary: 3 databases (verified-microsoft 1, installed 1, missing-file 1); findings: "
              "high 1, medium 0, info 1; 1 with anomalies; 1 warning");
    EXPECT_EQ(text[1], "Host: WS-01, collected 2020-01-01T00:00:00Z");
    size_t missing = index_of(text, "Database " + std::string(MISSING) + ": missing-file");
    size_t installed = index_of(text, "Database " + std::string(INSTALLED) + ": installed");
    size_t registration =
        index_of(text, "Registration InstalledSDB (native view) " + std::string(INSTALLED));
    size_t microsoft =
        index_of(text, "Database " + std::string(SYSMAIN_ID) + ": verified-microsoft");
    EXPECT_LT(missing, installed);
    EXPECT_LT(installed, registration);
    EXPECT_LT(registration, microsoft);
    EXPECT_LT(microsoft, text.size());
    EXPECT_LT(
        index_of(text, "  File: " + std::to_string(installed_bytes.size()) + " bytes, SHA-256 " +
                           inventory::sha256_hex(installed_bytes.data(), installed_bytes.size())),
        text.size());
    EXPECT_NE(std::find_if(
                  text.begin() + static_cast<std::ptrdiff_t>(microsoft), text.end(),
                  [](const std::string& line) { return line.rfind("  Finding: info ", 0) == 0; }),
              text.end());

    // Above info only: Microsoft's finding is counted, not listed.
    inventory::OutputOptions options;
    options.min_severity = sdb::AuditSeverity::Medium;
    std::vector<std::string> hidden = lines_of(inventory::inventory_text(result, "\n", options));
    EXPECT_EQ(hidden[0],
              "Summary: 3 databases (verified-microsoft 1, installed 1, missing-file 1); "
              "findings: high 1, medium 0, info 1 (1 below medium not listed); 1 "
              "with anomalies; 1 warning");
    for (const std::string& line : hidden) {
        EXPECT_NE(line.rfind("  Finding: info ", 0), 0u) << line;
    }
    EXPECT_LT(index_of(hidden, "  Finding: high inject-dll in LAYER BAD: " +
                                   result.databases[1].findings[0].summary),
              hidden.size());
}

TEST_F(InventoryReport, JsonHasOneLinePerDatabaseAndFindingEachWithHostAndTime) {
    inventory::OutputOptions options;
    options.min_severity = sdb::AuditSeverity::Medium;
    std::vector<json> objects;
    for (const std::string& line :
         lines_of(inventory::inventory_json(inventory(), "\n", options))) {
        objects.push_back(json::parse(line));
    }
    ASSERT_FALSE(objects.empty());
    for (const json& object : objects) {
        EXPECT_EQ(object["host"], "WS-01") << object;
        EXPECT_EQ(object["collected"], "2020-01-01T00:00:00Z") << object;
    }
    const json& summary = objects[0];
    EXPECT_EQ(summary["type"], "inventorySummary");
    EXPECT_EQ(summary["databases"], 3);
    EXPECT_EQ(summary["provenance"]["missing-file"], 1);
    EXPECT_EQ(summary["provenance"]["guid-mismatch"], 0);
    EXPECT_EQ(summary["provenance"]["verified-microsoft"], 1);
    // Each word once: two provenances share "claims-microsoft".
    EXPECT_EQ(summary["provenance"].size(), 7u);
    EXPECT_EQ(summary["warnings"], 0);
    EXPECT_EQ(summary["complete"], true);
    EXPECT_EQ(summary["findings"], json({{"info", 1}, {"medium", 0}, {"high", 1}}));
    EXPECT_EQ(summary["minSeverity"], "medium");
    EXPECT_EQ(summary["hiddenFindings"], 1);
    EXPECT_EQ(summary["anomalies"], 1);

    std::vector<std::string> types;
    for (const json& object : objects) {
        types.push_back(object["type"]);
    }
    // Microsoft's info finding is hidden; the installed database's high one follows it.
    EXPECT_EQ(types, (std::vector<std::string>{"inventorySummary", "registration", "registration",
                                               "database", "database", "finding", "database"}));
    const json& installed = objects[4];
    EXPECT_EQ(installed["guid"], INSTALLED);
    EXPECT_EQ(installed["size"], installed_bytes.size());
    EXPECT_EQ(installed["sha256"],
              inventory::sha256_hex(installed_bytes.data(), installed_bytes.size()));
    EXPECT_EQ(installed["modified"], nullptr); // the memory view keeps no times
    EXPECT_EQ(objects[5]["guid"], INSTALLED);
    EXPECT_EQ(objects[5]["severity"], "high");
    EXPECT_EQ(objects[3]["findingCounts"]["info"], 1);
    EXPECT_EQ(objects[6]["provenance"], "missing-file");
    EXPECT_EQ(objects[6]["size"], nullptr);
    EXPECT_EQ(objects[6]["sha256"], nullptr);
}

TEST_F(InventoryReport, ALineTooLongIsReplacedByOneThatNamesItAndIsCounted) {
    // Control characters are six bytes each once escaped: well over the limit.
    register_installed(&registry, "{cccccccc-0000-0000-0000-000000000003}",
                       std::string(20000, '\x01'));
    inventory::Inventory result = inventory();
    std::string report = inventory::inventory_json(result, "\n");
    std::vector<json> objects;
    for (const std::string& line : lines_of(report)) {
        EXPECT_LE(line.size() + 1, inventory::MAX_JSON_LINE);
        objects.push_back(json::parse(line));
    }
    EXPECT_EQ(objects[0]["oversizedLines"], 1);
    auto oversized = std::find_if(objects.begin(), objects.end(),
                                  [](const json& object) { return object["type"] == "oversized"; });
    ASSERT_NE(oversized, objects.end());
    EXPECT_EQ((*oversized)["of"], "registration");
    EXPECT_GT((*oversized)["bytes"].get<size_t>(), inventory::MAX_JSON_LINE);
    // The lines after it are all there.
    EXPECT_EQ(std::count_if(objects.begin(), objects.end(),
                            [](const json& object) { return object["type"] == "database"; }),
              4);
}

} // namespace
