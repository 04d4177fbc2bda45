#!/usr/bin/env bash
# Times kawase next to general-purpose converters on the corpus of
# bench/build_corpus.sh, in one interleaved run: each round runs every tool
# once on every column (JA U→S, JA S→U, ASCII U→S, ASCII S→U, the flood, the
# pathological file and its control), first to /dev/null, then to a new file
# on the corpus's disk (removed after each run), and then once over the
# folder of small files; figures are medians over RUNS rounds, as MB/s of
# input (MB = 10^6 bytes), milliseconds per run or microseconds per file,
# every tool timed as a whole process on the wall clock. One untimed round
# first warms the files and libraries and takes kawase's peak resident
# memory with GNU time -v. The report ends with the goals, each marked met
# or missed.
#
# usage: bench/run.sh [CORPUS_DIR]          (default: bench/corpus)
# environment:
#   KAWASE=path     the kawase executable (default: build/release/kawase in
#                   the repository); without it the kawase rows are skipped
#   KAWASE_BASELINE=path
#                   another kawase executable (an older build, another
#                   link) timed in the same rounds; its row is printed under
#                   kawase's in every table with a "kawase ÷ baseline" row
#   RUNS=n          timed rounds (default: 5)
#   CARGO=path      the cargo that builds the encoding_rs peer (default:
#                   Debian's /usr/bin/cargo, else cargo on PATH)
#   BENCH_INSTALL=0 never install missing tools; as root, nkf, time,
#                   icu-devtools, cargo and librust-encoding-rs-dev are
#                   installed with apt-get by default
#
# Peers: glibc iconv with CP932, ICU uconv with ibm-943_P15A-2003 (ICU's
# code page 932 table), nkf with CP932, Python's cp932 codec streamed in
# 1 MiB chunks, and bench/encoding_rs_peer (the encoding_rs crate with its
# fast-kanji-encode feature, 64 KiB blocks, CR LF written as kawase does).
# The other peers keep LF line ends; kawase writes CR LF, one byte more per
# line, which is part of its job. cat is the floor; bench/ascii_bound.c is
# the one-pass bound of the ASCII columns.
#
# The flood (flood.txt, made in the corpus directory when missing): 10 MB of
# lines of 80 characters, U+1F600 and U+FFFD alternating, none of which
# Shift_JIS has; kawase writes "??" and a message for each. Its two sinks
# are standard output and standard error both to /dev/null, or both to new
# files. Peers: iconv -c (drops them) and encoding_rs ("??").
#
# The pathological file (pathological.txt, made when missing): 8 blocks, each
# 32,768 lines of the single byte 0xFF (no UTF-8, reported one message a
# line) and then one line of 65,536 'a', about 1 MiB. Its control
# (pathological-control.txt) has the same reported lines with the long line
# cut into lines of 64 bytes. The work a long line costs must not grow with
# the reports before it: the goal is the pathological file within 2x the
# control's time. Sinks as for the flood; beside kawase, cat and iconv -c.
#
# The small files (small/, made when missing): 1,000 files of about 1 KB
# each, whole lines cut from the start of ja-utf8.txt, converted U→S one
# process per file in a shell loop, as a folder of documents is; start-up is
# most of the cost there. Output and messages go to /dev/null. Peers as for
# JA U→S except Python: its interpreter's start-up costs tens of times a
# whole run of the others (about 90 ms against 1 ms here), which would add
# a minute and a half to every round and say nothing about them.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
corpus=${1:-$here/corpus}
runs=${RUNS:-5}
kawase=${KAWASE:-$repo/build/release/kawase}
baseline=${KAWASE_BASELINE:-}
build=$repo/build/bench
icu_sjis=ibm-943_P15A-2003
gnu_time=/usr/bin/time
registry=/usr/share/cargo/registry

if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
  echo "run.sh: RUNS must be a positive whole number, not '$runs'" >&2
  exit 2
fi
if [ -n "$baseline" ] && [ ! -x "$baseline" ]; then
  echo "run.sh: KAWASE_BASELINE=$baseline is no executable" >&2
  exit 2
fi
for f in ja-utf8.txt ja-sjis.txt ascii.txt; do
  if [ ! -s "$corpus/$f" ]; then
    echo "run.sh: $corpus/$f is missing; build the corpus first: bench/build_corpus.sh" >&2
    exit 2
  fi
done

notes=()
note() { notes+=("$*"); }

# --- tools -------------------------------------------------------------------

