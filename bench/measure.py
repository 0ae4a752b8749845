#!/usr/bin/env python3
"""Measures Quilmaren Filters against a minimal tray program under Wine and prints a
Markdown table. Run through bench/run.sh, which builds both and sets up Wine."""
import datetime
import os
import platform
import statistics
import subprocess
import sys
import time

import pefile
from desktop import Program, run, set_settings, today_day_number, tray_icons, wait_for, wine_processes

RUNS = 5
START_RUNS = 15
IDLE_SECONDS = 180


def start_to_icon(exe):
    """Milliseconds from launch until its icon is drawn in the tray."""
    if not wait_for(lambda: tray_icons() == 0, 10):
        sys.exit('an icon stayed in the tray after the last start: cannot time %s' % exe)
    began = time.monotonic()
    program = Program(exe)
    shown = wait_for(lambda: tray_icons() > 0, 30, 0.005)
    elapsed = (time.monotonic() - began) * 1000
    program.stop()
    if not shown:
        sys.exit('%s showed no tray icon within 30 s: no start time' % exe)
    return elapsed


def start_times(product, baseline):
    """START_RUNS starts of each, alternating (and which goes first), so that drift in the
    machine's load falls on both alike."""
    times = {product: [], baseline: []}
    for i in range(START_RUNS):
        for exe in (product, baseline) if i % 2 == 0 else (baseline, product):
            times[exe].append(start_to_icon(exe))
    return times


def median_iqr(values):
    q1, q2, q3 = statistics.quantiles(values, n=4)
    return q2, q1, q3


def screenshot_ms():
    """What one poll of the tray costs: the finest step the start time can resolve."""
    began = time.monotonic()
    for _ in range(10):
        tray_icons()
    return (time.monotonic() - began) * 100


def rss_mib(pid):
    with open('/proc/%d/status' % pid) as f:
        for line in f:
            if line.startswith('VmRSS:'):
                return int(line.split()[1]) / 1024
    return float('nan')


def cpu_ms(pid):
    """Time on a CPU of all the process's threads, from the scheduler's nanosecond count."""
    total = 0
    for task in os.listdir('/proc/%d/task' % pid):
        with open('/proc/%d/task/%s/schedstat' % (pid, task)) as f:
            total += int(f.read().split()[0])
    return total / 1e6


def idle_costs(exes):
    """RUNS rounds, each with one copy of every program idle side by side (the product runs
    one copy per session): resident memory once idle, and the CPU time each spends over
    IDLE_SECONDS. Returns {exe: (rss list, cpu list)}."""
    result = {exe: ([], []) for exe in exes}
    for _ in range(RUNS):
        programs = [Program(exe) for exe in exes]
        if not wait_for(lambda: tray_icons() >= len(exes), 60):
            sys.exit('not every program showed its tray icon: no idle figures')
        time.sleep(10)
        pids = {exe: wine_processes(exe) for exe in exes}
        for exe in exes:
            if len(pids[exe]) != 1:
                sys.exit('found %d running copies of %s, not 1: no idle figures' % (len(pids[exe]), exe))
        before = {exe: cpu_ms(pids[exe][0]) for exe in exes}
        for exe in exes:
            result[exe][0].append(rss_mib(pids[exe][0]))
        time.sleep(IDLE_SECONDS)
        for exe in exes:
            result[exe][1].append(cpu_ms(pids[exe][0]) - before[exe])
        for program in programs:
            program.stop()
        if not wait_for(lambda: tray_icons() == 0, 10):
            sys.exit('an icon stayed in the tray after a round: no idle figures')
    return result


def paint_costs(paint_exe):
    """Median keyed and plain paint times per skin; every run must have verified its pixels."""
    runs = {}
    for _ in range(RUNS):
        result = subprocess.run(['wine', paint_exe, '2000'], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                text=True, timeout=300)
        lines = result.stdout.splitlines()
        if result.returncode != 0 or len(lines) != 6:
            sys.exit('the paint run failed (exit code %d): %s' % (result.returncode, result.stdout.strip()))
        for line in lines:
            fields = line.split()
            if fields[-1] != 'verified':
                sys.exit('the keyed paint drew wrong pixels: %s' % line)
            runs.setdefault(fields[0], []).append((float(fields[1]), float(fields[2])))
    return {name: (statistics.median(k for k, _ in r), statistics.median(p for _, p in r)) for name, r in runs.items()}


