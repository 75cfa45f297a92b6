// Tests of the evaluator: each rule's verdict and label, paths, entry-level conditions.
#include "entry_evaluator.h"
#include "path_resolution.h"
#include "program_image.h"
#include "test_database.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Files by upper-cased path, plus fixed answers for folders, text and the registry.
struct TestWorld : MatchWorld {
    std::map<std::u16string, FileAttributes> files;
    Knowledge registry = Knowledge::Unknown;
    std::vector<RegistryQuery> queries;
    FileState Attributes(const std::u16string& path, const FileAttributes** attributes) override {
        auto found = files.find(FoldedText(path));
        if (found == files.end())
            return FileState::Missing;
        *attributes = &found->second;
        return FileState::Present;
    }
    // Folder listings by upper-cased path: names, with a trailing '\\' for a folder.
    std::map<std::u16string, std::vector<std::u16string>> folders;
    bool ListFolder(const std::u16string& path, std::vector<std::u16string>& names,
                    std::vector<bool>& isFolder) override {
        auto found = folders.find(FoldedText(path));
        if (found == folders.end())
            return false;
        for (const std::u16string& name : found->second) {
            bool folder = !name.empty() && name.back() == u'\\';
            names.push_back(folder ? name.substr(0, name.size() - 1) : name);
            isFolder.push_back(folder);
        }
        return true;
    }
    Knowledge RegistryHolds(const RegistryQuery& query) override {
        queries.push_back(query);
        return registry;
    }
};

FileAttributes ProgramAttributes() {
    FileAttributes a;
    a.numbers[sdb::TAG_SIZE] = 4096;
    a.numbers[sdb::TAG_CHECKSUM] = 0xB0B0B0B0;
    a.numbers[sdb::TAG_BIN_FILE_VERSION] = 0x0004000100640002ull; // 4.1.100.2
    a.numbers[sdb::TAG_BIN_PRODUCT_VERSION] = 0x0004000100640002ull;
    a.numbers[sdb::TAG_LINK_DATE] = 1000;
    a.numbers[sdb::TAG_MODULE_TYPE] = ModulePe;
    a.strings[sdb::TAG_COMPANY_NAME] = u"Acme Installer Works";
    a.strings[sdb::TAG_FILE_VERSION] = u"4.1.100.2";
    return a;
}

std::vector<Rule> Rules(std::initializer_list<Rule> rules) {
    return std::vector<Rule>(rules);
}

struct Evaluator : ::testing::Test {
    TestWorld world;
    FileAttributes attributes = ProgramAttributes();
    ProgramFacts program;
    SystemFacts system;
    sdb::DatabasePtr db;

    void SetUp() override {
        program.path = u"C:\\Apps\\Ledger\\ledgerpro.exe";
        program.attributes = &attributes;
        program.machine = MachineI386;
    }
    void UseSystem(bool is64Bit, std::uint32_t build = 19045) {
        system.known = true;
        system.is64Bit = is64Bit;
        system.build = build;
        system.variables[u"WINDIR"] = u"C:\\Windows";
        system.variables[u"SYSTEMROOT"] = u"C:\\Windows";
        system.variables[u"PROGRAMFILES"] = u"C:\\Program Files";
        system.variables[u"PROGRAMFILES(X86)"] = u"C:\\Program Files (x86)";
    }
    // One EXE named ledgerpro.exe whose children the body writes, evaluated.
    EntryResult One(const std::function<void(sdb::Writer&)>& body) {
        db = BuildDatabase(TestGuid(1), false,
                           [&](sdb::Writer& w) { WriteExe(w, u"ledgerpro.exe", body); });
        EXPECT_TRUE(db);
        sdb::TAGID exe = sdb::find_first_tag(*db, sdb::database_list(*db), sdb::TAG_EXE);
        return EvaluateEntry(*db, exe, sdb::ExeSource::name, program, system, world);
    }
    // A MATCHING_FILE `*` with the conditions the body writes.
    EntryResult OnProgram(const std::function<void(sdb::Writer&)>& conditions) {
        return One([&](sdb::Writer& w) { WriteMatchingFile(w, u"*", conditions); });
    }
};

