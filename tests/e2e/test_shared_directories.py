"""Runs in directories that other users can write: links, FIFOs and files planted by another
user under every fixed name, another user's settings files, tables and lists, a team's
group-writable folder, ACLs kept by a replacement, a tree deeper than the path limit, an
input that shrinks while it is read, endless devices as tables and settings files, an
unwritable current directory and interrupted runs."""

import contextlib
import os
import pwd
import re
import resource
import shutil
import signal
import stat
import subprocess
import tempfile
import threading
import time
import unittest

import kelvo_e2e as k
from japanese_text import PROSE, crlf, euc_jp
from kelvo_e2e import Sandbox

BOM = b"\xff\xfe"
POSIX = not k.LAUNCHER and os.name == "posix"
ROOT = POSIX and os.geteuid() == 0 and shutil.which("setpriv") is not None
NEEDS_ROOT = "needs root to plant files as another user (setpriv)"
EUC = euc_jp(crlf(PROSE))
UTF16 = BOM + crlf(PROSE).encode("utf-16-le")
INPUTS = {"tamorlek": UTF16, "brenodax": EUC, "quilvar": EUC}
TABLES = {"tamorlek": "UTF16~EUC-JP.bin", "brenodax": "EUC-JP~UTF16.bin",
          "quilvar": "EUC-JP~Shift_JIS.bin"}
# The new report numbers: settings file, table search, PATH search, list, serial.txt,
# binary.tmp, input changed; text.tmp (brenodax).
REFUSED = {
    "tamorlek": {"settings": 850, "table": 851, "path": 853, "list": 854, "log": 855,
                 "work": 856, "changed": 857},
    "brenodax": {"settings": 210, "table": 211, "path": 213, "log": 214, "work": 215,
                 "changed": 216, "spool": 217},
    "quilvar": {"settings": 240, "table": 241, "path": 242, "log": 243, "work": 244,
                "changed": 245},
}
SECRET = b"VICTIM first line\nsecret second line\n"
SURROGATE_TEXT = BOM + "\U00027DA0\r\n".encode("utf-16-le")
RUN_LIMIT = 30  # seconds: a run that hangs on a FIFO fails instead of blocking the suite

if POSIX:
    NOBODY = pwd.getpwnam("nobody")
    STRANGER = (NOBODY.pw_uid, NOBODY.pw_gid)


def table_bytes(program):
    with open(k.table_path(TABLES[program]), "rb") as f:
        return f.read()


def as_user(ids, command, data=None, groups=(), umask=0o022):
    """Runs a shell command as another user (uid, gid) with the given groups."""
    uid, gid = ids
    group_args = [f"--groups={','.join(map(str, groups))}"] if groups else ["--clear-groups"]
    return subprocess.run(["setpriv", f"--reuid={uid}", f"--regid={gid}", *group_args,
                           "sh", "-c", f"umask {umask:o}; {command}"],
                          input=data, capture_output=True, check=True)


def plant(directory, name, kind, target=None, data=b"", mode=0o644, ids=None):
    """Makes a file as the stranger: a link, a FIFO or a regular file."""
    path = os.path.join(directory, name)
    ids = ids or STRANGER
    if kind == "link":
        as_user(ids, f"ln -s '{target}' '{path}'")
    elif kind == "fifo":
        as_user(ids, f"mkfifo '{path}'")
    else:
        as_user(ids, f"cat > '{path}' && chmod {mode:o} '{path}'", data)
    return path


@contextlib.contextmanager
def sysctl_off(name):
    """Turns a kernel protection off for the duration where the system lets us."""
    path = f"/proc/sys/fs/{name}"
    try:
        with open(path) as f:
            before = f.read().strip()
        with open(path, "w") as f:
            f.write("0")
    except OSError:
        before = None
    try:
        yield
    finally:
        if before is not None:
            with open(path, "w") as f:
                f.write(before)


