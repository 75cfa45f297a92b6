#!/bin/sh
# Installs what building, running and testing Quillet needs on Debian 12, when missing.
set -eu
packages="cmake make clang clang-format libclang-rt-14-dev g++ mingw-w64 wine wine32 wine64
  xvfb xdotool x11-utils imagemagick libx11-dev googletest libgtest-dev libbenchmark-dev
  libpugixml-dev nlohmann-json3-dev fonts-liberation python3"
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
    apt-get update -q
    # shellcheck disable=SC2086
    apt-get install -y -q $packages
fi