pick_cargo() {
  if [ -n "${CARGO:-}" ]; then
    echo "$CARGO"
  elif [ -x /usr/bin/cargo ]; then
    echo /usr/bin/cargo
  else
    command -v cargo || true
  fi
}

install_missing() {
  local missing=()
  command -v nkf >/dev/null || missing+=(nkf)
  command -v uconv >/dev/null || missing+=(icu-devtools)
  [ -x "$gnu_time" ] || missing+=(time)
  [ -n "$(pick_cargo)" ] || missing+=(cargo)
  compgen -G "$registry/encoding_rs-*" >/dev/null || missing+=(librust-encoding-rs-dev)
  [ ${#missing[@]} -gt 0 ] || return 0
  if [ "$(id -u)" -ne 0 ] || [ "${BENCH_INSTALL:-1}" = 0 ]; then
    note "missing: ${missing[*]} (install with: sudo apt-get install ${missing[*]})"
    return 0
  fi
  echo "installing ${missing[*]} ..." >&2
  { apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >/dev/null ||
    note "could not install ${missing[*]}; their rows are skipped"
}

# Builds bench/encoding_rs_peer offline, from a copy under build/ so that
# neither its lock file nor its target directory lands in bench/.
build_encoding_rs() {
  local cargo src=$build/encoding_rs_peer/crate
  cargo=$(pick_cargo)
  if [ -z "$cargo" ] || ! compgen -G "$registry/encoding_rs-*" >/dev/null; then
    note "encoding_rs skipped: needs cargo and librust-encoding-rs-dev"
    return 1
  fi
  mkdir -p "$src"
  cp -rp "$here/encoding_rs_peer/Cargo.toml" "$here/encoding_rs_peer/src" "$here/encoding_rs_peer/.cargo" "$src/"
  rm -f "$src/Cargo.lock"
  if ! (cd "$src" && "$cargo" build --release --quiet --target-dir "$build/encoding_rs_peer/target") \
    >"$build/encoding_rs_peer.log" 2>&1; then
    note "encoding_rs skipped: the offline build failed (see $build/encoding_rs_peer.log)"
    return 1
  fi
  encoding_rs_peer=$build/encoding_rs_peer/target/release/encoding_rs_peer
}

build_bound() {
  if ! cc -O2 -o "$build/ascii_bound" "$here/ascii_bound.c" 2>"$build/ascii_bound.log"; then
    note "one-pass bound skipped: cc failed (see $build/ascii_bound.log)"
    return 1
  fi
}

declare -A have
find_tools() {
  local t
  if [ -x "$kawase" ]; then
    have[kawase]=1
  else
    note "kawase rows skipped: no executable at $kawase (cmake --preset release && cmake --build --preset release, or KAWASE=path)"
  fi
  [ -z "$baseline" ] || have[baseline]=1
  for t in cat iconv uconv nkf python3; do
    command -v "$t" >/dev/null && have[$t]=1
  done
  if [ -n "${have[uconv]:-}" ] && ! uconv -l | awk -v n="$icu_sjis" '$1 == n { f = 1 } END { exit !f }'; then
    unset 'have[uconv]'
    note "uconv skipped: this ICU has no converter $icu_sjis"
  fi
  mkdir -p "$build"
  build_encoding_rs && have[encoding_rs]=1
  build_bound && have[bound]=1
  [ -x "$gnu_time" ] || note "peak RSS not measured: GNU time is missing"
}

# --- the flood ---------------------------------------------------------------

make_flood() {
  local line
  [ -s "$corpus/flood.txt" ] && return
  line=$(printf '\xf0\x9f\x98\x80\xef\xbf\xbd%.0s' {1..40})
  # 281 bytes a line: 35,587 lines make 10 MB.
  # (yes ends on SIGPIPE, which pipefail would count as a failure.)
  { yes "$line" || :; } | head -n 35587 >"$corpus/flood.tmp"
  mv "$corpus/flood.tmp" "$corpus/flood.txt"
}

# --- the pathological file and its control -----------------------------------

# BLOCKS blocks of 32,768 lines of 0xFF, each block ending in one line of
# 65,536 'a' (pathological.txt) or in the same 'a' as 1,024 lines of 64
# (pathological-control.txt): the same reports, the long line or none.
patho_blocks=8
make_pathological() {
  local name tmp=$corpus/pathological.tmp i
  for name in pathological pathological-control; do
    [ ! -s "$corpus/$name.txt" ] || continue
    {
      { yes $'\xff' || :; } | head -n 32768
      if [ "$name" = pathological ]; then
        head -c 65536 /dev/zero | tr '\0' a
        echo
      else
        { yes "$(printf 'a%.0s' {1..64})" || :; } | head -n 1024
      fi
    } >"$tmp.block"
    for ((i = 0; i < patho_blocks; i++)); do cat "$tmp.block"; done >"$tmp"
    rm -f "$tmp.block"
    mv "$tmp" "$corpus/$name.txt"
  done
}

# --- the small files -----------------------------------------------------------

# small/0000.txt ... small/0999.txt: whole lines from the start of
# ja-utf8.txt, each file ended at the first line that brings it to 1,000
# bytes or more.
small_count=1000
make_small() {
  local dir=$corpus/small
  [ "$(find "$dir" -name '*.txt' 2>/dev/null | wc -l)" -eq "$small_count" ] && return
  rm -rf "$dir" "$dir.tmp"
  mkdir "$dir.tmp"
  awk -v dir="$dir.tmp" -v n="$small_count" '
    { path = sprintf("%s/%04d.txt", dir, k); print > path; size += length($0) + 1 }
    size >= 1000 { close(path); size = 0; if (++k == n) exit }
  ' "$corpus/ja-utf8.txt"
  if [ "$(find "$dir.tmp" -name '*.txt' | wc -l)" -ne "$small_count" ]; then
    echo "run.sh: ja-utf8.txt is too short for $small_count small files" >&2
    exit 2
  fi
  mv "$dir.tmp" "$dir"
}

# --- the tools, each as: run_TOOL DIRECTION FILE (to standard output) --------
# DIRECTION is u2s, s2u or flood (u2s on a file of unmapped characters).

run_cat() { cat "$2"; }
run_kawase() {
  if [ "$1" = s2u ]; then "$kawase" -v "$2"; else "$kawase" "$2"; fi
}
run_baseline() {
  if [ "$1" = s2u ]; then "$baseline" -v "$2"; else "$baseline" "$2"; fi
}
run_iconv() {
  case $1 in
    u2s) iconv -f UTF-8 -t CP932 "$2" ;;
    s2u) iconv -f CP932 -t UTF-8 "$2" ;;
    # -c drops what CP932 lacks and then exits with status 1.
    flood) iconv -c -f UTF-8 -t CP932 "$2" || [ $? -eq 1 ] ;;
  esac
}
run_uconv() {
  if [ "$1" = s2u ]; then uconv -f "$icu_sjis" -t UTF-8 "$2"; else uconv -f UTF-8 -t "$icu_sjis" "$2"; fi
}
run_nkf() {
  if [ "$1" = s2u ]; then nkf -x -m0 --ic=CP932 --oc=UTF-8 "$2"; else nkf -x -m0 --ic=UTF-8 --oc=CP932 "$2"; fi
}
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
run_python3() {
  if [ "$1" = s2u ]; then python3 -c "$py_stream" cp932 utf-8 "$2"; else python3 -c "$py_stream" utf-8 cp932 "$2"; fi
}
run_encoding_rs() {
  if [ "$1" = s2u ]; then "$encoding_rs_peer" s2u "$2"; else "$encoding_rs_peer" u2s "$2"; fi
}
run_bound() { "$build/ascii_bound" "$2"; }

