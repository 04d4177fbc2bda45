#!/usr/bin/env python3
"""End-to-end tests of the kawase binary.

Each case runs the binary in a fresh temporary directory, with relative file
names, and compares standard output, standard error, the exit status and the
files byte for byte.

usage: e2e_test.py BINARY [LAUNCHER...]
    LAUNCHER is an optional command the binary is started through (for
    example `wine` for the Windows build).
"""

import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

BINARY = None
LAUNCHER = []

USAGE_ROWS = [
    "UNICODEからS-JISへの変換またはこの逆変換を行います。",
    " ",
    "Usage: kawase [-v] <file> [-o <outputfile>]",
    " ",
    "Parameter:",
    "   -v                SJISからUNICODEへの変換をします。",
    "   <file>            入力ファイル",
    "   -o <outputfile>   <outputfile>に出力します。",
    " ",
    "Version: 1.03",
]
USAGE_LINE = b"Usage: kawase [-v] <file> [-o <outputfile>]\r\n"

# "Japanese text" in UTF-8 and Shift_JIS, with a half-width katakana and a
# plane-2 kanji (U+20B9F).
JA_UTF8 = "日本語のﾃｷｽﾄと𠮟\n".encode("utf-8")
JA_SJIS = b"\x93\xfa\x96\x7b\x8c\xea\x82\xcc\xc3\xb7\xbd\xc4\x82\xc6\x98\x73\r\n"


def on_windows():
    return bool(LAUNCHER)


class Kawase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kawase-e2e-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def run_kawase(self, *args, stdin=b"", stdout=None):
        cmd = LAUNCHER + [BINARY] + list(args)
        env = dict(os.environ, WINEDEBUG="-all")
        proc = subprocess.run(cmd, cwd=self.dir, input=stdin,
                              stdout=stdout or subprocess.PIPE,
                              stderr=subprocess.PIPE, env=env, timeout=120)
        return proc.returncode, proc.stdout, proc.stderr

    def assertRun(self, args, status, out=b"", err=b"", stdin=b""):
        got = self.run_kawase(*args, stdin=stdin)
        self.assertEqual(got, (status, out, err))


class CommandLine(Kawase):
    def test_usage(self):
        rows = b"".join(r.encode("cp932") + b"\r\n" for r in USAGE_ROWS)
        self.assertRun(["-usage"], 0, out=rows)

    def test_no_arguments_and_lone_switch(self):
        self.assertRun([], 1, err=USAGE_LINE)
        self.assertRun(["-v"], 1, err=USAGE_LINE)

    def test_usage_with_more_arguments_is_a_file_name(self):
        self.assertRun(["-usage", "x"], 1, err=b"-usage: not found\r\n")

    def test_extra_arguments_are_ignored(self):
        self.write("in.txt", JA_UTF8)
        self.assertRun(["in.txt", "-x", "y"], 0, out=JA_SJIS)
        self.assertRun(["in.txt", "-o"], 0, out=JA_SJIS)
        self.assertFalse(os.path.exists(self.path("y")))

    def test_switch_only_in_first_position(self):
        self.write("in.txt", JA_UTF8)
        self.assertRun(["in.txt", "-v"], 0, out=JA_SJIS)

    def test_reverse_direction(self):
        self.write("in.sjis", JA_SJIS)
        want = JA_UTF8.replace(b"\n", b"\r\n")
        self.assertRun(["-v", "in.sjis"], 0, out=want)

    def test_names_with_space_and_wildcards(self):
        for name in ["my file.txt", "*.txt", "a?b.txt"]:
            self.write(name, b"plain\n")
        self.write("other.txt", b"must not be read\n")
        self.assertRun(["my file.txt"], 0, out=b"plain\r\n")
        if on_windows():
            return  # "*" and "?" cannot be in a Windows file name
        self.assertRun(["*.txt", "-o", "out?.txt"], 0)
        self.assertEqual(self.read("out?.txt"), b"plain\r\n")
        self.assertRun(["a?b.txt"], 0, out=b"plain\r\n")


