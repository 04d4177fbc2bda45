#!/usr/bin/env python3
"""End-to-end runs of the kawase binary, a row each, in a fresh directory:
arguments, files and standard input before; exit status, standard output and
error, and the named files after (None: absent).
usage: e2e_test.py BINARY [LAUNCHER...]   (LAUNCHER: e.g. wine)"""

import os
import subprocess
import sys
import tempfile

if len(sys.argv) < 2:
    sys.exit(__doc__)
BINARY, LAUNCHER = os.path.abspath(sys.argv[1]), sys.argv[2:]
LINUX = not LAUNCHER and sys.platform == "linux"

USAGE = "".join(row + "\r\n" for row in [
    "UNICODEからS-JISへの変換またはこの逆変換を行います。", " ",
    "Usage: kawase [-v] <file> [-o <outputfile>]", " ", "Parameter:",
    "   -v                SJISからUNICODEへの変換をします。", "   <file>            入力ファイル",
    "   -o <outputfile>   <outputfile>に出力します。", " ", "Version: 1.03"]).encode("cp932")
LINE = b"Usage: kawase [-v] <file> [-o <outputfile>]\r\n"
JA = "日本語のﾃｷｽﾄと𠮟\n".encode()
SJ = b"\x93\xfa\x96\x7b\x8c\xea\x82\xcc\xc3\xb7\xbd\xc4\x82\xc6\x98\x73\r\n"
IO, ASK, OLD = ["in.txt", "-o", "out.txt"], b"out.txt: file exists, overwrite? (y/n) ", b"old\n"
A, NUL = b"a" * 255997, b"x" * 10 + b"\0" + b"y" * 300000 + b"\nz\n"
EDGES = b"".join(b"%c" % (97 + n % 26) * n + end for n in (0, 1, 63, 64, 65, 4095, 4096, 65535,
                 65536, 65537, 131071) for end in (b"\n", b"\r\n", b"\r\r\n"))
BOMS = b"\xef\xbb\xbfx\xef\xbb\xbfy\n"
EDGES_OUT = EDGES.replace(b"\r", b"").replace(b"\n", b"\r\n")
# Python's Shift_JIS-2004 codec agrees with the tables on every character of
# the sample but the one Shift_JIS cannot hold.
with open(os.path.join(os.path.dirname(__file__), "..", "..", "samples", "sample.txt"), "rb") as f:
    SAMPLE = f.read().replace("\U0001F308".encode(), b"??")
PEER = SAMPLE.decode().encode("shift_jis_2004").replace(b"\n", b"\r\n")
DIR, FULL, OS, ONE = "<dir>", "<full>", "<not for this platform>", "<stderr to stdout>"
STDIN = "<stdin>"  # in `after`: standard input is a file, and this is what is left of it
APPEND = "<stdout appended to in.txt>"
LONG = "d/" * 510  # a name of 1,020 bytes: its message meets the formatter's limit


def row(args, status, out=b"", err=b"", files=None, stdin=b"", after=None, linux=False):
    return (args, status, out, err, files or {}, stdin, after or {}) if LINUX or not linux else OS


