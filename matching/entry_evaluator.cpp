// Evaluates EXE entries condition by condition, saying which rule decided each verdict.
#include "entry_evaluator.h"

#include "path_resolution.h"

#include "sdb_index.h"

namespace {

struct Evaluation {
    const sdb::Database& db;
    const ProgramFacts& program;
    const SystemFacts& system;
    MatchWorld& world;
    const std::u16string& fileName; // the program's, without its folder
};

void AddRule(std::vector<Rule>& rules, Rule rule) {
    for (Rule known : rules) {
        if (known == rule)
            return;
    }
    rules.push_back(rule);
}

void AddRules(std::vector<Rule>& rules, const std::vector<Rule>& more) {
    for (Rule rule : more)
        AddRule(rules, rule);
}

// A condition not yet decided: unknown until a rule decides it.
ConditionResult Condition(sdb::TAG tag, sdb::TAGID item, Rule rule) {
    ConditionResult result;
    result.tag = tag;
    result.item = item;
    result.rule = rule;
    return result;
}

// Sets a leaf's verdict under its rule: a decided verdict rests on the rule unless it is
// firm; an unknown one rests on nothing.
void Decide(ConditionResult& result, Verdict verdict, Rule rule) {
    result.verdict = verdict;
    result.rule = rule;
    if (verdict != Verdict::Unknown && !RuleIsFirm(rule))
        AddRule(result.assumes, rule);
}

// AND and OR: one decisive part (a failure for AND, a hold for OR) decides, firmly when a
// firmly decisive part exists; else an unknown part leaves it unknown; else it takes the
// other verdict. A verdict that is not firm rests on every part that gave it.
Verdict Combine(const std::vector<ConditionResult>& parts, Verdict decisive, Verdict otherwise,
                std::vector<Rule>& assumes) {
    bool decided = false, firm = false, unknown = false;
    for (const ConditionResult& part : parts) {
        decided = decided || part.verdict == decisive;
        firm = firm || (part.verdict == decisive && part.assumes.empty());
        unknown = unknown || part.verdict == Verdict::Unknown;
    }
    Verdict wanted = decided ? decisive : unknown ? Verdict::Unknown : otherwise;
    if (wanted == Verdict::Unknown || firm)
        return wanted;
    for (const ConditionResult& part : parts) {
        if (part.verdict == wanted)
            AddRules(assumes, part.assumes);
    }
    return wanted;
}

Verdict AllOf(const std::vector<ConditionResult>& parts, std::vector<Rule>& assumes) {
    return Combine(parts, Verdict::Fails, Verdict::Holds, assumes);
}

Verdict AnyOf(const std::vector<ConditionResult>& parts, std::vector<Rule>& assumes) {
    return Combine(parts, Verdict::Holds, Verdict::Fails, assumes);
}

// MATCH_LOGIC_NOT turns a decided verdict round; what it rested on stays.
void Negate(ConditionResult& result) {
    result.negated = true;
    if (result.verdict == Verdict::Holds)
        result.verdict = Verdict::Fails;
    else if (result.verdict == Verdict::Fails)
        result.verdict = Verdict::Holds;
}

bool HasWord(std::uint64_t version, unsigned word) {
    for (int shift = 0; shift < 64; shift += 16) {
        if (((version >> shift) & 0xFFFF) == word)
            return true;
    }
    return false;
}

std::uint64_t ReadNumber(const sdb::Database& db, sdb::TAGID item, sdb::TAG tag) {
    switch (sdb::tag_type(tag)) {
    case sdb::TAG_TYPE_WORD:
        return sdb::read_word(db, item);
    case sdb::TAG_TYPE_DWORD:
        return sdb::read_dword(db, item);
    default:
        return sdb::read_qword(db, item);
    }
}

MatchValue TypedNumber(sdb::TAG tag, sdb::TAG attribute, std::uint64_t value) {
    if (sdb::is_version_tag(tag) || sdb::is_version_tag(attribute))
        return VersionValue(value);
    return NumberValue(value, sdb::tag_type(tag) == sdb::TAG_TYPE_QWORD);
}

// UPTO_ on a version: a 0xFFFF word of the bound accepts any value from there on.
void UpToVersion(ConditionResult& result, std::uint64_t file, std::uint64_t bound) {
    for (int shift = 48; shift >= 0; shift -= 16) {
        unsigned boundWord = static_cast<unsigned>((bound >> shift) & 0xFFFF);
        unsigned fileWord = static_cast<unsigned>((file >> shift) & 0xFFFF);
        if (boundWord == 0xFFFF) {
            Decide(result, Verdict::Holds, Rule::UpToAtMost);
            AddRule(result.assumes, Rule::VersionAnyWord);
            return;
        }
        if (fileWord != boundWord) {
            Decide(result, fileWord < boundWord ? Verdict::Holds : Verdict::Fails,
                   Rule::UpToAtMost);
            return;
        }
    }
    Decide(result, Verdict::Holds, Rule::UpToAtMost);
}

// An exact version whose 0xFFFF words stand for any: a differing other word fails firmly.
void ExactVersion(ConditionResult& result, std::uint64_t file, std::uint64_t wanted) {
    std::uint64_t mask = 0;
    for (int shift = 0; shift < 64; shift += 16) {
        if (((wanted >> shift) & 0xFFFF) != 0xFFFF)
            mask |= std::uint64_t(0xFFFF) << shift;
    }
    if ((file & mask) != (wanted & mask))
        Decide(result, Verdict::Fails, Rule::ExactValue);
    else
        Decide(result, Verdict::Holds, Rule::VersionAnyWord);
}

ConditionResult NumberCondition(const Evaluation& e, sdb::TAGID item, sdb::TAG tag,
                                const FileAttributes& attributes) {
    ConditionResult result = Condition(tag, item, Rule::NotComputed);
    const sdb::BoundCondition* bound = sdb::bound_condition(tag);
    sdb::TAG attribute = bound != nullptr ? bound->attribute : tag;
    std::uint64_t wanted = ReadNumber(e.db, item, tag);
    result.wanted = TypedNumber(tag, attribute, wanted);
    auto found = attributes.numbers.find(attribute);
    if (found == attributes.numbers.end()) {
        result.rule = Rule::NoSuchAttribute;
        return result;
    }
    std::uint64_t file = found->second;
    result.actual = TypedNumber(tag, attribute, file);
    bool version = sdb::is_version_tag(tag);
    if (bound != nullptr && bound->upper) {
        if (version)
            UpToVersion(result, file, wanted);
        else
            Decide(result, file <= wanted ? Verdict::Holds : Verdict::Fails, Rule::UpToAtMost);
    } else if (bound != nullptr) {
        Decide(result, file >= wanted ? Verdict::Holds : Verdict::Fails, Rule::FromAtLeast);
    } else if (version && HasWord(wanted, 0xFFFF)) {
        ExactVersion(result, file, wanted);
    } else {
        Decide(result, file == wanted ? Verdict::Holds : Verdict::Fails, Rule::ExactValue);
    }
    return result;
}

ConditionResult StringCondition(const Evaluation& e, sdb::TAGID item, sdb::TAG tag,
                                const FileAttributes& attributes) {
    ConditionResult result = Condition(tag, item, Rule::NotComputed);
    const char16_t* wanted = sdb::get_string_ptr(e.db, item);
    if (wanted == nullptr)
        return result; // NotComputed: the database's string cannot be read
    result.wanted = StringValue(wanted);
    auto found = attributes.strings.find(tag);
    if (found == attributes.strings.end()) {
        result.rule = Rule::NoSuchAttribute;
        return result;
    }
    result.actual = StringValue(found->second);
    const std::u16string& text = result.wanted.text;
    if (text.find(u'*') != std::u16string::npos) {
        bool fits = sdb::wildcard_match(wanted, found->second.c_str());
        Decide(result, fits ? Verdict::Holds : Verdict::Fails, Rule::StringWildcard);
    } else if ((tag == sdb::TAG_FILE_VERSION || tag == sdb::TAG_PRODUCT_VERSION) && !text.empty() &&
               text.back() == u'+') {
        result.rule = Rule::VersionPlus;
    } else {
        bool equal = sdb::equal_nocase(wanted, found->second.c_str());
        Decide(result, equal ? Verdict::Holds : Verdict::Fails, Rule::StringWithoutCase);
    }
    return result;
}

// One condition inside a MATCHING_FILE against the file's attributes.
ConditionResult AttributeCondition(const Evaluation& e, sdb::TAGID item,
                                   const FileAttributes& attributes) {
    sdb::TAG tag = sdb::get_tag(e.db, item);
    switch (sdb::tag_type(tag)) {
    case sdb::TAG_TYPE_WORD:
    case sdb::TAG_TYPE_DWORD:
    case sdb::TAG_TYPE_QWORD:
        return NumberCondition(e, item, tag, attributes);
    case sdb::TAG_TYPE_STRINGREF:
    case sdb::TAG_TYPE_STRING:
        return StringCondition(e, item, tag, attributes);
    default:
        return Condition(tag, item, Rule::NotComputed);
    }
}

ConditionResult MatchingFile(const Evaluation& e, sdb::TAGID file) {
    ConditionResult result = Condition(sdb::TAG_MATCHING_FILE, file, Rule::NotComputed);
    // One walk over the list: its name, its NOT and its conditions.
    const char16_t* name = nullptr;
    bool negated = false;
    std::vector<sdb::TAGID> conditions;
    for (sdb::TAGID item = sdb::get_first_child(e.db, file); item != 0;
         item = sdb::get_next_child(e.db, file, item)) {
        sdb::TAG tag = sdb::get_tag(e.db, item);
        if (tag == sdb::TAG_NAME && name == nullptr)
            name = sdb::get_string_ptr(e.db, item);
        else if (tag == sdb::TAG_MATCH_LOGIC_NOT)
            negated = true;
        else if (tag != sdb::TAG_NAME)
            conditions.push_back(item);
    }
    if (name == nullptr)
        return result;
    result.wanted = StringValue(name);
    ResolvedPath path = ResolveMatchingName(name, e.program, e.system);
    result.rule = path.rule;
    result.wow64View = path.wow64View;
    if (!path.resolved)
        return result;
    result.path = std::move(path.path);
    const FileAttributes* attributes = nullptr;
    FileState state =
        path.rule == Rule::ProgramItself
            ? (e.program.attributes != nullptr ? FileState::Present : FileState::Unreadable)
            : e.world.Attributes(result.path, &attributes);
    if (path.rule == Rule::ProgramItself)
        attributes = e.program.attributes;
    bool missing = state == FileState::Missing;
    if (state == FileState::Unreadable) {
        result.rule = Rule::FileUnreadable;
    } else if (missing) {
        Decide(result, Verdict::Fails, Rule::FileMissing);
    } else {
        result.actual = StringValue(result.path);
        result.children.reserve(conditions.size());
        for (sdb::TAGID item : conditions)
            result.children.push_back(AttributeCondition(e, item, *attributes));
        result.verdict = AllOf(result.children, result.assumes);
    }
    if (result.verdict == Verdict::Unknown)
        return result;
    AddRules(result.assumes, path.assumes);
    if (negated) {
        Negate(result);
        result.rule = Rule::LogicNot;
        if (missing)
            AddRule(result.assumes, Rule::NotMissingFile);
    }
    return result;
}

bool IsNegated(const sdb::Database& db, sdb::TAGID list) {
    return sdb::find_first_tag(db, list, sdb::TAG_MATCH_LOGIC_NOT) != 0;
}

// A list that names a path (MATCHING_TEXT, MATCHING_DIR) asked of the world.
ConditionResult PathQuery(const Evaluation& e, sdb::TAGID list, sdb::TAG tag, Rule rule) {
    ConditionResult result = Condition(tag, list, rule);
    const char16_t* name = sdb::get_child_string_ptr(e.db, list, sdb::TAG_NAME);
    if (name == nullptr)
        return result;
    result.wanted = StringValue(name);
    ResolvedPath path = ResolveMatchingName(name, e.program, e.system);
    result.wow64View = path.wow64View;
    if (!path.resolved)
        return result;
    result.path = path.path;
    Knowledge answer = Knowledge::Unknown;
    if (tag == sdb::TAG_MATCHING_DIR) {
        answer = e.world.FolderExists(path.path);
    } else {
        std::vector<std::uint8_t> bytes;
        if (!sdb::read_binary(e.db, sdb::find_first_tag(e.db, list, sdb::TAG_TEXT), &bytes))
            return result;
        answer = e.world.FileContains(path.path, bytes);
    }
    if (answer == Knowledge::Unknown)
        return result;
    Decide(result, answer == Knowledge::Yes ? Verdict::Holds : Verdict::Fails, rule);
    AddRules(result.assumes, path.assumes);
    if (IsNegated(e.db, list))
        Negate(result);
    return result;
}

// The files a path with wildcards in any component names, through the world's folder
// listings; false when a folder cannot be listed.
bool GlobFiles(const Evaluation& e, const std::u16string& pattern,
               std::vector<std::u16string>& found) {
    std::size_t wild = pattern.find_first_of(u"*?");
    if (wild == std::u16string::npos) {
        found.push_back(pattern);
        return true;
    }
    std::size_t start = pattern.find_last_of(u"\\/", wild);
    std::size_t end = pattern.find_first_of(u"\\/", wild);
    if (start == std::u16string::npos)
        return false;
    std::u16string folder = pattern.substr(0, start);
    std::u16string component = FoldedText(pattern.substr(start + 1, end - start - 1));
    std::u16string rest = end == std::u16string::npos ? std::u16string() : pattern.substr(end);
    std::vector<std::u16string> names;
    std::vector<bool> isFolder;
    if (!e.world.ListFolder(folder, names, isFolder))
        return false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        bool wantFolder = !rest.empty();
        if (i < isFolder.size() && isFolder[i] == wantFolder &&
            sdb::folded_wildcard_match(component, FoldedText(names[i])) &&
            !GlobFiles(e, folder + u"\\" + names[i] + rest, found))
            return false;
    }
    return true;
}

