#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The notices of what Qt bundles into the DLLs that the Windows release ships.

  notices.py <Qt source .orig.tar.xz> <inputs.txt.xz> <target>... > notices

Every qt_attribution.json of the Qt source that describes a file that went
into one of the given targets (the build's record of its inputs) gives its
name, version, copyright, licence and the licence's own text, as Qt's source
keeps them. A target name ending in "*" stands for all targets it begins.
"""
import json
import lzma
import posixpath
import sys
import tarfile


def attributions(tarball):
    """(folder, entry) for every attribution entry, folder inside the source."""
    found = []
    with tarfile.open(tarball) as archive:
        for member in archive:
            if member.isfile() and member.name.endswith('/qt_attribution.json'):
                folder = posixpath.dirname(member.name.split('/', 1)[1])
                data = json.loads(archive.extractfile(member).read(), strict=False)
                for entry in data if isinstance(data, list) else [data]:
                    found.append((folder, entry))
    return found


def read_members(tarball, names):
    """The text of each source file named, by its name inside the source."""
    texts = {}
    with tarfile.open(tarball) as archive:
        for member in archive:
            name = member.name.split('/', 1)[-1]
            if member.isfile() and name in names:
                texts[name] = archive.extractfile(member).read().decode('utf-8', 'replace')
    return texts


def licence_files(folder, entry):
    files = entry.get('LicenseFiles') or [entry.get('LicenseFile')]
    return [posixpath.normpath(posixpath.join(folder, f)) for f in files if f]


def used(folder, entry, inputs):
    base = posixpath.normpath(posixpath.join(folder, entry.get('Path', '')))
    files = entry.get('Files')
    if isinstance(files, str):
        files = files.split()
    places = [posixpath.join(base, f) for f in files] if files else [base]
    return any(path == place or path.startswith(place + '/') for path in inputs for place in places)


def main():
    tarball, record, targets = sys.argv[1], sys.argv[2], sys.argv[3:]

    def shipped(target):
        return any(target == t or (t.endswith('*') and target.startswith(t[:-1])) for t in targets)

    inputs = set()
    with lzma.open(record, 'rt') as lines:
        for line in lines:
            target, _, path = line.rstrip('\n').partition(' ')
            if shipped(target):
                inputs.add(path)
    if not inputs:
        sys.exit('notices.py: no inputs recorded for ' + ' '.join(targets))

    entries = [(folder, entry) for folder, entry in attributions(tarball) if used(folder, entry, inputs)]
    entries.sort(key=lambda item: (item[1].get('Name', '').lower(), item[0]))
    wanted = {name for folder, entry in entries for name in licence_files(folder, entry)}
    texts = read_members(tarball, wanted)
    missing = wanted - texts.keys()
    if missing:
        sys.exit('notices.py: licence files not in the source: ' + ', '.join(sorted(missing)))

    out = sys.stdout
    for folder, entry in entries:
        title = entry.get('Name', folder)
        if entry.get('Version'):
            title += ' ' + entry['Version']
        out.write('=' * 78 + '\n' + title + '\n\n')
        for label, key in (('Part of', 'QtUsage'), ('Homepage', 'Homepage'),
                           ('Licence', 'License'), ('In Qt\'s source', None)):
            value = posixpath.normpath(posixpath.join(folder, entry.get('Path', ''))) \
                if key is None else entry.get(key)
            if value:
                out.write(f'{label}: {value}\n')
        if entry.get('Copyright'):
            out.write('\n' + entry['Copyright'].strip() + '\n')
        for name in licence_files(folder, entry):
            out.write('\n' + texts[name].rstrip() + '\n')
        out.write('\n')


if __name__ == '__main__':
    main()