const ConditionResult& FirstFileCondition(const EntryResult& entry) {
    return entry.conditions.at(1).children.at(0);
}

TEST_F(Evaluator, ExactNumbersAndWholeStringsWithoutCaseAreFirm) {
    auto conditions = [](std::uint32_t size, const std::u16string& company) {
        return [=](sdb::Writer& w) {
            sdb::write_dword(w, sdb::TAG_SIZE, size);
            sdb::write_dword(w, sdb::TAG_CHECKSUM, 0xB0B0B0B0);
            sdb::write_string(w, sdb::TAG_COMPANY_NAME, company);
            sdb::write_string(w, sdb::TAG_FILE_VERSION, u"4.1.100.2");
        };
    };
    EntryResult entry = OnProgram(conditions(4096, u"ACME installer works"));
    EXPECT_EQ(entry.verdict, EntryVerdict::Matched);
    EXPECT_TRUE(entry.assumes.empty());
    ASSERT_EQ(entry.conditions.size(), 2u);
    EXPECT_EQ(entry.conditions[0].rule, Rule::EntryName);
    EXPECT_EQ(entry.conditions[1].rule, Rule::ProgramItself);
    const ConditionResult& size = FirstFileCondition(entry);
    EXPECT_EQ(size.rule, Rule::ExactValue);
    EXPECT_EQ(size.wanted.kind, ValueKind::Number);
    EXPECT_EQ(size.actual.number, 4096u);

    entry = OnProgram(conditions(4095, u"ACME installer works"));
    EXPECT_EQ(entry.verdict, EntryVerdict::NotMatched);
    EXPECT_TRUE(entry.assumes.empty()); // a firm rule decided it
    EXPECT_EQ(FirstFileCondition(entry).verdict, Verdict::Fails);

    for (const char16_t* company : {u"Acme Installer", u"Acme Installer Works Inc"})
        EXPECT_EQ(OnProgram(conditions(4096, company)).verdict, EntryVerdict::NotMatched);
}

// An attribute the file lacks is never passed nor failed: the entry is unknown, unless
// another condition fails.
TEST_F(Evaluator, MissingAttributeIsUnknownNeverPassed) {
    attributes.numbers.erase(sdb::TAG_SIZE);
    attributes.strings.erase(sdb::TAG_COMPANY_NAME);
    EntryResult entry = OnProgram([](sdb::Writer& w) {
        sdb::write_dword(w, sdb::TAG_SIZE, 4096);
        sdb::write_string(w, sdb::TAG_COMPANY_NAME, u"Acme Installer Works");
    });
    EXPECT_EQ(entry.verdict, EntryVerdict::Unknown);
    EXPECT_EQ(FirstFileCondition(entry).rule, Rule::NoSuchAttribute);
    EXPECT_EQ(FirstFileCondition(entry).actual.kind, ValueKind::Absent);
    entry = OnProgram([](sdb::Writer& w) {
        sdb::write_dword(w, sdb::TAG_SIZE, 4096);
        sdb::write_dword(w, sdb::TAG_CHECKSUM, 1);
    });
    EXPECT_EQ(entry.verdict, EntryVerdict::NotMatched);
}

