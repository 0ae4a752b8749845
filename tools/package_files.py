#!/usr/bin/env python3
"""Reproducible package files: every time stamp comes from SOURCE_DATE_EPOCH (the commit's
time), and nothing depends on the build folder, the clock or the umask.

  package_files.py stage EPOCH DIR SRC=NAME...     copies, dated EPOCH, for the installer
  package_files.py zip EPOCH OUT SRC=NAME...       a ZIP of those files, dated EPOCH
  package_files.py stamp EPOCH EXE                 sets a PE file's header time stamp
  package_files.py msi EPOCH VERSION DIR WXS OUT      the per-machine MSI with wixl, from the files in DIR
  package_files.py sums OUT FILE...                SHA256SUMS, by path from OUT's folder
"""
import hashlib
import os
import shutil
import re
import struct
import subprocess
import sys
import time
import uuid
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


# Product and package codes are names in the upgrade code's namespace: the same version
# (and, for the package, the same commit) always gets the same code.
UPGRADE_CODE = uuid.UUID('6C1F3A52-8E0B-4C7D-9A34-2B5E7D0F4A11')
SUMMARY_FORMAT = bytes.fromhex('e0859ff2f94f6810ab9108002b27b3d9')  # FMTID_SummaryInformation
PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM = 9, 12, 13
VT_LPSTR, VT_FILETIME = 30, 64


def code(name):
    return '{%s}' % str(uuid.uuid5(UPGRADE_CODE, name)).upper()


def set_summary(msi, package_code, epoch):
    """wixl gives every build a random package code and the clock's dates. Both live in the
    summary information stream, which wixl writes in one piece: rewritten in place, same sizes."""
    with open(msi, 'r+b') as f:
        data = bytearray(f.read())
        stream = data.find(SUMMARY_FORMAT) - 28
        if stream < 0 or data.count(SUMMARY_FORMAT) != 1 or data[stream:stream + 2] != b'\xfe\xff':
            sys.exit('%s: no summary information found' % msi)
        section = stream + struct.unpack_from('<I', data, stream + 44)[0]
        count = struct.unpack_from('<I', data, section + 4)[0]
        filetime = (epoch + 11644473600) * 10000000
        found = set()
        for i in range(count):
            pid, offset = struct.unpack_from('<II', data, section + 8 + 8 * i)
            at = section + offset
            kind = struct.unpack_from('<I', data, at)[0]
            if pid == PID_REVNUMBER and kind == VT_LPSTR:
                old = data[at + 8:at + 8 + len(package_code)]
                if struct.unpack_from('<I', data, at + 4)[0] != len(package_code) + 1 or \
                        not re.fullmatch(rb'\{[0-9A-F-]{36}\}', bytes(old)):
                    sys.exit('%s: unexpected package code %r' % (msi, bytes(old)))
                data[at + 8:at + 8 + len(package_code)] = package_code.encode()
            elif pid in (PID_CREATE_DTM, PID_LASTSAVE_DTM) and kind == VT_FILETIME:
                struct.pack_into('<Q', data, at + 4, filetime)
            else:
                continue
            found.add(pid)
        if found != {PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM}:
            sys.exit('%s: summary information lacks %s' % (msi, found))
        f.seek(0)
        f.write(data)


def make_msi(epoch, version, folder, wxs, out):
    valid = {
        'Frequencies': '|%s|' % '|'.join(str(days) for days in range(1, 101)),
        'WarningTimes': '|%s|' % '|'.join('%02d:%02d' % (m // 60, m % 60) for m in range(1440)),
        'Version': version,
        'ProductCode': code('product ' + version),
    }
    defines = [arg for name, value in valid.items() for arg in ('-D', '%s=%s' % (name, value))]
    subprocess.run(['wixl', *defines, '-o', os.path.abspath(out), os.path.abspath(wxs)], cwd=folder, check=True)
    # An elevated per-machine install passes on to its server side only the public properties
    # listed as secure; wixl lists just its own, so the administrator's would be dropped.
    table = subprocess.run(['msiinfo', 'export', out, 'Property'], stdout=subprocess.PIPE, check=True, text=True).stdout
    secure = [row.split('\t')[1] for row in table.splitlines() if row.startswith('SecureCustomProperties\t')]
    secure = ';'.join(filter(None, secure + ['FREQUENCY;WARNINGTIME;AUTOSTART']))
    # The event log finds its message file in a REG_EXPAND_SZ value ("#%"), a type wixl ignores.
    registry = subprocess.run(['msiinfo', 'export', out, 'Registry'], stdout=subprocess.PIPE, check=True, text=True).stdout
    message_file = [row.split('\t')[4] for row in registry.splitlines() if row.split('\t')[3:4] == ['EventMessageFile']][0]
    subprocess.run(['msibuild', out, '-q', "UPDATE Property SET Value='%s' WHERE Property='SecureCustomProperties'" % secure
                    if table.count('SecureCustomProperties\t') else
                    "INSERT INTO Property (Property, Value) VALUES ('SecureCustomProperties', '%s')" % secure,
                    '-q', "UPDATE Registry SET Value='#%%%s' WHERE Name='EventMessageFile'" % message_file], check=True)
    set_summary(out, code('package %s %d' % (version, epoch)), epoch)


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
    elif command == 'msi':
        make_msi(int(rest[0]), rest[1], rest[2], rest[3], rest[4])
    elif command == 'sums':
        sums(rest[0], rest[1:])
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv)
