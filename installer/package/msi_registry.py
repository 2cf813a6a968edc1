#!/usr/bin/env python3
"""Registry rows of the installation package that wixl cannot write itself.

  wxi  --rgs A.rgs [--rgs B.rgs ...] --idl X.idl --appid-source M.cpp --file-id ID --dir-id ID
       --component ID --out-wxi OUT.wxi --out-rows OUT.tsv
       The COM registration of one component library as RegistryValue elements, made from the
       library's own REGISTRY scripts and IDL (the identifiers exist once, in those files).
       Empty keys (which wixl cannot express) go to OUT.tsv for the patch step.
  wixl WIXL-ARGUMENTS...
       Runs wixl and fails on any warning: wixl drops what it does not know (attributes,
       elements) with a warning only.
  patch --msi X.msi [--errors ERRORS.tsv] [--rollback ACTION ...] ROWS.tsv...
       Sets the database code page to 932 and inserts the rows of the given files. wixl writes
       non-ASCII text into a broken string pool; msibuild stores it correctly once the database
       has a code page that can hold it. ERRORS.tsv holds Error table rows (Error Message).
       Each ACTION, written by wixl as a deferred DLL action (wixl ignores Execute="rollback"),
       becomes a rollback action.

Row files are UTF-8, tab-separated: Root Key Name Value Component; '#' starts a comment line.
An empty Name is the key's default value; a Name of '*' with an empty Value is a key that is
created at installation and removed with everything below it at removal.
"""
import argparse
import hashlib
import os
import re
import subprocess
import sys
import tempfile
from xml.sax.saxutils import quoteattr

# Dual interfaces go through the type-library marshaler, dispinterfaces through IDispatch's own.
PROXY_STUB_OLEAUT = '{00020424-0000-0000-C000-000000000046}'
PROXY_STUB_DISPATCH = '{00020420-0000-0000-C000-000000000046}'
ROOTS = {'HKCR': 0, 'HKCU': 1, 'HKLM': 2, 'HKU': 3}
CODEPAGE = 932


class RgsError(Exception):
    pass


def tokenize(text):
    tokens = re.findall(r"'(?:[^']|'')*'|\{[-0-9A-Fa-f]+\}|[{}=]|[^\s{}=']+", text)
    return [t[1:-1].replace("''", "'") if t.startswith("'") else t for t in tokens]


def parse_rgs(text, replacements):
    """Returns (key, name, value) rows; value None marks an empty key."""
    tokens = tokenize(text)
    pos = 0
    rows = []

    def subst(s):
        for k, v in replacements.items():
            s = s.replace('%' + k + '%', v)
        if '%' in s:
            raise RgsError('unreplaced variable in ' + s)
        return s

    def value():
        nonlocal pos
        kind = tokens[pos]
        if kind not in ('s', 'd'):
            raise RgsError('unsupported value type ' + kind)
        v = subst(tokens[pos + 1])
        pos += 2
        return v if kind == 's' else '#' + v

    def body(path):
        nonlocal pos
        while tokens[pos] != '}':
            while tokens[pos] in ('NoRemove', 'ForceRemove'):
                pos += 1
            if tokens[pos] == 'Delete':
                raise RgsError('Delete keys have no installer equivalent')
            if tokens[pos] == 'val':
                name = subst(tokens[pos + 1])
                if tokens[pos + 2] != '=':
                    raise RgsError('expected = after val ' + name)
                pos += 3
                rows.append((path, name, value()))
                continue
            key = path + '\\' + subst(tokens[pos]) if path else subst(tokens[pos])
            pos += 1
            written = len(rows)
            if pos < len(tokens) and tokens[pos] == '=':
                pos += 1
                rows.append((key, '', value()))
            if pos < len(tokens) and tokens[pos] == '{':
                pos += 1
                body(key)
                pos += 1
            if len(rows) == written:
                rows.append((key, '*', None))
        return

    while pos < len(tokens):
        root = tokens[pos]
        if root != 'HKCR' or tokens[pos + 1] != '{':
            raise RgsError('expected HKCR {')
        pos += 2
        body('')
        pos += 1
    # Keys that only hold subkeys and are marked NoRemove (AppID, CLSID) must not get a row of
    # their own: they were never ours.
    return [r for r in rows if not (r[2] is None and any(o[0].startswith(r[0] + '\\') for o in rows))]


