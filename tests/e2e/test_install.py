#!/usr/bin/env python3
"""The packages under Wine: silent install, upgrade over a running copy, silent
uninstall, and the portable ZIP. Usage: test_install.py SETUP_EXE ZIP [unittest args]."""
import os
import subprocess
import sys
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import run, set_settings, settings, tray_icon_shown, wait_for  # noqa: E402

SETUP = ZIP = None
RUN_KEY = r'HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
UNINSTALL_KEY = r'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quilmaren Filters'
SETTINGS = {'Total Day Count': '9000', 'Frequency': '12', 'Time~Hours': '20', 'Time~Minutes': '31'}


def windows_folder(variable, *parts):
    path = run('wine', 'cmd', '/c', 'echo', '%' + variable + '%').strip()
    return os.path.join(run('winepath', '-u', path).strip(), *parts)


def reg_values(key):
    out = run('wine', 'reg', 'query', key)
    values = {}
    for line in out.splitlines():
        fields = line.strip().split('    ')
        if len(fields) >= 3 and fields[1].startswith('REG_'):
            values[fields[0]] = fields[2]
    return values


def copies():
    """The process ids of the running copies of the program."""
    return set(run('pgrep', '-f', r'QuilmarenFilters\.exe').split())


class Packages(unittest.TestCase):
    """One scenario, in order: install, upgrade, uninstall."""

    @classmethod
    def setUpClass(cls):
        set_settings()
        cls.folder = windows_folder('LOCALAPPDATA', 'Programs', 'Quilmaren Filters')
        cls.shortcut = windows_folder('APPDATA', 'Microsoft', 'Windows', 'Start Menu', 'Programs',
                                      'Quilmaren Filters.lnk')
        cls.installed = sorted(['QuilmarenFilters.exe', 'readme.txt', 'Uninstall.exe'])

    def install(self):
        return subprocess.run(['wine', SETUP, '/S'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=120).returncode

    def test_1_silent_install_puts_everything_in_place_and_starts_the_program(self):
        self.assertEqual(self.install(), 0)
        self.assertEqual(sorted(os.listdir(self.folder)), self.installed)
        self.assertTrue(os.path.exists(self.shortcut), 'no Start-menu shortcut')
        run_entry = reg_values(RUN_KEY).get('Quilmaren Filters', '')
        self.assertTrue(run_entry.endswith('Quilmaren Filters\\QuilmarenFilters.exe"'), run_entry)
        apps = reg_values(UNINSTALL_KEY)
        self.assertEqual(apps.get('DisplayName'), 'Quilmaren Filters')
        self.assertEqual(apps.get('DisplayVersion'), '1.0.0')
        self.assertEqual(apps.get('Publisher'), 'Quilmaren')
        self.assertTrue(wait_for(tray_icon_shown, 20), 'the installed program shows no tray icon')

    def test_2_install_over_a_running_copy_keeps_the_settings(self):
        set_settings(**SETTINGS)
        old = copies()
        self.assertEqual(len(old), 1)
        self.assertEqual(self.install(), 0)
        self.assertEqual(settings(), SETTINGS)
        replaced = wait_for(lambda: len(copies()) == 1 and not copies() & old, 20)
        self.assertTrue(replaced, 'the old copy was not closed, or the new one did not start')
        self.assertTrue(wait_for(tray_icon_shown, 20))

    def test_3_zip_holds_exactly_the_program_and_readme(self):
        with zipfile.ZipFile(ZIP) as z:
            self.assertEqual(sorted(z.namelist()), ['QuilmarenFilters.exe', 'readme.txt'])
            with open(os.path.join(self.folder, 'QuilmarenFilters.exe'), 'rb') as f:
                self.assertEqual(z.read('QuilmarenFilters.exe'), f.read())

    def test_4_silent_uninstall_removes_what_it_installed_and_keeps_the_settings(self):
        subprocess.run(['wine', os.path.join(self.folder, 'Uninstall.exe'), '/S'], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        self.assertTrue(wait_for(lambda: not os.path.exists(self.folder), 30), 'the folder stayed')
        self.assertFalse(os.path.exists(self.shortcut))
        self.assertNotIn('Quilmaren Filters', reg_values(RUN_KEY))
        self.assertEqual(reg_values(UNINSTALL_KEY), {})
        self.assertEqual(settings(), SETTINGS)
        self.assertTrue(wait_for(lambda: not copies(), 10), 'the program outlived its uninstall')
        self.assertTrue(wait_for(lambda: not tray_icon_shown(), 10))


if __name__ == '__main__':
    SETUP, ZIP = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
