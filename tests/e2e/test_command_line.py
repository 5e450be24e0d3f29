"""Command line of the three programs: guide and version texts, exit codes, the log of a
missing settings file and the running number shared by all programs in one directory."""

import os
import re
import shutil
import unittest

import kelvo_e2e

# The built-in surrogate list and the list of its code points.
SURRO_CSV = (b"\xff\xfe" + "\U00027DA0,D85F,DDA0,27DA0,31,414,\u8CE3\r\n".encode("utf-16-le"))


class Sandbox(kelvo_e2e.Sandbox):
    """A temporary directory that already holds tamorlek's surrogate lists. A run of tamorlek
    with arguments builds missing lists before it looks at its options, and building them
    loads the code table; these tests are about the options alone."""

    def __init__(self):
        super().__init__()
        self.write("surro.csv", SURRO_CSV)
        self.write("surro.txt", b"27DA0,\r\n")


# Console text is written in the ANSI code page (UTF-8 on POSIX).
ANSI = kelvo_e2e.ANSI

GUIDES = {
    "tamorlek": ("Tamorlek Version 1.06", 25, [
        "tamorlek                 # Produce UTF16~EUC-JP.bin ",
        "tamorlek UTF16           # Produce tamorlek.txt ",
        "tamorlek UTF16 EUC       # Produce a new file. ",
        "tamorlek -o EUC UTF16    # Produce a new file. ",
        "tamorlek -0 UTF16        # Every line includes 0Dh. ",
        "tamorlek -t UTF16 EUC    # UTF16 has the same time as EUC. ",
        "tamorlek -a UTF16        # Acquire a table name from set_tamorlek.txt ",
        "tamorlek -b UTF16        # Produce binary.tmp ",
        "tamorlek -b UTF16 UTF16  # Produce and rename binary.tmp ",
        "tamorlek -b -y UTF16     # Do not remove binary.tmp ",
        "tamorlek -d UTF16        # Do not search a table. ",
        "tamorlek -G              # Guide ",
        "tamorlek -LF UTF16       # 0Dh is removed from every line. ",
        "tamorlek -r2 UTF16 EUC   # Select Field-2 from UTF16 to produce EUC. ",
        "tamorlek -s UTF16        # Remove control characters. ",
        "tamorlek -u UTF16        # Replace surrogate-pair kanji with \uff3f. ",
        "tamorlek -w UTF16        # -w shows which table tamorlek uses.",
        "tamorlek -V              # Version ",
    ]),
    "brenodax": ("Brenodax Version 1.05", 24, [
        "brenodax                # Produce EUC-JP~UTF16.bin ",
        "brenodax EUC            # Produce brenodax.txt ",
        "brenodax EUC UTF16      # Produce a new file. ",
        "brenodax -o UTF16 EUC   # Produce a new file. ",
        "brenodax -o UTF16 < EUC # Every line includes 0Dh. ",
        "brenodax -0 EUC         # Every line includes 0Dh. ",
        "brenodax -t EUC UTF16   # EUC has the same time as UTF16. ",
        "brenodax -a EUC         # Acquire a table name from set_brenodax.txt ",
        "brenodax -b EUC         # Produce binary.tmp ",
        "brenodax -b EUC EUC     # Produce and rename binary.tmp ",
        "brenodax -b -y EUC      # Do not remove binary.tmp ",
        "brenodax -d EUC         # Do not search a table. ",
        "brenodax -G             # Guide ",
        "brenodax -LF EUC        # 0Dh is removed from every line. ",
        "brenodax -s EUC         # Remove control characters. ",
        "brenodax -w EUC         # -w shows which table brenodax uses.",
        "brenodax -V             # Version ",
    ]),
    "quilvar": ("Quilvar Version 1.04", 22, [
        "quilvar               # Produce EUC-JP~Shift_JIS.bin from MS932~EUC-JP.bin ",
        "quilvar EUC           # Produce quilvar.txt ",
        "quilvar EUC SJIS      # Produce a new file. ",
        "quilvar -o SJIS EUC   # Produce a new file. ",
        "quilvar --out EUC     # standard output ",
        "quilvar -0 EUC        # Every line includes 0Dh. ",
        "quilvar -t EUC SJIS   # EUC has the same time as SJIS. ",
        "quilvar -a EUC        # Acquire a table name from set_quilvar.txt ",
        "quilvar -b EUC        # Produce binary.tmp ",
        "quilvar -b EUC EUC    # Produce and rename binary.tmp ",
        "quilvar -b -y EUC     # Do not remove binary.tmp ",
        "quilvar -d EUC        # Do not search a table. ",
        "quilvar -G            # Guide ",
        "quilvar -LF EUC       # 0Dh is removed from every line. ",
        "quilvar -s EUC        # Remove control characters. ",
        "quilvar -w EUC        # -w shows which table quilvar uses.",
        "quilvar -V            # Version ",
    ]),
}

