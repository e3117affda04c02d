#!/usr/bin/python3
"""Builds the application icon files from art/zentra-vcard-importer.svg.

Writes, below the output folder (app/resources by default):
  zentra-vcard-importer.ico                   nine images: 16, 24, 32, 48 px at 256 colours and
                                              16, 24, 32, 48, 256 px at 32-bit colour with alpha
  icons/hicolor/<n>x<n>/apps/zentra-vcard-importer.png   for n in 16 24 32 48 64 128 256

The output depends on nothing but the SVG and these scripts, so running it again must give the
committed files byte for byte; a test checks that. Run after changing the art:
  /usr/bin/python3 app/resources/tools/make_icons.py
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import ico_codec  # noqa: E402
import palette  # noqa: E402
import png_codec  # noqa: E402
import svg_raster  # noqa: E402

NAME = "zentra-vcard-importer"
LOW_COLOUR_SIZES = (16, 24, 32, 48)
TRUE_COLOUR_SIZES = (16, 24, 32, 48, 256)
DESKTOP_SIZES = (16, 24, 32, 48, 64, 128, 256)


def _write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def build_ico(images):
    low_colour = [images[s] for s in LOW_COLOUR_SIZES]
    colours = palette.build(low_colour)
    entries = []
    for size in LOW_COLOUR_SIZES:
        indices = palette.map_image(images[size], colours)
        data = ico_codec.bitmap_8bit(size, indices, images[size], colours, palette.OPAQUE_FROM)
        entries.append((size, 8, 0, data))
    for size in TRUE_COLOUR_SIZES:
        if size >= 256:
            data = ico_codec.png_image(size, images[size])
        else:
            data = ico_codec.bitmap_32bit(size, images[size])
        entries.append((size, 32, 0, data))
    return ico_codec.write(entries)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    resources = os.path.dirname(HERE)
    parser.add_argument("--svg", default=os.path.join(resources, "art", NAME + ".svg"))
    parser.add_argument("--out-dir", default=resources)
    args = parser.parse_args(argv)

    view_size, shapes = svg_raster.load(args.svg)
    sizes = sorted(set(LOW_COLOUR_SIZES) | set(TRUE_COLOUR_SIZES) | set(DESKTOP_SIZES))
    images = {size: svg_raster.render(view_size, shapes, size) for size in sizes}

    _write(os.path.join(args.out_dir, NAME + ".ico"), build_ico(images))
    for size in DESKTOP_SIZES:
        path = os.path.join(args.out_dir, "icons", "hicolor", "%dx%d" % (size, size), "apps",
                            NAME + ".png")
        _write(path, png_codec.encode(size, size, images[size]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
