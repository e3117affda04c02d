#!/usr/bin/python3
"""Checks the user manual opened by the Help command: check_manual.py <resources dir>

It is opened from disk by whatever browser the desktop has, possibly offline, so it must be
self-contained: no scripts, no images, stylesheets or links that leave the page.
"""

import html.parser
import os
import sys
import unittest

RESOURCES = None


class Collector(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.tags, self.references, self.text = [], [], []

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        for name, value in attrs:
            if name in ("src", "href", "srcset", "action", "data", "poster"):
                self.references.append((tag, name, value))

    def handle_data(self, data):
        self.text.append(data)


class Manual(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(RESOURCES, "manual.html"), encoding="utf-8") as f:
            cls.source = f.read()
        cls.page = Collector()
        cls.page.feed(cls.source)
        cls.text = " ".join("".join(cls.page.text).split())

    def test_is_self_contained(self):
        self.assertNotIn("script", self.page.tags)
        external = [r for r in self.page.references if not (r[2] or "").startswith("#")]
        self.assertEqual(external, [])
        self.assertNotIn("url(", self.source)
        self.assertNotIn("@import", self.source)

    def test_declares_utf8_and_a_title(self):
        self.assertIn('<meta charset="utf-8">', self.source)
        self.assertIn("title", self.page.tags)

    def test_explains_every_button(self):
        for caption in ("Add vCard File(s)...", "Add Folder having vCard File(s)...", "Clear File(s)...",
                        "Import Contacts", "Help Manual", "Exit"):
            self.assertIn(caption, self.text)

    def test_names_the_output_file_and_promises_read_only_sources(self):
        self.assertIn("ZentraContacts<d.m.YY H.m.ss>.pst", self.text)
        self.assertIn("ZentraContacts6.12.26 9.5.07.pst", self.text)
        self.assertIn("only read", self.text)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    RESOURCES = sys.argv[1]
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(Manual)
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
