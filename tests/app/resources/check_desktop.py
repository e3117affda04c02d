#!/usr/bin/python3
"""Checks the desktop entry and the AppStream metainfo: check_desktop.py <resources dir>

Both files are run through the freedesktop validators, and their fields are checked against
each other and against the installed icon and program names, which the validators cannot know.
Exits 77 (skipped) after the field checks when a validator is not installed.
"""

import configparser
import os
import shutil
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ET

RESOURCES = None
APP_ID = "io.zentra.VCardImporter"
PROGRAM = "zentra-vcard-importer"
VALIDATORS = {"desktop-file-validate": "desktop-file-utils", "appstreamcli": "appstream"}


def _desktop_path():
    return os.path.join(RESOURCES, APP_ID + ".desktop")


def _metainfo_path():
    return os.path.join(RESOURCES, APP_ID + ".metainfo.xml")


class DesktopEntry(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str  # keys are case-sensitive
        parser.read(_desktop_path(), encoding="utf-8")
        cls.entry = parser["Desktop Entry"]

    def test_names_the_program_and_its_purpose(self):
        self.assertEqual(self.entry["Type"], "Application")
        self.assertEqual(self.entry["Name"], "Zentra vCard Importer")
        self.assertEqual(self.entry["Comment"], "Import vCard Contacts to Outlook")
        self.assertEqual(self.entry["Terminal"], "false")

    def test_starts_the_installed_program_with_its_icon(self):
        self.assertEqual(self.entry["Exec"], PROGRAM)
        self.assertEqual(self.entry["Icon"], PROGRAM)
        for size in (16, 24, 32, 48, 64, 128, 256):
            icon = os.path.join(RESOURCES, "icons", "hicolor", "%dx%d" % (size, size), "apps", PROGRAM + ".png")
            self.assertTrue(os.path.isfile(icon), icon)

    def test_categories_and_media_types(self):
        self.assertEqual(self.entry["Categories"].rstrip(";").split(";"), ["Office", "ContactManagement"])
        self.assertEqual(self.entry["MimeType"].rstrip(";").split(";"), ["text/vcard", "text/x-vcard"])


class Metainfo(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = ET.parse(_metainfo_path()).getroot()

    def text(self, path):
        element = self.root.find(path)
        self.assertIsNotNone(element, path)
        return element.text

    def test_identifies_the_desktop_application(self):
        self.assertEqual(self.root.tag, "component")
        self.assertEqual(self.root.get("type"), "desktop-application")
        self.assertEqual(self.text("id"), APP_ID)
        launchable = self.root.find("launchable")
        self.assertEqual(launchable.get("type"), "desktop-id")
        self.assertEqual(launchable.text, os.path.basename(_desktop_path()))

    def test_names_licences_and_summary(self):
        self.assertEqual(self.text("name"), "Zentra vCard Importer")
        self.assertEqual(self.text("summary"), "Import vCard Contacts to Outlook")
        self.assertIn(self.text("metadata_license"), ("FSFAP", "CC0-1.0"))
        self.assertEqual(self.text("project_license"), "MIT")
        self.assertIsNotNone(self.root.find("content_rating"))

    def test_release_and_provided_binary(self):
        releases = self.root.findall("releases/release")
        self.assertEqual([(r.get("version"), r.get("date")) for r in releases], [("4.01", "2026-12-07")])
        self.assertEqual([b.text for b in self.root.findall("provides/binary")], [PROGRAM])


class Validators(unittest.TestCase):
    def run_validator(self, command):
        result = subprocess.run(command, capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 0, "%s:\n%s%s" % (" ".join(command), result.stdout, result.stderr))

    @unittest.skipIf(shutil.which("desktop-file-validate") is None, "desktop-file-validate missing")
    def test_desktop_file_validate(self):
        self.run_validator(["desktop-file-validate", _desktop_path()])

    @unittest.skipIf(shutil.which("appstreamcli") is None, "appstreamcli missing")
    def test_appstreamcli_validate(self):
        self.run_validator(["appstreamcli", "validate", "--no-net", _metainfo_path()])


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    RESOURCES = sys.argv[1]
    suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(c)
                               for c in (DesktopEntry, Metainfo, Validators))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if not result.wasSuccessful():
        sys.exit(1)
    missing = [tool for tool in VALIDATORS if shutil.which(tool) is None]
    if missing:
        print("SKIPPED: %s not installed (Debian: %s)" % (
            ", ".join(missing), ", ".join(VALIDATORS[t] for t in missing)))
        sys.exit(77)