# --- columns -----------------------------------------------------------------

columns=(ja_u2s ja_s2u ascii_u2s ascii_s2u flood patho control)
declare -A title=([ja_u2s]="JA U→S" [ja_s2u]="JA S→U" [ascii_u2s]="ASCII U→S" [ascii_s2u]="ASCII S→U" [flood]="flood U→S"
  [patho]="pathological" [control]="control" [small]="small files")
declare -A file=([ja_u2s]=ja-utf8.txt [ja_s2u]=ja-sjis.txt [ascii_u2s]=ascii.txt [ascii_s2u]=ascii.txt [flood]=flood.txt
  [patho]=pathological.txt [control]=pathological-control.txt)
# flood: U→S, with iconv told to drop what it cannot convert.
declare -A direction=([ja_u2s]=u2s [ja_s2u]=s2u [ascii_u2s]=u2s [ascii_s2u]=s2u [flood]=flood [patho]=flood [control]=flood)
table_tools=(cat kawase baseline iconv uconv nkf python3 encoding_rs bound)
flood_tools=(kawase baseline iconv encoding_rs)
# encoding_rs stops at the first byte that is no UTF-8.
patho_tools=(cat kawase baseline iconv)
small_tools=(cat kawase baseline iconv uconv nkf encoding_rs)
peers=(iconv uconv nkf python3 encoding_rs)
declare -A label=([cat]="cat (floor)" [kawase]="kawase" [baseline]="baseline" [iconv]="iconv CP932"
  [uconv]="uconv $icu_sjis" [nkf]="nkf CP932" [python3]="python3 cp932" [encoding_rs]="encoding_rs (fast-kanji)"
  [bound]="one-pass bound")