def sizes(exe):
    pe = pefile.PE(exe)
    code = sum(s.SizeOfRawData for s in pe.sections if s.Characteristics & 0x20)
    resources = sum(s.SizeOfRawData for s in pe.sections if s.Name.startswith(b'.rsrc'))
    total = os.path.getsize(exe)
    return code / 1024, (total - code - resources) / 1024, resources / 1024, total / 1024


def main():
    product, baseline, paint = sys.argv[1:4]
    set_settings(**{'Total Day Count': str(today_day_number())})  # not due: pure idle checks
    print('Measuring start to tray icon (%d alternating runs each)...' % START_RUNS, file=sys.stderr)
    starts = {exe: median_iqr(t) for exe, t in start_times(product, baseline).items()}
    poll = screenshot_ms()
    print('Measuring memory and CPU over %d idle seconds...' % IDLE_SECONDS, file=sys.stderr)
    idle = idle_costs([product, baseline])
    print('Measuring skin paints...', file=sys.stderr)
    paints = paint_costs(paint)
    size_p, size_b = sizes(product), sizes(baseline)

    rss_p, cpu_p = (statistics.median(v) for v in idle[product])
    rss_b, cpu_b = (statistics.median(v) for v in idle[baseline])

    def spread(values, digits):
        return '%.*f (%.*f–%.*f)' % (digits, statistics.median(values), digits, min(values), digits, max(values))

    rows = [
        ('Start to tray icon, ms: median (IQR) of %d; a poll takes %.0f ms' % (START_RUNS, poll),
         '%.0f (%.0f–%.0f)' % starts[product], '%.0f (%.0f–%.0f)' % starts[baseline],
         '%.2f× (medians)' % (starts[product][0] / starts[baseline][0]), '≤ 1.2×'),
        ('Resident memory once idle, MiB: median (range)', spread(idle[product][0], 1), spread(idle[baseline][0], 1),
         '%+.2f MiB' % (rss_p - rss_b), '≤ +2 MiB'),
        ('CPU over %d idle minutes, ms: median (range)' % (IDLE_SECONDS // 60), spread(idle[product][1], 1),
         spread(idle[baseline][1], 1),
         '%+.1f ms (%.2f ms a minute)' % (cpu_p - cpu_b, (cpu_p - cpu_b) / (IDLE_SECONDS / 60)),
         'baseline + the checks'),
    ]
    for name, label in (('KAVRIBMP', 'Setup skin, 8-bit'), ('KAVRIWARN', 'Warning skin, 24-bit')):
        keyed, plain = paints[name]
        rows.append(('Keyed paint 250 × 250 (%s), µs' % label, '%.0f (%.0f a second)' % (keyed, 1e6 / keyed),
                     '%.1f (plain BitBlt)' % plain, '%.0f×' % (keyed / plain), '≤ 3×, ≥ 1,000 a second'))
        for percent, side in ((150, 375), (200, 500)):  # the same paint at other scales, beside 100 %
            scaled, plain = paints['%s@%d' % (name, percent)]
            rows.append(('… at %d %%, %d × %d, µs' % (percent, side, side), '%.0f' % scaled,
                         '%.1f (plain BitBlt)' % plain, '%.1f× the 100 %% paint' % (scaled / keyed),
                         '≤ 5× at 200 %' if percent == 200 else ''))
    rows.append(('Executable: code / data / resources, KiB', '%.1f / %.1f / %.1f' % size_p[:3],
                 '%.1f / %.1f / %.1f' % size_b[:3], 'code + data %.1f KiB' % (size_p[0] + size_p[1]),
                 'code + data ≤ 150 KiB'))

    build = {0x14c: '32-bit build', 0x8664: '64-bit test build'}[pefile.PE(product, fast_load=True).FILE_HEADER.Machine]
    print('Measured %s on %s (%s, %d cores), %s, Wine %s, Xvfb; medians of %d runs.\n' % (
        datetime.date.today().isoformat(), platform.node() or 'this machine', platform.machine(), os.cpu_count(),
        build, run('wine', '--version').strip().replace('wine-', ''), RUNS))
    print('| Measure | Quilmaren Filters | Baseline tray program | Difference | Target |')
    print('|---|---|---|---|---|')
    for row in rows:
        print('| %s |' % ' | '.join(row))


if __name__ == '__main__':
    main()
