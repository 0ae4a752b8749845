#!/usr/bin/env python3
"""The per-machine MSI under Wine's msiexec: refused values, install with properties, the program
started from the Run entry taking the machine's defaults, a major upgrade, and uninstall.
Usage: test_msi.py MSI VERSION PROBE [--no-program] [unittest args]; --no-program where Wine
runs no 32-bit program (the package still installs)."""
import os
import subprocess
import sys
import tempfile
import unittest

from desktop import dialogs, run, set_settings, settings, today_day_number, wait_for, wine_processes

MSI = VERSION = PROBE = None
PROGRAM_RUNS = True
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HKLM = r'HKLM\Software'
DEFAULTS = HKLM + r'\Quilmaren Filters\Defaults'
RUN_KEY = HKLM + r'\Microsoft\Windows\CurrentVersion\Run'
SOURCE = r'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quilmaren Filters'
APPS = HKLM + r'\Microsoft\Windows\CurrentVersion\Uninstall'


def values(key):
    """A key's values as {name: data}, in the 32-bit view the package writes (Wow6432Node on 64-bit)."""
    found = {}
    for line in run('wine', 'reg', 'query', key, '/reg:32').splitlines():
        fields = line.strip().split('    ')
        if len(fields) >= 2 and fields[1].startswith('REG_'):
            found[fields[0]] = fields[2] if len(fields) > 2 else ''
    return found


def apps_entries():
    """DisplayVersion of each Apps entry named Quilmaren Filters."""
    keys = [k for k in run('wine', 'reg', 'query', APPS, '/reg:32').splitlines() if k.startswith('HKEY')]
    return [values(k).get('DisplayVersion') for k in keys if values(k).get('DisplayName') == 'Quilmaren Filters']


def msiexec(*args):
    return subprocess.run(['wine', 'msiexec', *args, '/qn'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=180).returncode


class Msi(unittest.TestCase):
    def test_refused_install_upgrade_and_uninstall(self):
        pf = run('wine', 'cmd', '/c', 'echo', '%ProgramFiles(x86)%').strip()
        if '%' in pf:  # a 32-bit Windows
            pf = run('wine', 'cmd', '/c', 'echo', '%ProgramFiles%').strip()
        folder = os.path.join(run('winepath', '-u', pf).strip(), 'Quilmaren Filters')
        program = os.path.join(folder, 'QuilmarenFilters.exe')
        self.addCleanup(lambda: msiexec('/x', MSI))

        for bad in ('FREQUENCY=0', 'FREQUENCY=101', 'FREQUENCY=7x', 'FREQUENCY=1|2', 'WARNINGTIME=24:00',
                    'WARNINGTIME=9:00', 'WARNINGTIME=09:00:00', 'WARNINGTIME=|09:00', 'AUTOSTART=2'):
            with self.subTest('refused before anything is written', value=bad):
                self.assertEqual(msiexec('/i', MSI, bad) & 0xFF, 1603 & 0xFF)  # ERROR_INSTALL_FAILURE
                self.assertFalse(os.path.exists(folder))
                self.assertEqual((values(DEFAULTS), values(SOURCE), apps_entries()), ({}, {}, []))

        with self.subTest('per machine, with the defaults, the logon start and the event source'):
            self.assertEqual(msiexec('/i', MSI, 'FREQUENCY=9', 'WARNINGTIME=00:00'), 0)
            self.assertEqual(sorted(os.listdir(folder)), ['QuilmarenFilters.exe', 'readme.txt'])
            self.assertEqual(values(DEFAULTS), {'Frequency': '9', 'Warning Time': '00:00'})
            windows_program = pf + r'\Quilmaren Filters\QuilmarenFilters.exe'
            self.assertEqual(values(RUN_KEY).get('Quilmaren Filters'), '"%s"' % windows_program)
            self.assertEqual(values(SOURCE), {'EventMessageFile': windows_program, 'TypesSupported': '0x7'})
            self.assertEqual(apps_entries(), [VERSION])

        if PROGRAM_RUNS:
            with self.subTest('the program started from the Run entry takes the machine defaults'):
                # Due every 9 days, today; never under the program's own 7.
                today = today_day_number()
                set_settings(**{'Total Day Count': str(today - 9), 'Last Warning Day': str(today - 1)})
                self.addCleanup(set_settings)
                started = subprocess.Popen(['wine', values(RUN_KEY)['Quilmaren Filters'].strip('"')],
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self.addCleanup(started.wait, 30)
                self.assertTrue(wait_for(dialogs, 30), 'no warning from the machine defaults')
                self.assertNotIn('Frequency', settings(), 'the defaults were copied to the person')
                # Closed as an upgrade closes it on Windows: Wine's msiexec has no Restart Manager.
                self.assertEqual(subprocess.run(['wine', PROBE, 'endsession'], timeout=60).returncode, 0)
                self.assertTrue(wait_for(lambda: not wine_processes(program), 30), 'the program outlived its end')

        with self.subTest('a newer package upgrades in place, keeping the defaults'):
            newer = VERSION.rsplit('.', 1)[0] + '.%d' % (int(VERSION.rsplit('.', 1)[1]) + 1)
            stage = os.path.join(os.path.dirname(MSI), 'msi-files')
            with tempfile.TemporaryDirectory() as work:
                upgrade = os.path.join(work, 'newer.msi')
                subprocess.run([sys.executable, os.path.join(ROOT, 'tools', 'package_files.py'), 'msi', '1',
                                newer, stage, os.path.join(ROOT, 'packaging', 'quilmaren.wxs'), upgrade], check=True)
                self.assertEqual(msiexec('/i', upgrade, 'AUTOSTART=0'), 0)
                self.assertEqual(apps_entries(), [newer])
                self.assertEqual(values(DEFAULTS), {'Frequency': '9', 'Warning Time': '00:00'})
                self.assertNotIn('Quilmaren Filters', values(RUN_KEY))
                self.assertTrue(os.path.exists(program))

                with self.subTest('uninstall removes what it installed and leaves the person settings'):
                    self.assertEqual(msiexec('/x', upgrade), 0)
                    self.assertFalse(os.path.exists(folder))
                    self.assertEqual((values(DEFAULTS), values(SOURCE), apps_entries()), ({}, {}, []))
                    if PROGRAM_RUNS:
                        self.assertIn('Total Day Count', settings())


if __name__ == '__main__':
    MSI, VERSION, PROBE = sys.argv[1:4]
    PROGRAM_RUNS = '--no-program' not in sys.argv
    unittest.main(argv=[sys.argv[0]] + [a for a in sys.argv[4:] if a != '--no-program'], verbosity=2)
