#!/usr/bin/env python3
"""Reads a built setup program with pefile, a reader that shares nothing with our code, and
checks what it must carry: load-time imports, version information and resources."""
from xml.etree import ElementTree
import hashlib
import io
import os
import re
import subprocess
import tempfile
import struct
import sys
import unittest
import zipfile
import zlib

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tools", "payload"))
from payload_zip import entry_data  # noqa: E402  (Python's lzma on the entry's data)

EXE, ARCH = sys.argv[1], sys.argv[2]
BITS = 64 if ARCH == "x64" else 32
LOAD_TIME_ALLOWED = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}
DELAY_ALLOWED = {"shell32.dll", "shlwapi.dll", "ole32.dll", "oleaut32.dll", "comctl32.dll"}

MESSAGES = {
    1: "&Exit",
    2: "&Done",
    3: "Exit setup?",
    4: "Pictarn Setup",
    5: "Invalid destination directory!",
    6: "Destination directory",
    7: "Can't install all files!\n\nPlease close all running Pictarn instances and check your destination "
       "directory for free space or write protection!\n\n(the installer should be started in ADMIN mode, "
       "use e.g. right mouse button click on installer)",
    8: "Installation folder:",
    9: "You want to change current associations and to associate one or many file types with Pictarn!"
       "\n\nAre you REALLY sure!?",
    10: "Warning: Pictarn is running!\nPlease close all Pictarn instances before you install this version!",
    11: "Can't create destination directory!\n\nPlease check your write permissions and system policies!"
        "\n\nTry to create the destination folder manually and restart.",
    12: "Can't use the INI file folder! The settings are kept in the installation folder",
    13: "Another installation or removal of Pictarn is in progress!\nPlease try again when it has finished.",
}


# Style bits as the Windows headers define them.
WS_CHILD, WS_VISIBLE, WS_BORDER, WS_VSCROLL = 0x40000000, 0x10000000, 0x00800000, 0x00200000
WS_GROUP, WS_TABSTOP, DS_SETFONT = 0x00020000, 0x00010000, 0x40
BUTTON, EDIT, STATIC, LISTVIEW = 0x80, 0x81, 0x82, "SysListView32"
# A control's kind names its class and base style; each further word adds its style ("initially not
# visible" takes WS_VISIBLE away), and a control carries nothing else.
KINDS = {"push button": (BUTTON, 0x0), "auto check box": (BUTTON, 0x3), "auto radio button": (BUTTON, 0x9),
         "group box": (BUTTON, 0x7), "static": (STATIC, 0x0), "static bitmap": (STATIC, 0xE),
         "edit": (EDIT, 0x0), "list view": (LISTVIEW, 0x0), "progress bar": ("MSCTLS_PROGRESS32", 0x0)}
WORDS = {"group start": WS_GROUP, "tab stop": WS_TABSTOP, "border": WS_BORDER, "vertical scroll bar": WS_VSCROLL,
         "single line": 0, "multi-line": 0x4, "read-only": 0x800, "horizontal auto-scroll": 0x80,
         "automatic vertical and horizontal scrolling": 0x40 | 0x80, "centred": 0x1,
         "vertically centred single line": 0x200, "report view": 0x1, "single selection": 0x4,
         "auto-arrange": 0x100, "no sorting header": 0x8000, "selection always shown": 0x8,
         "path ellipsis": 0x8000, "no prefix": 0x80, "notify": 0x100, "smooth": 0x1}
LOGO = 113  # a static bitmap's text is the ordinal of its bitmap resource
# Windows takes a predefined class by atom or by name, and class names in any case (windres writes names).
ATOMS = {"BUTTON": BUTTON, "EDIT": EDIT, "STATIC": STATIC, "LISTBOX": 0x83, "SCROLLBAR": 0x84, "COMBOBOX": 0x85}


def class_key(cls):
    return cls if isinstance(cls, int) else ATOMS.get(cls.upper(), cls.upper())


