#!/usr/bin/python3
"""Compiles the Windows resource script with MinGW's windres and checks what it produced:
check_windres.py <resources dir>

The compiled .res is read back (its format: a sequence of RESOURCEHEADER + data, each aligned to
4 bytes) and must hold the manifest bytes as type 24 id 1, icon group 1 whose nine entries point
at RT_ICON resources equal to the .ico's images, and the version information with the expected
fixed and string values. Exits 77 (skipped) when windres is not installed.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ico_reader  # noqa: E402

RESOURCES = None
WINDRES = os.environ.get("WINDRES", "x86_64-w64-mingw32-windres")
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
EXPECTED_STRINGS = {
    "CompanyName": "Zentra vCard Importer developers",
    "FileDescription": "Import vCard Contacts to Outlook",
    "FileVersion": "4.01",
    "InternalName": "zentra-vcard-importer",
    "LegalCopyright": "Copyright \u00a9 2026 Zentra vCard Importer developers",
    "OriginalFilename": "zentra-vcard-importer.exe",
    "ProductName": "Zentra vCard Importer",
    "ProductVersion": "4.01",
}


def _align(n):
    return (n + 3) & ~3


def _name_or_id(data, pos):
    """A .res type or name: 0xFFFF + 16-bit ordinal, or a NUL-terminated UTF-16 string."""
    (first,) = struct.unpack_from("<H", data, pos)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def read_res(data):
    """Returns {(type, name): data} of every resource in a .res file."""
    resources, pos = {}, 0
    while pos < len(data):
        data_size, header_size = struct.unpack_from("<II", data, pos)
        kind, p = _name_or_id(data, pos + 8)
        name, p = _name_or_id(data, p)
        body = data[pos + header_size:pos + header_size + data_size]
        if data_size:  # the first, empty entry only marks a 32-bit .res file
            assert (kind, name) not in resources, "duplicate resource %r" % ((kind, name),)
            resources[(kind, name)] = body
        pos = _align(pos + header_size + data_size)
    return resources


def read_version_node(data, pos):
    """One VS_VERSIONINFO / StringFileInfo / String / Var node: (key, value, children, end)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, pos)
    end = pos + length
    key_end = pos + 6
    while struct.unpack_from("<H", data, key_end)[0] != 0:
        key_end += 2
    key = data[pos + 6:key_end].decode("utf-16-le")
    p = _align(key_end + 2)
    value_bytes = value_length * 2 if value_type == 1 else value_length
    value = data[p:p + value_bytes]
    if value_type == 1:
        value = value.decode("utf-16-le").rstrip("\0")
    p = _align(p + value_bytes)
    children = []
    while p < end:
        child = read_version_node(data, p)
        children.append(child)
        p = _align(child[3])
    return key, value, children, end


class CompiledResources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        rc = os.path.join(RESOURCES, "zentra-vcard-importer.rc")
        # Without MinGW's gcc, windres needs another preprocessor; given one, it passes only the
        # file name, so the options it would give gcc (C language, RC_INVOKED) are added here.
        base = [WINDRES, "--preprocessor=cpp", "--preprocessor-arg=-xc",
                "--preprocessor-arg=-DRC_INVOKED", "--input-format=rc", rc]
        # Run from an unrelated folder: the embedded files must be found next to the script.
        for fmt, out in (("res", "out.res"), ("coff", "out.o")):
            result = subprocess.run(base + ["--output-format=" + fmt, "-o", out], cwd=cls.work,
                                    capture_output=True, text=True, timeout=120)
            if result.returncode != 0:
                raise AssertionError("windres -O %s failed:\n%s%s" % (fmt, result.stdout, result.stderr))
        with open(os.path.join(cls.work, "out.res"), "rb") as f:
            cls.res = read_res(f.read())
        with open(os.path.join(cls.work, "out.o"), "rb") as f:
            cls.coff = f.read()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def test_holds_exactly_the_expected_resource_kinds(self):
        kinds = sorted({k for k, _ in self.res}, key=str)
        self.assertEqual(kinds, sorted([RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST], key=str))

    def test_manifest_is_type_24_id_1_byte_for_byte(self):
        with open(os.path.join(RESOURCES, "zentra-vcard-importer.manifest"), "rb") as f:
            manifest = f.read()
        self.assertEqual(self.res[(RT_MANIFEST, 1)], manifest)

    def test_object_file_is_pe_coff_and_carries_the_manifest(self):
        self.assertEqual(self.coff[:2], b"\x64\x86", "machine type of an x86-64 COFF object")
        with open(os.path.join(RESOURCES, "zentra-vcard-importer.manifest"), "rb") as f:
            self.assertIn(f.read(), self.coff)

    def test_icon_group_1_lists_the_nine_images_of_the_ico(self):
        with open(os.path.join(RESOURCES, "zentra-vcard-importer.ico"), "rb") as f:
            ico = ico_reader.read_ico(f.read())
        group = self.res[(RT_GROUP_ICON, 1)]
        reserved, kind, count = struct.unpack_from("<HHH", group, 0)
        self.assertEqual((reserved, kind, count), (0, 1, 9))
        self.assertEqual(len(group), 6 + 14 * count)
        for n, image in enumerate(ico):
            w, h, _, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * n)
            self.assertEqual((w or 256, h or 256, bits), (image.size, image.size, image.bit_count))
            self.assertEqual(self.res[(RT_ICON, icon_id)], image.data)
            self.assertEqual(size, len(image.data))

    def test_version_information(self):
        key, fixed, children, _ = read_version_node(self.res[(RT_VERSION, 1)], 0)
        self.assertEqual(key, "VS_VERSION_INFO")
        (signature, _, file_ms, file_ls, product_ms, product_ls, _, _, file_os, file_type,
         _, _, _) = struct.unpack("<13I", fixed)
        self.assertEqual(signature, 0xFEEF04BD)
        self.assertEqual((file_ms, file_ls), (0x00040001, 0), "file version 4.1.0.0")
        self.assertEqual((product_ms, product_ls), (0x00040001, 0), "product version 4.1.0.0")
        self.assertEqual((file_os, file_type), (0x40004, 1), "Windows NT application")
        blocks = {c[0]: c for c in children}
        self.assertEqual(sorted(blocks), ["StringFileInfo", "VarFileInfo"])
        tables = blocks["StringFileInfo"][2]
        self.assertEqual([t[0] for t in tables], ["040904B0"])
        strings = {s[0]: s[1] for s in tables[0][2]}
        self.assertEqual(strings, EXPECTED_STRINGS)
        variables = blocks["VarFileInfo"][2]
        self.assertEqual([v[0] for v in variables], ["Translation"])
        self.assertEqual(struct.unpack("<HH", variables[0][1]), (0x0409, 1200))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    RESOURCES = os.path.abspath(sys.argv[1])
    if shutil.which(WINDRES) is None or shutil.which("cpp") is None:
        print("SKIPPED: %s or cpp not found (Debian: binutils-mingw-w64-x86-64, cpp)" % WINDRES)
        sys.exit(77)
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(CompiledResources)
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
