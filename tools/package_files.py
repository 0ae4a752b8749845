#!/usr/bin/env python3
"""Reproducible package files: every time stamp comes from SOURCE_DATE_EPOCH (the commit's
time), and nothing depends on the build folder, the clock or the umask.

  package_files.py stage EPOCH DIR SRC=NAME...     copies, dated EPOCH, for the installer
  package_files.py zip EPOCH OUT SRC=NAME...       a ZIP of those files, dated EPOCH
  package_files.py stamp EPOCH EXE                 sets a PE file's header time stamp
  package_files.py sums OUT FILE...                SHA256SUMS, by path from OUT's folder
"""
import hashlib
import os
import shutil
import struct
import sys
import time
import zipfile


def pairs(args):
    return [arg.split('=', 1) for arg in args]


def stage(epoch, folder, files):
    for source, name in pairs(files):
        target = os.path.join(folder, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(source, target)
        os.chmod(target, 0o644)
        os.utime(target, (epoch, epoch))


def make_zip(epoch, out, files):
    # ZIP times are local DOS times with no zone: the commit's UTC time, whatever the machine's zone.
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # ZIP cannot date before 1980
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
        for source, name in pairs(files):
            info = zipfile.ZipInfo(name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix owner or mode bits
            info.external_attr = 0x20  # archive
            with open(source, 'rb') as f:
                z.writestr(info, f.read(), compresslevel=9)


def stamp_pe(epoch, exe):
    """The COFF header's TimeDateStamp. An NSIS installer's integrity check covers its file
    from byte 512 on, so a header field before that can change (the uninstaller it writes
    takes the same header)."""
    with open(exe, 'r+b') as f:
        header = f.read(0x40)
        offset = struct.unpack_from('<I', header, 0x3C)[0]
        if offset + 12 > 512:
            sys.exit('%s: PE header beyond the first 512 bytes' % exe)
        f.seek(offset)
        if f.read(4) != b'PE\0\0':
            sys.exit('%s: not a PE file' % exe)
        f.seek(offset + 8)
        f.write(struct.pack('<I', epoch & 0xFFFFFFFF))


def sums(out, files):
    lines = []
    for path in files:
        with open(path, 'rb') as f:
            name = os.path.relpath(os.path.abspath(path), os.path.dirname(os.path.abspath(out))).replace(os.sep, '/')
            lines.append('%s  %s\n' % (hashlib.sha256(f.read()).hexdigest(), name))
    with open(out, 'w', newline='\n') as f:
        f.writelines(lines)


def main(argv):
    command, rest = argv[1], argv[2:]
    if command == 'stage':
        stage(int(rest[0]), rest[1], rest[2:])
    elif command == 'zip':
        make_zip(int(rest[0]), rest[1], rest[2:])
    elif command == 'stamp':
        stamp_pe(int(rest[0]), rest[1])
    elif command == 'sums':
        sums(rest[0], rest[1:])
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv)
