#!/usr/bin/python3
"""The version set in CMake is the one the program's version resource, the installer's and
the package names carry. Usage: check_version.py VERSION PROGRAM_EXE SETUP_EXE ZIP"""
import os
import sys
import unittest

import pefile

VERSION = EXE = SETUP = ZIP = None


def version_strings(path):
    pe = pefile.PE(path)
    strings = {}
    for info in getattr(pe, 'FileInfo', []):
        for entry in info:
            for table in getattr(entry, 'StringTable', []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16,
               fixed.FileVersionLS & 0xFFFF)
    return strings, numbers


class Version(unittest.TestCase):
    def test_program_resource(self):
        strings, numbers = version_strings(EXE)
        expected = VERSION + '.0'
        self.assertEqual(strings.get('FileVersion'), expected)
        self.assertEqual(strings.get('ProductVersion'), expected)
        self.assertEqual('.'.join(map(str, numbers)), expected)

    def test_installer_and_package_names(self):
        strings, numbers = version_strings(SETUP)
        self.assertEqual(strings.get('ProductVersion'), VERSION)
        self.assertEqual('.'.join(map(str, numbers)), VERSION + '.0')
        for package in (SETUP, ZIP):
            self.assertIn('-%s-' % VERSION, os.path.basename(package))


if __name__ == '__main__':
    VERSION, EXE, SETUP, ZIP = sys.argv[1:5]
    unittest.main(argv=[sys.argv[0]] + sys.argv[5:], verbosity=2)