# The wizard pages' controls in template (tab) order, top to bottom with each label right before its
# control: id (-1: none), kind, text, x, y, width, height.
PAGES = {
    101: [(-1, "static bitmap", LOGO, 9, 7, 59, 19),
          (1013, "static, group start", "Welcome to Pictarn %s setup!", 101, 10, 187, 22),
          (2004, "static, group start, initially not visible", "", 101, 34, 187, 10),
          (1056, "static, group start", "This program will install Pictarn version  %s  (%s bit) on your system.\n"
                 " (it should be started with Admin permissions)", 9, 48, 273, 20),
          (-1, "group box", "Create shortcuts:", 9, 72, 281, 79),
          (1011, "auto check box, tab stop", "Create Pictarn shortcut on the &Desktop", 17, 86, 166, 9),
          (1021, "auto check box, tab stop", "Create Pictarn Thu&mbnails shortcut on the Desktop", 17, 98, 202, 9),
          (1012, "auto check box, tab stop", "Create Pictarn shortcut in &Start Menu Programs", 17, 110, 199, 9),
          (1019, "push button, tab stop", "&Uncheck all", 234, 95, 50, 15),
          (1016, "auto radio button, group start, tab stop", "For &current user only", 17, 125, 114, 9),
          (1017, "auto radio button", "For &all users", 17, 136, 68, 9),
          (-1, "group box, group start", "Installation folder:", 9, 165, 281, 33),
          (1000, "edit, single line, border, horizontal auto-scroll, tab stop", "", 17, 177, 212, 12),
          (1009, "push button, tab stop", "&Browse", 234, 176, 50, 15),
          (-1, "static, group start", "Read", 9, 206, 18, 10),
          (1045, "static, group start, tab stop", "Pictarn EULA", 30, 206, 54, 10),
          (-1, "static, group start", "(End User License Agreement).", 84, 206, 150, 10)],
    108: [(-1, "static, group start", "What's new in this version?", 0, 0, 113, 9),
          (1000, "edit, multi-line, read-only, vertical scroll bar, automatic vertical and horizontal scrolling, "
                 "border, tab stop", "", 0, 11, 299, 211)],
    104: [(-1, "group box, group start", "Do you want to associate extensions with Pictarn? (OPTIONAL !)",
           0, 0, 299, 204),
          (-1, "static", "INFO: on Win10, you must use: System Settings, Apps, Set default apps ! (after installation)",
           7, 14, 289, 8),
          (3311, "auto check box, tab stop",
           "Try to change associations in System-&Registry (for XP, Vista, Win7, Win8)", 7, 28, 276, 8),
          # the list view's look (report view ... no sorting header) is part of its style; its text is its name
          (1579, "list view, border, tab stop, report view, single selection, auto-arrange, no sorting header, "
                 "selection always shown", "File formats to associate", 7, 39, 285, 143),
          (-1, "static", "INFO: If you are just updating an older version, you can leave all boxes unchecked",
           7, 188, 285, 8),
          (-1, "static, group start", "* - PlugIns", 0, 209, 40, 10),
          (1091, "push button, tab stop", "&Images only", 60, 207, 52, 15),
          (1080, "push button, tab stop", "Select &all", 116, 207, 52, 15),
          (1081, "push button, tab stop", "N&one", 172, 207, 52, 15),
          (1037, "auto check box, tab stop", "For all users (XP)", 233, 209, 69, 10)],
    109: [(1014, "static, group start", "Ready to install!", 9, 11, 179, 19),
          (-1, "static bitmap", LOGO, 227, 8, 59, 19),
          (1010, "static, path ellipsis, no prefix, notify, group start", "Destination directory:", 9, 53, 281, 10),
          (2005, "static, no prefix, group start", "", 9, 66, 281, 10),
          (-1, "group box, group start", "Set INI file folder (optional):", 9, 83, 281, 40),
          (1038, "auto radio button, group start, tab stop",
           "&Pictarn folder (for advanced users: needs full Admin write permissions in folder !)", 17, 96, 272, 10),
          (1039, "auto radio button", "User's &Application Data folder (recommended)", 17, 110, 268, 10),
          (1044, "static, centred, vertically centred single line, group start, initially not visible",
           "Installing ... please wait ...", 19, 142, 260, 22),
          (2006, "progress bar, smooth, border, initially not visible", "", 19, 168, 260, 10),
          (-1, "static, group start", 'Press the "Next" button to start the installation ...', 9, 189, 235, 12)],
    110: [(1015, "static, group start", "Installation successful!", 5, 11, 193, 16),
          (-1, "static bitmap", LOGO, 235, 8, 59, 19),
          (-1, "static, group start", "Setup has finished installing this program on your computer.", 5, 35, 229, 13),
          (-1, "static, group start", "What to do next?", 5, 144, 265, 9),
          (1022, "auto check box, tab stop", "Open Pictarn &FAQs homepage", 5, 159, 265, 10),
          (1020, "auto check box, tab stop", "&Start Pictarn", 5, 173, 265, 10),
          (-1, "static, group start", "_" * 72, 5, 184, 288, 8),
          # Set for the Windows it runs on when the page is shown; the template keeps the group's text.
          (2003, "static, group start", 'How to uninstall Pictarn?\nGo to "Start->Programs->Pictarn" and click the '
           '"Uninstall Pictarn" item.\n(or, see in System Control Panel, Apps)', 5, 196, 265, 25)],
}