// MATCHING_WILDCARD_FILE: holds when a file its pattern names meets its conditions.
ConditionResult MatchingWildcardFile(const Evaluation& e, sdb::TAGID list) {
    ConditionResult result =
        Condition(sdb::TAG_MATCHING_WILDCARD_FILE, list, Rule::MatchingWildcardFile);
    const char16_t* name = sdb::get_child_string_ptr(e.db, list, sdb::TAG_NAME);
    if (name == nullptr)
        return result;
    result.wanted = StringValue(name);
    ResolvedPath path = ResolveMatchingName(name, e.program, e.system);
    std::vector<std::u16string> files;
    if (!path.resolved || !GlobFiles(e, path.path, files))
        return result;
    result.path = path.path;
    bool unknown = false;
    for (const std::u16string& file : files) {
        const FileAttributes* attributes = nullptr;
        FileState state = e.world.Attributes(file, &attributes);
        if (state != FileState::Present) {
            unknown = unknown || state == FileState::Unreadable;
            continue;
        }
        ConditionResult candidate;
        candidate.tag = sdb::TAG_MATCHING_FILE;
        candidate.rule = Rule::MatchingWildcardFile;
        candidate.path = file;
        candidate.actual = StringValue(file);
        for (sdb::TAGID item = sdb::get_first_child(e.db, list); item != 0;
             item = sdb::get_next_child(e.db, list, item)) {
            sdb::TAG tag = sdb::get_tag(e.db, item);
            if (tag != sdb::TAG_NAME && tag != sdb::TAG_MATCH_LOGIC_NOT)
                candidate.children.push_back(AttributeCondition(e, item, *attributes));
        }
        candidate.verdict = AllOf(candidate.children, candidate.assumes);
        result.children.push_back(std::move(candidate));
    }
    result.verdict = AnyOf(result.children, result.assumes);
    if (result.verdict == Verdict::Fails && unknown)
        result.verdict = Verdict::Unknown;
    if (result.verdict == Verdict::Unknown) {
        result.assumes.clear();
        return result;
    }
    AddRule(result.assumes, Rule::MatchingWildcardFile);
    AddRules(result.assumes, path.assumes);
    if (IsNegated(e.db, list))
        Negate(result);
    return result;
}