class Failures(Kawase):
    def test_missing_input_creates_nothing(self):
        self.assertRun(["in.txt", "-o", "out.txt"], 1, err=b"in.txt: not found\r\n")
        self.assertFalse(os.path.exists(self.path("out.txt")))

    def test_directory_as_input(self):
        os.mkdir(self.path("sub"))
        self.assertRun(["sub"], 1, err=b"sub: not found\r\n")

    def test_output_cannot_be_created(self):
        self.write("in.txt", b"x\n")
        self.assertRun(["in.txt", "-o", "nodir/out.txt"], 1,
                       err=b"nodir/out.txt: cannot create\r\n")

    def test_too_long_line(self):
        ok = b"a" * 255997 + b"\n"  # 255,998 bytes with its newline
        self.write("ok.txt", b"first\n" + ok)
        self.assertRun(["ok.txt", "-o", "out.txt"], 0)
        self.assertEqual(self.read("out.txt"), b"first\r\n" + ok[:-1] + b"\r\n")

        long = b"b" * 255998 + b"\n"  # 255,999 bytes
        self.write("long.txt", b"first\n" + long + b"never\n")
        self.assertRun(["long.txt", "-o", "out2.txt"], 1,
                       err=b"internal error: too long line found\r\n")
        self.assertEqual(self.read("out2.txt"), b"first\r\n")

    def test_crs_count_not_towards_the_limit(self):
        line = b"c" * 255997 + b"\r\r\n"
        self.write("in.txt", line)
        self.assertRun(["in.txt", "-o", "out.txt"], 0)
        self.assertEqual(self.read("out.txt"), b"c" * 255997 + b"\r\n")

    @unittest.skipIf(sys.platform != "linux", "needs /dev/full")
    def test_full_device(self):
        self.write("in.txt", b"line\n" * 10)
        if not on_windows():
            with open("/dev/full", "wb") as full:
                got = self.run_kawase("in.txt", stdout=full)
            self.assertEqual(got[0::2], (1, b"stdout: writing error\r\n"))
            self.assertRun(["in.txt", "-o", "/dev/full"], 1, stdin=b"y\n",
                           err=b"/dev/full: file exists, overwrite? (y/n) "
                               b"/dev/full: writing error\r\n")

    @unittest.skipIf(sys.platform != "linux", "needs /proc")
    def test_read_error_is_not_end_of_input(self):
        if on_windows():
            self.skipTest("Linux only")
        # Reading a process's memory at offset 0 fails with EIO.
        self.assertRun(["/proc/self/mem"], 1,
                       err=b"/proc/self/mem: reading error\r\n")


class Permissions(Kawase):
    """Real permission failures. CI runs as root, which may write anything,
    so the binary runs as an unprivileged user there."""

    def run_unprivileged(self, *args, stdin=b""):
        def drop():
            if os.getuid() == 0:
                os.setgid(65534)
                os.setuid(65534)
        os.chmod(self.dir, 0o777)
        # A copy the unprivileged user can reach, wherever the build lives.
        binary = self.path("kawase-copy")
        shutil.copy(BINARY, binary)
        os.chmod(binary, 0o755)
        cmd = [binary] + list(args)
        proc = subprocess.run(cmd, cwd=self.dir, input=stdin, capture_output=True,
                              preexec_fn=drop, timeout=60)
        return proc.returncode, proc.stdout, proc.stderr

    def setUp(self):
        super().setUp()
        if on_windows() or not hasattr(os, "getuid"):
            self.skipTest("POSIX permissions")
        self.write("in.txt", b"text\n")
        os.chmod(self.path("in.txt"), 0o644)

    def test_read_only_output(self):
        self.write("ro.txt", b"precious\n")
        os.chmod(self.path("ro.txt"), 0o444)
        got = self.run_unprivileged("in.txt", "-o", "ro.txt", stdin=b"y\n")
        self.assertEqual(got, (1, b"", b"ro.txt: file exists, overwrite? (y/n) "
                                       b"ro.txt: cannot create\r\n"))
        self.assertEqual(self.read("ro.txt"), b"precious\n")

    def test_unreadable_input(self):
        os.chmod(self.path("in.txt"), 0o000)
        got = self.run_unprivileged("in.txt", "-o", "out.txt")
        self.assertEqual(got, (1, b"", b"in.txt: not found\r\n"))
        self.assertFalse(os.path.exists(self.path("out.txt")))

    def test_closed_standard_input_refuses(self):
        self.write("out.txt", b"precious\n")
        proc = subprocess.run([BINARY, "in.txt", "-o", "out.txt"], cwd=self.dir,
                              capture_output=True, preexec_fn=lambda: os.close(0),
                              timeout=60)
        self.assertEqual((proc.returncode, proc.stdout, proc.stderr),
                         (1, b"", b"out.txt: file exists, overwrite? (y/n) "))
        self.assertEqual(self.read("out.txt"), b"precious\n")