def expected_control(row):
    """(id, class, text, x, y, cx, cy, style, exStyle) of a table row."""
    cid, kind, text, *rect = row
    words = kind.split(", ")
    cls, style = KINDS[words[0]]
    style |= WS_CHILD | (0 if "initially not visible" in words else WS_VISIBLE)
    for word in words[1:]:
        style |= 0 if word == "initially not visible" else WORDS[word]
    return (cid, class_key(cls), text, *rect, style, 0)


def sz_or_ord(data, pos):
    """A name or ordinal field of a dialog template: (int or str, position after it)."""
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def dialog_ex(data):
    """A DIALOGEX template: (style, exStyle, (cx, cy), title, font, controls as expected_control gives them)."""
    ver, sig, _help, ex_style, style, count, _x, _y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data)
    assert (ver, sig) == (1, 0xFFFF), "not a DIALOGEX template"
    _menu, pos = sz_or_ord(data, 26)
    _cls, pos = sz_or_ord(data, pos)
    title, pos = sz_or_ord(data, pos)
    font = None
    if style & DS_SETFONT:
        points, weight, italic, _charset = struct.unpack_from("<HHBB", data, pos)
        face, pos = sz_or_ord(data, pos + 6)
        font = (points, weight, italic, face)
    controls = []
    for _ in range(count):
        pos = (pos + 3) & ~3
        _help, item_ex, item_style, x, y, w, h, cid = struct.unpack_from("<IIIhhhhi", data, pos)
        cls, pos = sz_or_ord(data, pos + 24)
        text, pos = sz_or_ord(data, pos)
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
        controls.append((cid, class_key(cls), text, x, y, w, h, item_style, item_ex))
    return style, ex_style, (cx, cy), title, font, controls


def style_bits(bits):
    names = {WS_VISIBLE: "WS_VISIBLE", WS_BORDER: "WS_BORDER", WS_VSCROLL: "WS_VSCROLL", WS_GROUP: "WS_GROUP",
             WS_TABSTOP: "WS_TABSTOP"}
    return " | ".join([n for b, n in names.items() if bits & b] + ([f"{bits & 0xFFFF:#x}"] if bits & 0xFFFF else []))


