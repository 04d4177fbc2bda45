#!/usr/bin/env bash
# Checks that two kawase executables give the same bytes: standard output,
# standard error, both merged into one stream, the "-o" file and the exit
# status, in both directions, on the corpus (if built) and on adversarial
# inputs made here from a fixed seed: random bytes, malformed and cut-short
# UTF-8, unmapped characters, NUL, CR and Ctrl-Z bytes, lines around the
# length limit and lines across the reader's block boundaries. A faster
# build must change speed, never a byte.
#
# usage: bench/compare.sh OLD NEW [CORPUS_DIR]    (default: bench/corpus)
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: bench/compare.sh OLD NEW [CORPUS_DIR]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
old=$(realpath "$1")
new=$(realpath "$2")
corpus=${3:-$here/corpus}

python3 - "$old" "$new" "$corpus" <<'PY'
import os
import random
import subprocess
import sys
import tempfile

old, new, corpus = sys.argv[1:4]
rng = random.Random(20240601)
work = tempfile.mkdtemp(prefix="kawase-compare-")


def cut_utf8(text):
    """UTF-8 with sequences broken in every way the decoder meets."""
    data = bytearray()
    for ch in text:
        b = ch.encode("utf-8")
        r = rng.random()
        if len(b) > 1 and r < 0.05:
            b = b[:rng.randrange(1, len(b))]           # cut short
        elif len(b) > 1 and r < 0.08:
            b = b[:1] + bytes([rng.randrange(0x20, 0x7F)]) + b[2:]  # bad continuation
        elif r < 0.09:
            b = bytes([rng.choice([0x80, 0xA7, 0xBF, 0xC0, 0xC1, 0xF8, 0xFF])])
        data += b
    return bytes(data)


# Characters every converter maps, among them the ones with two sources or
# beyond U+FFFF; and some that no table holds.
MAPPED = ("日本語のテキストと漢字かなカナｶﾀｶﾅ、。「」〜～－−￥¥＼∥‖¢£¬—―"
          "𠮟𩸽ß§¨°±´¶×÷ΑΩАЯ①⑳ ASCII text 0123456789 \\~")
UNMAPPED = "😀\ufffd\u00b5\u2985\u309a\u0080"


def japanese(n, pool=MAPPED + UNMAPPED):
    return "".join(rng.choice(pool) for _ in range(n))


def cases():
    yield "empty", b""
    yield "random bytes", bytes(rng.randrange(256) for _ in range(300000))
    yield "random high bytes and LF", bytes(
        rng.choice([0x0A, 0x41] + list(range(0x80, 0x100))) for _ in range(300000))
    # Every code point up to plane 2 and every two-byte key, a line each:
    # the mapped ones go the fast road, the others are reported.
    yield "every code point", "".join(
        chr(cp) + "\n" for cp in range(0x80, 0x30000) if not 0xD800 <= cp < 0xE000
    ).encode("utf-8")
    yield "every key", b"".join(
        bytes([lead, trail]) + b"\n" for lead in range(0x80, 0x100) for trail in range(0x100)
        if trail not in (0x00, 0x0A, 0x0D, 0x1A))
    clean = "\n".join(japanese(rng.randrange(0, 80), MAPPED) for _ in range(4000)) + "\n"
    yield "japanese", clean.encode("utf-8")
    # In Shift_JIS as the old build writes it (no codec has our table).
    path = os.path.join(work, "clean.txt")
    with open(path, "wb") as f:
        f.write(clean.encode("utf-8"))
    yield "shift_jis of japanese", subprocess.run([old, path], stdout=subprocess.PIPE,
                                                  check=True).stdout
    lines = [japanese(rng.randrange(0, 80)) for _ in range(4000)]
    yield "japanese with unmapped", "\n".join(lines).encode("utf-8") + b"\n"
    yield "malformed utf-8", b"\n".join(cut_utf8(line) for line in lines)
    sjis = "\n".join(lines).encode("shift_jis_2004", "replace")
    yield "shift_jis", sjis
    yield "shift_jis cut short", b"\n".join(
        line[:-1] if line and rng.random() < 0.3 else line for line in sjis.split(b"\n"))
    yield "controls", b"".join(
        rng.choice([b"a", b"\xe3\x81\x82", b"\x82\xa0", b"\x00", b"\r", b"\r\n", b"\n",
                    b"\xb1", b"\x81"]) for _ in range(100000)) + b"\x1atail\n"
    for size in (255997, 255998, 255999, 256000, 300000, 600000):
        yield "one line of %d" % size, b"x" * size + b"\n"
        yield "line of %d after one" % size, b"first\n" + b"y" * size + b"\nlast\n"
    yield "long line with NUL", b"z" * 1000 + b"\x00" + b"z" * 300000 + b"\nnext\n"
    yield "long japanese line", ("あ" * 90000 + "\n").encode("utf-8")
    yield "long katakana line", b"\xb1" * 255997 + b"\n"
    # Lines and characters across the blocks of the reader: 64 KiB in the
    # stream, 128 KiB in the engine's window.
    for block in (65536, 131072):
        for shift in range(-4, 5):
            head = b"a" * (block + shift)
            yield "block %d edge %+d" % (block, shift), head + "あア\n".encode("utf-8") + b"\x82\xa0\n" * 3
    yield "crs only", b"\r" * 70000 + b"a\n"


def run(exe, args, stdin=b"", merged=False):
    proc = subprocess.run([exe] + args, input=stdin, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT if merged else subprocess.PIPE)
    return proc.returncode, proc.stdout, proc.stderr


inputs = list(cases())
for name in ("ja-utf8.txt", "ja-sjis.txt", "ascii.txt"):
    path = os.path.join(corpus, name)
    if os.path.exists(path):
        inputs.append(("corpus " + name, path))

failed = 0
checked = 0
for name, data in inputs:
    if isinstance(data, bytes):
        path = os.path.join(work, "in.txt")
        with open(path, "wb") as f:
            f.write(data)
    else:
        path = data
    for switch in ([], ["-v"]):
        runs = [("stdout", switch + [path], False)]
        if not path.startswith(corpus):
            runs.append(("merged", switch + [path], True))
            runs.append(("file", switch + [path, "-o", os.path.join(work, "out.txt")], False))
        for how, args, merged in runs:
            got = []
            for exe in (old, new):
                out_file = os.path.join(work, "out.txt")
                if os.path.exists(out_file):
                    os.remove(out_file)
                status, out, err = run(exe, args, merged=merged)
                written = None
                if how == "file" and os.path.exists(out_file):
                    with open(out_file, "rb") as f:
                        written = f.read()
                got.append((status, out, err, written))
            checked += 1
            if got[0] != got[1]:
                failed += 1
                print("DIFFERENT: %s %s (%s)" % (name, " ".join(switch), how))
for name in os.listdir(work):
    os.remove(os.path.join(work, name))
os.rmdir(work)
print("%d runs compared, %d different" % (checked, failed))
sys.exit(1 if failed else 0)
PY