class Overwrite(Kawase):
    QUESTION = b"out.txt: file exists, overwrite? (y/n) "

    def setUp(self):
        super().setUp()
        self.write("in.txt", JA_UTF8)
        self.write("out.txt", b"old contents\n")

    def test_yes_answers(self):
        for answer in [b"y\n", b"Y\n", b"yes\n", b"y" + b"z" * 300000 + b"\n",
                       b"y"]:
            self.write("out.txt", b"old contents\n")
            self.assertRun(["in.txt", "-o", "out.txt"], 0, stdin=answer,
                           err=self.QUESTION)
            self.assertEqual(self.read("out.txt"), JA_SJIS)

    def test_refusals_leave_the_file_untouched(self):
        for answer in [b"n\n", b"\n", b"", b" y\n", b"\r\ny\n", b"N\n"]:
            self.assertRun(["in.txt", "-o", "out.txt"], 1, stdin=answer,
                           err=self.QUESTION)
            self.assertEqual(self.read("out.txt"), b"old contents\n")

    def test_output_is_the_input(self):
        err = b"in.txt: output file is the input file\r\n"
        self.assertRun(["in.txt", "-o", "in.txt"], 1, stdin=b"y\n", err=err)
        self.assertRun(["in.txt", "-o", "./in.txt"], 1, stdin=b"y\n",
                       err=b"./in.txt: output file is the input file\r\n")
        if not on_windows():
            os.link(self.path("in.txt"), self.path("hard.txt"))
            os.symlink("in.txt", self.path("soft.txt"))
            for name in [b"hard.txt", b"soft.txt"]:
                self.assertRun(["in.txt", "-o", name.decode()], 1, stdin=b"y\n",
                               err=name + b": output file is the input file\r\n")
        self.assertEqual(self.read("in.txt"), JA_UTF8)

    def test_any_existing_entry_is_asked_about(self):
        if on_windows():
            self.skipTest("needs symbolic links")
        # A link to nowhere cannot be opened for reading, yet writing
        # through it would create its target.
        os.symlink("target.txt", self.path("dangling"))
        self.assertRun(["in.txt", "-o", "dangling"], 1, stdin=b"n\n",
                       err=b"dangling: file exists, overwrite? (y/n) ")
        self.assertFalse(os.path.exists(self.path("target.txt")))


