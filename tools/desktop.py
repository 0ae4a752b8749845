"""Driving the real program under Wine on an X display, as a person would: the tray
icon, its menu, the keyboard and the mouse, with screenshots to read pixels from.

Needs WINEPREFIX and DISPLAY set up (tools/winenv.sh) and xdotool and ImageMagick.
"""
import ctypes
import datetime
import os
import re
import subprocess
import tempfile
import time

OPTIONS_KEY = r'HKCU\Software\Quilmaren Filters\Options'
PRODUCT_KEY = r'HKCU\Software\Quilmaren Filters'
PROGRAM_CLASS = 'quilmarenfilters'


def run(*args, check=False, timeout=60):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                          timeout=timeout, check=check).stdout


def wait_for(predicate, timeout=15.0, step=0.1):
    """Polls until predicate() is truthy; returns its last value."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


def today_day_number(date=None):
    """Days from 1 January 2001 (day 1) to the local date."""
    date = date or datetime.date.today()
    return (date - datetime.date(2001, 1, 1)).days + 1


def moment_now():
    """Now as the program stores a moment: day number * 1440 + minute of the day."""
    now = datetime.datetime.now()
    return today_day_number(now.date()) * 1440 + now.hour * 60 + now.minute


# ---- registry, through Wine's own tools

def set_settings(**values):
    """Replaces the product's settings; names are the registry value names."""
    lines = ['REGEDIT4', '', '[-%s]' % PRODUCT_KEY.replace('HKCU', 'HKEY_CURRENT_USER')]
    if values:
        lines += ['', '[%s]' % OPTIONS_KEY.replace('HKCU', 'HKEY_CURRENT_USER')]
        lines += ['"%s"="%s"' % (name, value) for name, value in values.items()]
    with tempfile.NamedTemporaryFile('w', suffix='.reg', delete=False) as f:
        f.write('\r\n'.join(lines) + '\r\n')
    try:
        run('wine', 'regedit', '/S', f.name)
    finally:
        os.unlink(f.name)


def due_today():
    """A seven-day cycle that started a week ago, warning at 00:00: due at once."""
    return {'Total Day Count': str(today_day_number() - 7), 'Frequency': '7',
            'Time~Hours': '1', 'Time~Minutes': '1'}


def settings():
    """The stored values as {name: text}."""
    out = run('wine', 'reg', 'query', OPTIONS_KEY)
    found = {}
    for line in out.splitlines():
        m = re.match(r'\s+(.+?)\s+REG_SZ\s*(.*)$', line)
        if m:
            found[m.group(1)] = m.group(2).strip()
    return found


# ---- processes

def wine_processes(program):
    """The Linux process ids of this prefix's copies of program (a Unix path), however it was
    started: by its Unix path, or by a long or short Windows path, as an installer or the
    shell starts it. Copies in other prefixes, and drivers whose arguments merely name the
    file, do not count."""
    prefix = os.path.realpath(os.environ['WINEPREFIX'])
    unix = os.path.realpath(program)
    found = []
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            with open('/proc/%s/environ' % pid, 'rb') as f:
                env = dict(v.split(b'=', 1) for v in f.read().split(b'\0') if b'=' in v)
            if os.path.realpath(env.get(b'WINEPREFIX', b'').decode()) != prefix:
                continue
            with open('/proc/%s/cmdline' % pid, 'rb') as f:
                image = f.read().split(b'\0')[0].decode(errors='replace').strip('"')
            cwd = os.readlink('/proc/%s/cwd' % pid)
        except OSError:
            continue  # gone, or not ours to read
        if re.split(r'[\\/]', image)[-1].lower() != os.path.basename(unix).lower():
            continue
        if re.match(r'[A-Za-z]:\\', image):
            image = run('winepath', '-u', image).strip()
        if os.path.realpath(os.path.join(cwd, image)) == unix:
            found.append(int(pid))
    return found


# ---- windows

def visible_windows(cls=PROGRAM_CLASS):
    out = run('xdotool', 'search', '--onlyvisible', '--class', cls)
    return [int(w) for w in out.split()]


