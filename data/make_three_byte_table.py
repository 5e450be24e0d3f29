#!/usr/bin/env python3
"""Write "EUC-JP-3byte.txt": the characters of the three-byte EUC-JP sequences.

Every sequence 8Fh, A1h-FEh, A1h-FEh is decoded on its own by the system's iconv
(EUC-JP-MS, through the C library); the sequences it decodes to one character
outside the private-use area are written, one a line, as the sequence and the
character in hexadecimal:

    8FA2AF 02D8

The table is made once and committed; tests/e2e/test_source_tables.py checks
that this script still gives the committed file where the system's iconv has
EUC-JP-MS.

Usage: make_three_byte_table.py [--out FILE]   (default: beside this script)
"""

import argparse
import ctypes
import ctypes.util
import os
import sys

TABLE = "EUC-JP-3byte.txt"


def private_use(code):
    return 0xE000 <= code <= 0xF8FF or code >= 0xF0000


def iconv_functions():
    libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
    libc.iconv_open.restype = ctypes.c_void_p
    libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    libc.iconv.restype = ctypes.c_size_t
    libc.iconv.argtypes = [ctypes.c_void_p,
                           ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                           ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
    libc.iconv_close.argtypes = [ctypes.c_void_p]
    return libc


def decode_all():
    """{three-byte code: character} for every sequence iconv decodes to one character."""
    libc = iconv_functions()
    handle = libc.iconv_open(b"UTF-32BE", b"EUC-JP-MS")
    if handle in (None, ctypes.c_void_p(-1).value):
        raise RuntimeError("the system's iconv has no EUC-JP-MS")
    found = {}
    try:
        for second in range(0xA1, 0xFF):
            for third in range(0xA1, 0xFF):
                libc.iconv(handle, None, None, None, None)  # back to the initial state
                raw = bytes([0x8F, second, third])
                src = ctypes.c_char_p(raw)
                src_left = ctypes.c_size_t(3)
                buffer = ctypes.create_string_buffer(16)
                dst = ctypes.c_char_p(ctypes.addressof(buffer))
                dst_left = ctypes.c_size_t(16)
                result = libc.iconv(handle, ctypes.byref(src), ctypes.byref(src_left),
                                    ctypes.byref(dst), ctypes.byref(dst_left))
                if result == ctypes.c_size_t(-1).value or src_left.value != 0:
                    continue
                out = buffer.raw[:16 - dst_left.value]
                if len(out) != 4:
                    continue
                code = int.from_bytes(out, "big")
                if not private_use(code):
                    found[(0x8F << 16) | (second << 8) | third] = code
    finally:
        libc.iconv_close(handle)
    return found


def table_text():
    return "".join("%06X %04X\n" % (seq, code) for seq, code in sorted(decode_all().items()))


def main(argv=None):
    parser = argparse.ArgumentParser(description="Write the three-byte EUC-JP table.")
    parser.add_argument("--out", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), TABLE))
    args = parser.parse_args(argv)
    text = table_text()
    if args.out == "-":
        sys.stdout.write(text)
    else:
        with open(args.out, "w", encoding="ascii", newline="\n") as f:
            f.write(text)
        print("%s: %d sequences" % (args.out, text.count("\n")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
