#!/usr/bin/env bash
# Builds the benchmark corpus from Debian packages only, so that anyone on a
# Debian machine can rebuild the same kind of input:
#
#   ja-utf8.txt  Japanese text, UTF-8, LF line ends, about CORPUS_MB MB
#   ja-sjis.txt  the same lines in Shift_JIS (code page 932)
#   ascii.txt    pure ASCII text, LF line ends, about CORPUS_MB MB
#   SOURCES.txt  the package versions the text came from
#
# The Japanese text is the man pages of manpages-ja and manpages-ja-dev and
# the reST sources of debian-policy-ja; the ASCII text is the English man
# pages of manpages. The .deb files are fetched with `apt-get download` into
# a temporary directory and unpacked there with `dpkg-deb -x`: nothing is
# installed. MB means 10^6 bytes throughout.
#
# usage: bench/build_corpus.sh [OUTPUT_DIR]    (default: bench/corpus)
#        CORPUS_MB=5 bench/build_corpus.sh     (a small corpus for a quick run)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/corpus}
mb=${CORPUS_MB:-100}

if ! [[ $mb =~ ^[1-9][0-9]*$ ]]; then
  echo "build_corpus.sh: CORPUS_MB must be a positive whole number, not '$mb'" >&2
  exit 2
fi
for tool in apt-get dpkg-deb python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "build_corpus.sh: '$tool' is needed (Debian: apt-get install python3)" >&2
    exit 2
  fi
done

packages=(manpages-ja manpages-ja-dev debian-policy-ja manpages)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/debs" "$work/root"

# As root, apt drops to its sandbox user for downloads, which cannot write
# into our private temporary directory; it warns and goes on as root. Saying
# so up front keeps the output quiet.
apt_opts=(-q)
[ "$(id -u)" -ne 0 ] || apt_opts+=(-o APT::Sandbox::User=root)

download() {
  (cd "$work/debs" && apt-get "${apt_opts[@]}" download "${packages[@]}")
}
if ! download; then
  echo "build_corpus.sh: download failed; refreshing the package lists" >&2
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get -q update
  download
fi

: >"$work/SOURCES.txt"
for deb in "$work"/debs/*.deb; do
  dpkg-deb -x "$deb" "$work/root"
  # shellcheck disable=SC2016 # dpkg-deb expands these fields itself
  dpkg-deb -W --showformat='${Package} ${Version}\n' "$deb" >>"$work/SOURCES.txt"
done

mkdir -p "$out"
python3 - "$work/root" "$out" "$((mb * 1000000))" <<'PY'
import gzip
import os
import re
import sys

root, out, target = sys.argv[1], sys.argv[2], int(sys.argv[3])

JA_DIRS = ["usr/share/man/ja",
           "usr/share/doc/debian-policy/ja/policy.html/_sources"]


def text_files(top):
    """Regular files under top, in a fixed order; links would only repeat."""
    found = []
    for dirpath, dirnames, filenames in os.walk(top):
        dirnames.sort()
        for name in sorted(filenames):
            path = os.path.join(dirpath, name)
            if os.path.isfile(path) and not os.path.islink(path):
                found.append(path)
    return found


def lines_of(path):
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rb") as f:
        data = f.read()
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    return lines


# Control characters other than TAB are left out: CR and Ctrl-Z change what
# a text-mode reader sees and NUL would end a C string early. The C1 controls
# and the private use area are left out too: Python's cp932 round-trips them
# (0x80, 0xA0, 0xFD-0xFF, the user-defined rows), but they are no text and a
# JIS X 0213 based converter has no codes for them.
NOT_PLAIN = re.compile("[^\t\x20-\x7e\xa0-\ud7ff\uf900-\U0010ffff]")


def japanese_line(raw):
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        return False
    if NOT_PLAIN.search(text):
        return False
    try:
        return text.encode("cp932").decode("cp932") == text
    except UnicodeEncodeError:
        return False


NOT_PLAIN_ASCII = re.compile(b"[^\t\x20-\x7e]")


def ascii_line(raw):
    return not NOT_PLAIN_ASCII.search(raw)


def collect(files, keep):
    kept = bytearray()
    seen = dropped = 0
    for path in files:
        for raw in lines_of(path):
            seen += 1
            if keep(raw):
                kept += raw + b"\n"
            else:
                dropped += 1
    return bytes(kept), seen, dropped


def repeat_to(base, size):
    """base repeated up to size bytes, cut after the last whole line."""
    whole, rest = divmod(size, len(base))
    tail = base[:rest]
    tail = tail[:tail.rfind(b"\n") + 1]
    return base * whole + tail


def write(name, data):
    path = os.path.join(out, name)
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)


ja_files = [p for d in JA_DIRS for p in text_files(os.path.join(root, d))]
en_files = [p for d in sorted(os.listdir(os.path.join(root, "usr/share/man")))
            if d.startswith("man")
            for p in text_files(os.path.join(root, "usr/share/man", d))]
if not ja_files or not en_files:
    sys.exit("build_corpus.sh: the packages held no text where expected")

ja, ja_seen, ja_dropped = collect(ja_files, japanese_line)
en, en_seen, en_dropped = collect(en_files, ascii_line)
if not ja or not en:
    sys.exit("build_corpus.sh: no usable lines were found")

ja_utf8 = repeat_to(ja, target)
write("ja-utf8.txt", ja_utf8)
write("ja-sjis.txt", ja_utf8.decode("utf-8").encode("cp932"))
write("ascii.txt", repeat_to(en, target))

print(f"Japanese: {len(ja_files)} files, {ja_seen} lines, {ja_dropped} left out, "
      f"{len(ja) / 1e6:.1f} MB of distinct text")
print(f"ASCII:    {len(en_files)} files, {en_seen} lines, {en_dropped} left out, "
      f"{len(en) / 1e6:.1f} MB of distinct text")
PY

mv "$work/SOURCES.txt" "$out/SOURCES.txt"
for f in ja-utf8.txt ja-sjis.txt ascii.txt; do
  printf '%-12s %12d bytes  %9d lines\n' "$f" "$(stat -c %s "$out/$f")" "$(wc -l <"$out/$f")"
done
echo "corpus written to $out"
