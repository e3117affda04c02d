#!/usr/bin/python3
"""Checks the application manifest byte for byte: check_manifest.py <resources dir>

The manifest is embedded as it is, so its exact size, its CR-only line ends and its content
all matter; git must also be told never to convert it.
"""

import fnmatch
import os
import sys
import unittest
import xml.etree.ElementTree as ET

RESOURCES = None
NAME = "zentra-vcard-importer.manifest"
NS = "{urn:schemas-microsoft-com:asm.v1}"
XML_DECLARATION = b'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
PROGRAM_IDENTITY = {"name": "XPStyle Control Demo", "processorArchitecture": "x86",
                    "version": "1.0.0.0", "type": "win32"}
COMMON_CONTROLS_IDENTITY = {"type": "win32", "name": "Microsoft.Windows.Common-Controls",
                            "version": "6.0.0.0", "processorArchitecture": "x86",
                            "publicKeyToken": "6595b64144ccf1df", "language": "*"}


class ManifestBytes(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(RESOURCES, NAME), "rb") as f:
            cls.data = f.read()

    def test_is_568_bytes_of_utf8_without_bom(self):
        self.assertEqual(len(self.data), 568)
        self.data.decode("utf-8")
        self.assertFalse(self.data.startswith(b"\xef\xbb\xbf"))

    def test_lines_are_separated_by_cr_alone(self):
        self.assertNotIn(b"\n", self.data)
        # 16 lines: the layout that brings the text to exactly 568 bytes, no line end after the last.
        self.assertEqual(self.data.count(b"\r"), 15)
        self.assertFalse(self.data.endswith(b"\r"))
        lines = self.data.split(b"\r")
        self.assertEqual(lines[0], XML_DECLARATION)
        for n, line in enumerate(lines):
            self.assertTrue(line.strip(), "line %d is blank" % (n + 1))
            self.assertEqual(line, line.rstrip(), "line %d has trailing blanks" % (n + 1))
            self.assertNotIn(b"\t", line)

    def test_elements_and_attributes_are_exactly_the_listed_ones(self):
        root = ET.fromstring(self.data)
        self.assertEqual(root.tag, NS + "assembly")
        self.assertEqual(root.attrib, {"manifestVersion": "1.0"})
        self.assertEqual([c.tag for c in root], [NS + "assemblyIdentity", NS + "description", NS + "dependency"])
        identity, description, dependency = list(root)
        self.assertEqual(identity.attrib, PROGRAM_IDENTITY)
        self.assertEqual(len(identity), 0)
        self.assertEqual(description.attrib, {})
        self.assertEqual(len(description), 0)
        self.assertFalse((description.text or "").strip(), "description must be empty")
        self.assertEqual([c.tag for c in dependency], [NS + "dependentAssembly"])
        self.assertEqual([c.tag for c in dependency[0]], [NS + "assemblyIdentity"])
        self.assertEqual(dependency[0][0].attrib, COMMON_CONTROLS_IDENTITY)
        self.assertEqual(len(dependency[0][0]), 0)

    def test_declares_the_default_namespace_on_the_assembly(self):
        # ElementTree folds xmlns into tags; check the attribute itself as written.
        self.assertIn(b'<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">', self.data)
        self.assertEqual(self.data.count(b"xmlns"), 1)

    def test_git_keeps_the_bytes_unconverted(self):
        with open(os.path.join(RESOURCES, ".gitattributes")) as f:
            rules = [line.split() for line in f if line.strip() and not line.startswith("#")]
        matching = [attrs for pattern, *attrs in rules if fnmatch.fnmatch(NAME, pattern)]
        self.assertTrue(any("binary" in a or "-text" in a for a in matching), ".gitattributes: %r" % rules)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    RESOURCES = sys.argv[1]
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(ManifestBytes)
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