def differences(got, want):
    fields = ("id", "class", "text", "x", "y", "cx", "cy", "style", "exStyle")
    parts = [f"{name} {g!r}, expected {w!r}" for name, g, w in zip(fields, got, want) if g != w and name != "style"]
    if got[7] != want[7]:
        parts.append(f"style {got[7]:#010x}, expected {want[7]:#010x}: extra {style_bits(got[7] & ~want[7]) or '-'}, "
                     f"missing {style_bits(want[7] & ~got[7]) or '-'}")
    return "; ".join(parts)


def resource(pe, type_key, res_id):
    """Bytes of the first language of resource (type, id); type_key is an int or a name."""
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        key = str(entry.name) if entry.name is not None else entry.id
        if key != type_key:
            continue
        for item in entry.directory.entries:
            if item.id == res_id:
                data = item.directory.entries[0].data.struct
                return pe.get_data(data.OffsetToData, data.Size)
    return None


def string_table(pe):
    strings = {}
    for block_id in range(1, 4096):
        block = resource(pe, pefile.RESOURCE_TYPE["RT_STRING"], block_id)
        if block is None:
            continue
        pos = 0
        for index in range(16):
            (length,) = struct.unpack_from("<H", block, pos)
            pos += 2
            if length:
                strings[(block_id - 1) * 16 + index] = block[pos:pos + 2 * length].decode("utf-16-le")
            pos += 2 * length
    return strings


def level9_size(data):
    """Raw deflate size from zlib at level 9, as the payload was packed before."""
    co = zlib.compressobj(9, zlib.DEFLATED, -15, 9)
    return len(co.compress(data) + co.flush())