def parse_idl(text):
    """Library identifier, version, name, and the automation interfaces (iid, name)."""
    lib = re.search(r'\[([^\]]*)\]\s*library\s+(\w+)', text)
    if not lib:
        raise RgsError('no library block')
    attrs = lib.group(1)
    libid = re.search(r'uuid\(([-0-9A-Fa-f]+)\)', attrs).group(1).upper()
    version = re.search(r'version\(([\d.]+)\)', attrs).group(1)
    helpstring = re.search(r'helpstring\("([^"]*)"\)', attrs)
    interfaces = []
    for m in re.finditer(r'\[([^\[\]]*)\]\s*(dispinterface|interface)\s+(\w+)', text[lib.end():]):
        a, kind, name = m.groups()
        uuid = re.search(r'uuid\(([-0-9A-Fa-f]+)\)', a)
        if uuid and (kind == 'dispinterface' or re.search(r'\b(dual|oleautomation)\b', a)):
            interfaces.append(('{' + uuid.group(1).upper() + '}', name, kind == 'dispinterface'))
    return '{' + libid + '}', version, helpstring.group(1) if helpstring else lib.group(2), interfaces


def typelib_rows(libid, version, title, interfaces, file_ref, dir_ref):
    rows = [
        ('TypeLib\\%s\\%s' % (libid, version), '', title),
        ('TypeLib\\%s\\%s\\FLAGS' % (libid, version), '', '0'),
        ('TypeLib\\%s\\%s\\0\\win64' % (libid, version), '', file_ref),
        ('TypeLib\\%s\\%s\\HELPDIR' % (libid, version), '', dir_ref),
    ]
    for iid, name, dispatch_only in interfaces:
        stub = PROXY_STUB_DISPATCH if dispatch_only else PROXY_STUB_OLEAUT
        rows += [
            ('Interface\\' + iid, '', name),
            ('Interface\\' + iid + '\\ProxyStubClsid', '', stub),
            ('Interface\\' + iid + '\\ProxyStubClsid32', '', stub),
            ('Interface\\' + iid + '\\TypeLib', '', libid),
            ('Interface\\' + iid + '\\TypeLib', 'Version', version),
        ]
    return rows


def write_if_changed(path, text):
    try:
        with open(path, encoding='utf-8') as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, 'w', encoding='utf-8', newline='\n') as f:
        f.write(text)


def cmd_wxi(args):
    with open(args.appid_source, encoding='utf-8') as f:
        m = re.search(r'kAppId\[\]\s*=\s*L"(\{[-0-9A-Fa-f]+\})"', f.read())
    if not m:
        raise RgsError('no kAppId in ' + args.appid_source)
    replacements = {'APPID': m.group(1), 'MODULE': '[#%s]' % args.file_id}
    rows = []
    for rgs in args.rgs:
        with open(rgs, encoding='utf-8') as f:
            rows += parse_rgs(f.read(), replacements)
    with open(args.idl, encoding='utf-8') as f:
        rows += typelib_rows(*parse_idl(f.read()), '[#%s]' % args.file_id, '[%s]' % args.dir_id)

    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             '<!-- Generated from the REGISTRY scripts and the IDL of the library; do not edit. -->',
             '<Include xmlns="http://schemas.microsoft.com/wix/2006/wi">']
    empty = []
    for key, name, value in rows:
        if value is None:
            empty.append('HKCR\t%s\t*\t\t%s' % (key, args.component))
            continue
        if not value.isascii() or not key.isascii():
            raise RgsError('non-ASCII text in ' + key)
        kind = 'integer' if value.startswith('#') else 'string'
        attrs = 'Root="HKCR" Key=%s' % quoteattr(key)
        if name:
            attrs += ' Name=%s' % quoteattr(name)
        attrs += ' Type="%s" Value=%s' % (kind, quoteattr(value.lstrip('#') if kind == 'integer' else value))
        lines.append('  <RegistryValue %s/>' % attrs)
    lines.append('</Include>')
    write_if_changed(args.out_wxi, '\n'.join(lines) + '\n')
    write_if_changed(args.out_rows, ''.join(r + '\n' for r in empty))


def read_tsv(path, columns, valid):
    """The fields of each line of a UTF-8 tab-separated file; '#' starts a comment line."""
    with open(path, encoding='utf-8') as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip('\r\n')
            if not line or line.startswith('#'):
                continue
            fields = line.split('\t')
            if len(fields) != len(columns) or not valid(fields):
                raise RgsError('%s:%d: expected %s' % (path, n, ' '.join(columns)))
            for field in fields:
                field.encode('cp%d' % CODEPAGE)  # fails the build for text the package cannot hold
            yield fields


def read_rows(path):
    return read_tsv(path, ('Root', 'Key', 'Name', 'Value', 'Component'), lambda f: f[0] in ROOTS)