ConditionResult MatchingRegistry(const Evaluation& e, sdb::TAGID list) {
    ConditionResult result = Condition(sdb::TAG_MATCHING_REG, list, Rule::MatchingRegistry);
    RegistryQuery query;
    const sdb::Database& db = e.db;
    const char16_t* key = sdb::get_child_string_ptr(db, list, sdb::TAG_NAME);
    if (key == nullptr)
        return result;
    query.key = key;
    result.wanted = StringValue(key);
    if (const char16_t* value = sdb::get_child_string_ptr(db, list, sdb::TAG_REG_VALUE_NAME)) {
        query.hasValueName = true;
        query.valueName = value;
    }
    query.type = sdb::read_child_dword(db, list, sdb::TAG_REG_VALUE_TYPE);
    if (const char16_t* text = sdb::get_child_string_ptr(db, list, sdb::TAG_REG_VALUE_DATA_SZ)) {
        query.dataKind = 1;
        query.text = text;
    } else if (sdb::TAGID dword = sdb::find_first_tag(db, list, sdb::TAG_REG_VALUE_DATA_DWORD)) {
        query.dataKind = 2;
        query.number = sdb::read_dword(db, dword);
    } else if (sdb::TAGID qword = sdb::find_first_tag(db, list, sdb::TAG_REG_VALUE_DATA_QWORD)) {
        query.dataKind = 2;
        query.number = sdb::read_qword(db, qword);
    } else if (sdb::TAGID binary = sdb::find_first_tag(db, list, sdb::TAG_REG_VALUE_DATA_BINARY)) {
        query.dataKind = 3;
        sdb::read_binary(db, binary, &query.bytes);
    }
    query.hasData = query.dataKind != 0;
    Knowledge answer = e.world.RegistryHolds(query);
    if (answer == Knowledge::Unknown)
        return result;
    Decide(result, answer == Knowledge::Yes ? Verdict::Holds : Verdict::Fails,
           Rule::MatchingRegistry);
    if (IsNegated(db, list))
        Negate(result);
    return result;
}