class Shared(unittest.TestCase):
    """A world-writable directory (sticky or not) as the current directory, the tables in
    the default directory, and a victim file outside that the stranger must never reach."""

    def setUp(self):
        self._default = k.default_dir(*TABLES.values())
        self._default.__enter__()
        self.addCleanup(self._default.__exit__, None, None, None)
        self.private = tempfile.mkdtemp(prefix="kelvo-victim-")
        self.addCleanup(shutil.rmtree, self.private)
        self.victim = os.path.join(self.private, "victim.txt")
        with open(self.victim, "wb") as f:
            f.write(SECRET)
        self.boxes = []
        self.addCleanup(lambda: [b.__exit__(None, None, None) for b in self.boxes])
        for protection in ("protected_symlinks", "protected_fifos", "protected_regular"):
            manager = sysctl_off(protection)
            manager.__enter__()
            self.addCleanup(manager.__exit__, None, None, None)

    def shared(self, mode):
        box = Sandbox()
        self.boxes.append(box)
        os.chmod(box.path, mode)
        return box

    def run_in(self, box, program, args, stdin=b"", env=None):
        return k.run(program, args, cwd=box.path, stdin=stdin, env=env, timeout=RUN_LIMIT)

    def assert_victim_whole(self, box):
        with open(self.victim, "rb") as f:
            self.assertEqual(f.read(), SECRET)
        self.assertEqual(os.listdir(self.private), ["victim.txt"])
        for name in box.names():
            path = box.file(name)
            if os.path.isfile(path) and not os.path.islink(path) and \
                    stat.S_ISREG(os.lstat(path).st_mode):
                self.assertNotIn(b"secret", box.read(name), name)


# Per fixed name: the program and arguments of a run that uses it, standard input, and the
# files planted beside it. Working files end the run with 1; files that steer a run are
# treated as missing, and the run goes on.
FIXED_NAMES = [
    ("serial.txt", "quilvar", ["in.txt", "out.txt"], b"", {}, True),
    ("error.txt", "quilvar", ["in.txt", "out.txt"], b"", {"serial.txt": b"abc"}, True),
    ("binary.tmp", "quilvar", ["-b", "in.txt", "out.txt"], b"", {}, True),
    ("text.tmp", "brenodax", ["-o", "out.txt"], EUC, {}, True),
    ("data.txt", "quilvar", ["-w", "in.txt", "out.txt"], b"", {}, True),
    ("surro.csv", "tamorlek", ["in.txt", "out.txt"], b"", {}, False),
    ("surro.txt", "tamorlek", ["-u", "in.txt", "out.txt"], b"", {}, False),
    ("set_quilvar.txt", "quilvar", ["in.txt", "out.txt"], b"", {}, False),
]


@unittest.skipUnless(ROOT, NEEDS_ROOT)
class PlantedNames(Shared):

    def test_links_and_fifos_under_fixed_names_reach_nothing(self):
        for mode in (0o1777, 0o777):
            for name, program, args, stdin, beside, working in FIXED_NAMES:
                for kind in ("link", "dangling", "fifo"):
                    with self.subTest(mode=oct(mode), name=name, kind=kind):
                        box = self.shared(mode)
                        box.write("in.txt", INPUTS[program])
                        for other, data in beside.items():
                            plant(box.path, other, "file", data=data, mode=0o666)
                        target = self.victim if kind == "link" else \
                            os.path.join(self.private, "created")
                        plant(box.path, name, "fifo" if kind == "fifo" else "link", target)
                        result = self.run_in(box, program, args, stdin)
                        self.assert_victim_whole(box)
                        if working:
                            self.assertEqual(result.returncode, 1, box.error_logs())
                        else:
                            self.assertEqual(result.returncode, 0, box.error_logs())


