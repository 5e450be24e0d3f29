"""End-to-end tests of kelvo: the walk, where the output goes, what is left alone, the
reports and the exit statuses."""

import json
import os
import pty
import select
import shutil
import signal
import stat
import subprocess
import time
import unittest

import re

from kelvo_e2e import ANSI, BUILD_DIR, LAUNCHER, WINDOWS, Sandbox, program, run

EUC = "日本語のテキスト、ｶﾀｶﾅ入り。\n".encode("euc-jp") * 3
UTF8 = EUC.decode("euc-jp").encode("utf-8")
SJIS = "漢字とかなの混ざった文、半角ｱｲｳ。\n".encode("cp932") * 3


def kelvo(args, cwd=None, stdin=b""):
    return run("kelvo", args, cwd=cwd, stdin=stdin)


def tree(box, files):
    """Writes {relative path: bytes} below the box."""
    for name, data in files.items():
        path = box.file(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def snapshot(root):
    """Every file below root with its bytes and modification time."""
    found = {}
    for directory, _, names in os.walk(root):
        for name in names:
            path = os.path.join(directory, name)
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            with open(path, "rb") as f:
                found[os.path.relpath(path, root)] = (f.read(), os.stat(path).st_mtime_ns)
    return found


def json_lines(result):
    lines = [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]
    return [o for o in lines if not o.get("total")], lines[-1]


class WalkTest(unittest.TestCase):
    def test_walk_selects_files(self):
        files = {"top.txt": EUC, "sub/a.txt": EUC, "sub/b.md": EUC, ".hidden.txt": EUC,
                 ".git/config": EUC, "sub/.svn/x.txt": EUC, "skip/c.txt": EUC}
        cases = [
            ([], {"top.txt", "sub/a.txt", "sub/b.md", "skip/c.txt"}),
            (["--hidden"], {"top.txt", "sub/a.txt", "sub/b.md", "skip/c.txt", ".hidden.txt",
                            ".git/config", "sub/.svn/x.txt"}),
            (["--include", "*.txt"], {"top.txt", "sub/a.txt", "skip/c.txt"}),
            (["--include", "*.md", "--include", "top.*"], {"top.txt", "sub/b.md"}),
            (["--exclude", "skip", "--exclude", "*.md"], {"top.txt", "sub/a.txt"}),
            (["--include", "sub/*.txt"], {"sub/a.txt"}),
            (["--follow"], {"top.txt", "sub/a.txt", "sub/b.md", "skip/c.txt", "link/a.txt",
                            "link/b.md", "filelink.txt"}),
            # In place, a file reached through two names is converted once.
            (["--follow", "--in-place"], {"filelink.txt", "link/a.txt", "link/b.md", "skip/c.txt"}),
        ]
        for options, expected in cases:
            if WINDOWS and "--follow" in options:
                continue  # links of POSIX
            with self.subTest(options=options), Sandbox() as box:
                tree(box, files)
                if not WINDOWS:
                    os.symlink("sub", box.file("link"))
                    os.symlink("top.txt", box.file("filelink.txt"))
                result = kelvo(["-t", "utf-8", "-n", "--json", "."] + options, cwd=box.path)
                self.assertEqual(result.returncode, 0, result.stderr)
                objects, _ = json_lines(result)
                self.assertEqual({o["path"].replace("\\", "/").removeprefix("./")
                                  for o in objects}, expected)

    def test_file_lists(self):
        names = ["a b.txt", "c.txt"] + ([] if WINDOWS else ["line\nbreak.txt"])
        cases = [
            (["-0"], b"\0".join(n.encode() for n in names) + b"\0", set(names)),
            ([], b"a b.txt\r\nc.txt\n\n", {"a b.txt", "c.txt"}),
        ]
        for options, listing, expected in cases:
            with self.subTest(options=options), Sandbox() as box:
                tree(box, {n: EUC for n in names})
                result = kelvo(["-t", "utf-8", "-n", "--json", "--files-from", "-"] + options,
                               cwd=box.path, stdin=listing)
                self.assertEqual(result.returncode, 0, result.stderr)
                objects, _ = json_lines(result)
                self.assertEqual({o["path"] for o in objects}, expected)

    @unittest.skipIf(WINDOWS, "FIFOs and links of POSIX")
    def test_special_files_and_loops_are_reported_not_opened(self):
        with Sandbox() as box:
            tree(box, {"d/a.txt": EUC})
            os.mkfifo(box.file("d/fifo"))
            os.symlink("..", box.file("d/up"))
            # Opening the FIFO for reading would block the run until the timeout.
            result = kelvo(["-t", "utf-8", "-n", "--follow", "d"], cwd=box.path)
            err = result.stderr.decode()
            self.assertEqual(result.returncode, 0, err)
            self.assertIn("d/fifo: skipped: not a regular file", err)
            self.assertEqual(err.count("link loop"), 1, err)


class OutputTest(unittest.TestCase):
    @unittest.skipIf(WINDOWS, "modes of POSIX")
    def test_destinations(self):
        cases = [
            # options, file written, expected bytes there, original kept as
            (["--in-place"], "in.txt", UTF8, None),
            (["--in-place", "--backup"], "in.txt", UTF8, "in.txt.orig"),
            (["--in-place", "--backup=.bak"], "in.txt", UTF8, "in.txt.bak"),
            (["-o", "out"], "out/in.txt", UTF8, "in.txt"),
            (["-o", "out", "--eol=crlf", "--bom=add"], "out/in.txt",
             b"\xef\xbb\xbf" + UTF8.replace(b"\n", b"\r\n"), "in.txt"),
        ]
        for options, written, expected, kept in cases:
            with self.subTest(options=options), Sandbox() as box:
                box.write("in.txt", EUC)
                os.chmod(box.file("in.txt"), 0o640)
                os.utime(box.file("in.txt"), ns=(10**18, 10**18))
                result = kelvo(["-t", "utf-8", "--keep-time", "in.txt"] + options, cwd=box.path)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(box.read(written), expected)
                info = os.stat(box.file(written))
                self.assertEqual(stat.S_IMODE(info.st_mode), 0o640)
                self.assertEqual(info.st_mtime_ns, 10**18)
                if kept:
                    self.assertEqual(box.read(kept), EUC)
                self.assertFalse([n for n in os.listdir(box.path) if ".kelvo-" in n])

    @unittest.skipIf(WINDOWS, "ACLs of POSIX")
    @unittest.skipUnless(shutil.which("setfacl"), "setfacl (Debian acl) is missing")
    def test_in_place_keeps_acl(self):
        with Sandbox() as box:
            box.write("in.txt", EUC)
            acl = subprocess.run(["setfacl", "-m", "u:daemon:r", box.file("in.txt")],
                                 capture_output=True)
            if acl.returncode != 0:
                self.skipTest("the file system takes no ACLs")
            result = kelvo(["-t", "utf-8", "--in-place", "in.txt"], cwd=box.path)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(box.read("in.txt"), UTF8)
            facl = subprocess.run(["getfacl", "-c", box.file("in.txt")], capture_output=True)
            self.assertIn(b"user:daemon:r--", facl.stdout)

    def test_output_compared_with_input_across_blocks(self):
        long = b"a" * 400000  # more than one block of the pump
        cases = [
            # input, options, expected output (None: unchanged, nothing written)
            (long + b"\n" + b"b" * 10, ["--eol=crlf"], long + b"\r\n" + b"b" * 10),
            (long + b"\r\n", ["--eol=lf"], long + b"\n"),  # shorter only at the end
            (long + b"\n", ["--eol=lf"], None),
            (long, ["--bom=add"], b"\xef\xbb\xbf" + long),
            (b"\xef\xbb\xbf" + long, ["--bom=remove"], long),
            (long + "é".encode(), [], None),
            (long + b"\xff" + long, [], long + "\ufffd".encode() + long),
        ]
        for data, options, expected in cases:
            with self.subTest(options=options, size=len(data)), Sandbox() as box:
                box.write("in.txt", data)
                result = kelvo(["-f", "utf-8", "-t", "utf-8", "--in-place", "--json", "in.txt"]
                               + options, cwd=box.path)
                self.assertEqual(result.returncode, 0, result.stderr)
                objects, _ = json_lines(result)
                self.assertEqual(objects[0]["status"], "unchanged" if expected is None else "converted")
                self.assertEqual(box.read("in.txt"), data if expected is None else expected)
                self.assertEqual(box.names(), ["in.txt"])

    def test_inputs_with_one_output_place(self):
        with Sandbox() as box:
            tree(box, {"a/x.txt": EUC, "b/x.txt": SJIS})
            result = kelvo(["-t", "utf-8", "-o", "out", "a/x.txt", "b/x.txt"], cwd=box.path)
            self.assertEqual(result.returncode, 1)
            self.assertIn(b"b/x.txt: its output would replace another file's", result.stderr)
            self.assertEqual(box.read("out/x.txt"), UTF8)

    def test_standard_output_takes_one_file(self):
        with Sandbox() as box:
            tree(box, {"a.txt": EUC, "d/b.txt": EUC})
            result = kelvo(["-t", "utf-8", "a.txt"], cwd=box.path)
            self.assertEqual((result.returncode, result.stdout), (0, UTF8))
            for args in (["a.txt", "d/b.txt"], ["d"]):
                with self.subTest(args=args):
                    self.assertEqual(kelvo(["-t", "utf-8"] + args, cwd=box.path).returncode, 2)

    def test_dry_run_and_check_write_nothing(self):
        unmappable = "①Ⅻ\n".encode("utf-8") + "丂\U00020BB7\n".encode("utf-8")
        cases = [
            (["-n", "-t", "utf-8"], 0),
            (["--check", "-t", "utf-8"], 0),
            (["--check", "-t", "euc-jp"], 1),  # the supplementary kanji has no EUC-JP code
            (["-n", "--in-place", "--backup", "-t", "shift_jis"], 0),
            (["-n", "-o", "out", "-t", "utf-16"], 0),
        ]
        for options, status in cases:
            with self.subTest(options=options), Sandbox() as box:
                tree(box, {"a.txt": EUC, "b.txt": SJIS, "c/u.txt": unmappable})
                before = snapshot(box.path)
                result = kelvo(options + ["."], cwd=box.path)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertEqual(snapshot(box.path), before)
                self.assertEqual(sorted(os.listdir(box.path)), ["a.txt", "b.txt", "c"])

    @unittest.skipIf(WINDOWS, "signals of POSIX")
    def test_interrupted_run_leaves_no_partial_file(self):
        with Sandbox() as box:
            big = EUC * (60 * 1024 * 1024 // len(EUC))
            for name in ("a.txt", "b.txt"):
                box.write(name, big)
            process = subprocess.Popen(LAUNCHER + [program("kelvo"), "-t", "utf-8", "-f", "euc-jp",
                                                   "-j", "1", "-o", "out", "."],
                                       cwd=box.path, stderr=subprocess.PIPE)
            # The signal comes once a temporary output file stands, so that the run has
            # begun writing whatever the machine's load.
            out = box.file("out")
            deadline = time.monotonic() + 30
            while process.poll() is None and time.monotonic() < deadline:
                if any(".kelvo-" in n for _, _, names in os.walk(out) for n in names):
                    break
                time.sleep(0.005)
            process.send_signal(signal.SIGINT)
            _, err = process.communicate(timeout=60)
            written = snapshot(os.path.join(box.path, "out")) if box.exists("out") else {}
            for name, (data, _) in written.items():
                self.assertFalse(name.startswith(".") or ".kelvo-" in name, name)
                self.assertEqual(len(data), len(big.decode("euc-jp").encode("utf-8")), name)
            if len(written) < 2:
                self.assertEqual(process.returncode, 1, err)
                self.assertIn(b"interrupted", err)

    def test_parallel_runs_give_the_same_bytes(self):
        with Sandbox() as box:
            texts = [EUC, SJIS, UTF8, b"plain ascii\n", EUC * 500, b"\x00\x01binary"]
            tree(box, {f"src/d{i % 7}/f{i}.txt": texts[i % len(texts)] * (1 + i % 5)
                       for i in range(300)})
            outputs = []
            for jobs in ("1", "2", "4"):
                result = kelvo(["-t", "utf-16", "-j", jobs, "-o", f"out{jobs}", "--json", "src"],
                               cwd=box.path)
                self.assertEqual(result.returncode, 0, result.stderr)
                outputs.append((snapshot(box.file(f"out{jobs}")),
                                [o["path"] + o["status"] for o in json_lines(result)[0]]))
                outputs[-1] = ({k: v[0] for k, v in outputs[-1][0].items()}, outputs[-1][1])
            self.assertEqual(outputs[0], outputs[1])
            self.assertEqual(outputs[0], outputs[2])
            self.assertEqual(len(outputs[0][0]), 250)  # the binary files are left out


class ReportTest(unittest.TestCase):
    def test_json_objects(self):
        with Sandbox() as box:
            tree(box, {"a.txt": EUC, "b.bin": b"abc\x00def", "c.txt": b"ascii\n",
                       "d.txt": "①\U00020BB7x\n".encode("utf-8")})
            result = kelvo(["-t", "shift_jis", "-o", "out", "--json", "."], cwd=box.path)
            objects, total = json_lines(result)
            by_name = {o["path"].replace("\\", "/").removeprefix("./"): o for o in objects}
            self.assertEqual({k: v["status"] for k, v in by_name.items()},
                             {"a.txt": "converted", "b.bin": "binary", "c.txt": "unchanged",
                              "d.txt": "converted"})
            self.assertEqual(by_name["a.txt"]["from"], "euc-jp")
            self.assertEqual(by_name["a.txt"]["to"], "shift_jis")
            self.assertEqual(by_name["a.txt"]["bytes_in"], len(EUC))
            self.assertEqual(by_name["d.txt"]["replacements"], 1)
            self.assertEqual(by_name["d.txt"]["first_replacements"],
                             [{"line": 1, "column": 2, "character": "U+20BB7"}])
            self.assertEqual((total["converted"], total["unchanged"], total["binary"],
                              total["replacements"]), (2, 1, 1, 1))
            self.assertEqual(result.stderr, b"")

    def test_detect_lines_and_objects(self):
        files = {"a.txt": EUC, "b.txt": SJIS.replace(b"\n", b"\r\n"), "c.bin": b"a\x00b",
                 "d.txt": b"\xff\xfe" + "あい\n".encode("utf-16-le"), "e.txt": b"\xe0\xa1"}
        expected = {
            "a.txt": ("detected", "euc-jp", "lf", False),
            "b.txt": ("detected", "shift_jis", "crlf", False),
            "c.bin": ("binary", None, None, None),
            "d.txt": ("detected", "utf-16le", "lf", True),
            "e.txt": ("undecided", None, None, None),
        }
        with Sandbox() as box:
            tree(box, files)
            result = kelvo(["--detect", "--json"] + sorted(files), cwd=box.path)
            self.assertEqual(result.returncode, 1)  # one file undecided
            objects, total = json_lines(result)
            self.assertEqual({o["path"]: (o["status"], o.get("from"), o.get("line_ends"), o.get("bom"))
                              for o in objects}, expected)
            self.assertEqual(objects[4]["candidates"], ["euc-jp", "shift_jis"])
            self.assertEqual((total["detected"], total["binary"], total["undecided"]), (3, 1, 1))
            lines = kelvo(["--detect"] + sorted(files), cwd=box.path).stdout.decode().splitlines()
            self.assertEqual([line.split(":")[0] for line in lines], sorted(files))

    def test_exit_statuses(self):
        undecided = bytes([0xE0, 0xA1])  # a rare kanji in EUC-JP and in Shift_JIS alike
        cases = [
            (["-t", "utf-8", "-n", "ok.txt"], 0),
            (["-t", "utf-8", "-n", "bin.dat"], 0),
            (["-t", "utf-8", "-n", "ok.txt", "missing.txt"], 1),
            (["-t", "utf-8", "-n", "und.txt"], 1),
            (["--detect", "und.txt"], 1),
            (["--detect", "ok.txt", "bin.dat"], 0),
            (["-t", "euc-jp", "-n", "--on-unmappable=fail", "rare.txt"], 1),
            (["-t", "euc-jp", "-n", "rare.txt"], 0),
            (["-t", "euc-jp", "--check", "rare.txt"], 1),
            (["-t", "klingon", "ok.txt"], 2),
            (["ok.txt"], 2),
            (["-t", "utf-8", "--in-place", "-o", "x", "ok.txt"], 2),
            (["-t", "utf-8", "--backup", "ok.txt"], 2),
            (["-t", "utf-8", "--eol=cr", "ok.txt"], 2),
            (["-t", "utf-8", "-j", "0", "ok.txt"], 2),
            (["-t", "utf-8"], 2),
        ]
        with Sandbox() as box:
            tree(box, {"ok.txt": EUC, "bin.dat": b"\x00\xff\x00", "und.txt": undecided,
                       "rare.txt": "\U00020BB7\n".encode("utf-8")})
            for args, status in cases:
                with self.subTest(args=args):
                    result = kelvo(args, cwd=box.path)
                    self.assertEqual(result.returncode, status, result.stderr)
                    self.assertEqual(sorted(os.listdir(box.path)),
                                     ["bin.dat", "ok.txt", "rare.txt", "und.txt"])

    def test_failures_name_the_path_and_the_reason(self):
        with Sandbox() as box:
            result = kelvo(["-t", "utf-8", "-n", "missing.txt"], cwd=box.path)
            self.assertRegex(result.stderr.decode(ANSI),
                             r"^kelvo: missing.txt: cannot examine: .+\n")

    @unittest.skipIf(WINDOWS, "the manual page is made on POSIX")
    def test_manual_page_and_help_agree(self):
        help_text = kelvo(["--help"]).stdout.decode()
        with open(os.path.join(BUILD_DIR, "man", "kelvo.1"), encoding="utf-8") as f:
            page = f.read().replace("\\-", "-").replace("\\", "")
        options = set(re.findall(r"--[a-z][a-z-]+", help_text))
        self.assertGreater(len(options), 20)
        self.assertEqual({o for o in options if o not in page}, set())

    @unittest.skipIf(WINDOWS or LAUNCHER, "a pseudo-terminal of POSIX")
    def test_progress_only_on_a_terminal(self):
        with Sandbox() as box:
            tree(box, {f"f{i}.txt": EUC * 2000 for i in range(40)})
            cases = [
                ([], True, True),
                (["--quiet"], True, False),
                (["--progress=never"], True, False),
                ([], False, False),
                (["--progress=always"], False, True),
            ]
            for options, terminal, shown in cases:
                with self.subTest(options=options, terminal=terminal):
                    err = self._stderr([program("kelvo"), "-t", "utf-8", "-n", "-j", "1", "."]
                                       + options, box.path, terminal)
                    self.assertEqual(b" files, " in err and b"/40" in err, shown, err)

    def _stderr(self, command, cwd, terminal):
        if not terminal:
            return subprocess.run(command, cwd=cwd, capture_output=True).stderr
        leader, follower = pty.openpty()
        process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.DEVNULL,
                                   stderr=follower)
        os.close(follower)
        err = b""
        while True:
            ready, _, _ = select.select([leader], [], [], 30)
            try:
                chunk = os.read(leader, 4096) if ready else b""
            except OSError:
                chunk = b""
            if not chunk:
                break
            err += chunk
        os.close(leader)
        process.wait(timeout=30)
        return err


if __name__ == "__main__":
    unittest.main()
