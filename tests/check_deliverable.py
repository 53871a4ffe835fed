#!/usr/bin/env python3
"""Reads a built setup program with pefile, a reader that shares nothing with our code, and
checks what it must carry: load-time imports, version information and resources."""
import io
import struct
import sys
import unittest
import zipfile

import pefile

EXE, ARCH = sys.argv[1], sys.argv[2]
BITS = 64 if ARCH == "x64" else 32
LOAD_TIME_ALLOWED = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll", "msvcrt.dll"}
DELAY_ALLOWED = {"shell32.dll", "shlwapi.dll", "ole32.dll", "oleaut32.dll"}

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
}


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


class Deliverable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(EXE)

    def test_machine_and_no_timestamp(self):
        magic = self.pe.OPTIONAL_HEADER.Magic
        self.assertEqual(magic, 0x20B if BITS == 64 else 0x10B)
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem, 2)  # GUI
        self.assertEqual(self.pe.FILE_HEADER.TimeDateStamp, 0)

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
        self.assertNotIn("compatibility", manifest)

    def test_string_table(self):
        strings = string_table(self.pe)
        self.assertEqual({k: v for k, v in strings.items() if k <= 11}, MESSAGES)

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
        archive = zipfile.ZipFile(io.BytesIO(resource(self.pe, "ZIP", 1974)))
        entries = archive.infolist()
        self.assertEqual(len(entries), 37 if BITS == 64 else 36)
        self.assertEqual(sum(e.file_size for e in entries), 7230823 if BITS == 64 else 5919997)
        names = [e.filename for e in entries]
        seen_folders = set()
        for e in entries:
            self.assertEqual(e.flag_bits & 0x800, 0, e.filename)
            self.assertTrue(e.filename.isascii())
            folder = e.filename.rsplit("/", 1)[0] + "/" if "/" in e.filename.rstrip("/") else None
            if e.filename.endswith("/"):
                self.assertEqual(e.compress_type, zipfile.ZIP_STORED)
                seen_folders.add(e.filename)
            else:
                self.assertEqual(e.compress_type, zipfile.ZIP_DEFLATED)
                if folder:
                    self.assertIn(folder, seen_folders, f"{e.filename} comes before its folder")
        self.assertIn(f"pt_main{BITS}.exe", names)
        self.assertEqual(archive.getinfo("Plugins/Icons.dll").file_size, 226816)
        self.assertEqual("Plugins/pt_plugin64.exe" in names, BITS == 64)
        self.assertIsNone(archive.testzip())


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=2)
