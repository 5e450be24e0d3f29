#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

    fuzz/seeds.py TABLE_DIR

TABLE_DIR holds the five table files of a build (e.g. build/dev/relocatable/share/kelvo);
the seeds take the first records of each. Run it again only to change the seeds: the
corpora are kept in the repository, and a fuzz run adds nothing to them. The inputs of faults
found (regression-*) are kept beside the seeds and left alone here.
"""
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"

PROSE = [
    "日本語のテキストを変換します。\r\n",
    "全角ＡＢＣと半角ｶﾀｶﾅ、記号①②③と「括弧」。\r\n",
    "ASCII text, digits 0123456789 and symbols !\"#$%&'()*+,-./:;<=>?@[]^_`{|}~\n",
    "𧶠と𠮟は補助漢字の面にある。\tタブ\x01\x7f\r\n",
]
CSV = '番号,"名前, 読み",住所\r\n1,"山田 ""太郎""",東京都\r\n2,"改行\r\nを含む",大阪府\n3,,\r\n'


def utf16(text, bom=True):
    return (b"\xff\xfe" if bom else b"") + text.encode("utf-16-le")


def euc_jp(text):
    # Characters EUC-JP lacks are left out by iconv -c.
    return subprocess.run(["iconv", "-c", "-f", "UTF-8", "-t", "EUC-JP-MS"],
                          input=text.encode(), capture_output=True).stdout


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def main():
    tables = pathlib.Path(sys.argv[1])
    sample = (ROOT / "data" / "sample.txt").read_bytes()
    text = "".join(PROSE)
    euc = euc_jp(text) + b"\x8f\xb0\xa1\x8e\xb6\xa4"

    for choice in (0, 4, 8, 11):
        write("utf16_to_euc", f"sample-{choice}", bytes([choice]) + sample)
        write("utf16_to_euc", f"prose-{choice}", bytes([choice]) + utf16(text))
    for choice in (0, 2, 5):
        write("euc_to_utf16", f"prose-{choice}", bytes([choice]) + euc)
        write("euc_to_sjis", f"prose-{choice}", bytes([choice]) + euc)

    # Kind (forward, reverse, recoder, selection) and mode, then block size and stream bit.
    for kind, data in ((0, sample), (1, euc), (2, euc), (3, utf16(CSV))):
        for shape in (0, 3, 0x11):
            write("pump", f"kind{kind}-{shape}", bytes([kind + 4, shape]) + data)
    for choice in (1, 2, 0x82, 0xFF):
        write("select", f"csv-{choice}", bytes([choice]) + utf16(CSV))

    # kelvo's conversions: the pair (input + 6 * output), the line-end and mark options
    # (line end + 3 * mark) and a block size, then text in the input encoding.
    texts = {0: b"\xef\xbb\xbf" + text.encode(), 1: utf16(text), 2: b"\xfe\xff" + text.encode("utf-16-be"),
             4: euc, 5: text.encode("cp932", errors="replace")}
    for source, data in texts.items():
        for target in (0, 1, 4, 5):
            if target == source:
                continue
            for rules in (0, 2, 4):
                pair = source + 6 * target
                write("transcode", f"{source}-{target}-{rules}", bytes([pair, rules, 7]) + data)
                write("transcode_pump", f"{source}-{target}-{rules}", bytes([pair, rules, 5]) + data)

    arguments = [
        ["in.txt", "out.txt", "-r2", "-sL"],
        ["-I3x5", "-~10", "-P12", "-o", "list.txt", "-_", "u.txt", "-u", "-Z"],
        ["-J\\t", "-Q\\x22", "-qabc", "-jxyz", "-e0101", "-E1", "-{4", "-}7"],
        ["--help", "-LF", "-CRLF", "--out", "-o-", "-VC", "-dawyt", "入力.txt"],
    ]
    for program in range(3):
        for n, words in enumerate(arguments):
            write("options", f"args-{program}-{n}",
                  bytes([program]) + "\0".join(words).encode("utf-16-le"))

    write("settings", "table-and-words",
          b"/usr/share/kelvo/UTF16~EUC-JP.bin\r\n-s\r\n-L\tline ends\r\n-r3\r\n\r\n-w\n")
    write("settings", "windows", b"C:\\Kelvo\\UTF16~EUC-JP.bin\r\n-0-\r-P2\n" + "-o出力.txt\n".encode())
    write("settings", "empty-first", b"\n-d\n")

    for n, line in enumerate([b"12345\r\n", b"-7\n", b"+2147483647", b"2147483648\n",
                              b"0000000000042", b"2026/12/07 17:03:00\r\n"]):
        write("serial", f"line-{n}", line)

    builtin = utf16("\U00027DA0,D85F,DDA0,27DA0,31,414,\u8CE3\r\n")
    write("surro_csv", "builtin", builtin)
    write("surro_csv", "lines", utf16(
        "\U00027DA0,D85F,DDA0,27DA0,31,414,賣\r\n"
        '"\U00020B9F",D842,DF9F,20B9F,2,925,"叱"\r\n'
        "x,ZZZ,1,2,-1,5000,?\r\n,D8C0,DC02,,128,0,a\n,D840,DC02,,0,0,\n"))
    write("surro_txt", "three", b"27DA0\r\n20B9F\n2A6B2\n")
    write("surro_txt", "refused", b"1F600\n27da0\n000027DA0\n20001\n\n27DA0\n")

    forward = (tables / "UTF16~EUC-JP.bin").read_bytes()
    reverse = (tables / "EUC-JP~UTF16.bin").read_bytes()
    recoder = (tables / "EUC-JP~Shift_JIS.bin").read_bytes()
    ms932_utf16 = (ROOT / "data" / "MS932~UTF16.bin").read_bytes()
    ms932_euc = (ROOT / "data" / "MS932~EUC-JP.bin").read_bytes()
    write("forward_table", "first", bytes([0]) + forward[:300])
    write("forward_table", "kanji", bytes([0x85]) + forward[3000:3300])
    write("euc_table", "reverse", bytes([0]) + reverse[:300])
    write("euc_table", "reverse-kanji", bytes([4]) + reverse[3000:3300])
    write("euc_table", "recoder", bytes([8]) + recoder[:300])
    write("euc_table", "recoder-kana", bytes([9]) + recoder[600:900])
    # The first byte times four is the length of the MS932~EUC-JP part.
    write("derive", "first", bytes([50]) + ms932_euc[:200] + ms932_utf16[:200])
    write("derive", "kanji", bytes([40]) + ms932_euc[700:860] + ms932_utf16[700:900])

    path = b"/usr/local/bin:/usr/bin/:/bin::\"/opt/a:b\"/x:/home/\x82\xa0\x82\\:/end/"
    write("path_split", "unix", bytes([0x12]) + path + b"\0UTF16~EUC-JP.bin")
    write("path_split", "sjis", bytes([0x0B]) + b"C:\\\x83\\\x83x;D:\\tools\\;\"E:\\a;b\"" + b"\0t.bin")
    write("table_path", "relative", b"\0../share/kelvo/\0/usr/local/bin")
    write("table_path", "absolute", b"\0/usr/share/./kelvo//tables/../\0")
    write("table_path", "windows", b"\x01C:\\Kelvo\\\0C:\\Program Files\\Kelvo")
    write("table_path", "network", b"\x01\\\\server\\share\\..\\..\\x\0")


if __name__ == "__main__":
    main()
