#!/usr/bin/env bash
# The Debian package holds everything a user needs, in the standard places, and its programs
# run from wherever it is unpacked: nothing reaches back into the source or build tree.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/zelphorin_*.deb)
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' ||
  { echo "computed dependencies missing: $(dpkg-deb --field "$deb" Depends)"; exit 1; }
dpkg -x "$deb" "$scratch/root"
prefix=$(find "$scratch/root" -path '*/bin/zelphorin-cli' -printf '%h\n' | head -n 1)
[ -n "$prefix" ] || { echo "no zelphorin-cli in the package"; exit 1; }
prefix=$(dirname "$prefix")

for file in bin/zelphorin bin/zelphorin-sim share/applications/zelphorin.desktop \
  share/metainfo/io.github.zelphorin.Zelphorin.metainfo.xml \
  share/icons/hicolor/scalable/apps/zelphorin.svg share/icons/hicolor/48x48/apps/zelphorin.png \
  share/icons/hicolor/256x256/apps/zelphorin.png share/man/man1/zelphorin.1 \
  share/man/man1/zelphorin-cli.1 share/man/man1/zelphorin-sim.1 \
  lib/systemd/system/zelphorin-mqtt@.service; do
  [ -e "$prefix/$file" ] || { echo "missing from the package: $file"; exit 1; }
done

# Run from a folder where the source tree cannot be found.
cd "$scratch"
version=$("$prefix/bin/zelphorin-cli" --version)
echo "$version" | grep -q '2\.' || { echo "unexpected version: $version"; exit 1; }
"$prefix/bin/zelphorin-sim" --help | grep -q -- '--rows' || { echo "zelphorin-sim --help"; exit 1; }
QT_QPA_PLATFORM=offscreen "$prefix/bin/zelphorin" --version | grep -q '2\.' ||
  { echo "zelphorin --version"; exit 1; }
echo "package ok: $(basename "$deb")"