// UPTO_ is checked; FROM_ and 0xFFFF words are unconfirmed, so they give matched-if (or a
// not-matched that names them), never a plain match.
TEST_F(Evaluator, BoundsAndVersionWordsCarryTheirLabels) {
    EntryResult entry = OnProgram([](sdb::Writer& w) {
        sdb::write_qword(w, sdb::TAG_UPTO_BIN_FILE_VERSION, 0x0004000100640002ull);
        sdb::write_dword(w, sdb::TAG_UPTO_LINK_DATE, 1000);
    });
    EXPECT_EQ(entry.verdict, EntryVerdict::Matched);
    EXPECT_EQ(FirstFileCondition(entry).wanted.kind, ValueKind::Version);

    entry = OnProgram([](sdb::Writer& w) {
        sdb::write_qword(w, sdb::TAG_UPTO_BIN_FILE_VERSION, 0x0004FFFFFFFFFFFFull);
    });
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::VersionAnyWord}));
    entry = OnProgram([](sdb::Writer& w) {
        sdb::write_qword(w, sdb::TAG_UPTO_BIN_FILE_VERSION, 0x0003FFFFFFFFFFFFull);
    });
    EXPECT_EQ(entry.verdict, EntryVerdict::NotMatched);
    EXPECT_TRUE(entry.assumes.empty());

    entry = OnProgram([](sdb::Writer& w) {
        sdb::write_qword(w, sdb::TAG_FROM_BIN_PRODUCT_VERSION, 0x0004000000000000ull);
    });
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::FromAtLeast}));
    EXPECT_EQ(RuleEvidence(Rule::FromAtLeast), Evidence::Unconfirmed);
    entry = OnProgram([](sdb::Writer& w) { sdb::write_dword(w, sdb::TAG_FROM_LINK_DATE, 1001); });
    EXPECT_EQ(entry.verdict, EntryVerdict::NotMatched);
    EXPECT_EQ(entry.assumes, Rules({Rule::FromAtLeast}));

    // 4.1.100.* against 4.1.100.2; 4.2.* does not fit whatever 0xFFFF means.
    entry = OnProgram([](sdb::Writer& w) {
        sdb::write_qword(w, sdb::TAG_BIN_FILE_VERSION, 0x000400010064FFFFull);
    });
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::VersionAnyWord}));
    EXPECT_EQ(VersionText(FirstFileCondition(entry).wanted.number), "4.1.100.*");
    entry = OnProgram([](sdb::Writer& w) {
        sdb::write_qword(w, sdb::TAG_BIN_FILE_VERSION, 0x00040002FFFFFFFFull);
    });
    EXPECT_EQ(entry.verdict, EntryVerdict::NotMatched);
    EXPECT_TRUE(entry.assumes.empty());
}

TEST_F(Evaluator, StringPatternsAreUnconfirmedEitherWay) {
    EntryResult entry =
        OnProgram([](sdb::Writer& w) { sdb::write_string(w, sdb::TAG_COMPANY_NAME, u"*instal*"); });
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::StringWildcard}));
    entry =
        OnProgram([](sdb::Writer& w) { sdb::write_string(w, sdb::TAG_COMPANY_NAME, u"*setup*"); });
    EXPECT_EQ(entry.verdict, EntryVerdict::NotMatched);
    EXPECT_EQ(entry.assumes, Rules({Rule::StringWildcard}));
    entry = OnProgram([](sdb::Writer& w) { sdb::write_string(w, sdb::TAG_FILE_VERSION, u"4.1+"); });
    EXPECT_EQ(entry.verdict, EntryVerdict::Unknown);
    EXPECT_EQ(FirstFileCondition(entry).rule, Rule::VersionPlus);
}

// A file beside the program is checked on Windows; sub-folders rest on a reimplementation's
// report; a missing file fails.
TEST_F(Evaluator, FilesBesideAndBelowTheProgram) {
    auto entryWith = [&](const std::u16string& name) {
        return One([&](sdb::Writer& w) {
            WriteMatchingFile(w, name,
                              [](sdb::Writer& w) { sdb::write_dword(w, sdb::TAG_SIZE, 4); });
        });
    };
    EntryResult entry = entryWith(u"notes.txt");
    EXPECT_EQ(entry.verdict, EntryVerdict::NotMatched);
    EXPECT_EQ(entry.conditions[1].rule, Rule::FileMissing);
    EXPECT_EQ(entry.conditions[1].path, u"C:\\Apps\\Ledger\\notes.txt");
    EXPECT_TRUE(entry.assumes.empty());
    world.files[u"C:\\APPS\\LEDGER\\NOTES.TXT"].numbers[sdb::TAG_SIZE] = 4;
    EXPECT_EQ(entryWith(u"notes.txt").verdict, EntryVerdict::Matched);

    world.files[u"C:\\APPS\\LEDGER\\DATA\\BOOKS.DAT"].numbers[sdb::TAG_SIZE] = 4;
    entry = entryWith(u"Data\\books.dat");
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::RelativeToProgram}));
    EXPECT_EQ(RuleEvidence(Rule::RelativeToProgram), Evidence::ReportedByReimplementation);
}