class TextMode(Kawase):
    def convert(self, data, *switch, err=b""):
        self.write("in.txt", data)
        if os.path.exists(self.path("out.txt")):
            os.remove(self.path("out.txt"))
        self.assertRun(list(switch) + ["in.txt", "-o", "out.txt"], 0, err=err)
        return self.read("out.txt")

    def test_line_ends(self):
        self.assertEqual(self.convert(b"a\nb\n"), b"a\r\nb\r\n")
        self.assertEqual(self.convert(b"a\r\nb"), b"a\r\nb")
        self.assertEqual(self.convert(b"mid\rdle\n"), b"middle\r\n")
        self.assertEqual(self.convert(b""), b"")

    @staticmethod
    def model(data):
        """What the tool makes of ASCII input: CRs dropped, the data ended at
        Ctrl-Z, read in pieces of at most 255,999 bytes, each piece cut at
        its first NUL, every LF written as CR LF."""
        text = data.split(b"\x1a")[0].replace(b"\r", b"")
        out = []
        pos = 0
        while pos < len(text):
            lf = text.find(b"\n", pos)
            end = len(text) if lf < 0 else lf + 1
            end = min(end, pos + 255999)
            piece = text[pos:end].split(b"\x00")[0]
            assert len(piece) < 255999, "the model covers accepted lines only"
            out.append(piece)
            pos = end
        return b"".join(out).replace(b"\n", b"\r\n")

    def test_lines_across_block_edges(self):
        # Line lengths, CRs and a final Ctrl-Z falling on and around the
        # reader's 64 KiB blocks, the same bytes both ways.
        rng = random.Random(7)
        parts = []
        for _ in range(3000):
            n = rng.choice([0, 1, 2, 63, 64, 65, 4095, 4096, 65535, 65536])
            line = bytes(rng.choice(b"abc \t\r~") for _ in range(n % 97)) * (n // 97 + 1)
            parts.append(line[:n] + rng.choice([b"\n", b"\r\n", b"\r\r\n"]))
        data = b"".join(parts) + b"no newline at the end\x1a" + b"never read\n"
        want = self.model(data)
        self.assertEqual(self.convert(data), want)
        self.assertEqual(self.convert(data, "-v"), want)

    def test_nul_inside_a_long_line(self):
        # The length test sees only the bytes before the NUL; the rest of an
        # overlong line is read as the next line.
        data = b"x" * 10 + b"\x00" + b"y" * 300000 + b"\nz\n"
        want = b"x" * 10 + b"y" * (300000 - 255988) + b"\r\nz\r\n"
        self.assertEqual(self.model(data), want)
        self.assertEqual(self.convert(data), want)
        self.assertEqual(self.convert(data, "-v"), want)

    def test_ctrl_z_ends_the_input(self):
        self.assertEqual(self.convert(b"kept\nhalf\x1agone\nmore\n"), b"kept\r\nhalf")
        self.assertEqual(self.convert(b"\x1a\nall gone\n"), b"")

    def test_nul_ends_the_line_for_conversion(self):
        self.assertEqual(self.convert(b"ab\x00cd\nnext\n"), b"abnext\r\n")

    def test_unmapped_characters_go_on(self):
        self.write("in.txt", "a\U0001F600b\n".encode("utf-8"))
        self.assertRun(["in.txt"], 0, out=b"a??b\r\n",
                       err=b"Error code: F09F9880=1F600\r\n")
        self.write("in.sjis", b"x\xfc\xfcy\n")
        self.assertRun(["-v", "in.sjis"], 0, out=b"xy\r\n",
                       err=b"Error code: FC[FC] ... \xfc\xfcy\r\n\r\n")

    def test_sample_matches_a_peer(self):
        sample = os.path.join(os.path.dirname(__file__), "..", "..",
                              "samples", "sample.txt")
        with open(sample, "rb") as f:
            data = f.read()
        # Python's Shift_JIS-2004 codec agrees with ours on every character
        # of the sample except the one Shift_JIS cannot hold.
        want = data.decode("utf-8").replace("\U0001F308", "??").encode("shift_jis_2004")
        got = self.convert(data, err=b"Error code: F09F8C88=1F308\r\n")
        self.assertEqual(got, want.replace(b"\n", b"\r\n"))
        self.write("back.txt", got)
        self.assertRun(["-v", "back.txt"], 0,
                       out=data.replace("\U0001F308".encode("utf-8"), b"??")
                       .replace(b"\n", b"\r\n"))


def main():
    global BINARY, LAUNCHER
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    BINARY = os.path.abspath(sys.argv[1])
    LAUNCHER = sys.argv[2:]
    suite = unittest.defaultTestLoader.loadTestsFromModule(sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors)
    passed = result.testsRun - failed - len(result.skipped)
    print("%d passed, %d failed, %d skipped" % (passed, failed, len(result.skipped)))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