SETTINGS_LOGS = {
    "tamorlek": "Reset() error-782: set_tamorlek.txt",
    "brenodax": "Reset() error-156: set_brenodax.txt",
    "quilvar": "Reset() error-111: set_quilvar.txt",
}


def guide(program, with_comments):
    heading, short, lines = GUIDES[program]
    if not with_comments:
        lines = [line[:short] for line in lines]
    return "".join(line + "\r\n" for line in [heading, ""] + lines).encode(ANSI)


class GuideAndVersion(unittest.TestCase):

    def test_guide_and_version_bytes(self):
        cases = [
            (["-G"], True), (["--help"], True), (["-VC"], True), (["in.txt", "-G"], True),
            (["-V", "-G"], True), (["-V"], False), (["-o", "out.txt", "-V", "in.txt"], False),
        ]
        for program in GUIDES:
            for args, with_comments in cases:
                with self.subTest(program=program, args=args), Sandbox() as box:
                    result = box.run(program, args)
                    self.assertEqual(result.stdout, guide(program, with_comments))
                    self.assertEqual(result.returncode, 1)
                    self.assertEqual(result.stderr, b"")

    def test_slash_question_mark_asks_for_the_guide_on_windows(self):
        # No Windows file can be named "/?"; on POSIX it is a name like any other. "/h" can
        # be a path everywhere. (arguments, shows the long guide)
        cases = [(["/?"], kelvo_e2e.WINDOWS), (["in.txt", "/?"], kelvo_e2e.WINDOWS),
                 (["/h"], False), (["/?x"], False)]
        for args, shown in cases:
            with self.subTest(args=args), Sandbox() as box:
                box.write("set_quilvar.txt", b"")
                result = box.run("quilvar", args)
                self.assertEqual(result.stdout == guide("quilvar", True), shown)
                if shown:
                    self.assertEqual((result.returncode, box.error_logs()), (1, []))

    def test_short_guide_lines(self):
        # The first short line is the bare command padded to the comment column.
        for program, (_, short, _) in GUIDES.items():
            lines = guide(program, False).split(b"\r\n")
            self.assertEqual(lines[2], program.encode() + b" " * (short - len(program)))
            self.assertTrue(all(len(line) == short for line in lines[2:-1]))

    def test_missing_input_name_gives_the_short_guide(self):
        cases = [
            ("tamorlek", ["-s"]), ("tamorlek", ["-o", "out.txt"]), ("tamorlek", ["-x", "-"]),
            ("quilvar", ["-s"]), ("quilvar", ["--out"]), ("quilvar", ["-o", "out.txt", "-b"]),
        ]
        for program, args in cases:
            with self.subTest(program=program, args=args), Sandbox() as box:
                result = box.run(program, args)
                self.assertEqual(result.stdout, guide(program, False))
                self.assertEqual(result.returncode, 1)
                self.assertFalse(box.exists("out.txt"))
                self.assertFalse(box.exists(program + ".txt"))

    def test_aliases_in_the_settings_file_are_not_expanded(self):
        # "--help" is only an alias on the command line; in the settings file it is an
        # unknown word, so the run lacks an input name and shows the short guide.
        with Sandbox() as box:
            box.write("set_quilvar.txt", b"table.bin\r\n--help\r\n")
            result = box.run("quilvar", ["-s"])
            self.assertEqual(result.stdout, guide("quilvar", False))
            self.assertEqual(result.returncode, 1)


class LongWords(unittest.TestCase):
    """A long word that a program does not know is ignored whole: none of its letters acts,
    above all no "-o" that would take the input for the output."""

    WORDS = ["--verbose", "--force", "--output", "--overwrite", "--in-place", "--from", "--to",
             "--quiet", "--b", "--s", "--LF"]
    # Text with a control character, which "-s" would remove.
    TEXT = "第一行\x07\r\n二行目\r\n"
    INPUTS = {"tamorlek": TEXT.encode("utf-16-le"), "brenodax": TEXT.encode("euc-jp"),
              "quilvar": TEXT.encode("euc-jp")}

    def convert(self, program, args):
        with Sandbox() as box, kelvo_e2e.default_dir():
            box.put_tables(kelvo_e2e.DERIVED_TABLES[program])
            box.write("set_" + program + ".txt", b"")
            box.write("in.txt", self.INPUTS[program])
            result = box.run(program, args)
            # The error logs are compared by their texts, their names hold the time.
            others = [n for n in box.names()
                      if n not in ("in.txt", "out.txt") and not n.startswith("err")]
            return (result.returncode, result.stdout, box.read("in.txt"),
                    box.read("out.txt") if box.exists("out.txt") else None,
                    others, box.error_logs())

    def test_unknown_long_words_change_nothing(self):
        for program in self.INPUTS:
            plain = self.convert(program, ["in.txt", "out.txt"])
            code, _, kept, output, _, _ = plain
            self.assertEqual((code, kept), (0, self.INPUTS[program]))
            self.assertIsNotNone(output)
            self.assertNotEqual(output, kept)
            for word in self.WORDS:
                for args in ([word, "in.txt", "out.txt"], ["in.txt", word, "out.txt"]):
                    with self.subTest(program=program, args=args):
                        self.assertEqual(self.convert(program, args), plain)


