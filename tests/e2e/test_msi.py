#!/usr/bin/env python3
"""The per-machine MSI under Wine's msiexec: refused values, install with properties, the program
from the Run entry taking the machine's defaults, a major upgrade, uninstall.
Usage: test_msi.py MSI VERSION PROBE [--no-program] (where Wine runs no 32-bit program)."""
import os
import subprocess
import sys
import tempfile
import unittest

from desktop import dialogs, run, set_settings, settings, today_day_number, wait_for, wine_processes

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEFAULTS = r'HKLM\Software\Quilmaren Filters\Defaults'
RUN_KEY = r'HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
SOURCE = r'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quilmaren Filters'
APPS = r'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'


def values(key):  # in the 32-bit view the package writes (Wow6432Node on 64-bit Windows)
    rows = [line.strip().split('    ') for line in run('wine', 'reg', 'query', key, '/reg:32').splitlines()]
    return {r[0]: (r + [''])[2] for r in rows if len(r) >= 2 and r[1].startswith('REG_')}


def installed():  # (defaults, event source, versions in Apps)
    keys = [k for k in run('wine', 'reg', 'query', APPS, '/reg:32').splitlines() if k.startswith('HKEY')]
    apps = [values(k).get('DisplayVersion') for k in keys if values(k).get('DisplayName') == 'Quilmaren Filters']
    return values(DEFAULTS), values(SOURCE), apps


def msiexec(*args):
    return subprocess.run(['wine', 'msiexec', *args, '/qn'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=180).returncode


class Msi(unittest.TestCase):
    def test_refused_install_upgrade_and_uninstall(self):
        pf = run('wine', 'cmd', '/c', 'echo', '%ProgramFiles(x86)%').strip()
        pf = run('wine', 'cmd', '/c', 'echo', '%ProgramFiles%').strip() if '%' in pf else pf  # 32-bit Windows
        folder = os.path.join(run('winepath', '-u', pf).strip(), 'Quilmaren Filters')
        program = os.path.join(folder, 'QuilmarenFilters.exe')
        self.addCleanup(msiexec, '/x', MSI)
        for bad in ('FREQUENCY=0', 'FREQUENCY=101', 'FREQUENCY=7x', 'FREQUENCY=1|2', 'WARNINGTIME=24:00',
                    'WARNINGTIME=9:00', 'WARNINGTIME=09:00:00', 'WARNINGTIME=|09:00', 'AUTOSTART=2'):
            self.assertEqual(msiexec('/i', MSI, bad) & 0xFF, 1603 & 0xFF, bad)  # ERROR_INSTALL_FAILURE
            self.assertEqual((os.path.exists(folder), installed()), (False, ({}, {}, [])), bad)

        self.assertEqual(msiexec('/i', MSI, 'FREQUENCY=9', 'WARNINGTIME=00:00'), 0)
        self.assertEqual(sorted(os.listdir(folder)), ['QuilmarenFilters.exe', 'readme.txt'])
        exe = pf + r'\Quilmaren Filters\QuilmarenFilters.exe'
        self.assertEqual(installed(), ({'Frequency': '9', 'Warning Time': '00:00'},
                                       {'EventMessageFile': exe, 'TypesSupported': '0x7'}, [VERSION]))
        self.assertEqual(values(RUN_KEY).get('Quilmaren Filters'), '"%s"' % exe)
        # What Wine's msiexec cannot show: Windows' own, elevated from a prompt, passes on only
        # secure properties, and the event log expands its message file's path.
        secure = run('msiinfo', 'export', MSI, 'Property').split('SecureCustomProperties\t')[1].split()[0].split(';')
        self.assertLessEqual({'FREQUENCY', 'WARNINGTIME', 'AUTOSTART'}, set(secure))
        self.assertIn('EventMessageFile    REG_EXPAND_SZ', run('wine', 'reg', 'query', SOURCE, '/reg:32'))

        if PROGRAM_RUNS:  # due today every 9 days, never under the program's own 7
            set_settings(**{'Total Day Count': str(today_day_number() - 9),
                            'Last Warning Day': str(today_day_number() - 1)})
            self.addCleanup(set_settings)
            started = subprocess.Popen(['wine', exe], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.addCleanup(started.wait, 30)
            self.assertTrue(wait_for(dialogs, 30), 'no warning from the machine defaults')
            self.assertNotIn('Frequency', settings(), 'the defaults were copied to the person')
            # Closed as the Restart Manager closes it for an upgrade: Wine's msiexec has none.
            self.assertEqual(subprocess.run(['wine', PROBE, 'endsession'], timeout=60).returncode, 0)
            self.assertTrue(wait_for(lambda: not wine_processes(program), 30), 'the program outlived its end')

        major, patch = VERSION.rsplit('.', 1)
        newer = '%s.%d' % (major, int(patch) + 1)
        with tempfile.TemporaryDirectory() as work:
            upgrade = os.path.join(work, 'newer.msi')
            subprocess.run([sys.executable, os.path.join(ROOT, 'tools', 'package_files.py'), 'msi', '1', newer,
                            os.path.join(os.path.dirname(MSI), 'msi-files'),
                            os.path.join(ROOT, 'packaging', 'quilmaren.wxs'), upgrade], check=True)
            self.assertEqual(msiexec('/i', upgrade, 'AUTOSTART=0'), 0)
            self.assertEqual(installed()[::2], ({'Frequency': '9', 'Warning Time': '00:00'}, [newer]))
            self.assertNotIn('Quilmaren Filters', values(RUN_KEY))

            self.assertEqual(msiexec('/x', upgrade), 0)
            self.assertEqual((os.path.exists(folder), installed()), (False, ({}, {}, [])))
            self.assertTrue(not PROGRAM_RUNS or 'Total Day Count' in settings(), 'the person settings went')


if __name__ == '__main__':
    MSI, VERSION, PROBE = sys.argv[1:4]
    PROGRAM_RUNS = '--no-program' not in sys.argv
    unittest.main(argv=sys.argv[:1], verbosity=2)