// RUNTIME_PLATFORM in a 2.x database: each byte with 0x40 set is one platform, 0x40 native
// x86 and 0x4C WOW64 as far as databases suggest; other values, and 3.0 databases, are not
// understood. One understood platform that fits is enough.
ConditionResult RuntimePlatform(const Evaluation& e, sdb::TAGID item) {
    ConditionResult result = Condition(sdb::TAG_RUNTIME_PLATFORM, item, Rule::RuntimePlatform);
    std::uint32_t value = sdb::read_dword(e.db, item);
    result.wanted = NumberValue(value, false);
    if (e.program.machine != 0)
        result.actual = NumberValue(e.program.machine, false);
    if (sdb::database_major(e.db) >= 3 || !e.system.known || e.program.machine == 0 || value == 0)
        return result;
    bool understood = true, fits = false;
    for (; value != 0; value >>= 8) {
        std::uint32_t platform = value & 0xFF;
        bool x86 = e.program.machine == MachineI386;
        if (platform == 0x40)
            fits = fits || (x86 && !e.system.is64Bit);
        else if (platform == 0x4C)
            fits = fits || (x86 && e.system.is64Bit);
        else
            understood = false;
    }
    if (fits || understood)
        Decide(result, fits ? Verdict::Holds : Verdict::Fails, Rule::RuntimePlatform);
    return result;
}

