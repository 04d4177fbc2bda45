#!/usr/bin/env bash
# Builds the packages and checks what is in them: the .deb of the native
# optimised build (ci-release) and a .zip of each Windows build (ci-win32,
# ci-win64), all copied to build/packages. Build directories already there,
# as scripts/test.sh and scripts/test-windows.sh leave them, are reused.
#
# Checked: the package listings and control fields; the binary installed
# from the .deb into a scratch root converts the sample to the same bytes
# and messages as the build's own binary; the man page formats without a
# warning; `cmake --install` into an empty prefix gives exactly the
# program and its documents.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# dpkg-shlibdeps works out the Depends; unzip lists the zips; groff checks
# the man page.
bash scripts/setup.sh dpkg-dev unzip groff-base
bash scripts/setup-windows.sh

fail() {
  echo "package: $*" >&2
  exit 1
}

# Stripping a Windows program stamps the time into its header unless
# SOURCE_DATE_EPOCH says otherwise: with the last commit's time the stripped
# kawase.exe is the same bytes in the zip and in the check below, and from
# one run to the next.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
out=build/packages
rm -rf "$out"
mkdir -p "$out"

# build PRESET GENERATOR: configure and build (a no-op when it is up to
# date), then make the package in build/PRESET/packages.
build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
  rm -rf "build/$1/packages"
  (cd "build/$1" && cpack -G "$2" -B "$root/build/$1/packages")
}

# same_list LABEL EXPECTED ACTUAL: two newline-separated lists, sorted.
same_list() {
  if [ "$2" != "$3" ]; then
    diff <(echo "$2") <(echo "$3") >&2 || true
    fail "$1: not the expected files (< expected, > found)"
  fi
}

# installed_tree PRESET: every path `cmake --install` puts under an empty
# prefix, relative to it.
installed_tree() {
  local prefix="$scratch/install-$1"
  cmake --install "build/$1" --prefix "$prefix" >/dev/null
  (cd "$prefix" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort)
}

# The man page, as man renders it: any warning fails.
warnings=$(groff -ww -z -man doc/kawase.1 2>&1) || fail "groff failed on doc/kawase.1: $warnings"
[ -z "$warnings" ] || fail "doc/kawase.1: $warnings"
echo "doc/kawase.1: groff -ww -z -man, no warnings"

# ---- the .deb -------------------------------------------------------------
build ci-release DEB
version=$(build/ci-release/kawase -usage | tr -d '\r' | sed -n 's/^Version: //p')
[ -n "$version" ] || fail "no version row in kawase -usage"
arch=$(dpkg --print-architecture)
deb="build/ci-release/packages/kawase_${version}_${arch}.deb"
[ -f "$deb" ] || fail "$deb was not made"
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kawase ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the usage text says $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
# The program is linked statically (CMakeLists.txt): it loads no shared
# library, so the package depends on none.
[ -z "$(field Depends)" ] || fail "the statically linked program should need nothing: Depends: $(field Depends)"

same_list "$deb" "./usr/bin/kawase
./usr/share/doc/kawase/README.md
./usr/share/man/man1/kawase.1.gz" \
  "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)"

debroot="$scratch/debroot"
dpkg -x "$deb" "$debroot"
installed="$debroot/usr/bin/kawase"
nm "$installed" 2>&1 | grep -q 'no symbols' || fail "$installed is not stripped"
# A static PIE: no interpreter, no shared library, still loaded at a random
# address.
segments=$(readelf -lW "$installed")
! grep -q INTERP <<<"$segments" || fail "$installed asks for a dynamic loader"
needed=$(readelf -dW "$installed" | grep NEEDED || true)
[ -z "$needed" ] || fail "$installed needs shared libraries: $needed"
grep -q 'Type: *DYN' <<<"$(readelf -hW "$installed")" || fail "$installed is not position independent"
echo "$installed: static PIE, no shared library"
gzip -cd "$debroot/usr/share/man/man1/kawase.1.gz" | cmp - doc/kawase.1 ||
  fail "the packaged man page is not doc/kawase.1"
cmp "$debroot/usr/share/doc/kawase/README.md" README.md || fail "the packaged README is not README.md"

# The installed binary against the build's own, both directions: the same
# output bytes, the same messages (the sample has a character without a
# Shift_JIS code) and the same exit status.
# run NAME BINARY ARGS...: output, messages and status into $scratch/NAME.*
run() {
  local name=$1
  shift
  local status=0
  "$@" >"$scratch/$name.out" 2>"$scratch/$name.err" || status=$?
  echo "$status" >"$scratch/$name.status"
}
run built-to build/ci-release/kawase samples/sample.txt
run deb-to "$installed" samples/sample.txt
run built-back build/ci-release/kawase -v "$scratch/built-to.out"
run deb-back "$installed" -v "$scratch/built-to.out"
[ -s "$scratch/built-to.out" ] || fail "the build's binary wrote nothing for samples/sample.txt"
for direction in to back; do
  for part in out err status; do
    cmp "$scratch/built-$direction.$part" "$scratch/deb-$direction.$part" ||
      fail "the installed binary differs from the build's ($direction, $part)"
  done
done
echo "$deb: the installed kawase converts samples/sample.txt as the build's own does, both ways"

same_list "cmake --install build/ci-release" "bin
bin/kawase
share
share/doc
share/doc/kawase
share/doc/kawase/README.md
share/man
share/man/man1
share/man/man1/kawase.1" "$(installed_tree ci-release)"
echo "cmake --install build/ci-release: bin/kawase, share/man/man1/kawase.1, share/doc/kawase/README.md"
cp "$deb" "$out/"

# ---- the zips -------------------------------------------------------------
# The readme as a Windows user's editor wants it: README.md with CR LF.
if grep -q $'\r' README.md; then fail "README.md has CR bytes"; fi
sed 's/$/\r/' README.md >"$scratch/README.txt"

for preset in ci-win32 ci-win64; do
  case $preset in
    ci-win32) triplet=i686-w64-mingw32 system=win32 format=pei-i386 ;;
    ci-win64) triplet=x86_64-w64-mingw32 system=win64 format=pei-x86-64 ;;
  esac
  build "$preset" ZIP
  zip="build/$preset/packages/kawase-$version-$system.zip"
  [ -f "$zip" ] || fail "$zip was not made"
  unzip -l "$zip"
  top="kawase-$version-$system"
  same_list "$zip" "$top/README.txt
$top/kawase.exe" "$(unzip -Z1 "$zip" | LC_ALL=C sort)"

  unpacked="$scratch/$system"
  unzip -q "$zip" -d "$unpacked"
  exe="$unpacked/$top/kawase.exe"
  "$triplet-objdump" -f "$exe" | grep -q "file format $format" || fail "$exe is not $format"
  "$triplet-nm" "$exe" 2>&1 | grep -q 'no symbols' || fail "$exe is not stripped"
  # It is this build's program, stripped.
  "$triplet-strip" -o "$scratch/$system-stripped.exe" "build/$preset/kawase.exe"
  cmp "$scratch/$system-stripped.exe" "$exe" || fail "$exe is not build/$preset/kawase.exe stripped"
  cmp "$scratch/README.txt" "$unpacked/$top/README.txt" || fail "$zip: README.txt is not README.md with CR LF"

  same_list "cmake --install build/$preset" "README.txt
kawase.exe" "$(installed_tree "$preset")"
  echo "$zip: $top/kawase.exe (stripped, $format) and $top/README.txt (CR LF)"
  cp "$zip" "$out/"
done

echo "packages (version $version) in $out:"
ls -l "$out"
