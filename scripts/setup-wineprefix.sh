#!/bin/sh
# Creates the project's Wine prefix when it does not exist yet, then installs files and
# registry settings into it.
#   setup-wineprefix.sh PREFIX [--file SOURCE=DEST_UNDER_DRIVE_C]... [--registry FILE.reg]...
set -eu
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    # No Mono or Gecko: the prefix needs neither, and fetching them is not possible here.
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >/dev/null 2>&1
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
        wine regedit /S "$2" >/dev/null 2>&1
        shift 2
        ;;
    *)
        echo "setup-wineprefix.sh: unknown argument $1" >&2
        exit 2
        ;;
    esac
done
wineserver --wait