@unittest.skipUnless(ROOT, NEEDS_ROOT)
class StrangersFiles(Shared):

    def test_another_users_settings_tables_and_lists_are_not_used(self):
        quilvar_settings = f"\n-o\n{self.victim}\n".encode()
        cases = [
            # name, program, planted as: (owner, mode), report, exit code
            ("settings", "quilvar", "set_quilvar.txt", quilvar_settings, "stranger", 0,
             "Reset() error-240: set_quilvar.txt: owned by another user"),
            ("settings", "quilvar", "set_quilvar.txt", quilvar_settings, "everyone", 0,
             "Reset() error-240: set_quilvar.txt: writable by everyone"),
            ("table", "quilvar", TABLES["quilvar"], None, "stranger", 1,
             f"Reset() error-241: {TABLES['quilvar']}: owned by another user"),
            ("path", "brenodax", TABLES["brenodax"], None, "stranger", 1,
             f"Reset() error-213: {{dir}}/{TABLES['brenodax']}: owned by another user"),
            ("named", "tamorlek", "planted.bin", None, "stranger", 1,
             "Reset() error-851: {dir}/planted.bin: owned by another user"),
        ]
        for what, program, name, data, owner, code, report in cases:
            tables = [TABLES[program]] if what == "settings" else []
            with self.subTest(what=what, owner=owner), k.default_dir(*tables):
                box = self.shared(0o777)
                box.write("in.txt", INPUTS[program])
                content = data if data is not None else table_bytes(program)
                if owner == "stranger":
                    plant(box.path, name, "file", data=content)
                else:
                    box.write(name, content)
                    os.chmod(box.file(name), 0o666)
                env = {"PATH": box.path + ":" + os.environ.get("PATH", "")} \
                    if what == "path" else None
                args = ["in.txt"] + (["out.txt"] if what != "settings" else [])
                if what == "named":
                    box.write(f"set_{program}.txt", f"{box.path}/planted.bin\n".encode())
                    args = ["-a"] + args
                result = self.run_in(box, program, args, env=env)
                self.assert_victim_whole(box)
                self.assertEqual(result.returncode, code, box.error_logs())
                self.assertIn(report.format(dir=box.path), box.error_logs())

    def test_another_users_surrogate_lists_leave_the_built_in_ones(self):
        # A stranger's list maps U+27DA0 to U+4E00; the built-in one to U+8CE3.
        theirs = {"surro.csv": BOM + "\U00027DA0,D85F,DDA0,27DA0,31,414,\u4e00\r\n"
                  .encode("utf-16-le"), "surro.txt": b"20B9F\r\n"}
        expected = {}
        with Sandbox() as ref:
            ref.write("in.txt", SURROGATE_TEXT)
            for args in ([], ["-u"]):
                self.assertEqual(ref.run("tamorlek", args + ["in.txt", "out.txt"]).returncode, 0)
                expected[tuple(args)] = ref.read("out.txt")
        for name, args in (("surro.csv", []), ("surro.txt", ["-u"])):
            with self.subTest(name=name):
                box = self.shared(0o1777)
                box.write("in.txt", SURROGATE_TEXT)
                plant(box.path, name, "file", data=theirs[name])
                result = self.run_in(box, "tamorlek", args + ["in.txt", "out.txt"])
                self.assertEqual(result.returncode, 0, box.error_logs())
                self.assertEqual(box.read("out.txt"), expected[tuple(args)])
                self.assertEqual(box.read(name), theirs[name])
                self.assertEqual(os.stat(box.file(name)).st_uid, STRANGER[0])
                self.assertIn(f"Reset() error-854: {name}: owned by another user",
                              box.error_logs())

    def test_binary_tmp_and_text_tmp_are_never_another_users(self):
        for name, program, args, stdin in (("binary.tmp", "quilvar", ["-b", "in.txt", "out.txt"],
                                            b""),
                                           ("text.tmp", "brenodax", ["-o", "out.txt"], EUC)):
            with self.subTest(name=name, whose="stranger"):
                box = self.shared(0o1777)
                box.write("in.txt", INPUTS[program])
                plant(box.path, name, "file", data=b"theirs", mode=0o666)
                result = self.run_in(box, program, args, stdin)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(box.read(name), b"theirs")
                self.assertFalse(box.exists("out.txt"))
                number = REFUSED[program]["spool" if name == "text.tmp" else "work"]
                self.assertIn(f"Lock() error-{number}: {name}: owned by another user",
                              box.error_logs())
            for before in (None, 0o644):
                with self.subTest(name=name, whose="own", before=before):
                    box = self.shared(0o1777)
                    box.write("in.txt", INPUTS[program])
                    if before is not None:
                        box.write(name, b"old")
                        os.chmod(box.file(name), before)
                    keep = ["-y"] if name == "binary.tmp" else []
                    result = self.run_in(box, program, keep + args, stdin)
                    self.assertEqual(result.returncode, 0, box.error_logs())
                    self.assertEqual(stat.S_IMODE(os.stat(box.file(name)).st_mode), 0o600)


