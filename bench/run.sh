#!/usr/bin/env bash
# Times kawase and general-purpose converters side by side on the corpus of
# bench/build_corpus.sh. Every tool runs as a whole process on the same hot
# file with its output sent to /dev/null; each run is timed on the wall clock
# and the median of RUNS runs is reported, as MB/s of input (MB = 10^6
# bytes) and as the ratio of the tool's time to kawase's (above 1: kawase is
# faster). Peak resident memory comes from GNU time -v, from one extra run
# that also serves to warm the file and the tool's libraries.
#
# usage: bench/run.sh [CORPUS_DIR]          (default: bench/corpus)
# environment:
#   KAWASE=path     the kawase executable (default: build/release/kawase in
#                   the repository); without it the kawase rows are skipped
#   RUNS=n          timed runs per tool and workload (default: 5)
#   BENCH_INSTALL=0 never install missing tools (nkf, time, icu-devtools);
#                   as root they are installed with apt-get by default
#
# Peers: glibc iconv with CP932, ICU uconv with ibm-943_P15A-2003 (ICU's
# code page 932 table), nkf with CP932, and Python's cp932 codec streamed in
# 1 MiB chunks through incremental codecs. They keep LF line ends; kawase
# writes CR LF, one byte more per line, which is part of its job.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
corpus=${1:-$here/corpus}
runs=${RUNS:-5}
kawase=${KAWASE:-$repo/build/release/kawase}
icu_sjis=ibm-943_P15A-2003
gnu_time=/usr/bin/time

if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
  echo "run.sh: RUNS must be a positive whole number, not '$runs'" >&2
  exit 2
fi
for f in ja-utf8.txt ja-sjis.txt ascii.txt; do
  if [ ! -s "$corpus/$f" ]; then
    echo "run.sh: $corpus/$f is missing; build the corpus first: bench/build_corpus.sh" >&2
    exit 2
  fi
done

notes=()

# --- tools -----------------------------------------------------------------

missing=()
command -v nkf >/dev/null || missing+=(nkf)
command -v uconv >/dev/null || missing+=(icu-devtools)
[ -x "$gnu_time" ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ] && [ "${BENCH_INSTALL:-1}" != 0 ]; then
    echo "installing ${missing[*]} ..." >&2
    apt_install() {
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    }
    apt_install || { apt-get update -qq && apt_install; } ||
      echo "run.sh: could not install ${missing[*]}; their rows are skipped" >&2
  else
    notes+=("missing: ${missing[*]} (install with: sudo apt-get install ${missing[*]})")
  fi
fi

have_kawase=1
if [ ! -x "$kawase" ]; then
  have_kawase=0
  notes+=("kawase rows skipped: no executable at $kawase (build it with: cmake --preset release && cmake --build --preset release, or set KAWASE=path)")
fi
have_iconv=1
command -v iconv >/dev/null || have_iconv=0
have_uconv=0
if command -v uconv >/dev/null; then
  if uconv -l | awk -v n="$icu_sjis" '$1 == n { found = 1 } END { exit !found }'; then
    have_uconv=1
  else
    notes+=("uconv rows skipped: this ICU has no converter $icu_sjis (see uconv -l)")
  fi
fi
have_nkf=0
command -v nkf >/dev/null && have_nkf=1
have_python=0
command -v python3 >/dev/null && have_python=1
have_time=0
[ -x "$gnu_time" ] && have_time=1

# Decodes with one codec and encodes with another, 1 MiB at a time, the way a
# streaming converter would; the incremental codecs carry a character split
# across two chunks.
py_stream='
import codecs, sys
source, target, path = sys.argv[1:4]
decoder = codecs.getincrementaldecoder(source)("strict")
encoder = codecs.getincrementalencoder(target)("strict")
out = sys.stdout.buffer
with open(path, "rb") as f:
    while True:
        chunk = f.read(1 << 20)
        if not chunk:
            break
        out.write(encoder.encode(decoder.decode(chunk)))
out.write(encoder.encode(decoder.decode(b"", True), True))
'

