#!/usr/bin/env python3
"""Runs the program on a virtual display and photographs what a user sees: the balloon
of the first start, the warning due at start and its Later menu, the tray icon, its tooltip,
the tray menu and the Setup dialog.
Usage: tour.py EXE DIR"""
import os
import sys
import time

from desktop import (Program, Shot, click, dialogs, due_today, menus, move, press, run, set_settings, tray_cells,
                     tray_icon_shown, visible_windows, wait_for)


def shown_windows():
    return set(run('xdotool', 'search', '--onlyvisible', '--class', '').split())


def at_150_percent(shot):
    """The warning and Setup again with Windows set to 150 % (144 DPI), which Wine reads
    when its server starts; a second start opens Setup."""
    run('wine', 'reg', 'add', r'HKCU\Control Panel\Desktop', '/v', 'LogPixels', '/t', 'REG_DWORD', '/d', '144', '/f')
    run('wineserver', '-k')
    run('wineserver', '-w')
    set_settings(**due_today())
    program = Program(sys.argv[1])
    try:
        warning = wait_for(lambda: dialogs(375), 30)
        if warning:
            time.sleep(0.3)
            shot('6-warning-150-percent.png')
            press(warning[0][0], 'Return')
            wait_for(lambda: not dialogs(375), 10)
        second = Program(sys.argv[1])
        setup = wait_for(lambda: dialogs(375), 20)
        if setup:
            time.sleep(0.3)
            shot('7-setup-150-percent.png')
            press(setup[0][0], 'Escape')
        second.wait(15)
    finally:
        program.stop()


def main():
    exe, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    shots = []

    def shot(name):
        path = os.path.join(out, name)
        Shot(path)
        shots.append(path)

    set_settings()  # a first start: the balloon that says where the program is
    program = Program(exe)
    try:
        if wait_for(tray_icon_shown, 20):
            move(700, 600)
            # The balloon is the shell's second window, beside the tray.
            if wait_for(lambda: len(visible_windows('explorer.exe')) >= 2, 10):
                shot('0-first-start-balloon.png')
    finally:
        program.stop()

    set_settings(**due_today())  # so the warning shows at once
    program = Program(exe)
    try:
        warning = wait_for(dialogs, 20)
        if warning:
            window, x, y = warning[0]
            shot('1-warning.png')
            click(x + 170, y + 169)  # Later, at (130, 158), 80 x 22
            if wait_for(menus, 5):
                shot('1b-warning-later-menu.png')
                click(700, 600)  # closed without a choice: the warning stays
                wait_for(lambda: not menus(), 5)
            press(window, 'Return')
        if not wait_for(tray_icon_shown, 20):
            print('the tray icon did not appear', file=sys.stderr)
            return 1
        shot('2-tray-icon.png')
        x, y, _ = tray_cells()
        before = shown_windows()
        move(x + 10, y + 10)
        if wait_for(lambda: shown_windows() - before, 10):  # the tooltip
            shot('3-tray-tooltip.png')
        program.open_menu()
        shot('4-tray-menu.png')
        click(700, 600)
        wait_for(lambda: not menus(), 5)
        program.choose('Setup')
        setup = wait_for(dialogs, 10)
        if setup:
            time.sleep(0.3)
            shot('5-setup.png')
            press(setup[0][0], 'Escape')
        program.choose('Exit')
        code = program.wait(15)
        print('program exited with code %s' % code)
    finally:
        program.stop()
    at_150_percent(shot)
    print('screenshots:')
    for path in shots:
        print('  ' + os.path.abspath(path))
    return 0


if __name__ == '__main__':
    sys.exit(main())
