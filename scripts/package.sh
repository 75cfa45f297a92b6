#!/bin/sh
# Builds Quillet's release packages:  scripts/package.sh [OUTPUT_DIR]   (default build/packages)
#   quillet-VERSION-windows.zip        Quillet.exe, Quillet64.exe, quillet-cli.exe,
#                                      quillet-cli64.exe, the README, the JSON schema and the
#                                      collector's artifact, its tools pinned to those programs
#   quillet-VERSION-windows-debug.zip  the programs' debug information (*.debug)
#   quillet-tools_VERSION_amd64.deb    sdbc, sdbdump, quillet-image (and quillet-match where
#                                      it is built), with their documentation
#   Custom.Windows.Quillet.ShimInventory.yaml  the artifact of the zip, to import directly
#   SHA256SUMS                         the hash of each of the above
# It installs what it needs on Debian 12 (run it as root there) and builds only what the
# packages hold, in build/windows (with its 64-bit and native sub-builds).
# QUILLET_PACKAGE_BUILT=1 packages the builds as they stand, without installing or building
# anything (the packaging test, after the build); QUILLET_BUILD_DIR names the Windows build.
set -eu
cd "$(dirname "$0")/.."
out=${1:-build/packages}
build=${QUILLET_BUILD_DIR:-build/windows}
if [ "${QUILLET_PACKAGE_BUILT:-0}" != 1 ]; then
    scripts/install-deps.sh
    if scripts/host-runs-32bit.sh >/dev/null; then runs_32bit=ON; else runs_32bit=OFF; fi
    cmake --preset windows -DQUILLET_HOST_RUNS_32BIT=$runs_32bit >/dev/null
    # The native sub-build comes first, as a whole: the 64-bit build's configure needs it.
    cmake --build "$build" -j "$(nproc)" --target Quillet quillet-cli quillet64-configure
    cmake --build "$build/x64" -j "$(nproc)" --target Quillet quillet-cli
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -rf "$out/_CPack_Packages" "$out"/*.zip "$out"/*.deb "$out"/*.yaml "$out/SHA256SUMS"
(cd "$build" && cpack -G ZIP -B "$out" >/dev/null)
(cd "$build/native" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
# The artifact as the zip holds it, pinned to the zip's programs.
python3 - "$out" <<'PYTHON'
import glob, os, sys, zipfile
out = sys.argv[1]
name = "Custom.Windows.Quillet.ShimInventory.yaml"
archive, = [z for z in glob.glob(os.path.join(out, "quillet-*-windows.zip"))]
with zipfile.ZipFile(archive) as z:
    member, = [n for n in z.namelist() if n.endswith("/share/quillet/" + name)]
    with open(os.path.join(out, name), "wb") as artifact:
        artifact.write(z.read(member))
PYTHON
cd "$out"
sha256sum -- *.zip *.deb *.yaml >SHA256SUMS
ls -1 "$out"
