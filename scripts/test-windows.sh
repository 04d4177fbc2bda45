#!/usr/bin/env bash
# Cross-builds kawase for 32-bit and 64-bit Windows (warnings as errors),
# checks both programs' binaries, and runs their unit and end-to-end tests
# under Wine, in a Wine prefix of its own (build/wine), with code page 932
# as the system code page.
#
# Whether the 32-bit tests can run is decided once, after the install: the
# host must execute a 32-bit program. The probe asks the kernel by running
# the 32-bit Wine loader (/usr/lib/wine/wine, an i386 ELF) with --version;
# it must come after the install, because before it the loader is simply
# not there, which says nothing about the kernel.
#   - it ran: the host executes 32-bit code; both builds are tested;
#   - exec failed with "Exec format error" (a kernel without IA-32
#     emulation): the i686 build is still made and checked, and the x86_64
#     tests run under the 64-bit loader alone;
#   - the loader is missing after the install, or it failed any other way:
#     the run fails, rather than quietly dropping the 32-bit tests.
# One line says which road was taken and why.
# KAWASE_PROBE32="command" replaces the probe (its success means both
# roads, its failure the 64-bit one), e.g. KAWASE_PROBE32=false to take the
# 64-bit-only road on any host; --road prints the road and stops.
# KAWASE_LOADER32=path has the probe run that file instead of the loader,
# so that CI can check each outcome with a stand-in.
set -euo pipefail
cd "$(dirname "$0")/.."

# With --road, standard output carries the road alone; what the install and
# the probe say goes to standard error.
if [ "${1:-}" = --road ]; then exec 3>&2; else exec 3>&1; fi

bash scripts/setup-windows.sh >&3

loader32=${KAWASE_LOADER32:-/usr/lib/wine/wine}
if [ -n "${KAWASE_PROBE32:-}" ]; then
  if $KAWASE_PROBE32 >/dev/null 2>&1; then
    road=both why="KAWASE_PROBE32=$KAWASE_PROBE32 stood in for the probe and succeeded"
  else
    road=64 why="KAWASE_PROBE32=$KAWASE_PROBE32 stood in for the probe and failed"
  fi
elif [ ! -e "$loader32" ]; then
  echo "error: $loader32 (the 32-bit Wine loader, package wine32:i386) is missing" \
    "after scripts/setup-windows.sh: the install failed" >&2
  exit 1
else
  status=0
  out=$("$loader32" --version 2>&1 </dev/null) || status=$?
  if [ "$status" -eq 0 ]; then
    road=both why="$loader32 --version ran ($(head -n 1 <<<"$out")): this host executes 32-bit code"
  elif [ "$status" -eq 126 ] && grep -q 'Exec format error' <<<"$out"; then
    road=64 why="$loader32 --version: Exec format error: this host cannot execute 32-bit code"
  else
    echo "error: the probe $loader32 --version failed (exit status $status):" >&2
    printf '%s\n' "$out" >&2
    exit 1
  fi
fi
echo "road: $road ($why)" >&3
if [ "${1:-}" = --road ]; then
  echo "$road"
  exit 0
fi

for preset in ci-win32 ci-win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

# What a user gets: a console program of the right word size that needs
# nothing beyond KERNEL32.dll and msvcrt.dll (the C++ runtime, libgcc and
# winpthread are linked in statically).
check_binary() { # <preset> <objdump> <format>
  local exe="build/$1/kawase.exe" head dlls
  head=$("$2" -p "$exe")
  grep -q "file format $3" <<<"$head" || { echo "error: $exe is not $3" >&2; exit 1; }
  grep -q 'Subsystem.*(Windows CUI)' <<<"$head" || { echo "error: $exe is not a console program" >&2; exit 1; }
  dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$head" | sort -f | tr '\n' ' ')
  if [ "$dlls" != "KERNEL32.dll msvcrt.dll " ]; then
    echo "error: $exe imports $dlls(want KERNEL32.dll msvcrt.dll only)" >&2
    exit 1
  fi
  echo "$1: $3 console program, imports $dlls"
}
check_binary ci-win32 i686-w64-mingw32-objdump pei-i386
check_binary ci-win64 x86_64-w64-mingw32-objdump pei-x86-64

# The same settings as the Windows test presets in CMakePresets.json: no
# Mono or Gecko (nothing here needs them, and Wine would offer to install
# them) and no menu entries written into the home directory. The Japanese
# locale is given to Wine's processes only.
export WINEPREFIX="$PWD/build/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ "$road" = both ]; then
  loader=/usr/bin/wine
  presets=(ci-win32 ci-win64)
else
  loader=/usr/lib/wine/wine64
  export WINELOADER=$loader
  presets=(ci-win64)
fi
wine() { LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 "$loader" "$@"; }

# A prefix made by the other road, or one made for both word sizes while
# 32-bit Wine was missing, may not run what this road runs: make it anew.
# Its making is logged, not shown, unless it fails.
if [ "$(cat "$WINEPREFIX/.kawase-road" 2>/dev/null)" != "$road" ] ||
  { [ "$road" = both ] && [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; }; then
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p build
  if ! wine wineboot -i >build/wineboot.log 2>&1; then
    cat build/wineboot.log >&2
    exit 1
  fi
  echo "$road" >"$WINEPREFIX/.kawase-road"
fi

# Start Wine's server and services here, not from inside ctest: ctest would
# wait for them to end, and they outlive the test that started them.
wineserver -k 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true' EXIT
wineserver -p
wine wineboot

# A 32-bit program that Wine could not really run exits 0 having done
# nothing; say so plainly rather than through every test failing.
if [ "$road" = both ]; then
  probe=$(ls build/ci-win32/tests/*_test.exe | head -n 1)
  if ! wine "$probe" --gtest_list_tests 2>/dev/null | grep -q '^[A-Za-z]'; then
    echo "error: Wine did not run the 32-bit program $probe (is wine32:i386 installed?)" >&2
    exit 1
  fi
fi

passed=0
skipped=0
for preset in "${presets[@]}"; do
  ctest --preset "$preset" --timeout 120
  log="build/$preset/Testing/Temporary/LastTest.log"
  n=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | awk '{s += $1} END {print s + 0}')
  s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\},.*/\1/p' "$log" | awk '{s += $1} END {print s + 0}')
  # The emulator ctest put before the first unit test's program.
  emulator=$(grep -m1 '_test\]=\]' "build/$preset/tests/CTestTestfile.cmake" |
    sed 's/^add_test(\[=\[[^]]*\]=\] //; s/ "[^"]*")$//; s/"//g')
  echo "$preset under Wine ($emulator): $n GoogleTest cases passed, $s skipped"
  passed=$((passed + n))
  skipped=$((skipped + s))
done
if [ "$road" = 64 ]; then
  echo "32-bit Windows tests not run: $why" \
    "(i686 build checked: compiled, PE32 console, imports KERNEL32.dll msvcrt.dll)"
fi
echo "windows: $passed passed, 0 failed, $skipped skipped"