@unittest.skipUnless(ROOT, NEEDS_ROOT)
class TeamFolder(Shared):

    def test_members_of_a_group_share_settings_tables_lists_and_numbers(self):
        team = 40000
        first, second = (40001, team), (40002, team)
        box = self.shared(0o2770)
        os.chown(box.path, 0, team)
        with k.default_dir():
            member = {"ids": first}
            plant(box.path, "team.bin", "file", data=table_bytes("quilvar"), mode=0o664,
                  **member)
            plant(box.path, "set_quilvar.txt", "file", data=b"team.bin\n-a\n", mode=0o664,
                  **member)
            plant(box.path, "in.euc", "file", data=EUC, mode=0o664, **member)
            plant(box.path, "in.utf16", "file", data=SURROGATE_TEXT, mode=0o664, **member)
            plant(box.path, TABLES["tamorlek"], "file",
                  data=table_bytes("tamorlek"), mode=0o664, **member)
            prog = {p: k.program(p) for p in INPUTS}
            for ids in (first, second, first, second):
                as_user(ids, f"cd '{box.path}' && '{prog['tamorlek']}' in.utf16 out.euc && "
                        f"'{prog['tamorlek']}' -u in.utf16 out.euc && "
                        f"'{prog['quilvar']}' in.euc out.sjis", groups=(team,), umask=0o002)
            logs = box.error_logs()
            self.assertTrue(logs)
            self.assertFalse([log for log in logs if "another user" in log], logs)
            self.assertEqual(box.read("serial.txt"), str(len(logs)).encode())
            self.assertEqual(os.stat(box.file("surro.csv")).st_uid, first[0])
        with Sandbox() as ref, k.default_dir(TABLES["quilvar"]):
            ref.write("in.euc", EUC)
            self.assertEqual(ref.run("quilvar", ["in.euc", "out.sjis"]).returncode, 0)
            self.assertEqual(box.read("out.sjis"), ref.read("out.sjis"))


@unittest.skipUnless(POSIX and shutil.which("setfacl"), "needs setfacl and getfacl (acl)")
class AccessControlLists(unittest.TestCase):

    def test_a_replacement_keeps_the_files_acl(self):
        for program in INPUTS:
            for args in (["in.txt", "in.txt"], ["-b", "in.txt", "in.txt"]):
                with self.subTest(program=program, args=args), Sandbox() as box, \
                        k.default_dir(TABLES[program]):
                    box.write("in.txt", INPUTS[program])
                    os.chmod(box.file("in.txt"), 0o660)
                    acl = subprocess.run(["setfacl", "-m", "u:nobody:rw-,g::---",
                                          box.file("in.txt")], capture_output=True)
                    if acl.returncode != 0:
                        self.skipTest("the file system holds no ACL")

                    def entries():
                        return subprocess.run(["getfacl", "-cp", box.file("in.txt")],
                                              capture_output=True, check=True).stdout

                    before = entries()
                    result = box.run(program, args)
                    self.assertEqual(result.returncode, 0, box.error_logs())
                    self.assertNotEqual(box.read("in.txt"), INPUTS[program])
                    self.assertEqual(entries(), before)