def geometry(window):
    out = run('xdotool', 'getwindowgeometry', '--shell', str(window))
    g = dict(line.split('=', 1) for line in out.split() if '=' in line)
    return int(g.get('X', -1)), int(g.get('Y', -1)), int(g.get('WIDTH', 0)), int(g.get('HEIGHT', 0))


def dialogs(size=250):
    """The program's visible dialogs, 250 x 250 unless told, as (window, x, y)."""
    found = []
    for w in visible_windows():
        x, y, width, height = geometry(w)
        if (width, height) == (size, size):
            found.append((w, x, y))
    return found


def menus():
    """The program's visible windows that are not dialogs: the tray menu."""
    return [w for w in visible_windows() if geometry(w)[2:] != (250, 250)]


def tray():
    """Explorer's stand-alone tray: its one visible window of the normal type (its balloons
    and tooltips are of others). Wine 8 names it "Wine System Tray"; Wine 10 leaves it unnamed."""
    for w in run('xdotool', 'search', '--onlyvisible', '--class', 'explorer.exe').split():
        if '_NET_WM_WINDOW_TYPE_NORMAL' in run('xprop', '-id', w, '_NET_WM_WINDOW_TYPE'):
            return int(w)
    return None


TRAY_CELL = 20


def tray_cells():
    """The tray's icon row as (x, y, width): 32-bit Wine maps only the 20-pixel row, 64-bit
    Wine's X window also holds the frame it draws (a border, and a caption above the row)."""
    w = tray()
    if not w:
        return None
    x, y, width, height = geometry(w)
    if height == TRAY_CELL:
        return x, y, width  # the row alone, however many icons have widened it
    border = max(0, (width - 160) // 2)
    return x + border, y + height - TRAY_CELL - border, width - 2 * border


# ---- pixels

class Shot:
    """A screenshot of the whole screen, kept as RGB bytes."""

    def __init__(self, save_as=None):
        data = subprocess.run(['import', '-window', 'root', '-depth', '8', 'ppm:-'], stdout=subprocess.PIPE, check=True).stdout
        m = re.match(rb'P6\s+(\d+)\s+(\d+)\s+(\d+)\s', data)
        self.width, self.height = int(m.group(1)), int(m.group(2))
        self.pixels = data[m.end():]
        if save_as:
            os.makedirs(os.path.dirname(save_as), exist_ok=True)
            subprocess.run(['convert', 'ppm:-', save_as], input=data, check=True)

    def rgb(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def count(self, x0, y0, x1, y1, test):
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if test(self.rgb(x, y)))


def is_orange(p):
    r, g, b = p
    return r > 200 and 90 < g < 220 and b < 110


def tray_icons():
    """How many tray cells hold an icon (anything but the tray's background)."""
    cells = tray_cells()
    if not cells:
        return 0
    x, y, width = cells
    data = subprocess.run(['import', '-window', 'root', '-crop', '%dx%d+%d+%d' % (width, TRAY_CELL, x, y),
                           '-depth', '8', 'rgb:-'], stdout=subprocess.PIPE).stdout
    if len(data) < width * TRAY_CELL * 3:
        return 0
    background = data[-3:]
    drawn = 0
    for cell in range(width // TRAY_CELL):
        count = sum(1 for row in range(TRAY_CELL) for col in range(cell * TRAY_CELL, cell * TRAY_CELL + TRAY_CELL)
                    if data[3 * (row * width + col):3 * (row * width + col) + 3] != background)
        drawn += count > 15
    return drawn


def tray_icon_shown():
    """Is our orange star drawn in the tray's first cell?"""
    cells = tray_cells()
    if not cells:
        return False
    x, y, _ = cells
    return Shot().count(x, y, x + TRAY_CELL, y + TRAY_CELL, is_orange) > 15


# ---- the pointer and the keyboard

def move(x, y):
    """Moves the pointer and waits until it is there. xdotool's --sync waits for the pointer
    to leave where it was, which takes its 15 s time-out when it is there already."""
    here = dict(part.split(':') for part in run('xdotool', 'getmouselocation').split()[:2])
    if (int(here['x']), int(here['y'])) != (x, y):
        run('xdotool', 'mousemove', '--sync', str(x), str(y))


def click(x, y, button=1):
    move(x, y)
    run('xdotool', 'click', str(button))


def press(window, *keys):
    run('xdotool', 'windowfocus', '--sync', str(window))
    for key in keys:
        run('xdotool', 'key', key)
        time.sleep(0.15)


def drag(x0, y0, x1, y1):
    move(x0, y0)
    run('xdotool', 'mousedown', '1')
    time.sleep(0.2)
    for i in range(1, 6):
        move(x0 + (x1 - x0) * i // 5, y0 + (y1 - y0) * i // 5)
        time.sleep(0.05)
    run('xdotool', 'mouseup', '1')


class _CursorImage(ctypes.Structure):
    _fields_ = [('x', ctypes.c_short), ('y', ctypes.c_short), ('width', ctypes.c_ushort),
                ('height', ctypes.c_ushort), ('xhot', ctypes.c_ushort), ('yhot', ctypes.c_ushort),
                ('serial', ctypes.c_ulong), ('pixels', ctypes.c_void_p)]


_x11 = None


def pointer_hot_spot():
    """The hot spot of the pointer's shape as the X server shows it (XFixes)."""
    global _x11
    if not _x11:
        xlib, xfixes = ctypes.CDLL('libX11.so.6'), ctypes.CDLL('libXfixes.so.3')
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        xlib.XFree.argtypes = [ctypes.c_void_p]
        xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(_CursorImage)
        xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
        display = xlib.XOpenDisplay(None)
        assert display, 'cannot open the X display'
        _x11 = xlib, xfixes, display
    xlib, xfixes, display = _x11
    image = xfixes.XFixesGetCursorImage(display)
    assert image, 'XFixes gave no cursor image'
    hot = image.contents.xhot, image.contents.yhot
    xlib.XFree(image)
    return hot


def hover(x, y):
    """Moves onto (x, y) from just left of it, as a hand would; returns the pointer's hot spot."""
    move(x - 8, y)
    move(x, y)
    return pointer_hot_spot()


def window_title(window):
    return run('xdotool', 'getwindowname', str(window)).strip()


# ---- the program

_tray_clicks = 0


class Program:
    """One run of the executable."""

    def __init__(self, exe, *args, cwd=None):
        self.exe = exe
        self.started = time.monotonic()
        self.process = subprocess.Popen(['wine', exe] + list(args), stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, cwd=cwd)

    def running(self):
        return self.process.poll() is None

    def wait(self, timeout=20):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def open_menu(self, button=1):
        """Clicks the tray icon; returns the menu window and its geometry, or (None, None)."""
        global _tray_clicks
        x, y, _ = tray_cells()
        # Two presses on one spot within the double-click time make a double click, which
        # opens no menu: successive clicks alternate between two points of the icon that lie
        # outside each other's double-click rectangle. Both in its upper half: the first
        # start's balloon hangs below the icon, its stem over the lower half, and eats a
        # click there.
        offset = (5, 14)[_tray_clicks % 2]
        _tray_clicks += 1
        click(x + offset, y + 5, button)
        menu = wait_for(menus, 5)
        return (menu[0], geometry(menu[0])) if menu else (None, None)

    def choose(self, item, button=1):
        """Opens the menu and clicks "Setup", "Help" or "Exit" by position."""
        menu, (x, y, width, height) = self.open_menu(button)
        assert menu, 'the tray menu did not open'
        row = (height - 4) / 3.5  # three items and a half-height separator
        offset = {'Setup': 0.5, 'Help': 1.5, 'Exit': 3.0}[item]
        click(x + width // 2, int(y + 2 + row * offset))

    def stop(self):
        if self.running():
            run('wine', 'taskkill', '/IM', os.path.basename(self.exe))
            if self.wait(10) is None:
                self.process.kill()
                self.process.wait()
        wait_for(lambda: not dialogs() and not menus(), 5)