// Release names of DEST_OS_GTE and DEST_OS_LT, by their first build.
std::uint32_t ReleaseBuild(const std::u16string& name) {
    static const struct {
        const char16_t* name;
        std::uint32_t build;
    } releases[] = {{u"TH1", 10240},  {u"TH2", 10586},  {u"RS1", 14393},  {u"RS2", 15063},
                    {u"RS3", 16299},  {u"RS4", 17134},  {u"RS5", 17763},  {u"19H1", 18362},
                    {u"19H2", 18363}, {u"VB", 19041},   {u"20H1", 19041}, {u"20H2", 19042},
                    {u"21H1", 19043}, {u"21H2", 19044}, {u"22H2", 19045}, {u"CO", 22000}};
    std::u16string folded = FoldedText(name);
    for (const auto& release : releases) {
        if (folded == release.name)
            return release.build;
    }
    return 0;
}

ConditionResult DestinationOs(const Evaluation& e, sdb::TAGID item, sdb::TAG tag) {
    ConditionResult result = Condition(tag, item, Rule::DestinationOs);
    const char16_t* name = sdb::get_string_ptr(e.db, item);
    if (name == nullptr)
        return result;
    result.wanted = StringValue(name);
    if (!e.system.known || e.system.build == 0)
        return result;
    result.actual = NumberValue(e.system.build, false);
    std::uint32_t build = ReleaseBuild(name);
    if (build == 0 || tag == sdb::TAG_DEST_OS)
        return result;
    bool holds = tag == sdb::TAG_DEST_OS_GTE ? e.system.build >= build : e.system.build < build;
    Decide(result, holds ? Verdict::Holds : Verdict::Fails, Rule::DestinationOs);
    return result;
}

ConditionResult ModuleName16(const Evaluation& e, sdb::TAGID item) {
    ConditionResult result = Condition(sdb::TAG_16BIT_MODULE_NAME, item, Rule::ModuleName16);
    const char16_t* wanted = sdb::get_string_ptr(e.db, item);
    if (wanted == nullptr)
        return result;
    result.wanted = StringValue(wanted);
    if (!e.program.moduleName16.empty()) {
        result.actual = StringValue(e.program.moduleName16);
        bool equal = sdb::equal_nocase(wanted, e.program.moduleName16.c_str());
        Decide(result, equal ? Verdict::Holds : Verdict::Fails, Rule::ModuleName16);
        return result;
    }
    // Only a file known to be no NE image has no module name for certain.
    const FileAttributes* attributes = e.program.attributes;
    if (attributes == nullptr)
        return result;
    auto type = attributes->numbers.find(sdb::TAG_MODULE_TYPE);
    if (type != attributes->numbers.end() && type->second != ModuleNe)
        Decide(result, Verdict::Fails, Rule::ModuleName16);
    return result;
}

