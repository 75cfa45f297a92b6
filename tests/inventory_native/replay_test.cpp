// Dirty hives replayed from their transaction logs, built by hand in both formats: the
// replayed values are read and the report says which logs; hostile and stale logs give
// warnings, never a crash, and nothing on disk changes.
#include "hive_file.h"
#include "regf_header.h"
#include "regf_log.h"
#include "test_hive.h"
#include "test_log.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
using image_inventory::REGF_PRIMARY_SEQUENCE;
using image_inventory::REGF_SECONDARY_SEQUENCE;
using nlohmann::json;

namespace {

TEST(Marvin32, PublishedVectors) {
    const uint64_t seed = 0x004FB61A001BDBCCull;
    const std::vector<std::pair<std::vector<uint8_t>, uint64_t>> vectors = {
        {{}, 0x30ED35C100CD3C7Dull},
        {{0xaf}, 0x48E73FC77D75DDC1ull},
        {{0xe7, 0x0f}, 0xB5F6E1FC485DBFF8ull},
        {{0x37, 0xf4, 0x95}, 0xF0B07C789B8CF7E8ull},
        {{0x86, 0x42, 0xdc, 0x59}, 0x7008F2E87E9CF556ull},
        {{0x15, 0x3f, 0xb7, 0x98, 0x26}, 0xE6C08C6DA2AFA997ull},
        {{0x09, 0x32, 0xe6, 0x24, 0x6c, 0x47}, 0x6F04BF1A5EA24060ull},
        {{0xab, 0x42, 0x7e, 0xa8, 0xd1, 0x0f, 0xc7}, 0xE11847E4F0678C41ull}};
    for (const auto& vector : vectors) {
        EXPECT_EQ(image_inventory::marvin32(vector.first.data(), vector.first.size(), seed),
                  vector.second)
            << vector.first.size() << " bytes";
    }
}

std::vector<uint8_t> read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

struct ImageRun {
    int exit_code;
    std::vector<json> objects;
    std::string err;
};

// A user hive whose layer string a log changes from OLDLAYER; the hive is marked dirty.
class DirtyHive : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillet-replay-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        base = pattern;
        hive_path = base / "NTUSER.DAT";
        TestHive user;
        user.key(std::string(USER_APPCOMPAT) + "\\Layers",
                 {{"C:\\b.exe", inventory::VALUE_STRING, utf16("OLDLAYER")}});
        user.write(hive_path);
        clean = read_bytes(hive_path);
        sequence = hive_field(clean, REGF_SECONDARY_SEQUENCE);
        dirty = clean;
        set_hive_field(&dirty, REGF_PRIMARY_SEQUENCE, sequence + 1);
        write_bytes(hive_path, dirty);
    }
    void TearDown() override { fs::remove_all(base); }

    ImageRun run() {
        fs::path out = base / "out.txt";
        fs::path err = base / "err.txt";
        std::string command = std::string(QUILLET_IMAGE) + " --json --ntuser " +
                              hive_path.string() + " >" + out.string() + " 2>" + err.string();
        int status = std::system(command.c_str());
        ImageRun result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}, ""};
        std::vector<uint8_t> errors = read_bytes(err);
        result.err.assign(errors.begin(), errors.end());
        std::vector<uint8_t> text = read_bytes(out);
        std::istringstream stream(std::string(text.begin(), text.end()));
        std::string line;
        while (std::getline(stream, line)) {
            result.objects.push_back(json::parse(line));
        }
        return result;
    }

    static const json* first(const ImageRun& run, const char* type) {
        for (const json& object : run.objects) {
            if (object["type"] == type) {
                return &object;
            }
        }
        return nullptr;
    }

    fs::path base;
    fs::path hive_path;
    std::vector<uint8_t> clean;
    std::vector<uint8_t> dirty;
    uint32_t sequence = 0;
};

TEST_F(DirtyHive, EntriesOfTheCurrentFormatAreReplayedAndTheReportNamesTheLogs) {
    LogPage page = page_with(clean, "OLDLAYER", "NEWLAYER");
    // The older log holds an entry the hive already has; the newer one what it lacks.
    write_bytes(base / "ntuser.dat.LOG2", entries_log(clean, sequence, {{page}}));
    LogPage stale = page_with(clean, "OLDLAYER", "STALE!!!");
    std::vector<uint8_t> older = entries_log(clean, sequence - 1, {{stale}});
    set_hive_field(&older, REGF_SECONDARY_SEQUENCE, sequence - 1);
    write_bytes(base / "NTUSER.DAT.LOG1", older);

    ImageRun replayed = run();
    EXPECT_EQ(replayed.exit_code, 0) << replayed.err;
    EXPECT_EQ(replayed.err, "");
    const json* layer = first(replayed, "layer");
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ((*layer)["value"], "NEWLAYER");
    const json* hive = first(replayed, "hive");
    ASSERT_NE(hive, nullptr);
    EXPECT_EQ((*hive)["state"], "replayed");
    EXPECT_EQ((*hive)["logs"], json::array({"ntuser.dat.LOG2"}));
    // Only a copy in memory was changed.
    EXPECT_EQ(read_bytes(hive_path), dirty);
}

