#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer, library instrumented) in build/fuzz and runs
# each for FUZZ_SECONDS seconds (default 20), one after the other, on a
# temporary copy of its checked-in corpus (fuzz/corpus/<target>, only read).
# Fails if any target crashes, leaks or fails a check; the input that did it
# is kept as build/fuzz/artifacts/<target>-crash-... and the target's log as
# build/fuzz/logs/<target>.log. FUZZ_TARGETS="convert strutil" picks
# targets.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-20}
targets=${FUZZ_TARGETS:-convert textstream messages strutil}

# The usual build tools, then clang and its runtimes (libFuzzer and the
# sanitizers come in libclang-rt-dev, only recommended by clang).
bash scripts/setup.sh clang libclang-rt-dev

# Warnings stay on but are not fatal here: clang's -Wconversion also covers
# sign changes, which the GCC builds that guard the warnings do not.
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DKAWASE_FUZZ=ON -DKAWASE_WERROR=OFF \
  -DKAWASE_TESTS=OFF -DKAWASE_BENCH=OFF >/dev/null
build_targets=()
for t in $targets; do build_targets+=("${t}_fuzz"); done
cmake --build build/fuzz -j2 --target "${build_targets[@]}"

mkdir -p build/fuzz/artifacts build/fuzz/logs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=()
for t in $targets; do
  mkdir -p "$work/$t"
  cp fuzz/corpus/"$t"/* "$work/$t/"
  # Tab expansion needs lines past its 4,096-column limit.
  max_len=4096
  [ "$t" = strutil ] && max_len=10000
  log=build/fuzz/logs/$t.log
  if build/fuzz/fuzz/"${t}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 \
    -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/"$t"- "$work/$t" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' || true)
    echo "$t: ok, $runs runs in ${seconds}s, $last"
  else
    echo "$t: FAILED (log: $log)"
    grep -E 'ERROR|check failed|SUMMARY|Test unit written' "$log" | head -n 10 || true
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all targets ran ${seconds}s without a finding"