// A NOT file under %SystemRoot%: unknown without the system's values (never passed), then
// matched-if on the expansion and on a missing file satisfying NOT.
TEST_F(Evaluator, NotFilesUnderVariablesAreNeverSilentlyPassed) {
    auto body = [](sdb::Writer& w) {
        WriteMatchingFile(w, u"%SystemRoot%\\syswow64\\legacy.ocx", [](sdb::Writer& w) {
            sdb::write_null(w, sdb::TAG_MATCH_LOGIC_NOT);
            sdb::write_dword(w, sdb::TAG_SIZE, 4);
        });
    };
    EntryResult entry = One(body);
    EXPECT_EQ(entry.verdict, EntryVerdict::Unknown);
    EXPECT_EQ(entry.conditions[1].rule, Rule::EnvironmentPath);

    UseSystem(true);
    entry = One(body);
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.conditions[1].rule, Rule::LogicNot);
    EXPECT_TRUE(entry.conditions[1].negated);
    EXPECT_EQ(entry.conditions[1].path, u"C:\\Windows\\syswow64\\legacy.ocx");
    EXPECT_EQ(entry.assumes, Rules({Rule::EnvironmentPath, Rule::NotMissingFile}));

    world.files[u"C:\\WINDOWS\\SYSWOW64\\LEGACY.OCX"].numbers[sdb::TAG_SIZE] = 4;
    entry = One(body);
    EXPECT_EQ(entry.verdict, EntryVerdict::NotMatched);
    EXPECT_EQ(entry.assumes, Rules({Rule::EnvironmentPath}));
    world.files[u"C:\\WINDOWS\\SYSWOW64\\LEGACY.OCX"].numbers[sdb::TAG_SIZE] = 5;
    EXPECT_EQ(One(body).verdict, EntryVerdict::MatchedIf); // present, fails its condition
}

TEST_F(Evaluator, FolderViewFollowsTheProgramsBitness) {
    UseSystem(true);
    ResolvedPath path = ResolveMatchingName(u"%windir%\\System32\\mshtml.dll", program, system);
    ASSERT_TRUE(path.resolved);
    EXPECT_EQ(path.path, u"C:\\Windows\\SysWOW64\\mshtml.dll");
    EXPECT_TRUE(path.wow64View);
    EXPECT_EQ(path.assumes, Rules({Rule::EnvironmentPath, Rule::FolderView}));
    path = ResolveMatchingName(u"%ProgramFiles%\\Acme\\a.dll", program, system);
    EXPECT_EQ(path.path, u"C:\\Program Files (x86)\\Acme\\a.dll");

    program.machine = MachineAmd64;
    path = ResolveMatchingName(u"%WINDIR%\\system32\\mshtml.dll", program, system);
    EXPECT_EQ(path.path, u"C:\\Windows\\system32\\mshtml.dll");
    EXPECT_FALSE(path.wow64View);

    program.machine = 0; // bitness unknown: the view cannot be chosen
    EXPECT_FALSE(ResolveMatchingName(u"%windir%\\system32\\x.dll", program, system).resolved);
    EXPECT_TRUE(ResolveMatchingName(u"%windir%\\fonts\\x.ttf", program, system).resolved);
    EXPECT_FALSE(ResolveMatchingName(u"%APPDATA%\\x.dll", program, system).resolved);
    system.is64Bit = false;
    EXPECT_TRUE(ResolveMatchingName(u"%windir%\\system32\\x.dll", program, system).resolved);
}

