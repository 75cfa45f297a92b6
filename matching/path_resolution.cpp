// Turns MATCHING_FILE names into paths: the program, its folder, expanded variables.
#include "path_resolution.h"

#include "sdb_index.h"

namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool StartsWithFolded(const std::u16string& folded, const std::u16string& prefix) {
    return folded.size() >= prefix.size() && folded.compare(0, prefix.size(), prefix) == 0 &&
           (folded.size() == prefix.size() || IsSeparator(folded[prefix.size()]));
}

// 1 for a 32-bit program, 2 for a 64-bit one, 0 when the machine says neither.
int ProgramBits(const ProgramFacts& program) {
    if (program.machine == MachineI386)
        return 1;
    if (program.machine == MachineAmd64 || program.machine == MachineArm64)
        return 2;
    return 0;
}

const char16_t* const KnownVariables[] = {u"WINDIR",       u"SYSTEMROOT",        u"SYSTEMDRIVE",
                                          u"PROGRAMFILES", u"PROGRAMFILES(X86)", u"USERPROFILE"};

// Expands a leading %variable%; `resolved` stays false when it is unknown or has no value.
ResolvedPath ExpandVariable(const std::u16string& name, const ProgramFacts& program,
                            const SystemFacts& system) {
    ResolvedPath result;
    result.rule = Rule::EnvironmentPath;
    result.assumes.push_back(Rule::EnvironmentPath);
    std::size_t close = name.find(u'%', 1);
    if (close == std::u16string::npos || !system.known)
        return result;
    std::u16string variable = FoldedText(name.substr(1, close - 1));
    bool known = false;
    for (const char16_t* candidate : KnownVariables)
        known = known || variable == candidate;
    if (!known)
        return result;
    std::u16string rest = name.substr(close + 1);
    int bits = ProgramBits(program);
    bool viewMatters = system.is64Bit && variable == u"PROGRAMFILES";
    if (viewMatters && bits == 0)
        return result; // which Program Files depends on the program's bitness
    if (viewMatters && bits == 1) {
        variable = u"PROGRAMFILES(X86)";
        result.wow64View = true;
    }
    auto value = system.variables.find(variable);
    if (value == system.variables.end() || value->second.empty())
        return result;
    result.path = value->second + rest;
    // system32 under the Windows folder is SysWOW64 to a 32-bit program.
    if (system.is64Bit) {
        std::u16string folded = FoldedText(result.path);
        for (const char16_t* root : {u"WINDIR", u"SYSTEMROOT"}) {
            auto rootValue = system.variables.find(root);
            if (rootValue == system.variables.end() || rootValue->second.empty())
                continue;
            std::u16string system32 = FoldedText(rootValue->second) + u"\\SYSTEM32";
            if (!StartsWithFolded(folded, system32))
                continue;
            if (bits == 0)
                return ResolvedPath{
                    false, std::u16string(), Rule::FolderView, false, {Rule::FolderView}};
            if (bits == 1) {
                result.path =
                    rootValue->second + u"\\SysWOW64" + result.path.substr(system32.size());
                result.wow64View = true;
            }
            break;
        }
    }
    if (result.wow64View)
        result.assumes.push_back(Rule::FolderView);
    result.resolved = true;
    return result;
}

} // namespace

std::u16string FoldedText(const std::u16string& text) {
    std::u16string folded;
    folded.reserve(text.size());
    for (char16_t c : text)
        folded.push_back(sdb::fold_upper(c));
    return folded;
}

std::u16string FolderOfPath(const std::u16string& path) {
    std::size_t last = path.find_last_of(u"\\/");
    return last == std::u16string::npos ? std::u16string() : path.substr(0, last);
}

ResolvedPath ResolveMatchingName(const std::u16string& name, const ProgramFacts& program,
                                 const SystemFacts& system) {
    ResolvedPath result;
    if (name == u"*") {
        result.resolved = true;
        result.path = program.path;
        result.rule = Rule::ProgramItself;
        return result;
    }
    if (!name.empty() && name[0] == u'%')
        return ExpandVariable(name, program, system);
    bool absolute = (name.size() >= 2 && name[1] == u':') ||
                    (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1]));
    if (absolute) {
        result.resolved = true;
        result.path = name;
        result.rule = Rule::AbsolutePath;
        result.assumes.push_back(Rule::AbsolutePath);
        return result;
    }
    bool plain = name.find_first_of(u"\\/") == std::u16string::npos;
    result.rule = plain ? Rule::BesideProgram : Rule::RelativeToProgram;
    if (!plain)
        result.assumes.push_back(Rule::RelativeToProgram);
    std::u16string folder = FolderOfPath(program.path);
    result.path = folder.empty() ? name : folder + u"\\" + name;
    result.resolved = true;
    return result;
}