# The tools timed on a column.
tools_of() {
  case $1 in
    flood) echo "${flood_tools[@]}" ;;
    patho | control) echo "${patho_tools[@]}" ;;
    ascii_*) echo "${table_tools[@]}" ;;
    *) echo "${table_tools[@]/bound/}" ;;
  esac
}

# --- measuring ---------------------------------------------------------------

declare -A samples failed rss_kib

# The executable behind a kawase row (kawase or baseline).
exe_of() {
  if [ "$1" = baseline ]; then echo "$baseline"; else echo "$kawase"; fi
}

# REPLY = microseconds in a value of EPOCHREALTIME.
to_us() {
  local t=${1/./}
  REPLY=$((10#$t))
}

# The untimed round: warms the file and the tool, drops a tool that fails on
# a column, notes what it writes to standard error, and takes the peak RSS
# of kawase (and of the baseline) into rss_kib[TOOL,COLUMN].
warm() {
  local tool=$1 col=$2 path=$corpus/${file[$2]} timed=''
  local -a run=("run_$tool" "${direction[$col]}" "$path")
  # GNU time runs programs, not shell functions: kawase's command line here.
  if { [ "$tool" = kawase ] || [ "$tool" = baseline ]; } && [ -x "$gnu_time" ]; then
    timed=1
    run=("$gnu_time" -v -o "$scratch/time" "$(exe_of "$tool")")
    [ "${direction[$col]}" != s2u ] || run+=(-v)
    run+=("$path")
  fi
  if ! "${run[@]}" >/dev/null 2>"$scratch/err"; then
    failed[$tool,$col]=1
    note "${label[$tool]} failed on ${title[$col]}: $(head -c 200 "$scratch/err" | head -n 1)"
    return
  fi
  if [ -n "$timed" ]; then
    rss_kib[$tool,$col]=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$scratch/time")
  fi
  # The flood and the pathological pair are made to be reported.
  if [ "${direction[$col]}" != flood ] && [ -s "$scratch/err" ]; then
    note "${label[$tool]} wrote $(wc -l <"$scratch/err") line(s) to standard error on ${title[$col]}, first: $(head -c 200 "$scratch/err" | head -n 1)"
  fi
}

# One timed run of a tool on a column into a sink (null or file).
time_once() {
  local tool=$1 col=$2 sink=$3 t0 t1 rc=0 path=$corpus/${file[$2]}
  if [ "$sink" = null ]; then
    t0=$EPOCHREALTIME
    "run_$tool" "${direction[$col]}" "$path" >/dev/null 2>/dev/null || rc=$?
    t1=$EPOCHREALTIME
  else
    t0=$EPOCHREALTIME
    "run_$tool" "${direction[$col]}" "$path" >"$outdir/out" 2>"$outdir/err" || rc=$?
    t1=$EPOCHREALTIME
    rm -f "$outdir/out" "$outdir/err"
  fi
  if [ $rc -ne 0 ]; then
    failed[$tool,$col]=1
    note "${label[$tool]} failed on ${title[$col]} (exit status $rc); its figures there are dropped"
    return
  fi
  to_us "$t0"
  t0=$REPLY
  to_us "$t1"
  samples[$tool,$col,$sink]+=" $((REPLY - t0))"
}

# The command line of a tool on the small files (U→S), without the file.
small_command() {
  case $1 in
    cat) small_cmd=(cat) ;;
    kawase | baseline) small_cmd=("$(exe_of "$1")") ;;
    iconv) small_cmd=(iconv -f UTF-8 -t CP932) ;;
    uconv) small_cmd=(uconv -f UTF-8 -t "$icu_sjis") ;;
    nkf) small_cmd=(nkf -x -m0 --ic=UTF-8 --oc=CP932) ;;
    encoding_rs) small_cmd=("$encoding_rs_peer" u2s) ;;
  esac
}