TEST_F(DirtyHive, ADirtyVectorOfTheEarlierFormatIsReplayed) {
    LogPage page = page_with(clean, "OLDLAYER", "VECLAYER");
    // Only the sectors that changed: the one with the text (it may straddle two).
    std::vector<uint8_t> log = dirty_vector_log(dirty, {page});
    write_bytes(base / "NTUSER.DAT.LOG", log);
    ImageRun replayed = run();
    EXPECT_EQ(replayed.exit_code, 0) << replayed.err;
    ASSERT_NE(first(replayed, "layer"), nullptr);
    EXPECT_EQ((*first(replayed, "layer"))["value"], "VECLAYER");
    EXPECT_EQ((*first(replayed, "hive"))["logs"], json::array({"NTUSER.DAT.LOG"}));
}

TEST_F(DirtyHive, WithoutASoundLogItIsReadAsItIsWithAWarningAndExitOne) {
    LogPage page = page_with(clean, "OLDLAYER", "NEWLAYER");
    std::vector<uint8_t> good = entries_log(clean, sequence, {{page}});
    std::vector<uint8_t> bad_hash = good;
    bad_hash[512 + 40 + 8 + 100] ^= 1;
    std::vector<uint8_t> outside = entries_log(clean, sequence, {{{0x7FFFF000u, page.bytes}}});
    std::vector<uint8_t> cut(good.begin(), good.begin() + 600);
    std::vector<uint8_t> not_a_log(good.size(), 0x41);
    struct Case {
        const char* name;
        std::vector<uint8_t> log;
        const char* said;
    };
    for (const Case& c : {Case{"no log", {}, "without a transaction log"},
                          Case{"a bad hash", bad_hash, "no sound entry"},
                          Case{"a page outside the hive", outside, "outside the hive"},
                          Case{"cut short", cut, "no sound entry"},
                          Case{"not a log", not_a_log, "no log header"}}) {
        SCOPED_TRACE(c.name);
        fs::remove(base / "NTUSER.DAT.LOG1");
        if (!c.log.empty()) {
            write_bytes(base / "NTUSER.DAT.LOG1", c.log);
        }
        ImageRun read = run();
        EXPECT_EQ(read.exit_code, 1);
        EXPECT_NE(read.err.find(c.said), std::string::npos) << read.err;
        ASSERT_NE(first(read, "layer"), nullptr);
        EXPECT_EQ((*first(read, "layer"))["value"], "OLDLAYER");
        EXPECT_EQ((*first(read, "hive"))["state"], "dirty");
        EXPECT_EQ((*first(read, "inventorySummary"))["warnings"].get<int>(), c.log.empty() ? 1 : 2);
    }
}

// Any bytes as a log: the replay stays inside both buffers (ASan watches) and gives an outcome.
TEST_F(DirtyHive, MutatedLogsNeverCrashTheReplay) {
    LogPage page = page_with(clean, "OLDLAYER", "NEWLAYER");
    std::vector<uint8_t> good = entries_log(clean, sequence, {{page}, {page}});
    std::vector<uint8_t> vector_log = dirty_vector_log(dirty, {page});
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> log = round % 2 == 0 ? good : vector_log;
        size_t flips = 1 + random() % 8;
        for (size_t i = 0; i < flips; ++i) {
            // Mostly the headers and references, where the sizes and offsets are.
            size_t at = random() % 4 == 0 ? random() % log.size() : random() % 640;
            log[at] = static_cast<uint8_t>(random());
        }
        if (random() % 5 == 0) {
            log.resize(random() % log.size());
        }
        std::vector<uint8_t> hive = dirty;
        image_inventory::LogReplay replay = image_inventory::replay_log(log, 1u << 24, &hive);
        EXPECT_LE(hive.size(), size_t{1} << 24);
        if (replay.outcome == image_inventory::LogOutcome::Malformed) {
            EXPECT_FALSE(replay.problem.empty());
        }
    }
}

} // namespace
