#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the build installs is exactly what debian/*.install divides between the two packages,
# the command line's programs need no graphics library, every program reports the project's
# version from wherever it is installed, and debian/changelog and the AppStream release say
# the same version.
#   package_test.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source=$1 build=$2 version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "$*" >&2
  exit 1
}

root=$scratch/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$scratch/install.log"
cd "$root"
find . -type f,l | sed 's|^\./||' | sort >"$scratch/installed"
# Each file under one entry of one package only: a file claimed twice is listed twice.
for entry in $(cat "$source"/debian/*.install); do
  find "$entry" -type f,l || fail "debian: $entry is not installed"
done | sort >"$scratch/claimed"
diff "$scratch/installed" "$scratch/claimed" || fail "installed files and debian/*.install differ"

for program in zelphorin-cli zelphorin-sim; do
  ! ldd "usr/bin/$program" | grep -E 'libQt6(Gui|Widgets)|libX|libxcb|libGL' ||
    fail "$program needs a graphics library"
done
cd "$scratch"
for program in zelphorin zelphorin-cli zelphorin-sim; do
  reported=$("$root/usr/bin/$program" --version) || fail "$program --version failed"
  [ "$reported" = "$program $version" ] || fail "$program --version: $reported"
done
changelog=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
[ "$changelog" = "$version" ] || fail "debian/changelog: $changelog, not $version"
grep -q "<release version=\"$version\"" "$source"/packaging/*.metainfo.xml ||
  fail "the metainfo has no release $version"
echo "package ok: $version"