ConditionResult ListCondition(const Evaluation& e, sdb::TAGID item, sdb::TAG tag);

ConditionResult PickOne(const Evaluation& e, sdb::TAGID list) {
    ConditionResult result = Condition(sdb::TAG_PICK_ONE, list, Rule::PickOneOr);
    for (sdb::TAGID item = sdb::get_first_child(e.db, list); item != 0;
         item = sdb::get_next_child(e.db, list, item)) {
        sdb::TAG tag = sdb::get_tag(e.db, item);
        if (tag != sdb::TAG_MATCH_LOGIC_NOT)
            result.children.push_back(ListCondition(e, item, tag));
    }
    result.verdict = AnyOf(result.children, result.assumes);
    if (result.verdict != Verdict::Unknown)
        AddRule(result.assumes, Rule::PickOneOr);
    return result;
}

// The tags under EXE that are conditions; every other child is a fix, a reference or a
// description. Returns false for those.
bool IsEntryCondition(sdb::TAG tag) {
    switch (tag) {
    case sdb::TAG_MATCHING_FILE:
    case sdb::TAG_PICK_ONE:
    case sdb::TAG_RUNTIME_PLATFORM:
    case sdb::TAG_DEST_OS_GTE:
    case sdb::TAG_DEST_OS_LT:
    case sdb::TAG_DEST_OS:
    case sdb::TAG_OS_KIND:
    case sdb::TAG_MITIGATION_OS:
    case sdb::TAG_OS_SKU:
    case sdb::TAG_OS_SERVICE_PACK:
    case sdb::TAG_VISTA_SKU:
    case sdb::TAG_SOURCE_OS:
    case sdb::TAG_SOURCE_OS_LTE:
    case sdb::TAG_SOURCE_OS_GTE:
    case sdb::TAG_16BIT_MODULE_NAME:
    case sdb::TAG_MATCHING_REG:
    case sdb::TAG_MATCHING_TEXT:
    case sdb::TAG_MATCHING_DIR:
    case sdb::TAG_MATCHING_WILDCARD_FILE:
    case sdb::TAG_MATCHING_WILDCARD_REG:
    case sdb::TAG_PROCESS_MODULE:
    case sdb::TAG_MATCH_PLUGIN:
    case sdb::TAG_MATCHING_SDB_CAPABILITY:
    case sdb::TAG_MATCH_LOGIC_NOT_IF_SDB_CAPABILITY_EXISTS:
    case sdb::TAG_MATCHING_COMMAND_LINE:
    case sdb::TAG_MATCHING_APPLICATION_ATTRIBUTES:
        return true;
    default:
        return false;
    }
}

ConditionResult ListCondition(const Evaluation& e, sdb::TAGID item, sdb::TAG tag) {
    switch (tag) {
    case sdb::TAG_MATCHING_FILE:
        return MatchingFile(e, item);
    case sdb::TAG_PICK_ONE:
        return PickOne(e, item);
    case sdb::TAG_RUNTIME_PLATFORM:
        return RuntimePlatform(e, item);
    case sdb::TAG_DEST_OS_GTE:
    case sdb::TAG_DEST_OS_LT:
    case sdb::TAG_DEST_OS:
        return DestinationOs(e, item, tag);
    case sdb::TAG_OS_KIND:
    case sdb::TAG_MITIGATION_OS:
    case sdb::TAG_OS_SKU:
    case sdb::TAG_OS_SERVICE_PACK:
    case sdb::TAG_VISTA_SKU:
    case sdb::TAG_SOURCE_OS:
    case sdb::TAG_SOURCE_OS_LTE:
    case sdb::TAG_SOURCE_OS_GTE:
        return Condition(tag, item, Rule::OsFilter);
    case sdb::TAG_16BIT_MODULE_NAME:
        return ModuleName16(e, item);
    case sdb::TAG_MATCHING_REG:
        return MatchingRegistry(e, item);
    case sdb::TAG_MATCHING_TEXT:
        return PathQuery(e, item, tag, Rule::MatchingText);
    case sdb::TAG_MATCHING_DIR:
        return PathQuery(e, item, tag, Rule::MatchingDirectory);
    case sdb::TAG_MATCHING_WILDCARD_FILE:
        return MatchingWildcardFile(e, item);
    case sdb::TAG_PROCESS_MODULE:
    case sdb::TAG_MATCH_PLUGIN:
        return Condition(tag, item, Rule::RunTimeOnly);
    default:
        return Condition(tag, item, Rule::NotComputed);
    }
}

