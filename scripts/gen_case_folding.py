#!/usr/bin/env python3
"""Writes inventory/case_folding_table.h: Unicode's simple case folding (the C and S
mappings of CaseFolding.txt) as runs of code points that fold by one offset.

Usage: scripts/gen_case_folding.py [CaseFolding.txt] |
           clang-format --assume-filename=x.h > inventory/case_folding_table.h
The file comes with Debian's unicode-data package (/usr/share/unicode/CaseFolding.txt).
"""
import re
import sys

source = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode/CaseFolding.txt"
version = "unknown"
mappings = {}
with open(source, encoding="utf-8") as lines:
    for line in lines:
        found = re.match(r"# CaseFolding-(\d+\.\d+\.\d+)\.txt", line)
        if found:
            version = found.group(1)
        fields = [field.strip() for field in line.split("#")[0].split(";")]
        if len(fields) < 3 or fields[1] not in ("C", "S"):
            continue
        mappings[int(fields[0], 16)] = int(fields[2], 16)

# Runs: FIRST, COUNT, STEP (1 or 2), DELTA: FIRST + i*STEP folds to itself + DELTA.
runs = []
for code in sorted(mappings):
    delta = mappings[code] - code
    if runs:
        first, count, step, run_delta = runs[-1]
        last = first + (count - 1) * step
        if run_delta == delta and count == 1 and code - first in (1, 2):
            runs[-1] = (first, 2, code - first, delta)
            continue
        if run_delta == delta and count > 1 and code == last + step:
            runs[-1] = (first, count + 1, step, delta)
            continue
    runs.append((code, 1, 1, delta))

out = sys.stdout
out.write("// Unicode's simple case folding as runs of code points (generated, do not edit).\n")
out.write("//\n")
out.write("// Made by scripts/gen_case_folding.py from CaseFolding.txt %s, its C and S\n" % version)
out.write("// mappings: %d code points in %d runs.\n" % (len(mappings), len(runs)))
out.write("#pragma once\n\n#include <cstdint>\n\nnamespace inventory {\n\n")
out.write("struct CaseFoldingRun {\n")
out.write("    uint32_t first; // the first code point that folds\n")
out.write("    uint16_t count; // code points in the run\n")
out.write("    uint16_t step;  // 1 for a range, 2 for alternate code points\n")
out.write("    int32_t delta;  // what each adds to itself to fold\n")
out.write("};\n\n")
out.write("// In ascending order of first.\n")
out.write("const CaseFoldingRun CASE_FOLDING_RUNS[] = {\n")
for first, count, step, delta in runs:
    out.write("    {0x%04X, %d, %d, %d},\n" % (first, count, step, delta))
out.write("};\n\n} // namespace inventory\n")
