#!/usr/bin/env python3
"""The Debian package made from a build's programs: where its files go, its control fields, the
add-on packs, the menu entry, the manual pages, and the packaged program running unpacked.
Usage: package_test.py BUILD_DIR"""
import configparser
import gzip
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

BUILD = Path(sys.argv.pop(1)).resolve()
SOURCE = Path(__file__).resolve().parents[2]


def run(*args, **options):
    return subprocess.run(args, check=True, capture_output=True, text=True, **options).stdout


def files_under(folder):
    return {p.relative_to(folder).as_posix(): p.read_bytes()
            for p in sorted(folder.rglob('*')) if p.is_file()}


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        work = Path(cls.work.name)
        run('cpack', '--config', str(BUILD / 'CPackConfig.cmake'), '-B', str(work / 'cpack'))
        [cls.deb] = (work / 'cpack').glob('vellumite_*.deb')
        cls.root = work / 'root'
        run('dpkg-deb', '-x', str(cls.deb), str(cls.root))
        listing = run('dpkg-deb', '-c', str(cls.deb)).splitlines()
        cls.entries = [line.split(maxsplit=5) for line in listing]
        cls.paths = {e[5].removeprefix('./') for e in cls.entries}

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def test_files_go_where_debian_looks_for_them_owned_by_root(self):
        wanted = ['usr/bin/vellumite', 'usr/bin/vellumitebar',
                  'usr/share/applications/vellumite.desktop',
                  'usr/share/icons/hicolor/48x48/apps/vellumite.png',
                  'usr/share/icons/hicolor/128x128/apps/vellumite.png',
                  'usr/share/icons/hicolor/scalable/apps/vellumite.svg',
                  'usr/share/man/man1/vellumite.1.gz', 'usr/share/man/man1/vellumitebar.1.gz',
                  'usr/share/doc/vellumite/copyright', 'usr/share/doc/vellumite/changelog.gz',
                  'usr/share/vellumite/extension/vellumitebar-chromium.zip',
                  'usr/share/vellumite/extension/vellumitebar-firefox.xpi']
        wanted += ['usr/share/vellumite/' + name for name in files_under(SOURCE / 'share')]
        self.assertEqual([p for p in wanted if p not in self.paths], [])
        programs = sorted(p for p in self.paths if p.startswith('usr/bin/') and p != 'usr/bin/')
        self.assertEqual(programs, ['usr/bin/vellumite', 'usr/bin/vellumitebar'])
        for mode, owner, _, _, _, path in self.entries:
            with self.subTest(path=path):
                self.assertTrue(path.startswith('./usr/'))
                self.assertEqual(owner, 'root/root')
                executable = mode.startswith('d') or path.startswith('./usr/bin/')
                self.assertEqual(mode[1:], 'rwxr-xr-x' if executable else 'rw-r--r--')

    def test_control_depends_on_the_packages_of_every_linked_library(self):
        field = lambda name: run('dpkg-deb', '-f', str(self.deb), name).strip()
        self.assertEqual(field('Package'), 'vellumite')
        self.assertEqual(field('Version'), run(str(BUILD / 'vellumite'), '--version').split()[1])
        self.assertEqual(field('Architecture'), run('dpkg', '--print-architecture').strip())
        self.assertRegex(field('Maintainer'), r'^[^<>]+ <[^@ ]+@[^> ]+>$')
        self.assertRegex(field('Description'), r'^\S.*\n .+')
        depends = {d.split()[0] for d in field('Depends').split(', ')}
        self.assertIn('xdg-utils', depends)
        needed = set()
        for program in ('vellumite', 'vellumitebar'):
            dynamic = run('objdump', '-p', str(self.root / 'usr/bin' / program))
            needed |= set(re.findall(r'^\s+NEEDED\s+(\S+)$', dynamic, re.M))
        owners = {}
        for line in run('dpkg', '-S', *('*/' + soname for soname in needed)).splitlines():
            packages, path = line.split(': ', 1)
            names = {p.split(':')[0] for p in packages.split(', ')}
            owners.setdefault(Path(path).name, set()).update(names)
        self.assertGreater(len(needed), 4)
        for soname in sorted(needed):
            with self.subTest(library=soname):
                found = owners.get(soname, set())
                self.assertTrue(found & depends, f'{found} not in {depends}')

    def test_addon_packs_hold_each_browsers_build_with_its_id(self):
        ids = json.loads((SOURCE / 'extension/browsers.json').read_text())
        packs = self.root / 'usr/share/vellumite/extension'
        for browser, pack in (('chromium', 'vellumitebar-chromium.zip'),
                              ('firefox', 'vellumitebar-firefox.xpi')):
            with self.subTest(browser=browser), zipfile.ZipFile(packs / pack) as z:
                packed = {name: z.read(name) for name in z.namelist() if not name.endswith('/')}
                self.assertEqual(packed, files_under(BUILD / 'extension' / browser))
                manifest = json.loads(packed['manifest.json'])
                own = 'key' if browser == 'chromium' else 'browser_specific_settings'
                self.assertEqual(manifest[own], ids[browser][own])
        self.assertEqual(files_under(self.root / 'usr/share/vellumite/extension/chromium'),
                         files_under(BUILD / 'extension/chromium'))

    def test_menu_entry_starts_the_editor_with_its_icon_in_every_size(self):
        desktop = configparser.ConfigParser(interpolation=None)
        desktop.optionxform = str
        desktop.read(self.root / 'usr/share/applications/vellumite.desktop')
        entry = desktop['Desktop Entry']
        self.assertEqual((entry['Type'], entry['Exec'], entry['Terminal']),
                         ('Application', 'vellumite', 'false'))
        for size in (48, 128):
            icon = f'usr/share/icons/hicolor/{size}x{size}/apps/{entry["Icon"]}.png'
            png = (self.root / icon).read_bytes()
            self.assertEqual(png[:8], b'\x89PNG\r\n\x1a\n')
            self.assertEqual(struct.unpack('>II', png[16:24]), (size, size))

    def test_manual_pages_describe_every_command_and_option_of_the_help(self):
        for program, commands_after in (('vellumite', 'Commands:'),
                                        ('vellumitebar', 'Usage:')):
            binary = str(self.root / 'usr/bin' / program)
            help_text = run(binary, '--help')
            block = help_text.split(commands_after, 1)[1].split('\n\n', 1)[0]
            names = set(re.findall(r'^\s+(?:vellumitebar )?([a-z]+)\b', block, re.M))
            if program == 'vellumite':  # each command's help adds its own options
                help_text += ''.join(run(binary, command, '--help') for command in names)
            names |= set(re.findall(r'--[a-z][a-z-]*', help_text))
            page = gzip.decompress((self.root / f'usr/share/man/man1/{program}.1.gz').read_bytes())
            page = page.decode().replace('\\-', '-')
            self.assertGreater(len(names), 4)
            for name in sorted(names):
                with self.subTest(program=program, name=name):
                    found = re.search(r'(?<![\w-])' + re.escape(name) + r'(?![\w-])', page)
                    self.assertIsNotNone(found, f'{name} is not in the manual page')

    def test_packaged_program_reads_its_data_beside_itself_and_writes_none_of_it(self):
        data = self.root / 'usr/share/vellumite'
        (data / 'html/packaged-marker.html').write_text('from the package')
        before = {p: (p.stat().st_mtime_ns, p.read_bytes()) for p in data.rglob('*') if p.is_file()}
        with tempfile.TemporaryDirectory() as home:
            app = Path(home) / 'app'
            listed = run(str(self.root / 'usr/bin/vellumite'), '--data-dir', str(app), 'sites',
                         env={'HOME': home, 'PATH': os.environ['PATH']})
            self.assertRegex(listed, r'^1  \S')
            self.assertEqual((app / 'html/packaged-marker.html').read_text(), 'from the package')
            self.assertTrue((app / 'vellumite.db').is_file())
            self.assertFalse((app / 'extension').exists())
        after = {p: (p.stat().st_mtime_ns, p.read_bytes()) for p in data.rglob('*') if p.is_file()}
        self.assertEqual(after, before)


if __name__ == '__main__':
    unittest.main()
