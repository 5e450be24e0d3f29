"""Real Japanese text and the system iconv as a peer, for the end-to-end tests of the
EUC-JP converters."""

import struct
import subprocess

from kelvo_e2e import table_path

# A few paragraphs of ordinary prose with kana, kanji, full-width forms, Greek, Cyrillic,
# box drawing, NEC special characters and a TAB, in UTF-8.
PROSE = (
    "吾輩は猫である。名前はまだ無い。\n"
    "どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所で"
    "ニャーニャー泣いていた事だけは記憶している。\n"
    "住所：東京都千代田区１丁目２番３号\tＴＥＬ：０３－１２３４－５６７８\n"
    "「引用」『書名』【注】※〒♪ α β γ Ω Д ж ─│┌\n"
    "① 第一項 ≒ 約 ∵ 理由 ～ 範囲 ㈱ 会社 № 番号 ㍻ 年号\n"
    "ASCII text, digits 0123456789 and symbols !\"#$%&'()*+,-./:;<=>?@[]^_`{|}~\n"
    "最後の行には改行がありません"
)


def iconv(data, source, target, lenient=False):
    """Converts bytes with the system iconv; None when iconv refuses them."""
    args = ["iconv"] + (["-c"] if lenient else []) + ["-f", source, "-t", target]
    result = subprocess.run(args, input=data, capture_output=True)
    if result.returncode != 0 and not lenient:
        return None
    return result.stdout


def euc_jp(text):
    """Text (UTF-8 str) as EUC-JP bytes, by the system iconv."""
    data = iconv(text.encode("utf-8"), "UTF-8", "EUC-JP-MS")
    if data is None:
        raise ValueError("iconv could not encode the sample text")
    return data


def crlf(text):
    return text.replace("\n", "\r\n")


def utf16(text):
    """Text as UTF-16LE with a byte-order mark, as the reverse converter writes it."""
    return b"\xff\xfe" + text.encode("utf-16-le")


def table_records(name):
    """The 5-byte records of a derived table file: (b0, b1, b2, b3, b4) tuples."""
    with open(table_path(name), "rb") as f:
        data = f.read()
    return [struct.unpack_from("5B", data, at) for at in range(0, len(data) - 4, 5)]


def two_byte_codes(name):
    """{(first, second): (value1, value2)} for the two-byte records of a derived table."""
    codes = {}
    for b0, b1, b2, b3, b4 in table_records(name):
        if b2 != 0:
            codes[(b0, b1)] = (b3, b4)
    return codes
