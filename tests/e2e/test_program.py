#!/usr/bin/env python3
"""End-to-end tests of QuilmarenFilters.exe under Wine, driven through the tray, the
keyboard and the mouse. Usage: test_program.py EXE SCREENSHOT_DIR [unittest args]."""
import datetime
import os
import shutil
import stat
import sys
import tempfile
import time
import unittest

from desktop import (OPTIONS_KEY, Program, Shot, click, dialogs, drag, due_today, geometry, hover, menus, moment_now,
                     move, press, run, set_settings, settings, today_day_number, tray_cells, tray_icon_shown,
                     tray_icons, visible_windows, wait_for, window_title, wine_processes)

EXE = SHOTS = PROBE = None
HAND_HOT_SPOT = (12, 9)  # the program's hand cursor
SETUP_TITLE = 'Quilmaren Filters Setup'
WARNING_TITLE = 'Quilmaren Filters: clean your dust filters now'


def probe(*args):
    """What the probe reads from inside Wine: the foreground window's title, balloons, dates."""
    return run('wine', PROBE, *args).strip()


class Shell(unittest.TestCase):
    def setUp(self):
        set_settings()
        self.program = None

    def tearDown(self):
        if self.program:
            self.program.stop()

    def start(self, *args):
        self.program = Program(EXE, *args)
        return self.program

    def close_cannot_open(self):
        """Closes the box that says the read-me cannot be opened."""
        box = wait_for(lambda: [w for w in menus() if window_title(w) == 'Quilmaren Filters'], 10)
        self.assertTrue(box, 'nothing said the read-me cannot be opened')
        press(box[0], 'Return')
        self.assertTrue(wait_for(lambda: not menus(), 5), 'the box stayed open')

    def test_first_start_shows_the_icon_and_records_today(self):
        p = self.start()
        self.assertTrue(wait_for(tray_icon_shown, 20), 'no tray icon')
        print('start to tray icon: %.0f ms' % ((time.monotonic() - p.started) * 1000))
        Shot(os.path.join(SHOTS, 'tray-icon.png'))
        self.assertEqual(wait_for(lambda: settings().get('Total Day Count')), str(today_day_number()))
        self.assertEqual(settings().get('Last Warning Day'), str(today_day_number()))
        self.assertEqual(dialogs(), [])

    def test_a_due_day_missed_while_off_is_caught_up_at_the_next_start(self):
        today = today_day_number()
        set_settings(**{'Total Day Count': str(today - 10), 'Frequency': '7', 'Last Warning Day': str(today - 10)})
        self.start()
        found = wait_for(dialogs, 20)
        self.assertTrue(found, 'the warning of the day missed three days ago did not come')
        self.assertEqual(settings().get('Last Warning Day'), str(today), 'not recorded before the warning')
        press(found[0][0], 'Return')
        self.assertTrue(wait_for(lambda: not dialogs(), 5))

    def test_left_and_right_clicks_open_the_menu_and_a_click_elsewhere_closes_it(self):
        p = self.start()
        self.assertTrue(wait_for(tray_icon_shown, 20))
        for button in (1, 3):
            menu, _ = p.open_menu(button)
            self.assertTrue(menu, 'button %d opened no menu' % button)
            if button == 3:
                Shot(os.path.join(SHOTS, 'tray-menu.png'))
            click(600, 500)
            self.assertTrue(wait_for(lambda: not menus(), 5), 'the menu stayed open')
        self.assertTrue(p.running())
        self.assertEqual(dialogs(), [])

    def test_help_changes_nothing_and_exit_ends_with_code_zero(self):
        p = self.start('/setup', '--exit', 'ignored arguments')
        self.assertTrue(wait_for(tray_icon_shown, 20))
        before = settings()
        p.choose('Help')
        self.close_cannot_open()  # no read-me beside the build
        # The menu opening again shows the program has finished with Help.
        menu, _ = p.open_menu()
        self.assertTrue(menu, 'the program stopped answering after Help')
        click(600, 500)
        self.assertTrue(wait_for(lambda: not menus(), 5))
        self.assertEqual(dialogs(), [])
        self.assertTrue(p.running())
        self.assertEqual(settings(), before)

        p.choose('Exit')
        self.assertEqual(p.wait(15), 0)
        self.assertTrue(wait_for(lambda: not tray_icon_shown(), 10), 'the icon outlived the program')

    def test_help_opens_the_read_me_beside_the_program_and_no_other(self):
        set_settings(**{'Total Day Count': str(today_day_number())})  # no first-start balloon over the menu
        run('wine', 'reg', 'add', r'HKCR\.txt', '/ve', '/d', 'txtfile', '/f')  # as Windows always has
        beside, elsewhere = tempfile.mkdtemp(), tempfile.mkdtemp()
        for folder in (beside, elsewhere):
            self.addCleanup(shutil.rmtree, folder)
        # Notepad opens over the tray: gone before the next test clicks there.
        self.addCleanup(wait_for, lambda: not visible_windows('notepad.exe'), 10)
        self.addCleanup(run, 'wine', 'taskkill', '/IM', 'notepad.exe')
        with open(os.path.join(elsewhere, 'readme.txt'), 'w') as f:
            f.write('Quilmaren Filters\r\n')
        notepad = os.path.join(os.environ['WINEPREFIX'], 'drive_c', 'windows', 'system32', 'notepad.exe')
        self.program = p = Program(shutil.copy(EXE, beside), cwd=elsewhere)
        if not wait_for(tray_icon_shown, 20):
            Shot(os.path.join(SHOTS, 'help-no-tray-icon.png'))  # what covered it, if anything
            self.fail('no tray icon (running: %s, code %s)' % (p.running(), p.process.poll()))

        p.choose('Help')
        self.close_cannot_open()
        self.assertEqual(wine_processes(notepad), [], 'Help opened a read-me that is not beside the program')
        shutil.copy(os.path.join(elsewhere, 'readme.txt'), beside)
        p.choose('Help')
        opened = wait_for(lambda: wine_processes(notepad), 15)
        self.assertTrue(opened, 'Help did not open the read-me')
        with open('/proc/%d/cmdline' % opened[0]) as f:
            self.assertIn(run('winepath', '-w', os.path.join(beside, 'readme.txt')).strip(), f.read())
        self.assertTrue(wait_for(lambda: 'readme.txt - Notepad' in map(window_title, visible_windows('notepad.exe'))))

    def test_help_finds_the_read_me_in_a_folder_the_code_page_cannot_spell(self):
        set_settings(**{'Total Day Count': str(today_day_number())})
        run('wine', 'reg', 'add', r'HKCR\.txt', '/ve', '/d', 'txtfile', '/f')
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        beside = os.path.join(folder, 'Ивана')  # as a profile's name, which code page 1252 has not
        os.mkdir(beside)
        shutil.copy(os.path.join(os.path.dirname(__file__), '..', '..', 'packaging', 'readme.txt'), beside)
        self.addCleanup(wait_for, lambda: not visible_windows('notepad.exe'), 10)
        self.addCleanup(run, 'wine', 'taskkill', '/IM', 'notepad.exe')
        locale = os.environ.get('LC_ALL')
        os.environ['LC_ALL'] = 'C.UTF-8'  # else Wine finds no Unix path of such a name
        self.addCleanup(lambda: os.environ.pop('LC_ALL') if locale is None else os.environ.update(LC_ALL=locale))
        self.program = p = Program(shutil.copy(EXE, beside))
        self.assertTrue(wait_for(tray_icon_shown, 20), 'no tray icon')
        p.choose('Help')
        notepad = os.path.join(os.environ['WINEPREFIX'], 'drive_c', 'windows', 'system32', 'notepad.exe')
        self.assertTrue(wait_for(lambda: wine_processes(notepad), 15), 'Help did not open the read-me')
        self.assertTrue(wait_for(lambda: 'readme.txt - Notepad' in map(window_title, visible_windows('notepad.exe'))))

    def test_due_warning_comes_before_the_icon_and_esc_puts_it_off_an_hour(self):
        set_settings(**due_today())
        p = self.start()
        found = wait_for(dialogs, 20)
        self.assertTrue(found, 'no warning at start')
        window, x, y = found[0]
        shot = Shot(os.path.join(SHOTS, 'warning.png'))
        self.assertFalse(tray_icon_shown(), 'the icon came before the warning')
        self.assertEqual((x, y), ((shot.width - 250) // 2, (shot.height - 250) // 2))
        # The green corners are not painted: the desktop behind shows through.
        for cx, cy in ((x, y), (x + 249, y), (x, y + 249), (x + 249, y + 249)):
            self.assertNotEqual(shot.rgb(cx, cy), (0, 255, 0))
        self.assertEqual(shot.rgb(x + 125, y + 125)[1] > 200, True)  # the light panel

        before = moment_now()
        press(window, 'Escape')
        self.assertTrue(wait_for(lambda: not dialogs(), 5), 'Esc left the warning open')
        until = int(wait_for(lambda: settings().get('Postponed Until'), 5) or 0)
        self.assertTrue(before + 60 <= until <= moment_now() + 60, 'postponed to %d, not an hour from %d' % (until, before))
        self.assertTrue(wait_for(tray_icon_shown, 10), 'no icon after the warning')
        p.stop()

        # A restart keeps it put off; once its moment has passed, a restart brings it back.
        p = self.start()
        self.assertTrue(wait_for(tray_icon_shown, 20))
        self.assertEqual(dialogs(), [], 'a restart showed the postponed warning early')
        p.stop()
        run('wine', 'reg', 'add', OPTIONS_KEY, '/v', 'Postponed Until', '/d', str(moment_now() - 1), '/f')
        p = self.start()
        found = wait_for(dialogs, 20)
        self.assertTrue(found, 'the postponed warning did not come back')
        press(found[0][0], 'Return')
        self.assertTrue(wait_for(lambda: not dialogs(), 5), 'Return did not close the warning')
        self.assertEqual(settings().get('Postponed Until'), '0', 'OK left it postponed')

    def test_ok_button_closes_the_warning(self):
        set_settings(**due_today())
        self.start()
        found = wait_for(dialogs, 20)
        self.assertTrue(found)
        _, x, y = found[0]
        click(x + 170, y + 197)  # the OK button at (130, 186), 80 x 22
        self.assertTrue(wait_for(lambda: not dialogs(), 5))


class Instances(unittest.TestCase):
    """One copy per session: another start hands over to the one running."""

    def setUp(self):
        set_settings(**{'Total Day Count': str(today_day_number())})
        self.programs = []

    def tearDown(self):
        for program in reversed(self.programs):
            program.stop()

    def start(self, exe=None):
        program = Program(exe or EXE)
        self.programs.append(program)
        return program

    def test_a_second_start_opens_setup_in_the_running_copy(self):
        first = self.start()
        self.assertTrue(wait_for(tray_icon_shown, 20))
        running = wine_processes(EXE)
        self.assertEqual(self.start().wait(20), 0, 'the second copy did not end with code 0')
        setup = wait_for(dialogs, 10)
        self.assertTrue(setup, 'no Setup opened')
        Shot(os.path.join(SHOTS, 'second-start-setup.png'))
        self.assertEqual(window_title(setup[0][0]), SETUP_TITLE)
        self.assertEqual(wine_processes(EXE), running)
        self.assertEqual(tray_icons(), 1)
        self.assertEqual(settings(), {'Total Day Count': str(today_day_number())})
        press(setup[0][0], 'Escape')
        self.assertTrue(wait_for(lambda: not dialogs(), 5))
        self.assertTrue(first.running())

    def test_with_a_warning_open_a_second_start_brings_it_up_and_opens_no_setup(self):
        set_settings(**due_today())
        self.start()
        self.assertTrue(wait_for(dialogs, 20), 'no warning at start')
        self.start('notepad')  # the person turned to another program
        self.assertTrue(wait_for(lambda: probe('foreground').endswith('Notepad'), 15), probe('foreground'))
        self.assertEqual(self.start().wait(20), 0)
        self.assertTrue(wait_for(lambda: probe('foreground') == WARNING_TITLE, 10),
                        'the warning did not come up: %r is in front' % probe('foreground'))
        self.assertEqual([window_title(w) for w, _, _ in dialogs()], [WARNING_TITLE])

    def test_the_first_start_says_where_it_is_and_a_later_one_does_not(self):
        set_settings()
        program = self.start()
        self.assertTrue(wait_for(tray_icon_shown, 20))
        move(600, 500)  # a pointer resting on the icon would show its tooltip too
        due = datetime.date.today() + datetime.timedelta(days=7)
        date = probe('date', str(due.year), str(due.month), str(due.day))

        def welcome():
            return [line for line in probe('balloons').splitlines() if 'First reminder' in line]
        shown = wait_for(welcome, 10)
        self.assertTrue(shown, 'no balloon on the first start')
        Shot(os.path.join(SHOTS, 'first-start-balloon.png'))
        self.assertIn('First reminder: %s at' % date, shown[0])
        program.stop()  # the balloon may cover the icon's menu
        self.assertTrue(wait_for(lambda: not welcome(), 10), 'the balloon outlived the program')

        self.start()
        self.assertTrue(wait_for(tray_icon_shown, 20))
        move(600, 500)
        self.assertFalse(wait_for(welcome, 3), 'a later start showed the balloon again')


class WithSetup:
    """A running program whose Setup dialog a test opens."""

    def setUp(self):
        set_settings()
        self.program = Program(EXE)
        self.assertTrue(wait_for(tray_icon_shown, 20))

    def tearDown(self):
        self.program.stop()

    def open_setup(self):
        self.program.choose('Setup')
        found = wait_for(dialogs, 10)
        self.assertTrue(found, 'Setup did not open')
        return found[0]


class Dialogs(WithSetup, unittest.TestCase):
    def test_setup_lists_change_with_the_keyboard_and_ok_stores_them(self):
        window, x, y = self.open_setup()
        Shot(os.path.join(SHOTS, 'setup.png'))
        run('xdotool', 'mousemove', str(x + 125), str(y + 20))
        # Period 7 -> 8, hour 07 -> 08, minute 29 -> 28; Return presses OK.
        press(window, 'Down', 'Tab', 'Down', 'Tab', 'Up', 'Return')
        self.assertTrue(wait_for(lambda: not dialogs(), 5))
        stored = wait_for(lambda: settings().get('Time~Minutes') and settings())
        self.assertEqual(stored, {'Total Day Count': str(today_day_number()), 'Frequency': '8',
                                  'Time~Hours': '9', 'Time~Minutes': '29',
                                  'Last Warning Day': str(today_day_number())})  # from the first start

    def test_esc_stores_nothing(self):
        set_settings(**{'Total Day Count': '1234', 'Frequency': '3'})
        window, x, y = self.open_setup()
        run('xdotool', 'mousemove', str(x + 125), str(y + 20))
        press(window, 'Down', 'Escape')
        self.assertTrue(wait_for(lambda: not dialogs(), 5))
        self.assertEqual(settings(), {'Total Day Count': '1234', 'Frequency': '3'})

    def test_dragging_the_body_moves_the_dialog(self):
        window, x, y = self.open_setup()
        # On the "Days" label, then on the empty panel: both drag.
        for sx, sy in ((x + 180, y + 92), (x + 40, y + 170)):
            _, x, y = dialogs()[0]
            drag(x + (sx - x), y + (sy - y), x + (sx - x) - 60, y + (sy - y) + 40)
            moved = wait_for(lambda: dialogs() and dialogs()[0][1:] == (x - 60, y + 40) and dialogs()[0], 5)
            self.assertTrue(moved, 'the dialog did not follow the drag from %d,%d' % (sx, sy))
            _, x, y = moved
        press(window, 'Escape')

    def test_link_opens_through_the_shell_after_hovering(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        opened = os.path.join(folder, 'opened')
        recorder = os.path.join(folder, 'browser')
        with open(recorder, 'w') as f:
            f.write('#!/bin/sh\necho "$@" >> "%s"\n' % opened)
        os.chmod(recorder, stat.S_IRWXU)
        browsers = r'HKCU\Software\Wine\WineBrowser'
        run('wine', 'reg', 'add', browsers, '/v', 'Browsers', '/t', 'REG_SZ', '/d', recorder, '/f')
        self.addCleanup(run, 'wine', 'reg', 'delete', browsers, '/v', 'Browsers', '/f')

        window, x, y = self.open_setup()
        link_x, link_y = x + 190, y + 237  # inside the link, whatever the font's base units
        # Only a click after a move over the link opens it: like a person, move until the hand shows.
        self.assertTrue(wait_for(lambda: hover(link_x, link_y) == HAND_HOT_SPOT, 10),
                        'the pointer did not become the hand over the link')
        click(link_x, link_y)
        self.assertTrue(wait_for(lambda: os.path.exists(opened), 15), 'the shell opened nothing')
        with open(opened) as f:
            self.assertEqual([url.rstrip('/') for url in f.read().split()], ['https://quilmaren.com'])
        self.assertTrue(dialogs(), 'clicking the link closed the dialog')
        self.assertTrue(wait_for(lambda: hover(x + 40, y + 170) != HAND_HOT_SPOT, 5),
                        'the hand stayed after the pointer left the link')
        press(window, 'Escape')


class Tick(WithSetup, unittest.TestCase):
    """Waits for the program's own one-minute timer; run beside the others on a display and
    prefix of its own."""

    def test_warning_opens_over_setup_when_today_becomes_due(self):
        window, x, y = self.open_setup()
        set_settings(**due_today())
        both = wait_for(lambda: len(dialogs()) == 2, 75, 0.5)  # the next one-minute tick
        self.assertTrue(both, 'no warning over Setup')
        Shot(os.path.join(SHOTS, 'warning-over-setup.png'))
        warning = [d for d in dialogs() if d[0] != window][0]
        press(warning[0], 'Return')
        self.assertTrue(wait_for(lambda: len(dialogs()) == 1, 5))
        press(window, 'Escape')
        self.assertTrue(wait_for(lambda: not dialogs(), 5))


class Managed(unittest.TestCase):
    """The computer's policies, as Group Policy or Intune write them."""
    KEY = r'HKLM\Software\Policies\Quilmaren Filters'

    def test_the_computers_policy_sets_the_schedule_greys_setup_and_takes_exit_away(self):
        first = datetime.date.today() + datetime.timedelta(days=10)
        self.addCleanup(run, 'wine', 'reg', 'delete', self.KEY, '/f')
        for name, value in (('Frequency', 3), ('WarningHour', 6), ('WarningMinute', 45), ('AllowExit', 0)):
            run('wine', 'reg', 'add', self.KEY, '/v', name, '/t', 'REG_DWORD', '/d', str(value), '/f')
        run('wine', 'reg', 'add', self.KEY, '/v', 'FirstReminderDay', '/d', first.isoformat(), '/f')
        set_settings(Frequency='9')  # the person's own, which the policy overrides
        p = Program(EXE)
        self.addCleanup(p.stop)
        self.assertTrue(wait_for(tray_icon_shown, 20))
        date = probe('date', str(first.year), str(first.month), str(first.day))
        self.assertTrue(wait_for(lambda: 'First reminder: %s at' % date in probe('balloons'), 10), probe('balloons'))
        x, y, _ = tray_cells()
        move(x + 10, y + 10)  # its tooltip
        tips = wait_for(lambda: [t for t in probe('balloons').splitlines() if 'next reminder' in t], 10)
        self.assertTrue(tips and 'next reminder %s at' % date in tips[0], tips)
        move(600, 500)

        _, (_, _, _, without_exit) = p.open_menu()
        click(600, 500)
        p.choose('Setup')
        self.assertTrue(wait_for(dialogs, 10), 'Setup did not open')
        Shot(os.path.join(SHOTS, 'setup-managed.png'))
        controls = probe('controls', SETUP_TITLE).splitlines()
        for line in ('1000 0 3', '1003 0 06', '1002 0 45', '1006 1 Some settings are managed by your organization.'):
            self.assertIn(line, controls)
        press(dialogs()[0][0], 'Escape')
        self.assertTrue(wait_for(lambda: not dialogs(), 5))

        run('wine', 'reg', 'delete', self.KEY, '/v', 'AllowExit', '/f')  # applies at the next opening
        _, (_, _, _, with_exit) = p.open_menu()
        click(600, 500)
        self.assertGreater(with_exit, without_exit)
        p.choose('Exit')
        self.assertEqual(p.wait(15), 0)


class TwoMonitors(unittest.TestCase):
    """On a display of two monitors (QF_MONITORS=2), beside the others."""

    def warning_at(self):
        """Where the warning that is due at a start shows."""
        set_settings(**due_today())
        program = Program(EXE)
        self.addCleanup(program.stop)
        found = wait_for(dialogs, 20)
        self.assertTrue(found, 'no warning')
        press(found[0][0], 'Return')
        program.stop()
        return found[0][1:]

    def test_the_warning_comes_on_the_monitor_in_front_else_under_the_pointer(self):
        monitors = sorted([int(n) for n in line.split()] for line in probe('monitors').splitlines())
        print('monitors (area, work area, primary): %s' % monitors)
        self.assertEqual(len(monitors), 2, 'Wine sees one monitor')
        first, second = monitors
        if first[:4] == second[:4]:  # as Windows never does: each work area lies on its monitor
            raise unittest.SkipTest('this Wine gives both monitors the rectangle of the primary: %s' % first[:4])

        def centre(m):  # of its work area
            return m[4] + (m[6] - m[4] - 250) // 2, m[5] + (m[7] - m[5] - 250) // 2
        for m in (second, first):  # nothing in front (under Wine, the desktop window or none)
            move(m[0] + 50, m[3] - 50)
            self.assertEqual(self.warning_at(), centre(m), 'pointer on %s' % m)
        for name, at in (('iWindowPosX', second[4] + 10), ('iWindowPosY', second[5] + 10)):  # where it opens
            run('wine', 'reg', 'add', r'HKCU\Software\Microsoft\Notepad', '/v', name, '/t', 'REG_DWORD', '/d', str(at), '/f')
        self.addCleanup(Program('notepad').stop)
        self.assertTrue(wait_for(lambda: probe('foreground').endswith('Notepad'), 15), 'Notepad is not in front')
        self.assertEqual(self.warning_at(), centre(second), 'Notepad in front on the second, the pointer on the first')


if __name__ == '__main__':
    EXE, SHOTS = sys.argv[1], sys.argv[2]
    PROBE = os.path.join(os.path.dirname(EXE), 'e2e_probe.exe')
    result = unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2, exit=False).result
    # Everything skipped, and said why: the test run counts it as skipped, not passed.
    sys.exit(77 if result.wasSuccessful() and len(result.skipped) == result.testsRun else not result.wasSuccessful())