// The lookup's own condition: how the entry's name fits the file.
ConditionResult NameCondition(const Evaluation& e, sdb::TAGID exe, sdb::ExeSource source,
                              sdb::TAGID nameItem, sdb::TAGID wildcardItem) {
    ConditionResult result;
    result.actual = StringValue(e.fileName);
    if (source == sdb::ExeSource::wildcard_name) {
        const char16_t* pattern = wildcardItem != 0 ? sdb::get_string_ptr(e.db, wildcardItem)
                                                    : sdb::exe_wildcard_pattern(e.db, exe);
        result.tag = sdb::TAG_WILDCARD_NAME;
        result.item = wildcardItem;
        result.wanted = StringValue(pattern != nullptr ? pattern : u"");
        Decide(result, Verdict::Holds,
               result.wanted.text == u"*" ? Rule::AnyName : Rule::WildcardName);
        return result;
    }
    result.tag = sdb::TAG_NAME;
    result.item = nameItem;
    const char16_t* name = sdb::get_string_ptr(e.db, result.item);
    result.wanted = StringValue(name != nullptr ? name : u"");
    if (result.wanted.text.find_first_of(u"\\/") != std::u16string::npos)
        result.rule = Rule::NameWithFolder; // how these match is not known: unknown
    else if (source == sdb::ExeSource::name)
        Decide(result, Verdict::Holds, Rule::EntryName);
    else
        Decide(result, Verdict::Holds, Rule::ModuleName16);
    return result;
}

std::u16string StringOf(const sdb::Database& db, sdb::TAGID item) {
    const char16_t* text = sdb::get_string_ptr(db, item);
    return text != nullptr ? std::u16string(text) : std::u16string();
}

// True when a condition on the program's own attributes fails under a rule checked on
// Windows, which makes the entry not-matched whatever else it holds. Reads without copying.
bool FailsFirmlyOnProgram(const Evaluation& e, sdb::TAGID exe) {
    const FileAttributes* attributes = e.program.attributes;
    if (attributes == nullptr)
        return false;
    const sdb::Database& db = e.db;
    for (sdb::TAGID file = sdb::find_first_tag(db, exe, sdb::TAG_MATCHING_FILE); file != 0;
         file = sdb::find_next_tag(db, exe, file)) {
        const char16_t* name = nullptr;
        bool negated = false;
        for (sdb::TAGID item = sdb::get_first_child(db, file); item != 0 && !negated;
             item = sdb::get_next_child(db, file, item)) {
            sdb::TAG tag = sdb::get_tag(db, item);
            if (tag == sdb::TAG_NAME && name == nullptr)
                name = sdb::get_string_ptr(db, item);
            negated = tag == sdb::TAG_MATCH_LOGIC_NOT;
        }
        if (negated || name == nullptr || name[0] != u'*' || name[1] != 0)
            continue;
        for (sdb::TAGID item = sdb::get_first_child(db, file); item != 0;
             item = sdb::get_next_child(db, file, item)) {
            sdb::TAG tag = sdb::get_tag(db, item);
            sdb::TAG type = sdb::tag_type(tag);
            if (type == sdb::TAG_TYPE_WORD || type == sdb::TAG_TYPE_DWORD ||
                type == sdb::TAG_TYPE_QWORD) {
                if (sdb::bound_condition(tag) != nullptr)
                    continue;
                std::uint64_t wanted = ReadNumber(db, item, tag);
                if (sdb::is_version_tag(tag) && HasWord(wanted, 0xFFFF))
                    continue;
                auto found = attributes->numbers.find(tag);
                if (found != attributes->numbers.end() && found->second != wanted)
                    return true;
            } else if (tag != sdb::TAG_NAME &&
                       (type == sdb::TAG_TYPE_STRINGREF || type == sdb::TAG_TYPE_STRING)) {
                const char16_t* wanted = sdb::get_string_ptr(db, item);
                auto found = attributes->strings.find(tag);
                if (wanted == nullptr || found == attributes->strings.end())
                    continue;
                bool pattern = false, plus = false;
                for (const char16_t* c = wanted; *c != 0; ++c) {
                    pattern = pattern || *c == u'*';
                    plus = c[1] == 0 && *c == u'+';
                }
                if (!pattern && !plus && !sdb::equal_nocase(wanted, found->second.c_str()))
                    return true;
            }
        }
    }
    return false;
}

