#!/usr/bin/env bash
# Times kawase next to general-purpose converters on the corpus of
# bench/build_corpus.sh, in one interleaved run: each round runs every tool
# once on every column (JA U→S, JA S→U, ASCII U→S, ASCII S→U, the flood),
# first to /dev/null, then to a new file on the corpus's disk (removed after
# each run); figures are medians over RUNS rounds, as MB/s of input (MB =
# 10^6 bytes), every tool timed as a whole process on the wall clock. One
# untimed round first warms the files and libraries and takes kawase's peak
# resident memory with GNU time -v. The report ends with the goals, each
# marked met or missed.
#
# usage: bench/run.sh [CORPUS_DIR]          (default: bench/corpus)
# environment:
#   KAWASE=path     the kawase executable (default: build/release/kawase in
#                   the repository); without it the kawase rows are skipped
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
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
corpus=${1:-$here/corpus}
runs=${RUNS:-5}
kawase=${KAWASE:-$repo/build/release/kawase}
build=$repo/build/bench
icu_sjis=ibm-943_P15A-2003
gnu_time=/usr/bin/time
registry=/usr/share/cargo/registry

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

# --- the tools, each as: run_TOOL DIRECTION FILE (to standard output) --------
# DIRECTION is u2s, s2u or flood (u2s on a file of unmapped characters).

run_cat() { cat "$2"; }
run_kawase() {
  if [ "$1" = s2u ]; then "$kawase" -v "$2"; else "$kawase" "$2"; fi
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

columns=(ja_u2s ja_s2u ascii_u2s ascii_s2u flood)
declare -A title=([ja_u2s]="JA U→S" [ja_s2u]="JA S→U" [ascii_u2s]="ASCII U→S" [ascii_s2u]="ASCII S→U" [flood]="flood U→S")
declare -A file=([ja_u2s]=ja-utf8.txt [ja_s2u]=ja-sjis.txt [ascii_u2s]=ascii.txt [ascii_s2u]=ascii.txt [flood]=flood.txt)
declare -A direction=([ja_u2s]=u2s [ja_s2u]=s2u [ascii_u2s]=u2s [ascii_s2u]=s2u [flood]=flood)
table_tools=(cat kawase iconv uconv nkf python3 encoding_rs bound)
flood_tools=(kawase iconv encoding_rs)
peers=(iconv uconv nkf python3 encoding_rs)
declare -A label=([cat]="cat (floor)" [kawase]="kawase" [iconv]="iconv CP932" [uconv]="uconv $icu_sjis"
  [nkf]="nkf CP932" [python3]="python3 cp932" [encoding_rs]="encoding_rs (fast-kanji)" [bound]="one-pass bound")

# The tools timed on a column.
tools_of() {
  case $1 in
    flood) echo "${flood_tools[@]}" ;;
    ascii_*) echo "${table_tools[@]}" ;;
    *) echo "${table_tools[@]/bound/}" ;;
  esac
}

# --- measuring ---------------------------------------------------------------

declare -A samples failed rss_kib