# One pass of a tool over the small files, a process per file, output and
# messages to /dev/null; the first failure ends it with its status.
small_pass() {
  local f
  local -a small_cmd
  small_command "$1"
  for f in "${small_files[@]}"; do
    "${small_cmd[@]}" "$f" || return
  done >/dev/null 2>/dev/null
}

# One timed pass over the small files, or the untimed one when $2 is warm.
time_small() {
  local tool=$1 t0 t1 rc=0
  t0=$EPOCHREALTIME
  small_pass "$tool" || rc=$?
  t1=$EPOCHREALTIME
  if [ $rc -ne 0 ]; then
    failed[$tool,small]=1
    note "${label[$tool]} failed on the small files (exit status $rc); its figures there are dropped"
    return
  fi
  [ "$2" != warm ] || return 0
  to_us "$t0"
  t0=$REPLY
  to_us "$t1"
  samples[$tool,small,null]+=" $((REPLY - t0))"
}

# Runs every available tool on every column: warm-up round when $1 is warm.
round() {
  local col tool sink
  for col in "${columns[@]}"; do
    for sink in null file; do
      [ "$1" != warm ] || [ $sink = null ] || continue
      for tool in $(tools_of "$col"); do
        [ -n "${have[$tool]:-}" ] || continue
        [ -z "${failed[$tool,$col]:-}" ] || continue
        if [ "$1" = warm ]; then warm "$tool" "$col"; else time_once "$tool" "$col" "$sink"; fi
      done
    done
  done
  for tool in "${small_tools[@]}"; do
    [ -n "${have[$tool]:-}" ] || continue
    [ -z "${failed[$tool,small]:-}" ] || continue
    time_small "$tool" "$1"
  done
}

# --- report ------------------------------------------------------------------

declare -A mbps median_us

