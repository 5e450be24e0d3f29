#!/usr/bin/env python3
"""Write Kelvo's two source tables, "MS932~UTF16.bin" and "MS932~EUC-JP.bin".

Both files are flat sequences of 4-byte records without header:

  MS932~UTF16.bin   lead (or single byte), trail (0 for a single byte),
                    UTF-16 code unit low byte, high byte
  MS932~EUC-JP.bin  lead (or single byte), trail (0 for a single byte),
                    EUC-JP byte 1, EUC-JP byte 2 (0 for ASCII)

The characters come from Python's cp932 codec (Windows code page 932); the
EUC-JP codes come from the Shift_JIS-to-JIS arithmetic.  Nothing is read
from the network or from other files, and the output is the same on every
run.

Usage: make_tables.py [--out-dir DIR]   (default: this script's directory)
"""

import argparse
import os
import sys
import tempfile

UTF16_TABLE = "MS932~UTF16.bin"
EUC_TABLE = "MS932~EUC-JP.bin"

# Single-byte codes, in this order, at the head of both tables.
SINGLE_BYTES = list(range(0x20, 0x7F)) + list(range(0xA1, 0xE0))

# Lead bytes whose whole range is taken: JIS X 0208 rows, NEC row 13 (87h)
# and the NEC-selected IBM extensions (EDh, EEh).
ARITHMETIC_LEADS = list(range(0x81, 0xA0)) + list(range(0xE0, 0xF0))
TRAIL_BYTES = list(range(0x40, 0x7F)) + list(range(0x80, 0xFD))

# IBM extensions; they have no JIS position of their own.
IBM_FIRST, IBM_LAST = 0xFA40, 0xFC4B

# Extra MS932-to-UTF-16 records, written right after the single-byte ones.
# Because the code page's own records for these codes come later, the
# reverse direction still yields the code page's character, while the
# forward direction also accepts these characters.
VARIANTS = [
    (0x815C, 0x2014),
    (0x8160, 0x301C),
    (0x8161, 0x2016),
    (0x817C, 0x2212),
    (0x8191, 0x00A2),
    (0x8192, 0x00A3),
    (0x81CA, 0x00AC),
]

EXPECTED_DOUBLE_BYTE_CODES = 7724


def decode(code):
    """The code page 932 character of a one- or two-byte code, or None."""
    raw = bytes([code]) if code < 0x100 else bytes([code >> 8, code & 0xFF])
    try:
        text = raw.decode("cp932")
    except UnicodeDecodeError:
        return None
    if len(text) != 1 or ord(text) > 0xFFFF:
        raise ValueError("code %04X decodes to %r" % (code, text))
    return text


def preference_rank(code):
    """Lower rank wins when several codes share one character.

    Windows encodes such a character to the code in the JIS X 0208 rows
    first, then NEC row 13, then the IBM extensions, then the NEC-selected
    IBM extensions.
    """
    lead = code >> 8
    if lead == 0x87:
        return 1
    if lead >= 0xFA:
        return 2
    if lead in (0xED, 0xEE):
        return 3
    return 0


def sjis_to_euc(code):
    """Two-byte Shift_JIS code to EUC-JP by the JIS arithmetic."""
    lead, trail = code >> 8, code & 0xFF
    row = (lead - (0x81 if lead < 0xA0 else 0xC1)) * 2 + 1
    if trail >= 0x9F:
        row += 1
        cell = trail - 0x9E
    elif trail >= 0x80:
        cell = trail - 0x40
    else:
        cell = trail - 0x3F
    if not (1 <= row <= 94 and 1 <= cell <= 94):
        raise ValueError("code %04X has no JIS position" % code)
    return ((row + 0xA0) << 8) | (cell + 0xA0)


def double_byte_codes():
    """Ascending list of (code, character) for every covered two-byte code."""
    found = []
    for lead in ARITHMETIC_LEADS + [0xFA, 0xFB, 0xFC]:
        for trail in TRAIL_BYTES:
            code = (lead << 8) | trail
            if lead >= 0xFA and not IBM_FIRST <= code <= IBM_LAST:
                continue
            char = decode(code)
            if char is not None:
                found.append((code, char))
    if len(found) != EXPECTED_DOUBLE_BYTE_CODES:
        raise RuntimeError(
            "cp932 codec gave %d two-byte codes, expected %d"
            % (len(found), EXPECTED_DOUBLE_BYTE_CODES))
    return found