def sql_text(s):
    return "'" + s.replace("'", "''") + "'"


def msibuild(msi, *args):
    result = subprocess.run(['msibuild', msi] + list(args), capture_output=True, text=True)
    if result.returncode != 0 or result.stderr.strip():
        raise RgsError('msibuild %s: %s' % (' '.join(args), result.stderr.strip()))


# A DLL stored in the Binary table, run in the script without impersonation: what wixl writes
# for Execute="deferred" Impersonate="no" (with Return="ignore": 0x40); the rollback bit added.
DEFERRED_DLL_ACTION = 0x0001 | 0x0400 | 0x0800
IGNORE_RESULT = 0x0040
ROLLBACK = 0x0100


def read_errors(path):
    for number, message in read_tsv(path, ('Error', 'Message'), lambda f: f[0].isdigit()):
        yield int(number), message


def action_type(msi, action):
    result = subprocess.run(['msiinfo', 'export', msi, 'CustomAction'], capture_output=True, text=True)
    if result.returncode != 0:
        raise RgsError('msiinfo export CustomAction: ' + result.stderr.strip())
    for line in result.stdout.splitlines():
        fields = line.split('\t')
        if fields[0] == action and len(fields) > 1 and fields[1].isdigit():
            return int(fields[1])
    raise RgsError('no custom action ' + action)


def cmd_patch(args):
    with tempfile.TemporaryDirectory() as tmp:
        idt = os.path.join(tmp, '_ForceCodepage.idt')
        with open(idt, 'w', newline='') as f:
            f.write('\r\n\r\n%d\t_ForceCodepage\r\n' % CODEPAGE)
        msibuild(args.msi, '-i', idt)
    for action in args.rollback:
        kind = action_type(args.msi, action)
        if kind & ~IGNORE_RESULT != DEFERRED_DLL_ACTION:
            raise RgsError('%s: type %d is not a deferred DLL action' % (action, kind))
        msibuild(args.msi, '-q', 'UPDATE `CustomAction` SET `Type` = %d WHERE `Action` = %s'
                 % (kind | ROLLBACK, sql_text(action)))
    if args.errors:
        for number, message in read_errors(args.errors):
            msibuild(args.msi, '-q', 'INSERT INTO `Error` (`Error`, `Message`) VALUES (%d, %s)'
                     % (number, sql_text(message)))
    for path in args.rows:
        for root, key, name, value, component in read_rows(path):
            ident = 'reg' + hashlib.md5(('%s\\%s\\%s' % (root, key, name)).encode('utf-8')).hexdigest().upper()
            columns = '`Registry`, `Root`, `Key`, `Component_`'
            values = '%s, %d, %s, %s' % (sql_text(ident), ROOTS[root], sql_text(key), sql_text(component))
            if name:
                columns += ', `Name`'
                values += ', ' + sql_text(name)
            if value:
                columns += ', `Value`'
                values += ', ' + sql_text(value)
            msibuild(args.msi, '-q', 'INSERT INTO `Registry` (%s) VALUES (%s)' % (columns, values))


def run_wixl(arguments):
    result = subprocess.run(['wixl'] + arguments, capture_output=True, text=True)
    if result.returncode != 0 or result.stderr.strip():
        raise RgsError('wixl: ' + (result.stderr.strip() or 'exit code %d' % result.returncode))


def main():
    if sys.argv[1:2] == ['wixl']:
        # wixl's own options pass through untouched.
        try:
            run_wixl(sys.argv[2:])
        except (RgsError, OSError) as e:
            print('msi_registry.py: %s' % e, file=sys.stderr)
            return 1
        return 0
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest='command', required=True)
    wxi = sub.add_parser('wxi')
    wxi.add_argument('--rgs', action='append', required=True)
    wxi.add_argument('--idl', required=True)
    wxi.add_argument('--appid-source', required=True)
    wxi.add_argument('--file-id', required=True)
    wxi.add_argument('--dir-id', required=True)
    wxi.add_argument('--component', required=True)
    wxi.add_argument('--out-wxi', required=True)
    wxi.add_argument('--out-rows', required=True)
    patch = sub.add_parser('patch')
    patch.add_argument('--msi', required=True)
    patch.add_argument('--errors')
    patch.add_argument('--rollback', action='append', default=[])
    patch.add_argument('rows', nargs='*')
    args = parser.parse_args()
    try:
        (cmd_wxi if args.command == 'wxi' else cmd_patch)(args)
    except (RgsError, OSError, UnicodeError, IndexError) as e:
        print('msi_registry.py: %s' % e, file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
