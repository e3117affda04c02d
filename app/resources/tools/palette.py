"""Reduces RGBA images to one shared 256-colour palette for the icon's 8-bit images.

Old displays pick the 256-colour images, which have no alpha channel: a pixel is either drawn
(its alpha at least half) or left transparent through the icon's AND mask. The palette comes
from a median cut over the drawn pixels of all low-colour images, every box split at the
weighted median of its longest axis, with every tie broken by a fixed order so the result
never depends on dictionary or set ordering.
"""

OPAQUE_FROM = 128
TRANSPARENT_INDEX = 0  # palette entry 0 is black; transparent pixels point at it


def _drawn_colours(images):
    counts = {}
    for rgba in images:
        for i in range(0, len(rgba), 4):
            if rgba[i + 3] >= OPAQUE_FROM:
                key = (rgba[i], rgba[i + 1], rgba[i + 2])
                counts[key] = counts.get(key, 0) + 1
    return sorted(counts.items())


def _spread(box):
    ranges = []
    for axis in range(3):
        values = [colour[axis] for colour, _ in box]
        ranges.append(max(values) - min(values))
    widest = max(range(3), key=lambda a: (ranges[a], -a))
    return ranges[widest], widest


def _split(box, axis):
    ordered = sorted(box, key=lambda item: (item[0][axis], item[0]))
    total = sum(count for _, count in ordered)
    running = 0
    for i, (_, count) in enumerate(ordered[:-1]):
        running += count
        if running * 2 >= total:
            return ordered[:i + 1], ordered[i + 1:]
    return ordered[:-1], ordered[-1:]


def _mean(box):
    total = sum(count for _, count in box)
    return tuple((sum(colour[a] * count for colour, count in box) + total // 2) // total
                 for a in range(3))


def build(images, size=256):
    """Returns a list of `size` (r, g, b) entries; entry 0 is black."""
    colours = _drawn_colours(images)
    boxes = [colours] if colours else []
    while len(boxes) < size - 1:
        splittable = [(_spread(b), -n, n) for n, b in enumerate(boxes) if len(b) > 1]
        if not splittable:
            break
        (_, axis), _, n = max(splittable)
        low, high = _split(boxes[n], axis)
        boxes[n:n + 1] = [low, high]
    palette = [(0, 0, 0)] + [_mean(b) for b in boxes]
    return palette + [(0, 0, 0)] * (size - len(palette))


def map_image(rgba, palette):
    """Returns one palette index per pixel (TRANSPARENT_INDEX where the mask hides it)."""
    cache = {}
    out = bytearray(len(rgba) // 4)
    for p in range(len(out)):
        r, g, b, a = rgba[p * 4:p * 4 + 4]
        if a < OPAQUE_FROM:
            out[p] = TRANSPARENT_INDEX
            continue
        key = (r, g, b)
        if key not in cache:
            cache[key] = min(range(1, len(palette)), key=lambda i: (
                (palette[i][0] - r) ** 2 + (palette[i][1] - g) ** 2 + (palette[i][2] - b) ** 2, i))
        out[p] = cache[key]
    return bytes(out)