class SettingsFile(unittest.TestCase):

    def test_each_program_logs_its_missing_settings_file(self):
        for program, log in SETTINGS_LOGS.items():
            with self.subTest(program=program), Sandbox() as box:
                box.run(program, ["-V"])
                self.assertEqual(box.error_logs(), [log])

    def test_settings_file_words_apply_and_nothing_is_logged(self):
        cases = [
            ("tamorlek", b"C:\\Kelvo\\UTF16~EUC-JP.bin\r\n-G\tshow the guide\r\n", ["-V"], True),
            ("brenodax", b"\r\n-V\r\n", ["in.txt"], False),
            ("quilvar", b"t\n-V\n", ["in.txt"], False),
        ]
        for program, settings, args, with_comments in cases:
            with self.subTest(program=program), Sandbox() as box:
                box.write(f"set_{program}.txt", settings)
                result = box.run(program, args)
                self.assertEqual(result.stdout, guide(program, with_comments))
                self.assertEqual(result.returncode, 1)
                self.assertEqual(box.error_logs(), [])

    def test_settings_file_encodings(self):
        # The first line names the table in a folder with a kanji whose second byte in code
        # page 932 is a backslash. A UTF-8 byte-order mark makes the file UTF-8; without one
        # it is in the ANSI code page (UTF-8 on POSIX). (what, bytes, found on Windows)
        table = "UTF16~EUC-JP.bin"
        name = "表" + ("\\" if kelvo_e2e.WINDOWS else "/") + table
        cases = [("UTF-8 with a mark", b"\xef\xbb\xbf" + name.encode("utf-8"), True),
                 ("UTF-8 without a mark", name.encode("utf-8"), False)]
        if kelvo_e2e.WINDOWS:
            cases.append(("code page 932", name.encode("cp932"), True))
        for what, first_line, found in cases:
            found = found or not kelvo_e2e.WINDOWS
            with self.subTest(what), Sandbox() as box:
                os.mkdir(box.file("表"))
                shutil.copyfile(kelvo_e2e.table_path(table), os.path.join(box.file("表"), table))
                box.write("set_tamorlek.txt", first_line + b"\r\n-w\r\n")
                box.write("in.txt", "あ\r\n".encode("utf-16-le"))
                result = box.run("tamorlek", ["-a", "in.txt", "out.txt"])
                if found:
                    self.assertEqual((result.returncode, box.error_logs()), (0, []))
                    self.assertEqual(box.read("out.txt"), b"\xa4\xa2\r\n")
                    self.assertEqual(box.read("data.txt").decode(ANSI),
                                     name + " is primarily accessible to Tamorlek.")
                else:
                    # Read as code page 932, as designed: the name is not the folder's.
                    misread = name.encode("utf-8").decode("cp932")
                    self.assertNotEqual(result.returncode, 0)
                    self.assertIn(misread, "".join(box.error_logs()))

    def test_command_line_turns_settings_file_flags_off(self):
        with Sandbox() as box:
            box.write("set_brenodax.txt", b"t\r\n-V\r\n")
            result = box.run("brenodax", ["-G", "-G-", "-V-", "-G"])
            self.assertEqual(result.stdout, guide("brenodax", True))


class RunningNumber(unittest.TestCase):

    def test_one_series_across_runs_and_programs(self):
        runs = [("tamorlek", ["-V"]), ("brenodax", ["-G"]), ("quilvar", ["-V"]),
                ("tamorlek", ["--help"]), ("quilvar", ["-VC"])]
        with Sandbox() as box:
            for program, args in runs:
                self.assertEqual(box.run(program, args).returncode, 1)
            names = [n for n in box.names() if re.fullmatch(r"err\d+-\d*-\S*\.txt", n)]
            numbers = sorted(int(re.match(r"err(\d+)-", n).group(1)) for n in names)
            self.assertEqual(numbers, [1, 2, 3, 4, 5])
            self.assertEqual(box.error_logs(), [SETTINGS_LOGS[p] for p, _ in runs])
            self.assertEqual(box.read("serial.txt"), b"5")

    def test_series_goes_on_from_serial_txt(self):
        with Sandbox() as box:
            box.write("serial.txt", b"41")
            box.run("quilvar", ["-V"])
            logs = [n for n in box.names() if n.startswith("err42-")]
            self.assertEqual(len(logs), 1, box.names())
            self.assertEqual(box.read(logs[0]).decode(ANSI), SETTINGS_LOGS["quilvar"])


if __name__ == "__main__":
    unittest.main()
