#!/bin/sh
# Builds Quillet and opens it:  scripts/open.sh [FILES...]
# Opens the 32-bit Quillet.exe, or Quillet64.exe where this host runs no 32-bit programs (or
# QUILLET_64BIT_ONLY=1). With a display set, Quillet opens there. Without one, it runs on a
# private virtual display: a screenshot is saved under build/.../screenshots and the pane's
# text is printed. Files given are dropped onto the window.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if scripts/host-runs-32bit.sh; then
    preset=windows exe=Quillet.exe arch=x86 wine=wine runs_32bit=ON
else
    preset=windows64 exe=Quillet64.exe arch=x64 wine=/usr/lib/wine/wine64 runs_32bit=OFF
fi
build=$PWD/build/$preset
cmake --preset $preset -DQUILLET_HOST_RUNS_32BIT=$runs_32bit >/dev/null
cmake --build --preset $preset -j "$(nproc)" --target Quillet qdriver wineprefix
QUILLET_EXE=$build/app/$exe \
QUILLET_ARCH=$arch \
QUILLET_WINE=$wine \
QDRIVER_EXE=$build/testdrivers/qdriver/qdriver.exe \
WINEPREFIX=$build/wineprefix \
XDROP=$build/native/testdrivers/xdrop/xdrop \
PYTHONDONTWRITEBYTECODE=1 \
    exec /usr/bin/python3 testdrivers/e2e/open_quillet.py "$build/screenshots/quillet.png" "$@"