class Deliverable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(EXE)

    def test_machine_and_no_timestamp(self):
        magic = self.pe.OPTIONAL_HEADER.Magic
        self.assertEqual(magic, 0x20B if BITS == 64 else 0x10B)
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, 2)  # GUI
        self.assertEqual(self.pe.FILE_HEADER.TimeDateStamp, 0)
        # The payload's section starts on a page of the file (Wine then maps it instead of reading
        # it all at start-up), and the image checksum still holds after the move.
        rsrc = next(s for s in self.pe.sections if s.Name.rstrip(b"\0") == b".rsrc")
        self.assertEqual(rsrc.PointerToRawData % 4096, 0)
        if not self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size:  # signing writes its own checksum
            self.assertEqual(self.pe.OPTIONAL_HEADER.CheckSum, self.pe.generate_checksum())

    def test_only_allowed_load_time_imports(self):
        loaded = {e.dll.decode().lower() for e in getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", [])}
        self.assertTrue(loaded <= LOAD_TIME_ALLOWED, sorted(loaded - LOAD_TIME_ALLOWED))
        self.assertIn("kernel32.dll", loaded)
        delayed = {e.dll.decode().lower() for e in getattr(self.pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])}
        self.assertTrue(delayed <= DELAY_ALLOWED, sorted(delayed - DELAY_ALLOWED))

    def test_version_information(self):
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (4 << 16 | 58, 0))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), (4 << 16 | 58, 0))
        values = {}
        for info in self.pe.FileInfo[0]:
            if info.Key == b"StringFileInfo":
                for table in info.StringTable:
                    self.assertEqual(table.LangID, b"040904E4")
                    values.update({k.decode(): v.decode() for k, v in table.entries.items()})
        name = f"Pictarn {BITS}-bit Installer"
        self.assertEqual(values, {
            "Comments": name, "CompanyName": "Zorvan Kettu", "FileDescription": name,
            "FileVersion": "4.58.0.0", "InternalName": name, "OriginalFilename": f"pt_setup{BITS}.exe",
            "ProductName": name, "ProductVersion": "4.58.0.0"})

    def test_manifest(self):
        manifest = resource(self.pe, pefile.RESOURCE_TYPE["RT_MANIFEST"], 1).decode()
        for text in ('level="highestAvailable"', 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                     ">True/PM<", 'name="Pictarn" version="1.0.0.0"',
                     "<description>Pictarn - Universal picture viewer</description>"):
            self.assertIn(text, " ".join(manifest.split()))
        # No supported-OS list: the version rules rely on Windows reporting 6.2 from 8.1 on.
        self.assertNotIn("compatibility", manifest)
        # Per-monitor awareness the way Windows 8.1 reads it, and the Windows 10 form beside it.
        settings = ElementTree.fromstring(manifest).find(
            "{urn:schemas-microsoft-com:asm.v3}application/{urn:schemas-microsoft-com:asm.v3}windowsSettings")
        self.assertEqual(settings.findtext("{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware"), "True/PM")
        self.assertEqual(settings.findtext("{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness"),
                         "PerMonitorV2, PerMonitor")

    def test_string_table(self):
        strings = string_table(self.pe)
        self.assertEqual({k: v for k, v in strings.items() if k <= 13}, MESSAGES)

    def test_icon_bitmap_and_release_notes(self):
        group = resource(self.pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"], 111)
        count = struct.unpack_from("<HHH", group)[2]
        images = {struct.unpack_from("<BBBBHH", group, 6 + 14 * i)[0:2] + (struct.unpack_from("<BBBBHH", group, 6 + 14 * i)[5],)
                  for i in range(count)}
        self.assertEqual(images, {(32, 32, 8), (16, 16, 8)})
        bitmap = resource(self.pe, pefile.RESOURCE_TYPE["RT_BITMAP"], 113)
        width, height, _planes, bpp = struct.unpack_from("<iiHH", bitmap, 4)
        self.assertEqual((width, abs(height), bpp), (88, 31, 4))
        notes = resource(self.pe, "TXT", 217)
        self.assertEqual(notes[:2], b"\xff\xfe")
        text = notes[2:].decode("utf-16-le")
        self.assertIn("\r\n", text)
        self.assertNotIn("\n", text.replace("\r\n", ""))

    def test_payload_archive(self):
        # The program unpacks only the archive whose SHA-256 it carries beside it.
        zip_bytes = resource(self.pe, "ZIP", 1974)
        self.assertEqual(resource(self.pe, "SHA256", 1975), hashlib.sha256(zip_bytes).digest())
        archive = zipfile.ZipFile(io.BytesIO(zip_bytes))
        entries = archive.infolist()
        self.assertEqual(len(entries), 37 if BITS == 64 else 36)
        self.assertEqual(sum(e.file_size for e in entries), 7230823 if BITS == 64 else 5919997)
        names = [e.filename for e in entries]
        seen_folders = set()
        for e in entries:
            self.assertEqual(e.flag_bits & 0x801, 0, e.filename)  # no UTF-8 name, no encryption
            self.assertTrue(e.filename.isascii())
            folder = e.filename.rsplit("/", 1)[0] + "/" if "/" in e.filename.rstrip("/") else None
            if e.filename.endswith("/"):
                self.assertEqual(e.compress_type, zipfile.ZIP_STORED)
                seen_folders.add(e.filename)
            else:
                # XZ (95) where packing helps, else stored: the two methods the setup reads.
                self.assertIn(e.compress_type, (0, 95), e.filename)
                if folder:
                    self.assertIn(folder, seen_folders, f"{e.filename} comes before its folder")
        self.assertIn(f"pt_main{BITS}.exe", names)
        self.assertEqual(archive.getinfo("Plugins/Icons.dll").file_size, 226816)
        self.assertEqual("Plugins/pt_plugin64.exe" in names, BITS == 64)
        # Every entry unpacks to its size and CRC-32, read by Python's lzma module and by 7-Zip.
        files = [e for e in entries if not e.filename.endswith("/")]
        contents = {e.filename: entry_data(zip_bytes, e) for e in files}
        for e in files:
            self.assertEqual((len(contents[e.filename]), zlib.crc32(contents[e.filename])), (e.file_size, e.CRC), e.filename)
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "payload.zip")
            with open(path, "wb") as f:
                f.write(zip_bytes)
            listing = subprocess.run(["7zz", "l", "-slt", path], check=True, capture_output=True, text=True).stdout
            tested = subprocess.run(["7zz", "t", path], capture_output=True, text=True)
        self.assertEqual(tested.returncode, 0, tested.stdout + tested.stderr)
        methods = dict(re.findall(r"^Path = (.+)\nFolder = -\n(?:.+\n)*?Method = (.+)$", listing, re.M))
        self.assertEqual(methods[f"pt_main{BITS}.exe"], "xz")
        # Packed tighter than zlib's level 9 for every program file, and a tenth below it in all
        # (a small text pays the .xz stream's 60 bytes of headers, where deflate has none).
        level9 = {e.filename: level9_size(contents[e.filename]) for e in files}
        programs = [e for e in files if contents[e.filename][:2] == b"MZ"]
        self.assertEqual([e.filename for e in programs if e.compress_size >= level9[e.filename]], [])
        self.assertLess(sum(e.compress_size for e in files), 0.9 * sum(level9.values()))

    def test_uninstaller_in_the_payload(self):
        # The real uninstaller, padded to its slot: same hardening and imports as the setup.
        zip_bytes = resource(self.pe, "ZIP", 1974)
        data = entry_data(zip_bytes, zipfile.ZipFile(io.BytesIO(zip_bytes)).getinfo("pt_uninstall.exe"))
        self.assertEqual(len(data), 131584 if BITS == 64 else 118272)
        uninstaller = pefile.PE(data=data)
        self.assertEqual(uninstaller.OPTIONAL_HEADER.Magic, 0x20B if BITS == 64 else 0x10B)
        self.assertEqual(uninstaller.FILE_HEADER.TimeDateStamp, 0)
        loaded = {e.dll.decode().lower() for e in getattr(uninstaller, "DIRECTORY_ENTRY_IMPORT", [])}
        self.assertTrue(loaded <= LOAD_TIME_ALLOWED, sorted(loaded - LOAD_TIME_ALLOWED))
        delayed = {e.dll.decode().lower() for e in getattr(uninstaller, "DIRECTORY_ENTRY_DELAY_IMPORT", [])}
        self.assertTrue(delayed <= DELAY_ALLOWED, sorted(delayed - DELAY_ALLOWED))
        values = {}
        for info in uninstaller.FileInfo[0]:
            if info.Key == b"StringFileInfo":
                for table in info.StringTable:
                    values.update({k.decode(): v.decode() for k, v in table.entries.items()})
        self.assertEqual(values["OriginalFilename"], "pt_uninstall.exe")
        self.assertEqual(values["CompanyName"], "Zorvan Kettu")
        self.assertEqual(values["FileDescription"], f"Pictarn {BITS}-bit Uninstaller")
        print(f"pt_uninstall.exe: {uninstaller.OPTIONAL_HEADER.SizeOfHeaders + sum(x.SizeOfRawData for x in uninstaller.sections)} bytes of program in its {len(data)}-byte slot")


    def test_wizard_page_templates(self):
        page_style = WS_CHILD | WS_BORDER | DS_SETFONT
        for template, rows in PAGES.items():
            with self.subTest(template=template):
                style, _ex, size, title, font, controls = dialog_ex(
                    resource(self.pe, pefile.RESOURCE_TYPE["RT_DIALOG"], template))
                self.assertEqual((hex(style), size, title, font),
                                 (hex(page_style), (300, 222), "", (8, 400, 0, "Microsoft Sans Serif")))
                expected = [expected_control(row) for row in rows]
                # every differing control is named, with the style bits it has too many or too few
                problems = [f"control {i} id {want[0]} {want[2]!r}: {differences(got, want)}"
                            for i, (got, want) in enumerate(zip(controls, expected)) if got != want]
                if len(controls) != len(expected):
                    problems.append(f"{len(controls)} controls, expected {len(expected)}")
                if problems:
                    self.fail("\n".join([f"template {template}:"] + problems))

if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=2)
