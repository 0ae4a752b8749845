#!/usr/bin/python3
"""The built executable: 32-bit GUI, ASLR and DEP on, stripped, and importing nothing
but Windows system DLLs. Usage: check_hardening.py QuilmarenFilters.exe"""
import sys
import unittest

import pefile

EXE = None
SYSTEM_DLLS = {'advapi32.dll', 'gdi32.dll', 'kernel32.dll', 'msvcrt.dll', 'shell32.dll', 'user32.dll'}
# Loaded when the first alarm sounds or the first "open" runs, from the system directory only: a
# static import would be searched for in the program's folder first (winmm), and would cost
# every idle copy its memory.
LOADED_LATER = {'winmm.dll', 'ole32.dll'}


class Hardening(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(EXE)

    def test_32_bit_gui_program(self):
        self.assertEqual(self.pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE['IMAGE_FILE_MACHINE_I386'])
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, pefile.SUBSYSTEM_TYPE['IMAGE_SUBSYSTEM_WINDOWS_GUI'])

    def test_aslr_and_dep(self):
        flags = self.pe.OPTIONAL_HEADER.DllCharacteristics
        self.assertTrue(flags & 0x0040, 'not DYNAMIC_BASE')
        self.assertTrue(flags & 0x0100, 'not NX_COMPAT')
        relocations = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_BASERELOC']]
        self.assertGreater(relocations.Size, 0, 'no relocations: the loader cannot move it')

    def test_imports_only_windows_system_dlls(self):
        imported = {entry.dll.decode().lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertFalse(imported & LOADED_LATER, 'imported statically')
        self.assertLessEqual(imported, SYSTEM_DLLS)
        for runtime in ('libstdc++', 'libgcc', 'libwinpthread'):
            self.assertFalse([d for d in imported if runtime in d], runtime)

    def test_stripped(self):
        self.assertEqual(self.pe.FILE_HEADER.PointerToSymbolTable, 0)
        self.assertEqual(self.pe.FILE_HEADER.NumberOfSymbols, 0)


if __name__ == '__main__':
    EXE = sys.argv[1]
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
