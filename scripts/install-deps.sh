#!/bin/sh
# Installs what building, packaging, running and testing Quillet needs on Debian 12, when missing.
set -eu
packages="cmake make clang clang-format libclang-rt-14-dev g++ mingw-w64 wine wine32 wine64
  xvfb xdotool x11-utils imagemagick libx11-dev googletest libgtest-dev libbenchmark-dev
  libpugixml-dev nlohmann-json3-dev libhivex-dev pkg-config fonts-liberation python3
  python3-yaml unicode-data dpkg-dev"
missing=
for p in $packages; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
case "$(dpkg --print-foreign-architectures)" in
*i386*) ;;
*)
    dpkg --add-architecture i386
    missing="$missing wine32"
    ;;
esac
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    # A mirror in the middle of a sync serves an index of the wrong size; apt then keeps the
    # old lists and says so, which is no reason to stop here.
    apt-get update -q || echo "apt-get update reported errors; going on with the lists it has"
    # shellcheck disable=SC2086
    if ! apt-get install -y -q $packages; then
        # When one architecture's security index could not be fetched, the i386 half of a
        # multi-arch package cannot follow its amd64 half to the security version; the
        # release's own versions exist for both.
        echo "Installing again from the release's own versions"
        # shellcheck disable=SC2086
        apt-get install -y -q -t bookworm $packages
    fi
fi