TEST_F(Evaluator, PlatformAndOsConditionsAreReadAndLabelled) {
    auto platform = [](std::uint32_t value) {
        return [=](sdb::Writer& w) { sdb::write_dword(w, sdb::TAG_RUNTIME_PLATFORM, value); };
    };
    EXPECT_EQ(One(platform(0x4C)).verdict, EntryVerdict::Unknown); // no system given
    UseSystem(true);
    EntryResult entry = One(platform(0x4C));
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::RuntimePlatform}));
    EXPECT_EQ(One(platform(0x40)).verdict, EntryVerdict::NotMatched);
    EXPECT_EQ(One(platform(0x4D)).verdict, EntryVerdict::Unknown); // bits not understood
    EXPECT_EQ(One(platform(0x4D4C)).verdict, EntryVerdict::MatchedIf);

    auto destination = [](const std::u16string& release) {
        return [=](sdb::Writer& w) { sdb::write_string(w, sdb::TAG_DEST_OS_GTE, release); };
    };
    entry = One(destination(u"RS4"));
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::DestinationOs}));
    EXPECT_EQ(One(destination(u"Future")).verdict, EntryVerdict::Unknown);
    UseSystem(true, 16299);
    EXPECT_EQ(One(destination(u"RS4")).verdict, EntryVerdict::NotMatched);

    for (sdb::TAG tag : {sdb::TAG_MITIGATION_OS, sdb::TAG_MATCHING_REG, sdb::TAG_PROCESS_MODULE,
                         sdb::TAG_MATCH_PLUGIN}) {
        entry = One([&](sdb::Writer& w) {
            if (sdb::tag_type(tag) == sdb::TAG_TYPE_NULL) {
                sdb::write_null(w, tag);
            } else {
                sdb::TAGID list = sdb::begin_list(w, tag);
                sdb::write_string(w, sdb::TAG_NAME, u"HKLM\\SOFTWARE\\Acme");
                sdb::end_list(w, list);
            }
        });
        EXPECT_EQ(entry.verdict, EntryVerdict::Unknown) << sdb::tag_name(tag);
    }
}

TEST_F(Evaluator, RegistryAndPickOneFollowTheirLists) {
    auto registry = [](sdb::Writer& w) {
        sdb::TAGID list = sdb::begin_list(w, sdb::TAG_MATCHING_REG);
        sdb::write_string(w, sdb::TAG_NAME, u"HKLM\\SOFTWARE\\Acme");
        sdb::write_string(w, sdb::TAG_REG_VALUE_NAME, u"Edition");
        sdb::write_dword(w, sdb::TAG_REG_VALUE_DATA_DWORD, 3);
        sdb::write_null(w, sdb::TAG_MATCH_LOGIC_NOT);
        sdb::end_list(w, list);
    };
    world.registry = Knowledge::No;
    EntryResult entry = One(registry);
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::MatchingRegistry}));
    ASSERT_EQ(world.queries.size(), 1u);
    EXPECT_EQ(world.queries[0].valueName, u"Edition");
    EXPECT_EQ(world.queries[0].number, 3u);
    world.registry = Knowledge::Yes;
    EXPECT_EQ(One(registry).verdict, EntryVerdict::NotMatched);

    auto pickOne = [](std::uint32_t firstSize, std::uint32_t secondSize) {
        return [=](sdb::Writer& w) {
            sdb::TAGID list = sdb::begin_list(w, sdb::TAG_PICK_ONE);
            for (std::uint32_t size : {firstSize, secondSize})
                WriteMatchingFile(
                    w, u"*", [=](sdb::Writer& w) { sdb::write_dword(w, sdb::TAG_SIZE, size); });
            sdb::end_list(w, list);
        };
    };
    entry = One(pickOne(1, 4096));
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::PickOneOr}));
    EXPECT_EQ(entry.conditions[1].children.size(), 2u);
    entry = One(pickOne(1, 2));
    EXPECT_EQ(entry.verdict, EntryVerdict::NotMatched);
    EXPECT_EQ(entry.assumes, Rules({Rule::PickOneOr}));
}

