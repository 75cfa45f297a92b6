#!/bin/sh
# Builds everything and runs every test through one CTest run: the 32-bit Quillet and, as its
# sub-build, the 64-bit one, each under Wine, with the native tools and tests. Where this
# host runs no 32-bit programs (or QUILLET_64BIT_ONLY=1), the tests that need them are
# reported as skipped.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if scripts/host-runs-32bit.sh; then runs_32bit=ON; else runs_32bit=OFF; fi
cmake --preset windows -DQUILLET_HOST_RUNS_32BIT=$runs_32bit >/dev/null
cmake --build --preset windows -j "$(nproc)"
# Wine's start-up now and then fails on a loaded machine before a test has run at all; a test
# that fails is run once more, so only a failure that repeats fails the run.
ctest --preset windows -j 2 --repeat until-pass:2
