#!/bin/sh
# Builds Quillet and opens it:  scripts/open.sh [FILES...]
# With a display set, Quillet opens there. Without one, it runs on a private virtual display:
# a screenshot is saved under build/windows/screenshots and the pane's text is printed.
# Files given are dropped onto the window.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"
cmake --build --preset windows --target wineprefix
build=$PWD/build/windows
QUILLET_EXE=$build/app/Quillet.exe \
QDRIVER_EXE=$build/testdrivers/qdriver/qdriver.exe \
WINEPREFIX=$build/wineprefix \
XDROP=$build/native/testdrivers/xdrop/xdrop \
PYTHONDONTWRITEBYTECODE=1 \
    exec /usr/bin/python3 testdrivers/e2e/open_quillet.py "$build/screenshots/quillet.png" "$@"
