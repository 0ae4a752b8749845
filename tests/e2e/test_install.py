#!/usr/bin/env python3
"""The packages under Wine: silent install, upgrade over a running copy, uninstall while
the program is in use, silent uninstall, and the portable ZIP.
Usage: test_install.py SETUP_EXE ZIP PROGRAM_EXE HOLD_FILE_EXE VERSION [unittest args]."""
import os
import subprocess
import sys
import unittest
import zipfile

from desktop import run, set_settings, settings, tray_icon_shown, wait_for, wine_processes

SETUP = ZIP = PROGRAM = HOLD_FILE = VERSION = None
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


def quiet(*args):
    return subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120).returncode


class Packages(unittest.TestCase):
    def test_install_upgrade_and_uninstall(self):
        """One scenario, since each step needs the one before it."""
        set_settings()
        folder = windows_folder('LOCALAPPDATA', 'Programs', 'Quilmaren Filters')
        shortcut = windows_folder('APPDATA', 'Microsoft', 'Windows', 'Start Menu', 'Programs',
                                  'Quilmaren Filters.lnk')
        program, uninstaller = os.path.join(folder, 'QuilmarenFilters.exe'), os.path.join(folder, 'Uninstall.exe')

        def copies():
            """The installed program's running copies in this prefix, by process id."""
            return set(wine_processes(program))

        self.addCleanup(lambda: run('wine', 'reg', 'delete', UNINSTALL_KEY, '/f'))
        self.addCleanup(lambda: run('wine', 'reg', 'delete', RUN_KEY, '/v', 'Quilmaren Filters', '/f'))

        with self.subTest('silent install puts everything in place and starts the program'):
            self.assertEqual(quiet('wine', SETUP, '/S'), 0)
            self.assertEqual(sorted(os.listdir(folder)), ['QuilmarenFilters.exe', 'Uninstall.exe', 'readme.txt'])
            self.assertTrue(os.path.exists(shortcut), 'no Start-menu shortcut')
            run_entry = reg_values(RUN_KEY).get('Quilmaren Filters', '')
            self.assertTrue(run_entry.endswith('Quilmaren Filters\\QuilmarenFilters.exe"'), run_entry)
            apps = reg_values(UNINSTALL_KEY)
            self.assertEqual(apps.get('DisplayName'), 'Quilmaren Filters')
            self.assertEqual(apps.get('DisplayVersion'), VERSION)
            self.assertEqual(apps.get('Publisher'), 'Quilmaren')
            self.assertEqual(apps.get('URLInfoAbout'), 'https://quilmaren.com')
            self.assertTrue(wait_for(tray_icon_shown, 20), 'the installed program shows no tray icon')

        with self.subTest('silent upgrade over a running copy keeps the settings and the logon choice'):
            set_settings(**SETTINGS)
            run('wine', 'reg', 'delete', RUN_KEY, '/v', 'Quilmaren Filters', '/f')  # the user turned it off
            old = copies()
            self.assertEqual(len(old), 1)
            self.assertEqual(quiet('wine', SETUP, '/S'), 0)
            self.assertEqual(settings(), SETTINGS)
            self.assertNotIn('Quilmaren Filters', reg_values(RUN_KEY), 'the upgrade turned start at logon back on')
            replaced = wait_for(lambda: len(copies()) == 1 and not copies() & old, 20)
            self.assertTrue(replaced, 'the old copy was not closed, or the new one did not start')
            self.assertTrue(wait_for(tray_icon_shown, 20))

        with self.subTest('an uninstall that cannot remove the program keeps everything and the reminders'):
            running = copies()
            self.assertEqual(len(running), 1)
            holder = subprocess.Popen(['wine', HOLD_FILE, run('winepath', '-w', program).strip()],
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                      text=True)
            try:
                self.assertEqual(holder.stdout.readline().strip(), 'held')
                # _?= runs the uninstaller in place, so its exit code is the uninstall's. It takes
                # no quotes, and Wine quotes an argument with spaces: hence the short path.
                in_place = run('winepath', '-s', run('winepath', '-w', folder).strip()).strip()
                code = quiet('wine', uninstaller, '/S', '_?=' + in_place)
                self.assertNotEqual(code, 0, 'a failed uninstall reported success')
                self.assertTrue(os.path.exists(program) and os.path.exists(uninstaller))
                self.assertEqual(reg_values(UNINSTALL_KEY).get('DisplayName'), 'Quilmaren Filters')
                restarted = wait_for(lambda: len(copies()) == 1 and not copies() & running, 20)
                self.assertTrue(restarted, 'the program was not started again after the failed uninstall')
                self.assertTrue(wait_for(tray_icon_shown, 20))
            finally:
                holder.stdin.close()
                holder.wait(30)

        with self.subTest('silent uninstall closes the program, removes what it installed and keeps the settings'):
            self.assertEqual(len(copies()), 1, 'no running copy for the uninstall to close')
            quiet('wine', uninstaller, '/S')  # copies itself away and returns at once
            self.assertTrue(wait_for(lambda: not os.path.exists(folder), 30), 'the folder stayed')
            self.assertFalse(os.path.exists(shortcut))
            self.assertNotIn('Quilmaren Filters', reg_values(RUN_KEY))
            self.assertEqual(reg_values(UNINSTALL_KEY), {})
            self.assertEqual(settings(), SETTINGS)
            self.assertTrue(wait_for(lambda: not copies(), 10), 'the program outlived its uninstall')
            self.assertTrue(wait_for(lambda: not tray_icon_shown(), 10))
        set_settings()

    def test_zip_holds_exactly_the_program_readme_and_administrative_template(self):
        with zipfile.ZipFile(ZIP) as z:
            self.assertEqual(sorted(z.namelist()), ['QuilmarenFilters.admx', 'QuilmarenFilters.exe',
                                                    'en-US/QuilmarenFilters.adml', 'readme.txt'])
            with open(PROGRAM, 'rb') as f:
                self.assertEqual(z.read('QuilmarenFilters.exe'), f.read())
            self.assertIn('Show hidden icons', z.read('readme.txt').decode())


if __name__ == '__main__':
    SETUP, ZIP, PROGRAM, HOLD_FILE, VERSION = sys.argv[1:6]
    unittest.main(argv=[sys.argv[0]] + sys.argv[6:], verbosity=2)