# REPLY = microseconds in a value of EPOCHREALTIME.
to_us() {
  local t=${1/./}
  REPLY=$((10#$t))
}

# The untimed round: warms the file and the tool, drops a tool that fails on
# a column, notes what it writes to standard error, and takes kawase's peak
# RSS.
warm() {
  local tool=$1 col=$2 path=$corpus/${file[$2]}
  local -a run=("run_$tool" "${direction[$col]}" "$path")
  # GNU time runs programs, not shell functions: kawase's command line here.
  if [ "$tool" = kawase ] && [ -x "$gnu_time" ]; then
    run=("$gnu_time" -v -o "$scratch/time" "$kawase")
    [ "${direction[$col]}" != s2u ] || run+=(-v)
    run+=("$path")
  fi
  if ! "${run[@]}" >/dev/null 2>"$scratch/err"; then
    failed[$tool,$col]=1
    note "${label[$tool]} failed on ${title[$col]}: $(head -c 200 "$scratch/err" | head -n 1)"
    return
  fi
  if [ "$tool" = kawase ] && [ -x "$gnu_time" ]; then
    rss_kib[$col]=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$scratch/time")
  fi
  if [ "$col" != flood ] && [ -s "$scratch/err" ]; then
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
}

# --- report ------------------------------------------------------------------

declare -A mbps

# mbps[tool,col,sink] = median MB/s (bytes per microsecond), from the samples.
medians() {
  local key us size
  for key in "${!samples[@]}"; do
    [ -z "${failed[${key%,*}]:-}" ] || continue
    us=$(tr ' ' '\n' <<<"${samples[$key]}" | sed '/^$/d' | sort -n |
      awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
    size=$(stat -c %s "$corpus/${file[$(cut -d, -f2 <<<"$key")]}")
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

# kawase's speed ÷ the fastest peer's on a column into a sink.
lead() { quotient "${mbps[kawase,$1,$2]:-}" "$(fastest_peer "$1" "$2")"; }

table() {
  local tool col a b
  printf '\nMB/s of input, to /dev/null / to a new file (median of %d interleaved rounds)\n\n' "$runs"
  pad tool 27
  for col in "${columns[@]:0:3}"; do pad "${title[$col]}" 14; done
  echo "${title[ascii_s2u]}"
  for tool in "${table_tools[@]}"; do
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
}

flood_table() {
  local tool size
  size=$(stat -c %s "$corpus/flood.txt")
  printf '\nflood: %.1f MB, lines of 80 characters, U+1F600 and U+FFFD alternating, none in Shift_JIS\n' \
    "$(quotient "$size" 1000000)"
  printf 'MB/s of input, output and messages to /dev/null / to new files\n\n'
  for tool in "${flood_tools[@]}"; do
    pad "${label[$tool]}$([ "$tool" != iconv ] || echo ' -c')" 27
    if [ -n "${have[$tool]:-}" ]; then cell "$tool" flood; else printf skipped; fi
    echo
  done
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
  printf '  %s%s  %s\n' "$(pad "$1" 46)" "$(pad "$2" 42)" "$verdict"
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

goals() {
  local ju=${mbps[kawase,ja_u2s,null]:-} js=${mbps[kawase,ja_s2u,null]:-}
  local bu bs fn=${mbps[kawase,flood,null]:-} ff=${mbps[kawase,flood,file]:-} rss=0 col
  local -a leads_null=() leads_file=()
  bu=$(quotient "${mbps[bound,ascii_u2s,null]:-}" "${mbps[kawase,ascii_u2s,null]:-}" 2)
  bs=$(quotient "${mbps[bound,ascii_s2u,null]:-}" "${mbps[kawase,ascii_s2u,null]:-}" 2)
  for col in "${columns[@]:0:4}"; do
    leads_null+=("$(lead "$col" null)")
    leads_file+=("$(lead "$col" file)")
  done
  for col in "${!rss_kib[@]}"; do [ "${rss_kib[$col]}" -le "$rss" ] || rss=${rss_kib[$col]}; done
  printf '\ngoals\n'
  goal "JA >= 2000 MB/s both ways, to /dev/null" "U→S $(whole "$ju"), S→U $(whole "$js") MB/s" "$(all ge 2000 "$ju" "$js")"
  goal "ASCII within 1.3× the one-pass bound" "kawase time ÷ bound: U→S ${bu:-?}, S→U ${bs:-?}" "$(all le 1.3 "$bu" "$bs")"
  goal ">= 5× fastest peer, every column, /dev/null" "lowest $(lowest_lead null)" "$(all ge 5 "${leads_null[@]}")"
  goal ">= 4× fastest peer, every column, to a file" "lowest $(lowest_lead file)" "$(all ge 4 "${leads_file[@]}")"
  goal "flood >= 200 MB/s, to /dev/null and to files" "$(whole "$fn") / $(whole "$ff") MB/s" "$(all ge 200 "$fn" "$ff")"
  goal "kawase peak RSS <= 4 MiB" "$(quotient "$rss" 1024) MiB (largest of ${#rss_kib[@]} columns)" \
    "$([ ${#rss_kib[@]} -eq 0 ] || all le 4096 "$rss")"
}

# --- the run -------------------------------------------------------------------

install_missing
find_tools
make_flood
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
for n in "${notes[@]}"; do echo "note: $n"; done
table
flood_table
goals
to_us "$start"
start=$REPLY
to_us "$EPOCHREALTIME"
printf '\nwhole run: %.0f s\n' "$(quotient $((REPLY - start)) 1000000)"