@unittest.skipUnless(POSIX, "needs a POSIX file system")
class DeepTree(unittest.TestCase):

    def test_a_link_onto_the_input_beyond_the_path_limit_is_replaced_whole(self):
        for program in INPUTS:
            data = INPUTS[program][:2] + INPUTS[program][2:] * 1500 if program == "tamorlek" \
                else INPUTS[program] * 1500
            with self.subTest(program=program), Sandbox() as box, \
                    k.default_dir(TABLES[program]):
                box.write("ref.txt", data)
                self.assertEqual(box.run(program, ["ref.txt", "ref.out"]).returncode, 0)
                fd = os.open(box.path, os.O_RDONLY | os.O_DIRECTORY)
                try:
                    for _ in range(24):  # 24 x 201 characters: beyond 4,096
                        os.mkdir("d" * 200, dir_fd=fd)
                        deeper = os.open("d" * 200, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
                        os.close(fd)
                        fd = deeper
                    with open(os.open("big.txt", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd),
                              "wb") as f:
                        f.write(data)
                    os.symlink("big.txt", "lnk", dir_fd=fd)
                    result = k.run(program, ["lnk", "lnk"], preexec_fn=lambda: os.fchdir(fd),
                                   pass_fds=(fd,))
                    with open(os.open("big.txt", os.O_RDONLY, dir_fd=fd), "rb") as f:
                        converted = f.read()
                finally:
                    os.close(fd)
                if result.returncode == 0:
                    self.assertEqual(converted, box.read("ref.out"))
                else:  # refused: the input stays whole
                    self.assertEqual(converted, data)


@unittest.skipUnless(POSIX, "needs FIFOs")
class ShrinkingInput(unittest.TestCase):

    def test_an_input_cut_while_it_is_read_fails_the_run(self):
        for program in INPUTS:
            with self.subTest(program=program), Sandbox() as box, \
                    k.default_dir(TABLES[program]):
                box.write("in.txt", INPUTS[program] * 8000)
                os.mkfifo(box.file("out.fifo"))
                child = subprocess.Popen([k.program(program), "in.txt", "out.fifo"],
                                         cwd=box.path, stdin=subprocess.DEVNULL)
                with open(box.file("out.fifo"), "rb") as out:
                    out.read(1)
                    os.truncate(box.file("in.txt"), 1000)
                    out.read()
                self.assertEqual(child.wait(timeout=RUN_LIMIT), 1)
                self.assertIn(f"Reset() error-{REFUSED[program]['changed']}: in.txt",
                              box.error_logs())


@unittest.skipUnless(POSIX, "needs /dev/zero and address-space limits")
class EndlessFiles(unittest.TestCase):

    def test_devices_and_huge_files_are_not_read_whole(self):
        def limited():
            # The sanitizer runtime needs far more address space; there the time limit alone
            # catches a run that reads without end.
            if os.environ.get("KELVO_SANITIZE") != "ON":
                resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))

        cases = [
            ("quilvar", "set_quilvar.txt", [], "Reset() error-240: set_quilvar.txt: "
             "not a regular file"),
            ("quilvar", TABLES["quilvar"], [], f"Reset() error-241: {TABLES['quilvar']}: "
             "not a regular file"),
            ("tamorlek", "surro.txt", ["-u"], "Reset() error-854: surro.txt: not a regular file"),
            ("brenodax", TABLES["brenodax"], ["sparse"],
             f"FileSize() error-195: {TABLES['brenodax']}"),
        ]
        for program, name, extra, report in cases:
            with self.subTest(program=program, name=name), Sandbox() as box, k.default_dir():
                box.write("in.txt", INPUTS[program])
                box.put_tables(TABLES[program])
                if os.path.exists(box.file(name)):
                    os.remove(box.file(name))
                if extra == ["sparse"]:
                    with open(box.file(name), "wb") as f:
                        f.truncate(1 << 30)
                    extra = []
                else:
                    os.symlink("/dev/zero", box.file(name))
                result = k.run(program, extra + ["in.txt", "out.txt"], cwd=box.path,
                               preexec_fn=limited, timeout=RUN_LIMIT)
                self.assertIn(result.returncode, (0, 1))
                self.assertIn(report, box.error_logs())


@unittest.skipUnless(ROOT, NEEDS_ROOT)
class UnwritableDirectory(unittest.TestCase):

    def test_tamorlek_goes_on_with_its_built_in_list(self):
        with Sandbox() as ref, k.default_dir(TABLES["tamorlek"]):
            ref.write("in.txt", SURROGATE_TEXT)
            self.assertEqual(ref.run("tamorlek", ["in.txt", "out.txt"]).returncode, 0)
            with Sandbox() as cwd, Sandbox() as work:
                os.chmod(cwd.path, 0o755)
                os.chmod(work.path, 0o777)
                work.write("in.txt", SURROGATE_TEXT)
                os.chmod(work.file("in.txt"), 0o644)
                result = subprocess.run(
                    ["setpriv", f"--reuid={STRANGER[0]}", f"--regid={STRANGER[1]}",
                     "--clear-groups", k.program("tamorlek"), work.file("in.txt"),
                     work.file("out.txt")], cwd=cwd.path, capture_output=True, timeout=RUN_LIMIT)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(work.read("out.txt"), ref.read("out.txt"))
                self.assertEqual(cwd.names(), [])


@unittest.skipUnless(POSIX, "needs POSIX signals and FIFOs")
class Interrupted(unittest.TestCase):

    def test_an_interrupted_run_leaves_no_files_of_its_own(self):
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(signal=sig.name), Sandbox() as box, \
                    k.default_dir(TABLES["quilvar"]):
                os.mkfifo(box.file("in.fifo"))
                child = subprocess.Popen([k.program("quilvar"), "-b", "in.fifo", "out.txt"],
                                         cwd=box.path, stdin=subprocess.DEVNULL)
                with open(box.file("in.fifo"), "wb") as feed:
                    feed.write(EUC * 200)
                    feed.flush()
                    deadline = time.monotonic() + RUN_LIMIT
                    while not box.exists("binary.tmp") and time.monotonic() < deadline:
                        time.sleep(0.01)
                    time.sleep(0.3)  # the run now waits for the rest of its input
                    child.send_signal(sig)
                    self.assertEqual(child.wait(timeout=RUN_LIMIT), -sig)
                self.assertEqual([n for n in box.names() if n != "in.fifo" and
                                  not re.fullmatch(r"err.*\.txt|serial\.txt", n)], [])


if __name__ == "__main__":
    unittest.main()
