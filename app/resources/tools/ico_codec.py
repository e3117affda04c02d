"""Writes Windows .ico files: a directory followed by one image per entry.

Small images are stored the classic way, as a device-independent bitmap without its file header:
BITMAPINFOHEADER with the doubled height, the colour table (8-bit images only), the colour
bitmap bottom-up, then the 1-bit AND mask bottom-up, every row padded to 4 bytes. The 256-pixel
image is stored as a PNG, as Windows Vista and later expect for that size.
"""

import struct

import png_codec


def _row_padded(row):
    return row + bytes(-len(row) % 4)


def _and_mask(size, alpha_at, threshold):
    """One bit per pixel, set where the pixel is transparent; rows bottom-up."""
    rows = []
    for y in reversed(range(size)):
        bits = bytearray((size + 7) // 8)
        for x in range(size):
            if alpha_at(x, y) < threshold:
                bits[x // 8] |= 0x80 >> (x % 8)
        rows.append(_row_padded(bytes(bits)))
    return b"".join(rows)


def _info_header(size, bit_count, image_bytes, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bit_count, 0, image_bytes, 0, 0,
                       colours_used, 0)


def bitmap_8bit(size, indices, rgba, palette, opaque_from):
    """256-colour image: palette indices plus the mask that hides transparent pixels."""
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor = b"".join(_row_padded(indices[y * size:(y + 1) * size]) for y in reversed(range(size)))
    mask = _and_mask(size, lambda x, y: rgba[(y * size + x) * 4 + 3], opaque_from)
    return _info_header(size, 8, len(xor) + len(mask), len(palette)) + table + xor + mask


def bitmap_32bit(size, rgba):
    """True-colour image with alpha, stored BGRA; the mask marks fully transparent pixels."""
    rows = []
    for y in reversed(range(size)):
        row = bytearray()
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            row += bytes((b, g, r, a))
        rows.append(bytes(row))
    xor = b"".join(rows)
    mask = _and_mask(size, lambda x, y: rgba[(y * size + x) * 4 + 3], 1)
    return _info_header(size, 32, len(xor) + len(mask), 0) + xor + mask


def png_image(size, rgba):
    return png_codec.encode(size, size, rgba)


def write(entries):
    """entries: [(size, bit_count, colour_count, image bytes)] in directory order."""
    header = struct.pack("<HHH", 0, 1, len(entries))
    offset = len(header) + 16 * len(entries)
    directory, images = b"", b""
    for size, bit_count, colour_count, data in entries:
        dim = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", dim, dim, colour_count, 0, 1, bit_count,
                                 len(data), offset)
        images += data
        offset += len(data)
    return header + directory + images