// MATCHING_WILDCARD_FILE globs through the world's listings, folders included; a folder it
// cannot list leaves it unknown.
TEST_F(Evaluator, WildcardFilesAreFoundThroughFolderListings) {
    UseSystem(true);
    system.variables[u"SYSTEMDRIVE"] = u"C:";
    auto body = [](sdb::Writer& w) {
        sdb::TAGID list = sdb::begin_list(w, sdb::TAG_MATCHING_WILDCARD_FILE);
        sdb::write_string(w, sdb::TAG_NAME, u"%SYSTEMDRIVE%\\Program Files*\\Inter*\\iexpl*.exe");
        sdb::write_dword(w, sdb::TAG_SIZE, 7);
        sdb::end_list(w, list);
    };
    EXPECT_EQ(One(body).verdict, EntryVerdict::Unknown);
    world.folders[u"C:"] = {u"Program Files\\", u"Program Files (x86)\\", u"Windows\\"};
    world.folders[u"C:\\PROGRAM FILES"] = {u"Internet Explorer\\", u"Other\\"};
    world.folders[u"C:\\PROGRAM FILES (X86)"] = {u"Internet Explorer\\"};
    world.folders[u"C:\\PROGRAM FILES\\INTERNET EXPLORER"] = {u"iexplore.exe", u"readme.txt"};
    world.folders[u"C:\\PROGRAM FILES (X86)\\INTERNET EXPLORER"] = {u"iexplore.exe"};
    world.files[u"C:\\PROGRAM FILES\\INTERNET EXPLORER\\IEXPLORE.EXE"].numbers[sdb::TAG_SIZE] = 6;
    world.files[u"C:\\PROGRAM FILES (X86)\\INTERNET EXPLORER\\IEXPLORE.EXE"]
        .numbers[sdb::TAG_SIZE] = 7;
    EntryResult entry = One(body);
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::MatchingWildcardFile, Rule::EnvironmentPath}));
    ASSERT_EQ(entry.conditions[1].children.size(), 2u);
    EXPECT_EQ(entry.conditions[1].children[0].verdict, Verdict::Fails);
    world.files[u"C:\\PROGRAM FILES (X86)\\INTERNET EXPLORER\\IEXPLORE.EXE"]
        .numbers[sdb::TAG_SIZE] = 8;
    EXPECT_EQ(One(body).verdict, EntryVerdict::NotMatched);
}

TEST_F(Evaluator, SixteenBitNamesFoldersAndMatchMode) {
    EntryResult entry = One([](sdb::Writer& w) {
        sdb::write_string(w, sdb::TAG_16BIT_MODULE_NAME, u"LEDGER");
        sdb::write_word(w, sdb::TAG_MATCH_MODE, 1);
    });
    EXPECT_EQ(entry.verdict, EntryVerdict::NotMatched); // a PE has no NE module name
    EXPECT_TRUE(entry.hasMatchMode);
    EXPECT_EQ(entry.matchMode, 1u);
    program.moduleName16 = u"ledger";
    entry =
        One([](sdb::Writer& w) { sdb::write_string(w, sdb::TAG_16BIT_MODULE_NAME, u"LEDGER"); });
    EXPECT_EQ(entry.verdict, EntryVerdict::MatchedIf);
    EXPECT_EQ(entry.assumes, Rules({Rule::ModuleName16}));
}

TEST(ProgramImage, ReadsPeMachineAndNeModuleName) {
    std::vector<std::uint8_t> bytes(0x100, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x80;
    bytes[0x80] = 'P';
    bytes[0x81] = 'E';
    bytes[0x84] = 0x4C;
    bytes[0x85] = 0x01;
    EXPECT_EQ(ReadProgramImage(bytes.data(), bytes.size()).machine, MachineI386);
    bytes[0x80] = 'N';
    bytes[0x81] = 'E';
    bytes[0x80 + 0x26] = 0x40; // resident names at 0xC0
    const char name[] = "\x06LEDGERjunk";
    for (std::size_t i = 0; i + 1 < sizeof name; ++i)
        bytes[0xC0 + i] = static_cast<std::uint8_t>(name[i]);
    ProgramImage image = ReadProgramImage(bytes.data(), bytes.size());
    EXPECT_EQ(image.machine, 0u);
    EXPECT_EQ(image.moduleName16, u"LEDGER");
    bytes[0xC0] = 0xFF; // a length past the end gives no name
    EXPECT_EQ(ReadProgramImage(bytes.data(), bytes.size()).moduleName16, u"");
    EXPECT_EQ(ReadProgramImage(bytes.data(), 0x3E).machine, 0u);
}

} // namespace
