"""Renders the small subset of SVG that the application icon uses into RGBA pixels.

Shapes are drawn from signed distance functions: a pixel's coverage is how far its centre lies
inside the edge, measured in pixels, which gives anti-aliased edges at every size with one
evaluation per pixel. Only plain Python arithmetic is used, so the output is the same bytes on
every machine with IEEE doubles.

Supported: <svg viewBox>, <g> (optionally data-min-size="N"), <rect x y width height rx>,
<circle cx cy r> and <polygon points>, each with fill, stroke and stroke-width. Anything else
is rejected, so the art cannot silently drift away from what the renderer draws.
"""

import math
import xml.etree.ElementTree as ET

SVG_NS = "{http://www.w3.org/2000/svg}"
PAINT_ATTRS = {"fill", "stroke", "stroke-width"}
SHAPE_ATTRS = {
    "rect": {"x", "y", "width", "height", "rx"},
    "circle": {"cx", "cy", "r"},
    "polygon": {"points"},
}


def _colour(text):
    if text is None or text == "none":
        return None
    if len(text) != 7 or text[0] != "#":
        raise ValueError("colours must be written #rrggbb, not %r" % text)
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


class Shape:
    """One filled and/or stroked outline with its bounding box in view-box units."""

    def __init__(self, distance, box, fill, stroke, stroke_width):
        self.distance = distance
        self.box = box
        self.fill = fill
        self.stroke = stroke
        self.stroke_width = stroke_width


def _rounded_rect(x, y, w, h, r):
    cx, cy = x + w / 2.0, y + h / 2.0
    hx, hy = w / 2.0 - r, h / 2.0 - r

    def distance(px, py):
        qx = abs(px - cx) - hx
        qy = abs(py - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r

    return distance, (x, y, x + w, y + h)


def _circle(cx, cy, r):
    def distance(px, py):
        return math.hypot(px - cx, py - cy) - r

    return distance, (cx - r, cy - r, cx + r, cy + r)


def _polygon(points):
    edges = list(zip(points, points[1:] + points[:1]))

    def distance(px, py):
        best = math.inf
        inside = False
        for (ax, ay), (bx, by) in edges:
            ex, ey = bx - ax, by - ay
            t = ((px - ax) * ex + (py - ay) * ey) / (ex * ex + ey * ey)
            t = min(max(t, 0.0), 1.0)
            best = min(best, math.hypot(px - ax - t * ex, py - ay - t * ey))
            if (ay > py) != (by > py) and px < ax + (py - ay) * ex / (by - ay):
                inside = not inside
        return -best if inside else best

    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return distance, (min(xs), min(ys), max(xs), max(ys))


def _shape(element, tag):
    allowed = SHAPE_ATTRS[tag] | PAINT_ATTRS
    unknown = set(element.attrib) - allowed
    if unknown:
        raise ValueError("<%s> uses unsupported attributes %s" % (tag, sorted(unknown)))
    num = lambda name, default=None: float(element.get(name, default))
    if tag == "rect":
        w, h = num("width"), num("height")
        r = min(num("rx", 0), w / 2.0, h / 2.0)
        distance, box = _rounded_rect(num("x", 0), num("y", 0), w, h, r)
    elif tag == "circle":
        distance, box = _circle(num("cx"), num("cy"), num("r"))
    else:
        coords = [float(v) for v in element.get("points").replace(",", " ").split()]
        distance, box = _polygon(list(zip(coords[0::2], coords[1::2])))
    return Shape(distance, box, _colour(element.get("fill", "#000000")),
                 _colour(element.get("stroke")), float(element.get("stroke-width", 1)))


def load(path):
    """Returns (view-box size, [(minimum image size, Shape)]) in drawing order."""
    root = ET.parse(path).getroot()
    if root.tag != SVG_NS + "svg":
        raise ValueError("%s is not an SVG document" % path)
    vx, vy, vw, vh = (float(v) for v in root.get("viewBox").split())
    if (vx, vy) != (0.0, 0.0) or vw != vh:
        raise ValueError("the view box must be a square starting at 0,0")
    shapes = []

    def walk(parent, min_size):
        for element in parent:
            tag = element.tag[len(SVG_NS):] if element.tag.startswith(SVG_NS) else element.tag
            if tag == "g":
                walk(element, max(min_size, int(element.get("data-min-size", 0))))
            elif tag in SHAPE_ATTRS:
                shapes.append((min_size, _shape(element, tag)))
            elif tag in ("title", "desc"):
                continue
            else:
                raise ValueError("unsupported SVG element <%s>" % tag)

    walk(root, 0)
    return vw, shapes


def _coverage(distance_in_pixels):
    return min(max(0.5 - distance_in_pixels, 0.0), 1.0)


def _paint(pixels, size, x, y, colour, alpha):
    """Source-over compositing of one straight-alpha colour onto a straight-alpha pixel."""
    if alpha <= 0.0:
        return
    i = (y * size + x) * 4
    dst_a = pixels[i + 3]
    out_a = alpha + dst_a * (1.0 - alpha)
    for c in range(3):
        pixels[i + c] = (colour[c] * alpha + pixels[i + c] * dst_a * (1.0 - alpha)) / out_a
    pixels[i + 3] = out_a


def render(view_size, shapes, size):
    """Renders to `size` x `size` pixels; returns bytes of 8-bit RGBA, rows top to bottom."""
    scale = view_size / size
    pixels = [0.0] * (size * size * 4)
    for min_size, shape in shapes:
        if size < min_size:
            continue
        margin = (shape.stroke_width / 2.0 if shape.stroke else 0.0) + scale
        x0, y0, x1, y1 = shape.box
        cols = range(max(0, int((x0 - margin) / scale)), min(size, int((x1 + margin) / scale) + 1))
        rows = range(max(0, int((y0 - margin) / scale)), min(size, int((y1 + margin) / scale) + 1))
        half_stroke = shape.stroke_width / 2.0
        for y in rows:
            py = (y + 0.5) * scale
            for x in cols:
                d = shape.distance((x + 0.5) * scale, py) / scale
                if shape.fill:
                    _paint(pixels, size, x, y, shape.fill, _coverage(d))
                if shape.stroke:
                    _paint(pixels, size, x, y, shape.stroke, _coverage(abs(d) - half_stroke / scale))
    out = bytearray(len(pixels))
    for i in range(0, len(pixels), 4):
        a = pixels[i + 3]
        out[i + 3] = int(a * 255.0 + 0.5)
        for c in range(3):
            out[i + c] = int(min(max(pixels[i + c], 0.0), 255.0) + 0.5) if a > 0.0 else 0
    return bytes(out)