EntryResult Evaluate(const Evaluation& e, sdb::TAGID exe, sdb::ExeSource source) {
    const sdb::Database& db = e.db;
    EntryResult entry;
    entry.db = &db;
    entry.exe = exe;
    entry.source = source;
    entry.conditions.reserve(4);
    entry.conditions.emplace_back();
    // One walk over the entry: what names it, then its conditions in order.
    sdb::TAGID nameItem = 0, wildcardItem = 0;
    for (sdb::TAGID item = sdb::get_first_child(db, exe); item != 0;
         item = sdb::get_next_child(db, exe, item)) {
        sdb::TAG tag = sdb::get_tag(db, item);
        switch (tag) {
        case sdb::TAG_NAME:
            if (nameItem == 0) {
                nameItem = item;
                entry.name = StringOf(db, item);
            }
            break;
        case sdb::TAG_WILDCARD_NAME:
            wildcardItem = wildcardItem == 0 ? item : wildcardItem;
            break;
        case sdb::TAG_APP_NAME:
            entry.appName = StringOf(db, item);
            break;
        case sdb::TAG_VENDOR:
            entry.vendor = StringOf(db, item);
            break;
        case sdb::TAG_EXE_ID:
            entry.hasExeId = sdb::read_guid(db, item, &entry.exeId);
            break;
        case sdb::TAG_MATCH_MODE:
            entry.hasMatchMode = true;
            entry.matchMode = sdb::read_word(db, item);
            break;
        default:
            if (IsEntryCondition(tag))
                entry.conditions.push_back(ListCondition(e, item, tag));
            break;
        }
    }
    entry.conditions[0] = NameCondition(e, exe, source, nameItem, wildcardItem);
    Verdict verdict = AllOf(entry.conditions, entry.assumes);
    if (verdict == Verdict::Fails)
        entry.verdict = EntryVerdict::NotMatched;
    else if (verdict == Verdict::Unknown)
        entry.verdict = EntryVerdict::Unknown;
    else
        entry.verdict = entry.assumes.empty() ? EntryVerdict::Matched : EntryVerdict::MatchedIf;
    return entry;
}

} // namespace

std::u16string FileNameOfPath(const std::u16string& path) {
    std::size_t last = path.find_last_of(u"\\/");
    return last == std::u16string::npos ? path : path.substr(last + 1);
}

EntryResult EvaluateEntry(const sdb::Database& db, sdb::TAGID exe, sdb::ExeSource source,
                          const ProgramFacts& program, const SystemFacts& system,
                          MatchWorld& world) {
    std::u16string fileName = FileNameOfPath(program.path);
    return Evaluate(Evaluation{db, program, system, world, fileName}, exe, source);
}

std::vector<EntryResult> EvaluateFound(const sdb::Database& db,
                                       const std::vector<sdb::ExeCandidate>& candidates,
                                       const ProgramFacts& program, const SystemFacts& system,
                                       MatchWorld& world, CandidateDetail detail) {
    std::u16string fileName = FileNameOfPath(program.path);
    Evaluation e = {db, program, system, world, fileName};
    std::vector<EntryResult> results;
    results.reserve(candidates.size());
    for (const sdb::ExeCandidate& candidate : candidates) {
        if (detail == CandidateDetail::SkipFirmFailures && FailsFirmlyOnProgram(e, candidate.exe)) {
            EntryResult entry;
            entry.db = &db;
            entry.exe = candidate.exe;
            entry.source = candidate.source;
            entry.verdict = EntryVerdict::NotMatched;
            results.push_back(std::move(entry));
        } else {
            results.push_back(Evaluate(e, candidate.exe, candidate.source));
        }
    }
    return results;
}

std::vector<EntryResult> EvaluateCandidates(const sdb::ExeIndex& index, const ProgramFacts& program,
                                            const SystemFacts& system, MatchWorld& world,
                                            CandidateDetail detail) {
    std::vector<sdb::ExeCandidate> candidates;
    std::u16string fileName = FileNameOfPath(program.path);
    index.find(fileName.c_str(), program.moduleName16.c_str(), &candidates);
    return EvaluateFound(index.database(), candidates, program, system, world, detail);
}
