"""Independent reader for .ico files and PNG images, written for the tests from the formats'
documentation rather than from the generator, so a fault in the generator is not mirrored here.

read_ico() returns the directory and decodes every image to (width, height, RGBA bytes, rows top
to bottom), raising AssertionError on anything the format does not allow.
"""

import struct
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class IconImage:
    def __init__(self, size, bit_count, colour_count, data, offset):
        self.size = size
        self.bit_count = bit_count
        self.colour_count = colour_count
        self.data = data
        self.offset = offset
        self.is_png = data.startswith(PNG_SIGNATURE)
        self.palette = None
        self.rgba = None


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def decode_png(data):
    """Decodes a non-interlaced 8-bit RGBA PNG; returns (width, height, rgba)."""
    assert data.startswith(PNG_SIGNATURE), "not a PNG"
    pos, idat, header, chunks = 8, b"", None, []
    while pos < len(data):
        (length,) = struct.unpack_from(">I", data, pos)
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack_from(">I", data, pos + 8 + length)
        assert zlib.crc32(kind + body) & 0xFFFFFFFF == crc, "bad CRC in %r" % kind
        chunks.append(kind)
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    assert chunks[0] == b"IHDR" and chunks[-1] == b"IEND", "chunk order %r" % chunks
    assert pos == len(data), "bytes after IEND"
    width, height, depth, colour_type, compression, filt, interlace = header
    assert (depth, colour_type, compression, filt, interlace) == (8, 6, 0, 0, 0), header
    raw = zlib.decompress(idat)
    stride = width * 4
    assert len(raw) == (stride + 1) * height, "decompressed length"
    out, prev = bytearray(), bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        assert kind <= 4, "filter type %d" % kind
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            row[i] = (row[i] + (0, a, b, (a + b) >> 1, _paeth(a, b, c))[kind]) & 0xFF
        out += row
        prev = row
    return width, height, bytes(out)


def _decode_bmp(image):
    data, size = image.data, image.size
    (header_size, width, height, planes, bits, compression, image_bytes,
     _, _, colours_used, _) = struct.unpack_from("<IiiHHIIiiII", data, 0)
    assert header_size == 40, "BITMAPINFOHEADER size %d" % header_size
    assert (width, height) == (size, 2 * size), "bitmap %dx%d for a %d px entry" % (width, height, size)
    assert planes == 1 and compression == 0, "planes %d compression %d" % (planes, compression)
    assert bits == image.bit_count, "bitmap has %d bits, directory says %d" % (bits, image.bit_count)
    pos = 40
    if bits == 8:
        entries = colours_used or 256
        assert entries == 256, "an 8-bit image has %d palette entries" % entries
        image.palette = [(data[pos + 4 * i + 2], data[pos + 4 * i + 1], data[pos + 4 * i])
                         for i in range(entries)]
        pos += 4 * entries
    else:
        assert bits == 32, "unexpected bit count %d" % bits
    xor_stride = (size * bits // 8 + 3) & ~3
    mask_stride = ((size + 7) // 8 + 3) & ~3
    assert len(data) == pos + size * (xor_stride + mask_stride), \
        "%d px %d-bit image is %d bytes, expected %d" % (
            size, bits, len(data), pos + size * (xor_stride + mask_stride))
    assert image_bytes in (0, size * (xor_stride + mask_stride)), "biSizeImage %d" % image_bytes
    rgba = bytearray(size * size * 4)
    mask_base = pos + size * xor_stride
    for y in range(size):
        src_row = size - 1 - y  # bottom-up
        for x in range(size):
            masked = data[mask_base + src_row * mask_stride + x // 8] & (0x80 >> (x % 8))
            o = (y * size + x) * 4
            if bits == 8:
                r, g, b = image.palette[data[pos + src_row * xor_stride + x]]
                a = 0 if masked else 255
            else:
                b, g, r, a = data[pos + src_row * xor_stride + 4 * x:pos + src_row * xor_stride + 4 * x + 4]
                assert not (masked and a), "pixel %d,%d masked but alpha %d" % (x, y, a)
            rgba[o:o + 4] = bytes((r, g, b, a))
    image.rgba = bytes(rgba)


def read_ico(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, kind) == (0, 1), "not an icon file (reserved %d, type %d)" % (reserved, kind)
    images, spans = [], []
    for n in range(count):
        w, h, colours, res, planes, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * n)
        assert w == h, "entry %d is not square" % n
        assert res == 0, "entry %d reserved byte %d" % (n, res)
        assert planes in (0, 1), "entry %d planes %d" % (n, planes)
        assert offset >= 6 + 16 * count and offset + length <= len(data), "entry %d outside the file" % n
        spans.append((offset, offset + length))
        images.append(IconImage(w or 256, bits, colours, data[offset:offset + length], offset))
    spans.sort()
    for (_, end), (start, _) in zip(spans, spans[1:]):
        assert end <= start, "image data overlaps"
    for image in images:
        if image.is_png:
            w, h, image.rgba = decode_png(image.data)
            assert (w, h) == (image.size, image.size), "PNG entry is %dx%d" % (w, h)
        else:
            _decode_bmp(image)
    return images
