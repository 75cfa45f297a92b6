#!/bin/sh
# Creates the project's Wine prefix when it does not exist yet, then installs files and
# registry settings into it.
#   setup-wineprefix.sh PREFIX [--file SOURCE=DEST_UNDER_DRIVE_C]... [--registry FILE.reg]...
# QUILLET_WINE names the loader (default wine); Wine's 64-bit loader creates a 64-bit prefix
# and runs its tools on hosts that run no 32-bit programs.
set -eu
wine=${QUILLET_WINE:-wine}
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    # No Mono or Gecko: the prefix needs neither, and fetching them is not possible here.
    if ! WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot --init >/dev/null 2>&1; then
        echo "setup-wineprefix.sh: '$wine wineboot --init' failed for $prefix" >&2
        exit 1
    fi
    wineserver --wait
fi
while [ $# -gt 0 ]; do
    case "$1" in
    --file)
        source=${2%%=*}
        dest="$prefix/drive_c/${2#*=}"
        mkdir -p "$(dirname "$dest")"
        cp -f "$source" "$dest"
        shift 2
        ;;
    --registry)
        "$wine" regedit /S "$2" >/dev/null 2>&1
        shift 2
        ;;
    *)
        echo "setup-wineprefix.sh: unknown argument $1" >&2
        exit 2
        ;;
    esac
done
wineserver --wait
