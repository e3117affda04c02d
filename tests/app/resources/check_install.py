#!/usr/bin/python3
"""Installs the build into a temporary prefix and checks where the desktop files land:
check_install.py <cmake> <build dir> <resources dir>

When the window program has been built, the whole project is installed and the program must be
in bin/ too, with the manual where the Help command looks for it (<exe dir>/../share/doc/...).
Otherwise only the "desktop" install component (the files of app/resources) is installed.
"""

import filecmp
import os
import subprocess
import sys
import tempfile
import unittest

CMAKE = BUILD = RESOURCES = None
APP_ID = "io.zentra.VCardImporter"
PROGRAM = "zentra-vcard-importer"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
MANUAL = os.path.join("share", "doc", PROGRAM, "manual.html")


def _expected_files():
    """(installed path relative to the prefix, source file) of every file app/resources installs."""
    files = [
        (os.path.join("share", "applications", APP_ID + ".desktop"), APP_ID + ".desktop"),
        (os.path.join("share", "metainfo", APP_ID + ".metainfo.xml"), APP_ID + ".metainfo.xml"),
        (MANUAL, "manual.html"),
    ]
    for size in ICON_SIZES:
        rel = os.path.join("icons", "hicolor", "%dx%d" % (size, size), "apps", PROGRAM + ".png")
        files.append((os.path.join("share", rel), rel))
    return files


class Install(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix_dir = tempfile.TemporaryDirectory()
        cls.prefix = cls.prefix_dir.name
        cls.with_program = os.path.isfile(os.path.join(BUILD, "bin", PROGRAM))
        command = [CMAKE, "--install", BUILD, "--prefix", cls.prefix]
        if not cls.with_program:
            print("note: %s/bin/%s is not built; installing the desktop component only" % (BUILD, PROGRAM))
            command += ["--component", "desktop"]
        result = subprocess.run(command, capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            raise AssertionError("%s failed:\n%s%s" % (" ".join(command), result.stdout, result.stderr))

    @classmethod
    def tearDownClass(cls):
        cls.prefix_dir.cleanup()

    def test_desktop_entry_metainfo_icons_and_manual_land_unchanged(self):
        for installed, source in _expected_files():
            path = os.path.join(self.prefix, installed)
            self.assertTrue(os.path.isfile(path), "%s not installed" % installed)
            self.assertTrue(filecmp.cmp(path, os.path.join(RESOURCES, source), shallow=False),
                            "%s differs from %s" % (installed, source))

    def test_desktop_component_installs_nothing_else(self):
        if self.with_program:
            self.skipTest("the whole project was installed")
        installed = sorted(os.path.relpath(os.path.join(d, f), self.prefix)
                           for d, _, files in os.walk(self.prefix) for f in files)
        self.assertEqual(installed, sorted(rel for rel, _ in _expected_files()))

    def test_program_finds_the_manual_beside_its_bin_folder(self):
        if not self.with_program:
            self.skipTest("the window program is not built")
        program = os.path.join(self.prefix, "bin", PROGRAM)
        self.assertTrue(os.access(program, os.X_OK), "%s not installed as a program" % program)
        self.assertTrue(os.path.isfile(os.path.join(os.path.dirname(program), os.pardir, MANUAL)))


class BuildTree(unittest.TestCase):
    def test_manual_is_copied_where_the_built_program_looks(self):
        copy = os.path.join(BUILD, MANUAL)
        self.assertTrue(os.path.isfile(copy), copy)
        self.assertTrue(filecmp.cmp(copy, os.path.join(RESOURCES, "manual.html"), shallow=False))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    CMAKE, BUILD, RESOURCES = sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])
    suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(c) for c in (Install, BuildTree))
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