ROWS = [
    row(["-usage"], 0, USAGE), row([], 1, err=LINE), row(["-v"], 1, err=LINE),
    row(["-usage", "x"], 1, err=b"-usage: not found\r\n"),
    *[row(["in.txt"] + more, 0, SJ, files={"in.txt": JA}, after={"y": None})
      for more in (["-x", "y"], ["-o"], ["-v"])],
    row(["-v", "in.txt"], 0, JA.replace(b"\n", b"\r\n"), files={"in.txt": SJ}),
    # As the platform gives them: names with blanks, wildcards not expanded,
    # what cannot be read or written.
    row(["my file.txt"], 0, b"plain\r\n", files={"my file.txt": b"plain\n"}),
    row(["*.txt"], 1, err=b"*.txt: not found\r\n", files={"a.txt": b"a\n"}),
    row(IO, 1, err=b"in.txt: not found\r\n", after={"out.txt": None}),
    row(["sub"], 1, err=b"sub: not found\r\n", files={"sub": DIR}),
    row(["in.txt", "-o", "no/out.txt"], 1, err=b"no/out.txt: cannot create\r\n",
        files={"in.txt": JA}),
    row(["in.txt"], 1, FULL, b"stdout: writing error\r\n", files={"in.txt": JA}, linux=True),
    row(["/proc/self/mem"], 1, err=b"/proc/self/mem: reading error\r\n", linux=True),
    # The question before an existing output is replaced; the input itself
    # never is.
    *[row(IO, 0, err=ASK, stdin=yes, files={"in.txt": JA, "out.txt": OLD}, after={"out.txt": SJ})
      for yes in (b"y\n", b"Y\n", b"yes\n", b"y" + b"z" * 300000 + b"\n", b"y")],
    *[row(IO, 1, err=ASK, stdin=no, files={"in.txt": JA, "out.txt": OLD}, after={"out.txt": OLD})
      for no in (b"n\n", b"\n", b"", b" y\n", b"\r\ny\n", b"N\n")],
    row(IO, 1, err=ASK, stdin=b"n\n", files={"in.txt": JA, "out.txt": ("gone",)},
        after={"gone": None}, linux=True),
    *[row(["in.txt", "-o", name], 1, err=b"%s: output file is the input file\r\n" % name.encode(),
          stdin=b"y\n", files={"in.txt": JA}, after={"in.txt": JA})
      for name in ("in.txt", "./in.txt")],
    # Lines: the length limit, text mode, NUL and Ctrl-Z, the read blocks.
    row(IO, 0, files={"in.txt": b"1\n" + A + b"\n"}, after={"out.txt": b"1\r\n" + A + b"\r\n"}),
    row(IO, 1, err=b"internal error: too long line found\r\n",
        files={"in.txt": b"1\n" + A + b"bc\nnever\n"}, after={"out.txt": b"1\r\n"}),
    row(IO, 0, files={"in.txt": b""}, after={"out.txt": b""}),
    *[row(switch + IO, 0, files={"in.txt": data}, after={"out.txt": want})
      for switch in ([], ["-v"]) for data, want in ((NUL, b"x" * 10 + b"y" * 44012 + b"\r\nz\r\n"),
                         (EDGES + b"no LF\x1anever\n", EDGES_OUT + b"no LF"))],
    row(["in.txt"], 0, b"abmid\r\n", files={"in.txt": b"ab\0cd\nmi\rd\n\x1a\n"}),
    # A control character in a longer form than its own byte has no
    # counterpart: it would break or end the line. A byte order mark at the
    # start of UTF-8 is not text; elsewhere, and in Shift_JIS, it is.
    row(["in.txt"], 0, b"x??y\r\n" * 4 + b"z\r\na??b\r\n", b"".join(
        b"Error code: %s\r\n" % e for e in (b"C08A=U+000A", b"C04A=U+000A", b"C08D=U+000D",
                                            b"C080=U+0000", b"E0809A=U+001A")),
        files={"in.txt": b"x\xc0\x8ay\nx\xc0\x4ay\nx\xc0\x8dy\nx\xc0\x80y\nz\na\xe0\x80\x9ab\n"}),
    row(["in.txt"], 0, b"x??y\r\n", b"Error code: EFBBBF=U+FEFF\r\n", files={"in.txt": BOMS}),
    row(["-v", "in.txt"], 0, b"\xe9\xac\xa0\xef\xbd\xbfx\xe9\xac\xa0\xef\xbd\xbfy\r\n",
        files={"in.txt": BOMS}),
    # Standard input stays for the input after the answer; a pipe or device
    # as the output is done once its close succeeds.
    row(IO, 0, err=ASK, stdin=b"y\nabc\n", files={"in.txt": JA, "out.txt": OLD},
        after={"out.txt": SJ, STDIN: b"abc\n"}),
    row(["/dev/stdin", "-o", "out.txt"], 0, err=ASK, stdin=b"y\nabc\n", files={"out.txt": OLD},
        after={"out.txt": b"abc\r\n"}, linux=True),
    row(["in.txt", "-o", "/dev/stdout"], 0, SJ, b"/dev/stdout: file exists, overwrite? (y/n) ",
        stdin=b"y\n", files={"in.txt": JA}, linux=True),
    # The answer is never read again as input, even where the input is
    # standard input's own file, which the system opens anew at its start.
    row(["/dev/stdin", "-o", "out.txt"], 0, err=ASK, stdin=b"y\nabc\n", files={"out.txt": OLD},
        after={"out.txt": b"abc\r\n", STDIN: b"abc\n"}, linux=True),
    row(IO, 0, err=ASK, stdin=("in.txt",), files={"in.txt": b"y\nabc\n", "out.txt": OLD},
        after={"out.txt": b"abc\r\n"}),
    # Standard output onto the input itself would be read back as input.
    row(["in.txt"], 1, APPEND, b"stdout: output file is the input file\r\n",
        files={"in.txt": JA}, after={"in.txt": JA}),
    # A message cut by the formatter's limit still ends its line.
    row([LONG], 1, err=LONG.encode() + b": no\r\n"),
    # Standard error as the output's own file: the reports of a line after
    # the lines before it, and a failure after the output before it.
    row(["in.txt"], 0, b"a\r\nError code: F09F9880=1F600\r\nError code: EFBFBD=U+FFFD\r\n"
        b"????\r\nb\r\n", ONE, files={"in.txt": b"a\n\xf0\x9f\x98\x80\xef\xbf\xbd\nb\n"}),
    row(["in.txt"], 1, b"1\r\ninternal error: too long line found\r\n", ONE,
        files={"in.txt": b"1\n" + A + b"bc\n"}),
    row(["in.txt"], 0, PEER, files={"in.txt": SAMPLE}),
    row(["-v", "in.txt"], 0, SAMPLE.replace(b"\n", b"\r\n"), files={"in.txt": PEER}),
]


