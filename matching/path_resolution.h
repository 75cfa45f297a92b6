// Where a MATCHING_FILE name points: the program, its folder, or an expanded variable.
#pragma once

#include "match_values.h"
#include "match_world.h"

#include <string>
#include <vector>

struct ResolvedPath {
    bool resolved = false; // false: the path cannot be built here (`rule` says why)
    std::u16string path;
    Rule rule = Rule::NotComputed; // ProgramItself, BesideProgram, RelativeToProgram, ...
    bool wow64View = false;        // system32 or Program Files taken as a 32-bit program sees it
    std::vector<Rule> assumes;     // the rules the path rests on that are neither checked nor seen
};

// The path a MATCHING_FILE (or MATCHING_TEXT, MATCHING_DIR) name stands for. `*` is the
// program; a leading %windir%, %SystemRoot%, %SystemDrive%, %ProgramFiles%,
// %ProgramFiles(x86)% or %USERPROFILE% (without case) is expanded from the system's values,
// in the folder view of the program's bitness; an absolute name stays; any other name is
// relative to the program's folder.
ResolvedPath ResolveMatchingName(const std::u16string& name, const ProgramFacts& program,
                                 const SystemFacts& system);

// The folder part of a path, without its trailing separator; empty when there is none.
std::u16string FolderOfPath(const std::u16string& path);

// The name upper-cased by the database library's case folding.
std::u16string FoldedText(const std::u16string& text);