def euc_codes(doubles):
    """EUC-JP code of every two-byte code.

    An IBM extension takes the EUC-JP code of the lowest code below F000h
    that has the same character.
    """
    lowest = {}
    for code, char in doubles:
        if code < 0xF000 and char not in lowest:
            lowest[char] = code
    result = {}
    for code, char in doubles:
        if code < 0xF000:
            result[code] = sjis_to_euc(code)
        elif char in lowest:
            result[code] = sjis_to_euc(lowest[char])
        else:
            raise RuntimeError("IBM extension %04X has no other code" % code)
    return result


def group_by(doubles, key):
    groups = {}
    for code, char in doubles:
        groups.setdefault(key(code, char), []).append(code)
    return groups


def preferred(codes):
    return min(codes, key=lambda c: (preference_rank(c), c))


def record(code, b2, b3):
    if code < 0x100:
        return bytes([code, 0, b2, b3])
    return bytes([code >> 8, code & 0xFF, b2, b3])


def utf16_table(doubles):
    """Records of "MS932~UTF16.bin".

    The forward table lets the last record for a character win, so the
    preferred code of a character shared by several codes is moved to just
    after the highest of the others; all other records stay ascending.
    """
    sort_key = {}
    for codes in group_by(doubles, lambda c, ch: ch).values():
        for code in codes:
            sort_key[code] = (code, 0)
        best = preferred(codes)
        sort_key[best] = (max(codes), 1)
    pairs = [(b, ord(decode(b))) for b in SINGLE_BYTES] + VARIANTS
    pairs += [(code, ord(char)) for code, char
              in sorted(doubles, key=lambda d: sort_key[d[0]])]
    return [record(code, u & 0xFF, u >> 8) for code, u in pairs]


def euc_table(doubles):
    """Records of "MS932~EUC-JP.bin".

    The recoder keeps the first record for an EUC-JP code, so where several
    codes share one EUC-JP code the preferred one stands first, at the place
    of the lowest of them, and the others follow it in ascending order.
    """
    euc = euc_codes(doubles)
    sort_key = {}
    for codes in group_by(doubles, lambda c, ch: euc[c]).values():
        best = preferred(codes)
        anchor = min(codes)
        for code in codes:
            sort_key[code] = (anchor, 0 if code == best else 1, code)
    out = []
    for b in SINGLE_BYTES:
        out.append(record(b, b, 0) if b < 0x80 else record(b, 0x8E, b))
    for code, _ in sorted(doubles, key=lambda d: sort_key[d[0]]):
        out.append(record(code, euc[code] >> 8, euc[code] & 0xFF))
    return out


def write_file(path, records):
    """Write the records through a temporary file, so that an interrupted
    run never leaves a shortened table behind."""
    directory = os.path.dirname(path) or "."
    fd, tmp = tempfile.mkstemp(dir=directory, prefix=".tmp-")
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(b"".join(records))
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except BaseException:
        if os.path.exists(tmp):
            os.unlink(tmp)
        raise


def build_tables():
    """Return {file name: bytes} for both tables."""
    doubles = double_byte_codes()
    return {
        UTF16_TABLE: b"".join(utf16_table(doubles)),
        EUC_TABLE: b"".join(euc_table(doubles)),
    }


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Write MS932~UTF16.bin and MS932~EUC-JP.bin.")
    parser.add_argument(
        "--out-dir", default=os.path.dirname(os.path.abspath(__file__)),
        help="directory to write the tables into (default: %(default)s)")
    args = parser.parse_args(argv)
    os.makedirs(args.out_dir, exist_ok=True)
    for name, data in build_tables().items():
        write_file(os.path.join(args.out_dir, name), [data])
        print("%s: %d records" % (name, len(data) // 4))
    return 0


if __name__ == "__main__":
    sys.exit(main())