def run(args, files, stdin, out, names, one):
    with tempfile.TemporaryDirectory(prefix="kawase-e2e-", ignore_cleanup_errors=True) as work:
        for name, what in files.items():
            path = os.path.join(work, name)
            if what == DIR:
                os.mkdir(path)
            elif isinstance(what, tuple):
                os.symlink(what[0], path)
            else:
                open(path, "wb").write(what)
        source = tempfile.TemporaryFile() if STDIN in names else None
        if source:
            source.write(stdin)
            source.seek(0)
        elif isinstance(stdin, tuple):  # standard input is that file of the row's
            source = open(os.path.join(work, stdin[0]), "rb")
        sink = {FULL: "/dev/full", APPEND: os.path.join(work, "in.txt")}.get(out, os.devnull)
        with open(sink, "ab") as fixed:
            proc = subprocess.run(LAUNCHER + [BINARY] + args, cwd=work,
                                  input=None if source else stdin, stdin=source,
                                  stdout=fixed if out in (FULL, APPEND) else subprocess.PIPE,
                                  stderr=subprocess.STDOUT if one else subprocess.PIPE,
                                  env=dict(os.environ, WINEDEBUG="-all"))
        after = {name: os.path.join(work, name) for name in names if name != STDIN}
        left = {STDIN: source.read()} if STDIN in names else {}
        if source:
            source.close()
        return proc.returncode, proc.stdout, proc.stderr, dict(left, **{
            name: open(p, "rb").read() if os.path.lexists(p) else None for name, p in after.items()})


failed = 0
rows = [r for r in ROWS if r != OS]
for i, (args, status, out, err, files, stdin, after) in enumerate(rows):
    got = run(args, files, stdin, out, after, err == ONE)
    want = (status, None if out in (FULL, APPEND) else out, None if err == ONE else err, after)
    if got != want:
        failed += 1
        print("row %d %s: got %.300r, want %.300r" % (i, args, got, want))
print("%d rows passed, %d failed" % (len(rows) - failed, failed))
sys.exit(1 if failed else 0)