# --- measuring -------------------------------------------------------------

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Microseconds since the epoch, without starting a process.
now_us() {
  local t=$EPOCHREALTIME
  echo $((10#${t/./}))
}

# Runs "$@" once under GNU time (a warm-up that also yields the peak RSS),
# then RUNS times on the wall clock. Sets median_us and rss_kib; returns 1
# if the command failed.
measure() {
  local i t0 t1 times=()
  rss_kib=""
  if [ $have_time -eq 1 ]; then
    "$gnu_time" -v -o "$scratch/time" "$@" >/dev/null 2>"$scratch/err" || return 1
    rss_kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$scratch/time")
  else
    "$@" >/dev/null 2>"$scratch/err" || return 1
  fi
  for ((i = 0; i < runs; i++)); do
    t0=$(now_us)
    "$@" >/dev/null 2>"$scratch/err" || return 1
    t1=$(now_us)
    times+=($((t1 - t0)))
  done
  median_us=$(printf '%s\n' "${times[@]}" | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }')
}

size=0
kawase_us=""

workload() {
  local title=$1 file=$2
  size=$(stat -c %s "$corpus/$file")
  kawase_us=""
  cat "$corpus/$file" >/dev/null
  echo
  printf '== %s  (%s, %.1f MB) ==\n' "$title" "$file" "$(awk -v s="$size" 'BEGIN { print s / 1e6 }')"
  printf '%-34s %9s %9s %12s %10s\n' tool "median s" "MB/s" "time/kawase" "peak RSS"
}

skip() {
  printf '%-34s %s\n' "$1" "skipped ($2)"
}

row() {
  local label=$1
  shift
  if ! measure "$@"; then
    printf '%-34s %s\n' "$label" "FAILED: $(head -c 200 "$scratch/err" | head -n 1)"
    return
  fi
  [ "$label" != kawase ] || kawase_us=$median_us
  awk -v l="$label" -v us="$median_us" -v k="$kawase_us" -v s="$size" -v r="$rss_kib" 'BEGIN {
    ratio = (k == "" || k == 0) ? "n/a" : sprintf("%.2f", us / k)
    rss = (r == "") ? "n/a" : sprintf("%.1f MiB", r / 1024)
    printf "%-34s %9.3f %9.1f %12s %10s\n", l, us / 1e6, s / us, ratio, rss
  }'
  if [ -s "$scratch/err" ]; then
    printf '  note: %s wrote %d line(s) to standard error, first: %s\n' "$label" \
      "$(wc -l <"$scratch/err")" "$(head -c 200 "$scratch/err" | head -n 1)"
  fi
}

# One workload: the input file, kawase's switches, and the two codec names
# of the peers (from, to) in glibc, ICU and Python spelling.
run_workload() {
  local title=$1 file=$2 kawase_flag=$3 g_from=$4 g_to=$5 i_from=$6 i_to=$7 p_from=$8 p_to=$9
  local path=$corpus/$file
  workload "$title" "$file"
  if [ $have_kawase -eq 1 ]; then
    row kawase "$kawase" ${kawase_flag:+"$kawase_flag"} "$path"
  else
    skip kawase "not built"
  fi
  if [ $have_iconv -eq 1 ]; then
    row "iconv $g_from -> $g_to (glibc)" iconv -f "$g_from" -t "$g_to" "$path"
  else
    skip iconv "not installed"
  fi
  if [ $have_uconv -eq 1 ]; then
    row "uconv (ICU $icu_sjis)" uconv -f "$i_from" -t "$i_to" "$path"
  else
    skip uconv "not available"
  fi
  if [ $have_nkf -eq 1 ]; then
    row "nkf --ic=$g_from --oc=$g_to" nkf -x -m0 --ic="$g_from" --oc="$g_to" "$path"
  else
    skip nkf "not installed"
  fi
  if [ $have_python -eq 1 ]; then
    row "python3 $p_from -> $p_to codec" python3 -c "$py_stream" "$p_from" "$p_to" "$path"
  else
    skip python3 "not installed"
  fi
}

# --- the run -----------------------------------------------------------------

echo "kawase benchmark: median of $runs runs per tool, output to /dev/null"
echo "corpus: $corpus"
[ $have_kawase -eq 0 ] || echo "kawase: $kawase"
for n in "${notes[@]}"; do
  echo "note: $n"
done

start=$(now_us)
run_workload "Japanese UTF-8 -> Shift_JIS" ja-utf8.txt "" \
  UTF-8 CP932 UTF-8 "$icu_sjis" utf-8 cp932
run_workload "Japanese Shift_JIS -> UTF-8" ja-sjis.txt -v \
  CP932 UTF-8 "$icu_sjis" UTF-8 cp932 utf-8
run_workload "ASCII UTF-8 -> Shift_JIS" ascii.txt "" \
  UTF-8 CP932 UTF-8 "$icu_sjis" utf-8 cp932
run_workload "ASCII Shift_JIS -> UTF-8" ascii.txt -v \
  CP932 UTF-8 "$icu_sjis" UTF-8 cp932 utf-8
echo
awk -v us="$(($(now_us) - start))" 'BEGIN { printf "whole run: %.0f s\n", us / 1e6 }'