# median_us[tool,col,sink] = the median time of a run in microseconds, and
# for the columns of one file mbps[tool,col,sink] = median MB/s (bytes per
# microsecond), from the samples.
medians() {
  local key us size col
  for key in "${!samples[@]}"; do
    [ -z "${failed[${key%,*}]:-}" ] || continue
    us=$(tr ' ' '\n' <<<"${samples[$key]}" | sed '/^$/d' | sort -n |
      awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
    median_us[$key]=$us
    col=$(cut -d, -f2 <<<"$key")
    [ -n "${file[$col]:-}" ] || continue
    size=$(stat -c %s "$corpus/${file[$col]}")
    mbps[$key]=$(awk -v s="$size" -v us="$us" 'BEGIN { printf "%.1f", s / us }')
  done
}

# Left-aligns $1 in $2 columns of the terminal (UTF-8 continuation bytes take
# none).
pad() {
  local bare=${1//[$'\x80'-$'\xbf']/}
  printf '%s%*s' "$1" $(($2 - ${#bare})) ''
}

# "null / file" of a tool on a column, or "-".
cell() {
  local a=${mbps[$1,$2,null]:-} b=${mbps[$1,$2,file]:-}
  if [ -z "$a$b" ]; then printf -- -; else printf '%.0f / %.0f' "${a:-0}" "${b:-0}"; fi
}

# The fastest peer's MB/s on a column into a sink; empty if none ran.
fastest_peer() {
  local p best=''
  for p in "${peers[@]}"; do
    local v=${mbps[$p,$1,$2]:-}
    [ -n "$v" ] || continue
    if [ -z "$best" ] || awk -v a="$v" -v b="$best" 'BEGIN { exit !(a > b) }'; then best=$v; fi
  done
  echo "$best"
}

# a ÷ b to one decimal, or empty.
quotient() {
  [ -n "$1" ] && [ -n "$2" ] || return 0
  awk -v a="$1" -v b="$2" -v d="${3:-1}" 'BEGIN { printf "%.*f", d, a / b }'
}

# a ÷ b to three significant figures (0.00243, 1.05, 254), or empty: for
# ratios that may be far from 1 either way.
ratio() {
  [ -n "$1" ] && [ -n "$2" ] || return 0
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3g", a / b }'
}

# kawase's speed ÷ the fastest peer's on a column into a sink.
lead() { quotient "${mbps[kawase,$1,$2]:-}" "$(fastest_peer "$1" "$2")"; }

# A row is printed for a tool that ran, "skipped" for a missing one; the
# baseline has no row at all unless KAWASE_BASELINE names one.
row_shown() { [ "$1" != baseline ] || [ -n "${have[baseline]:-}" ]; }

# "null / file" of kawase's speed ÷ the baseline's on a column, or of the
# time when $2 is time; "?" where either is missing.
versus_baseline() {
  local sink a b
  for sink in null file; do
    if [ "${2:-speed}" = time ]; then
      a=${median_us[kawase,$1,$sink]:-} b=${median_us[baseline,$1,$sink]:-}
    else
      a=${mbps[kawase,$1,$sink]:-} b=${mbps[baseline,$1,$sink]:-}
    fi
    printf '%s' "$(ratio "$a" "$b")"
    [ -n "$a" ] && [ -n "$b" ] || printf '?'
    [ $sink = file ] || printf ' / '
  done
}

table() {
  local tool col a b
  printf '\nMB/s of input, to /dev/null / to a new file (median of %d interleaved rounds)\n\n' "$runs"
  pad tool 27
  for col in "${columns[@]:0:3}"; do pad "${title[$col]}" 14; done
  echo "${title[ascii_s2u]}"
  for tool in "${table_tools[@]}"; do
    row_shown "$tool" || continue
    [ -n "${have[$tool]:-}" ] || { pad "${label[$tool]}" 27; echo "skipped"; continue; }
    pad "${label[$tool]}" 27
    for col in "${columns[@]:0:3}"; do pad "$(cell "$tool" "$col")" 14; done
    cell "$tool" ascii_s2u
    echo
  done
  pad "kawase ÷ fastest peer" 27
  for col in "${columns[@]:0:4}"; do
    a=$(lead "$col" null) b=$(lead "$col" file)
    [ "$col" = ascii_s2u ] || pad "${a:-?} / ${b:-?}" 14
  done
  echo "${a:-?} / ${b:-?}"
  [ -n "${have[baseline]:-}" ] || return 0
  pad "kawase ÷ baseline (speed)" 27
  for col in "${columns[@]:0:3}"; do pad "$(versus_baseline "$col")" 14; done
  versus_baseline ascii_s2u
  echo
}

flood_table() {
  local tool size
  size=$(stat -c %s "$corpus/flood.txt")
  printf '\nflood: %.1f MB, lines of 80 characters, U+1F600 and U+FFFD alternating, none in Shift_JIS\n' \
    "$(quotient "$size" 1000000)"
  printf 'MB/s of input, output and messages to /dev/null / to new files\n\n'
  for tool in "${flood_tools[@]}"; do
    row_shown "$tool" || continue
    pad "${label[$tool]}$([ "$tool" != iconv ] || echo ' -c')" 27
    if [ -n "${have[$tool]:-}" ]; then cell "$tool" flood; else printf skipped; fi
    echo
  done
  [ -z "${have[baseline]:-}" ] || echo "$(pad "kawase ÷ baseline (speed)" 27)$(versus_baseline flood)"
}

# Milliseconds of a median time, to one decimal, or "?".
ms() {
  if [ -n "$1" ]; then awk -v us="$1" 'BEGIN { printf "%.1f", us / 1000 }'; else printf '?'; fi
}

# "null / file" milliseconds of a tool on a column, or "-".
ms_cell() {
  local a=${median_us[$1,$2,null]:-} b=${median_us[$1,$2,file]:-}
  if [ -z "$a$b" ]; then printf -- -; else printf '%s / %s' "$(ms "$a")" "$(ms "$b")"; fi
}

# "null / file" of a tool's time on the pathological file ÷ on the control.
patho_ratio() {
  local a b
  a=$(ratio "${median_us[$1,patho,null]:-}" "${median_us[$1,control,null]:-}")
  b=$(ratio "${median_us[$1,patho,file]:-}" "${median_us[$1,control,file]:-}")
  printf '%s / %s' "${a:-?}" "${b:-?}"
}

patho_table() {
  local tool
  printf '
pathological: %d blocks of 32,768 lines of the byte 0xFF (each reported) and one line of 65,536 a;
' \
    "$patho_blocks"
  printf 'control: the same reports, the a in lines of 64 bytes. %.2f / %.2f MB
' \
    "$(quotient "$(stat -c %s "$corpus/${file[patho]}")" 1000000 2)" \
    "$(quotient "$(stat -c %s "$corpus/${file[control]}")" 1000000 2)"
  printf 'ms a run, output and messages to /dev/null / to new files

'
  pad tool 27
  pad "${title[patho]}" 20
  pad "${title[control]}" 20
  echo "pathological ÷ control"
  for tool in "${patho_tools[@]}"; do
    row_shown "$tool" || continue
    pad "${label[$tool]}$([ "$tool" != iconv ] || echo ' -c')" 27
    if [ -z "${have[$tool]:-}" ]; then echo skipped; continue; fi
    pad "$(ms_cell "$tool" patho)" 20
    pad "$(ms_cell "$tool" control)" 20
    patho_ratio "$tool"
    echo
  done
  [ -n "${have[baseline]:-}" ] || return 0
  pad "kawase ÷ baseline (time)" 27
  pad "$(versus_baseline patho time)" 20
  versus_baseline control time
  echo
}

# Microseconds per small file of a tool, or empty.
per_file() {
  [ -n "${median_us[$1,small,null]:-}" ] || return 0
  awk -v us="${median_us[$1,small,null]}" -v n="$small_count" 'BEGIN { printf "%.0f", us / n }'
}

# The lowest time per small file among the peers that ran, and whose it is.
fastest_small_peer() {
  local p v best='' who=''
  for p in "${small_tools[@]}"; do
    case $p in cat | kawase | baseline) continue ;; esac
    v=$(per_file "$p")
    [ -n "$v" ] || continue
    if [ -z "$best" ] || [ "$v" -lt "$best" ]; then best=$v who=$p; fi
  done
  [ -z "$best" ] || echo "$best $who"
}

small_table() {
  local tool v cat_us
  printf '
small files: %d files of about 1 KB of Japanese text, U→S, one process per file in a shell loop
' \
    "$small_count"
  printf 'µs a file, output and messages to /dev/null (the loop'"'"'s own cost included)

'
  cat_us=$(per_file cat)
  pad tool 27
  echo "µs a file   ÷ cat"
  for tool in "${small_tools[@]}"; do
    row_shown "$tool" || continue
    pad "${label[$tool]}" 27
    if [ -z "${have[$tool]:-}" ]; then echo skipped; continue; fi
    v=$(per_file "$tool")
    pad "${v:--}" 12
    quotient "$v" "$cat_us" 2
    echo
  done
  [ -n "${have[baseline]:-}" ] || return 0
  pad "kawase ÷ baseline (time)" 27
  v=$(ratio "$(per_file kawase)" "$(per_file baseline)")
  echo "${v:-?}"
}

# A figure rounded to a whole number, or "?".
whole() {
  if [ -n "$1" ]; then printf '%.0f' "$1"; else echo '?'; fi
}

# Prints one goal line: text, what was measured, met or missed (or
# unmeasured when $3 is empty).
goal() {
  local verdict=unmeasured
  [ -z "$3" ] || { [ "$3" = 1 ] && verdict=met || verdict=missed; }
  printf '  %s%s  %s\n' "$(pad "$1" 66)" "$(pad "$2" 50)" "$verdict"
}

# "1" when every number in $2... compares as $1 (ge or le) against the
# limit, "0" when one does not, empty when one is missing.
all() {
  local op=$1 limit=$2 v
  shift 2
  for v in "$@"; do [ -n "$v" ] || return 0; done
  for v in "$@"; do
    awk -v v="$v" -v l="$limit" -v op="$op" 'BEGIN { exit !(op == "ge" ? v >= l : v <= l) }' || { echo 0; return; }
  done
  echo 1
}

# The lowest kawase ÷ fastest peer over the four columns into a sink, named.
lowest_lead() {
  local col v low='' at=''
  for col in "${columns[@]:0:4}"; do
    v=$(lead "$col" "$1")
    [ -n "$v" ] || { echo "?"; return; }
    if [ -z "$low" ] || awk -v a="$v" -v b="$low" 'BEGIN { exit !(a < b) }'; then low=$v at=${title[$col]}; fi
  done
  echo "${low}× ($at)"
}

# The largest peak RSS of a tool over the columns, in KiB, and over how
# many columns: "KIB N".
peak_rss() {
  local key max=0 n=0
  for key in "${!rss_kib[@]}"; do
    [ "${key%%,*}" = "$1" ] || continue
    n=$((n + 1))
    [ "${rss_kib[$key]}" -le "$max" ] || max=${rss_kib[$key]}
  done
  echo "$max $n"
}

# The small-files goal: "1" when kawase's time per file is at most cat's
# and below every peer's that ran, "0" when not, empty when unmeasured.
small_verdict() {
  local k=$1 c=$2 p=$3
  [ -n "$k" ] && [ -n "$c" ] && [ -n "$p" ] || return 0
  if [ "$k" -le "$c" ] && [ "$k" -lt "$p" ]; then echo 1; else echo 0; fi
}

goals() {
  local ju=${mbps[kawase,ja_u2s,null]:-} js=${mbps[kawase,ja_s2u,null]:-}
  local bu bs fn=${mbps[kawase,flood,null]:-} ff=${mbps[kawase,flood,file]:-} rss n col
  local pn pf sk sc sp who base_rss=''
  local -a leads_null=() leads_file=()
  pn=$(ratio "${median_us[kawase,patho,null]:-}" "${median_us[kawase,control,null]:-}")
  pf=$(ratio "${median_us[kawase,patho,file]:-}" "${median_us[kawase,control,file]:-}")
  sk=$(per_file kawase) sc=$(per_file cat)
  read -r sp who <<<"$(fastest_small_peer)"
  who=${who:+${label[$who]}}
  bu=$(quotient "${mbps[bound,ascii_u2s,null]:-}" "${mbps[kawase,ascii_u2s,null]:-}" 2)
  bs=$(quotient "${mbps[bound,ascii_s2u,null]:-}" "${mbps[kawase,ascii_s2u,null]:-}" 2)
  for col in "${columns[@]:0:4}"; do
    leads_null+=("$(lead "$col" null)")
    leads_file+=("$(lead "$col" file)")
  done
  read -r rss n <<<"$(peak_rss kawase)"
  if [ -n "${have[baseline]:-}" ]; then
    read -r base_rss _ <<<"$(peak_rss baseline)"
    base_rss="; baseline $(quotient "$base_rss" 1024) MiB"
  fi
  printf '\ngoals\n'
  goal "JA >= 2000 MB/s both ways, to /dev/null" "U→S $(whole "$ju"), S→U $(whole "$js") MB/s" "$(all ge 2000 "$ju" "$js")"
  goal "ASCII within 1.3× the one-pass bound" "kawase time ÷ bound: U→S ${bu:-?}, S→U ${bs:-?}" "$(all le 1.3 "$bu" "$bs")"
  goal ">= 5× fastest peer, every column, /dev/null" "lowest $(lowest_lead null)" "$(all ge 5 "${leads_null[@]}")"
  goal ">= 4× fastest peer, every column, to a file" "lowest $(lowest_lead file)" "$(all ge 4 "${leads_file[@]}")"
  goal "flood >= 200 MB/s, to /dev/null and to files" "$(whole "$fn") / $(whole "$ff") MB/s" "$(all ge 200 "$fn" "$ff")"
  goal "pathological within 2x of the control" "kawase time ÷ control's: ${pn:-?} / ${pf:-?}" \
    "$(all le 2 "$pn" "$pf")"
  goal "small files: at most cat's cost per file, and below every peer's" \
    "kawase ${sk:-?}, cat ${sc:-?}, ${who:-fastest peer} ${sp:-?} µs" \
    "$(small_verdict "$sk" "$sc" "$sp")"
  goal "kawase peak RSS <= 4 MiB" "$(quotient "$rss" 1024) MiB (largest of $n columns)$base_rss" \
    "$([ "$n" -eq 0 ] || all le 4096 "$rss")"
}

# --- the run -------------------------------------------------------------------

install_missing
find_tools
make_flood
make_pathological
make_small
small_files=("$corpus"/small/*.txt)
scratch=$(mktemp -d)
outdir=$(mktemp -d "$corpus/.run-out.XXXXXX")
trap 'rm -rf "$scratch" "$outdir"' EXIT

start=$EPOCHREALTIME
round warm
for ((r = 1; r <= runs; r++)); do
  echo "round $r of $runs ..." >&2
  round timed
done
medians

echo "kawase benchmark: $(uname -m), $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)"
echo "corpus: $corpus"
[ -z "${have[kawase]:-}" ] || echo "kawase: $kawase"
[ -z "${have[baseline]:-}" ] || echo "baseline: $baseline"
for n in "${notes[@]}"; do echo "note: $n"; done
table
flood_table
patho_table
small_table
goals
to_us "$start"
start=$REPLY
to_us "$EPOCHREALTIME"
printf '\nwhole run: %.0f s\n' "$(quotient $((REPLY - start)) 1000000)"
