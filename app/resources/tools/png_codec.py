"""Minimal PNG writer for 8-bit RGBA images (colour type 6), standard library only.

Each row's filter is chosen by the usual smallest-sum-of-absolute-values rule and the data is
compressed at zlib level 9 without ancillary chunks (no time stamp, no gamma), so the same
pixels always give the same file with the same zlib.
"""

import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _filter_row(kind, row, prev, bpp):
    out = bytearray(len(row))
    for i, v in enumerate(row):
        a = row[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        predictor = (0, a, b, (a + b) >> 1, _paeth(a, b, c))[kind]
        out[i] = (v - predictor) & 0xFF
    return out


def _cost(filtered):
    return sum(v if v < 128 else 256 - v for v in filtered)


def encode(width, height, rgba):
    stride = width * 4
    if len(rgba) != stride * height:
        raise ValueError("pixel data does not match %dx%d RGBA" % (width, height))
    raw = bytearray()
    prev = bytes(stride)
    for y in range(height):
        row = rgba[y * stride:(y + 1) * stride]
        candidates = [_filter_row(kind, row, prev, 4) for kind in range(5)]
        kind = min(range(5), key=lambda k: (_cost(candidates[k]), k))
        raw.append(kind)
        raw += candidates[kind]
        prev = row
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (SIGNATURE + _chunk(b"IHDR", header) + _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + _chunk(b"IEND", b""))

