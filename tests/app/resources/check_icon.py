#!/usr/bin/python3
"""Checks the committed application icon files.

  check_icon.py layout <resources dir>      the .ico's nine images and the hicolor PNGs
  check_icon.py regenerate <resources dir>  make_icons.py reproduces the committed bytes
"""

import filecmp
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ico_reader  # noqa: E402

NAME = "zentra-vcard-importer"
EXPECTED_IMAGES = [(16, 8), (24, 8), (32, 8), (48, 8), (16, 32), (24, 32), (32, 32), (48, 32), (256, 32)]
DESKTOP_SIZES = (16, 24, 32, 48, 64, 128, 256)
RESOURCES = None


def _png_path(root, size):
    return os.path.join(root, "icons", "hicolor", "%dx%d" % (size, size), "apps", NAME + ".png")


def _alpha(rgba, size, x, y):
    return rgba[(y * size + x) * 4 + 3]


class IconLayout(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(RESOURCES, NAME + ".ico"), "rb") as f:
            cls.images = ico_reader.read_ico(f.read())

    def test_nine_images_with_the_listed_sizes_and_depths(self):
        got = sorted((i.size, i.bit_count) for i in self.images)
        self.assertEqual(got, sorted(EXPECTED_IMAGES))

    def test_only_the_largest_image_is_png_and_the_rest_are_bitmaps(self):
        for image in self.images:
            self.assertEqual(image.is_png, image.size == 256, "%d px %d-bit" % (image.size, image.bit_count))

    def test_low_colour_images_use_a_real_256_colour_palette(self):
        for image in (i for i in self.images if i.bit_count == 8):
            self.assertEqual(image.colour_count, 0, "colour count byte must be 0 for 256 colours")
            drawn = {image.rgba[p:p + 3] for p in range(0, len(image.rgba), 4) if image.rgba[p + 3]}
            self.assertGreater(len(drawn), 16, "%d px image has only %d colours" % (image.size, len(drawn)))

    def test_every_image_has_transparent_corners_and_an_opaque_centre(self):
        for image in self.images:
            s, rgba = image.size, image.rgba
            for x, y in ((0, 0), (s - 1, 0), (0, s - 1), (s - 1, s - 1)):
                self.assertEqual(_alpha(rgba, s, x, y), 0, "%d px %d-bit corner %d,%d" % (s, image.bit_count, x, y))
            self.assertEqual(_alpha(rgba, s, s // 2, s // 2), 255, "%d px %d-bit centre" % (s, image.bit_count))

    def test_true_colour_images_have_partial_alpha_at_their_edges(self):
        for image in (i for i in self.images if i.bit_count == 32):
            alphas = set(image.rgba[3::4])
            self.assertTrue(alphas - {0, 255}, "%d px image has no anti-aliased edge" % image.size)

    def test_each_low_colour_image_looks_like_its_true_colour_twin(self):
        # Catches a wrong palette order, a top-down bitmap or a shifted mask: all would make the
        # 8-bit picture differ from the 32-bit one of the same size.
        true_colour = {i.size: i for i in self.images if i.bit_count == 32}
        for low in (i for i in self.images if i.bit_count == 8):
            twin = true_colour[low.size]
            diff, count = 0, 0
            for p in range(0, len(low.rgba), 4):
                if twin.rgba[p + 3] >= 192:
                    self.assertEqual(low.rgba[p + 3], 255, "%d px pixel %d hidden by the mask" % (low.size, p // 4))
                    diff += sum(abs(low.rgba[p + c] - twin.rgba[p + c]) for c in range(3))
                    count += 3
                elif twin.rgba[p + 3] <= 64:
                    self.assertEqual(low.rgba[p + 3], 0, "%d px pixel %d not masked" % (low.size, p // 4))
            self.assertLess(diff / count, 6.0, "%d px: mean colour error %.2f" % (low.size, diff / count))

    def test_desktop_pngs_match_their_directory_sizes(self):
        for size in DESKTOP_SIZES:
            with open(_png_path(RESOURCES, size), "rb") as f:
                w, h, rgba = ico_reader.decode_png(f.read())
            self.assertEqual((w, h), (size, size))
            self.assertEqual(_alpha(rgba, size, 0, 0), 0)
            self.assertEqual(_alpha(rgba, size, size // 2, size // 2), 255)

    def test_desktop_pngs_show_the_same_picture_as_the_icon(self):
        true_colour = {i.size: i for i in self.images if i.bit_count == 32}
        for size, image in true_colour.items():
            with open(_png_path(RESOURCES, size), "rb") as f:
                _, _, rgba = ico_reader.decode_png(f.read())
            self.assertEqual(rgba, image.rgba, "%d px PNG differs from the icon's image" % size)


class Regeneration(unittest.TestCase):
    def test_generator_reproduces_the_committed_files_byte_for_byte(self):
        generator = os.path.join(RESOURCES, "tools", "make_icons.py")
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, "-B", generator, "--out-dir", out], check=True, timeout=300)
            produced = sorted(os.path.relpath(os.path.join(d, f), out)
                              for d, _, files in os.walk(out) for f in files)
            expected = sorted([NAME + ".ico"] + [os.path.relpath(_png_path(out, s), out) for s in DESKTOP_SIZES])
            self.assertEqual(produced, expected)
            for rel in produced:
                self.assertTrue(filecmp.cmp(os.path.join(out, rel), os.path.join(RESOURCES, rel), shallow=False),
                                "%s differs from the committed file; run make_icons.py and commit" % rel)

    def test_generator_refuses_art_it_cannot_draw(self):
        # A shape the renderer ignored would make the committed icon silently differ from the art.
        generator = os.path.join(RESOURCES, "tools", "make_icons.py")
        with tempfile.TemporaryDirectory() as out:
            svg = os.path.join(out, "art.svg")
            with open(svg, "w") as f:
                f.write('<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 256 256">'
                        '<path d="M0 0 L10 10"/></svg>')
            result = subprocess.run([sys.executable, "-B", generator, "--svg", svg, "--out-dir", out],
                                    capture_output=True, text=True, timeout=60)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn("unsupported SVG element <path>", result.stderr)
            self.assertFalse(os.path.exists(os.path.join(out, NAME + ".ico")))


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("layout", "regenerate"):
        sys.exit(__doc__)
    RESOURCES = sys.argv[2]
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(
        IconLayout if sys.argv[1] == "layout" else Regeneration)
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
