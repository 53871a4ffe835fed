#!/usr/bin/env python3
"""Builds the Pictarn product zip: the stand-in, or the files of a product folder.

Usage: make_payload.py --arch x64|x86 --bin-dir DIR --out FILE [--product-dir DIR] [--entry-list]
       make_payload.py --arch x64|x86 --product-dir DIR --check

The stand-in is byte-for-byte reproducible: fixed order, dates and attributes,
and all generated content comes from fixed seeds. A product folder is packed in a
fixed order with each entry dated by its modification time in UTC (whatever the
build machine's time zone), or every entry with the date --pin-date gives, so
packing the same folder again gives the same bytes anywhere.
"""
import argparse
import calendar
import hashlib
import concurrent.futures
import lzma
import os
import re
import stat
import struct
import subprocess
import sys
import tempfile
import time
import zlib

# The installer and its tests rely on these exact totals.
EXPECTED = {"x64": (37, 7_230_823), "x86": (36, 5_919_997)}

# Programs are padded to fixed, realistic sizes so the totals do not depend on the compiler.
PROGRAM_SIZES = {
    "x64": {"main": 3_518_976, "uninstall": 131_584, "plugin64": 474_624},
    "x86": {"main": 2_722_816, "uninstall": 118_272},
}
ICONS_DLL_SIZE = 226_816
DATA_PLUGINS = [("Effects.dll", 412_160), ("Formats.dll", 655_872),
                ("Metadata.dll", 198_656), ("Slideshow.dll", 287_744)]

STAND_IN_TIME = calendar.timegm((2024, 5, 1, 12, 0, 0))  # 2024-05-01 12:00:00 UTC
ATTR_DIR, ATTR_FILE = 0x10, 0x20                  # FILE_ATTRIBUTE_DIRECTORY / _ARCHIVE

WORDS = (b"image picture viewer thumbnail folder file open save print zoom rotate crop resize color "
         b"palette bitmap jpeg png tiff gif slideshow window toolbar button menu option plugin language "
         b"effect filter sharpen blur brightness contrast gamma histogram metadata exif comment batch "
         b"convert rename scan capture screen clipboard copy paste undo redo select area canvas border "
         b"frame").split()


class Lcg:
    """Small seeded generator so the content never depends on Python's random module."""

    def __init__(self, seed):
        self.s = (seed * 2862933555777941757 + 3037000493) & 0xFFFFFFFFFFFFFFFF

    def next(self):
        self.s = (self.s * 6364136223846793005 + 1442695040888963407) & 0xFFFFFFFFFFFFFFFF
        return self.s >> 32

    def below(self, n):
        return self.next() % n


def filler(name, size, header=b""):
    """Deterministic data that deflates to roughly half, like real binaries and help files."""
    r = Lcg(zlib.crc32(name.encode()))
    out = bytearray(header)
    rec = 0
    while len(out) < size:
        k = r.below(10)
        if k < 4:      # text-like runs
            out += b" ".join(WORDS[r.below(len(WORDS))] for _ in range(4 + r.below(12))) + b"\r\n"
        elif k < 7:    # table-like records
            for _ in range(2 + r.below(6)):
                rec += 1 + r.below(3)
                out += struct.pack("<IHHI", rec, r.below(64), 0x10 * r.below(4), r.next())
        else:          # noise
            out += b"".join(struct.pack("<I", r.next()) for _ in range(2 + r.below(10)))
    return bytes(out[:size])


def read_program(path):
    with open(path, "rb") as f:
        return f.read()


# The entry list alone needs no compiled program: it stands in as empty.
load_program = read_program


SIGN_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sign.sh")
# The entry list alone signs nothing either.
sign_programs = True


def signed(data):
    """Our program Authenticode-signed by tools/sign.sh when a signing key is given (see there);
    the signature covers the padding before it."""
    if not sign_programs or subprocess.run(["bash", SIGN_SCRIPT, "--given"]).returncode != 0:
        return data
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "pt_uninstall.exe")
        with open(path, "wb") as f:
            f.write(data)
        subprocess.run(["bash", SIGN_SCRIPT, path], check=True)
        with open(path, "rb") as f:
            return f.read()


def padded(path, size):
    """A compiled file with deterministic overlay data appended up to an exact size."""
    data = load_program(path)
    if len(data) > size:
        sys.exit(f"make_payload: {path} is {len(data)} bytes, more than its slot of {size}")
    return data + filler(os.path.basename(path), size - len(data))


def crlf(text):
    return text.strip("\n").replace("\n", "\r\n").encode("ascii") + b"\r\n"


# ---------------------------------------------------------------- text files

ABOUT = """
Pictarn 4.58
============

Pictarn is a small and fast picture viewer for Windows. It shows, browses,
converts and prints pictures in all common formats and runs well on old and
new computers alike.

Copyright (C) 2003-2024 Zorvan Kettu. All rights reserved.

Pictarn is free for private, non-commercial and educational use. Companies,
public offices and other commercial users need a licence; see the web page
for prices and volume licences.

The program is provided "as is", without warranty of any kind. The author is
not liable for any damage caused by using or being unable to use Pictarn.

Thanks to everybody who translated Pictarn, wrote plug-ins, drew toolbar
skins and sent bug reports over the years.
"""

OPTIONS = """
Pictarn options
===============

All settings live in the file Pictarn.ini. By default it is kept in the user's
application data folder; put an empty file named Pictarn.ini beside
pt_main64.exe (or pt_main32.exe) to run Pictarn portable from that folder.

[Viewing]
FitToWindow=1          ; 0 = original size, 1 = fit large pictures, 2 = fit all
Center=1               ; center the picture in the window
Background=808080      ; window background colour (RRGGBB)
Smooth=1               ; smooth resampling when zooming
LoopFolder=1           ; continue at the first file after the last one
SortBy=0               ; 0 = name, 1 = date, 2 = size, 3 = type

[Fullscreen]
HideCursor=1           ; hide the mouse cursor after two seconds
ShowInfo=0             ; show file name and size in a corner

[Slideshow]
Delay=3000             ; time per picture in milliseconds
Random=0               ; random order
Repeat=1               ; start again at the end

[Toolbar]
Skin=gnome-colors-human_48.png
Visible=1

[Language]
File=                  ; empty = English, else a file from the Languages folder

[Files]
Associations=          ; set by the setup program; change it in Options > Associations
RecentCount=10         ; number of files in the File > Recent menu
"""

PLUGINS = """
Pictarn plug-ins
================

Plug-ins extend Pictarn with more formats, effects and tools. They are kept
in the Plugins folder below the program folder and are loaded on demand.

Icons.dll       icons for file types and the thumbnail view
Effects.dll     extra effects: emboss, oil paint, old photo, vignette
Formats.dll     additional formats: camera RAW, OpenEXR, PSD layers, WebP
Metadata.dll    reading and writing of EXIF, IPTC and XMP data
Slideshow.dll   slideshow export as stand-alone program or screen saver
pt_plugin64.exe helper for 32-bit plug-ins used by the 64-bit version

A plug-in is disabled by moving it out of the Plugins folder. Pictarn looks
for new plug-ins each time it starts.
"""

LANGUAGE_FILES = ["Dansk.ini", "Deutsch.ini", "Espanol.ini", "Francais.ini",
                  "Italiano.ini", "Nederlands.ini"]

LANGUAGES = """
Pictarn languages
=================

Pictarn speaks English out of the box. More languages come as text files in
the Languages folder:

""" + "".join(f"  {n}\n" for n in LANGUAGE_FILES) + """
Choose a language in Options > Language. The change is applied at once.

To translate Pictarn into a new language, copy one of the files, rename it
after your language and translate the text to the right of each "=" sign.
Keep the keys on the left unchanged. Please send finished translations to
Zorvan Kettu so that they can be included in the next version.
"""

README = """
Pictarn 4.58 - read me
======================

Installation
------------
Run the setup program and follow the steps. The setup program copies the
files, creates shortcuts on the desktop and in the Start menu and, if you
wish, associates picture file types with Pictarn.

Uninstall with "Apps & features" in the Windows settings or with
pt_uninstall.exe in the program folder.

Files
-----
pt_main64.exe / pt_main32.exe   the program
pt_main32.chm                   help
pt_uninstall.exe                uninstaller
pt_about.txt                    licence and copyright
pt_changes.txt                  version history
pt_options.txt                  settings in Pictarn.ini
pt_plugins.txt                  plug-ins
pt_languages.txt                translations
Languages\\                      language files
Plugins\\                        plug-ins
Html\\                           templates for web page export
Toolbars\\                       toolbar skins

System requirements
-------------------
Windows 7 or newer, 32-bit or 64-bit. About 20 MB of disk space.

Contact
-------
Zorvan Kettu, Pictarn support. Please describe problems as exactly as you
can and attach the file Pictarn.ini.
"""

CHANGES = [
    "Fixed: crash when opening very large TIFF files",
    "Fixed: wrong colours in some CMYK JPEG files",
    "Fixed: slideshow did not remember the last delay",
    "Fixed: thumbnails of rotated camera pictures were shown sideways",
    "Fixed: print preview cut off the right margin on some printers",
    "Fixed: file associations were lost after a Windows update",
    "Fixed: GIF animations played too fast",
    "Fixed: batch rename skipped files with very long names",
    "Fixed: full screen mode opened on the wrong monitor",
    "Fixed: EXIF dates were shown in the wrong time zone",
    "Fixed: clipboard paste of pictures from web browsers",
    "Fixed: crop tool left a one pixel border",
    "Improved: faster loading of large JPEG files",
    "Improved: thumbnail cache uses less memory",
    "Improved: sharper resizing with the Lanczos filter",
    "Improved: scanner support for more devices",
    "Improved: high-DPI display of toolbars and dialogs",
    "Improved: batch conversion can keep the folder structure",
    "Improved: web page export creates cleaner HTML",
    "Improved: colour correction dialog shows a live preview",
    "Added: lossless JPEG rotation",
    "Added: option to sort by date taken",
    "Added: WebP and HEIC reading (with the Formats plug-in)",
    "Added: histogram window",
    "Added: screen capture of a selected area",
    "Added: new toolbar skins",
    "Added: Danish and Dutch translations",
    "Added: multi-page TIFF saving",
    "Added: keyboard shortcut editor",
    "Added: compare two pictures side by side",
    "Changed: the setup program can install for the current user only",
    "Changed: settings are kept in the application data folder by default",
]


def changes():
    r = Lcg(458)
    lines = ["Pictarn version history", "=======================", ""]
    for minor in range(58, -1, -1):
        year = 2024 - (58 - minor) // 4
        lines.append(f"Version 4.{minor:02d} ({year})")
        picked, count = [], 3 + r.below(5)
        while len(picked) < count:
            item = CHANGES[r.below(len(CHANGES))]
            if item not in picked:
                picked.append(item)
        lines += ["- " + item for item in sorted(picked)]
        lines.append("")
    return "\n".join(lines)


# ---------------------------------------------------------------- languages

UI_KEYS = ["File", "Open", "Save", "SaveAs", "Print", "Exit", "Edit", "Copy", "Paste", "Undo",
           "View", "ZoomIn", "ZoomOut", "Fullscreen", "Slideshow", "Image", "Rotate", "Resize",
           "Crop", "Options", "Help", "About", "Next", "Previous", "Delete", "Cancel"]
TRANSLATIONS = {
    "Dansk": "Filer|Aabn|Gem|Gem som|Udskriv|Afslut|Rediger|Kopier|Indsaet|Fortryd|Vis|Zoom ind|"
             "Zoom ud|Fuld skaerm|Diasshow|Billede|Roter|Skaler|Beskaer|Indstillinger|Hjaelp|Om|"
             "Naeste|Forrige|Slet|Annuller",
    "Deutsch": "Datei|Oeffnen|Speichern|Speichern unter|Drucken|Beenden|Bearbeiten|Kopieren|"
               "Einfuegen|Rueckgaengig|Ansicht|Vergroessern|Verkleinern|Vollbild|Diashow|Bild|"
               "Drehen|Groesse aendern|Zuschneiden|Optionen|Hilfe|Info|Weiter|Zurueck|Loeschen|"
               "Abbrechen",
    "Espanol": "Archivo|Abrir|Guardar|Guardar como|Imprimir|Salir|Edicion|Copiar|Pegar|Deshacer|"
               "Ver|Acercar|Alejar|Pantalla completa|Presentacion|Imagen|Girar|Cambiar tamano|"
               "Recortar|Opciones|Ayuda|Acerca de|Siguiente|Anterior|Eliminar|Cancelar",
    "Francais": "Fichier|Ouvrir|Enregistrer|Enregistrer sous|Imprimer|Quitter|Edition|Copier|"
                "Coller|Annuler l'action|Affichage|Zoom avant|Zoom arriere|Plein ecran|Diaporama|"
                "Image|Pivoter|Redimensionner|Rogner|Options|Aide|A propos|Suivant|Precedent|"
                "Supprimer|Annuler",
    "Italiano": "File|Apri|Salva|Salva con nome|Stampa|Esci|Modifica|Copia|Incolla|Annulla azione|"
                "Visualizza|Ingrandisci|Riduci|Schermo intero|Presentazione|Immagine|Ruota|"
                "Ridimensiona|Ritaglia|Opzioni|Guida|Informazioni|Successiva|Precedente|Elimina|"
                "Annulla",
    "Nederlands": "Bestand|Openen|Opslaan|Opslaan als|Afdrukken|Afsluiten|Bewerken|Kopieren|"
                  "Plakken|Ongedaan maken|Beeld|Inzoomen|Uitzoomen|Volledig scherm|Diavoorstelling|"
                  "Afbeelding|Draaien|Formaat wijzigen|Bijsnijden|Opties|Help|Over|Volgende|"
                  "Vorige|Verwijderen|Annuleren",
}


def language_file(fname):
    lang = fname[:-4]
    words = TRANSLATIONS[lang].split("|")
    assert len(words) == len(UI_KEYS), lang
    lines = ["; Pictarn language file", "[Language]", f"Name={lang}", "Version=4.58", "", "[Strings]"]
    lines += [f"{k}={w}" for k, w in zip(UI_KEYS, words)]
    return crlf("\n".join(lines))


# ---------------------------------------------------------------- web page templates

HTML_PAGE = """<!DOCTYPE html>
<html>
<head>
<meta charset="windows-1252">
<title>{{$TITLE}}</title>
<style>
body {{ font-family: Verdana, sans-serif; background: #{bg}; color: #{fg}; }}
a {{ color: #{link}; }}
{style}
</style>
</head>
<body>
<h1>{{$TITLE}}</h1>
{body}
<p class="footer">Made with Pictarn 4.58</p>
</body>
</html>
"""
HTML_FILES = [
    ("gallery.htm", "f4f4f0", "202020", "305080", ".cell { display: inline-block; margin: 8px; }",
     "{$BEGIN_ROWS}\n<div class=\"cell\"><a href=\"{$PAGE}\"><img src=\"{$THUMB}\" alt=\"{$NAME}\"></a>"
     "<br>{$NAME}</div>\n{$END_ROWS}\n<p>{$PREV} {$INDEX} {$NEXT}</p>"),
    ("image.htm", "101010", "e0e0e0", "90b0e0", "img { max-width: 100%; }",
     "<p>{$PREV} | {$INDEX} | {$NEXT}</p>\n<img src=\"{$IMAGE}\" alt=\"{$NAME}\">\n"
     "<p>{$NAME} - {$WIDTH} x {$HEIGHT} - {$FILESIZE}</p>\n<p>{$COMMENT}</p>"),
    ("index.htm", "ffffff", "000000", "0040a0", "li { margin: 4px; }",
     "<ul>\n{$BEGIN_LIST}<li><a href=\"{$PAGE}\">{$NAME}</a> ({$DATE})</li>\n{$END_LIST}</ul>"),
    ("thumbs.htm", "e8ecf0", "101820", "204060", "table { border-spacing: 6px; }",
     "<table>\n{$BEGIN_ROWS}<tr>{$BEGIN_COLS}<td><a href=\"{$IMAGE}\"><img src=\"{$THUMB}\"></a>"
     "</td>{$END_COLS}</tr>\n{$END_ROWS}</table>"),
]


def html_file(entry):
    _, bg, fg, link, style, body = entry
    return crlf(HTML_PAGE.format(bg=bg, fg=fg, link=link, style=style, body=body))


# ---------------------------------------------------------------- toolbar skins

BUTTONS = ["open", "save", "print", "previous", "next", "zoom in", "zoom out", "rotate",
           "full screen", "slideshow", "info", "delete"]
# Each glyph is a list of shapes in unit coordinates, painted in order: ("c", x, y, r),
# ("r", x0, y0, x1, y1) or ("t", x0, y0, x1, y1, x2, y2); a "-" before the kind cuts a hole.
GLYPHS = [
    [("r", .2, .35, .8, .75), ("r", .2, .28, .45, .36)],
    [("r", .25, .25, .75, .75), ("-r", .36, .3, .6, .42), ("-r", .33, .55, .67, .7), ("r", .52, .32, .57, .4)],
    [("r", .3, .2, .7, .4), ("r", .2, .4, .8, .65), ("r", .3, .65, .7, .8), ("-r", .36, .66, .64, .74)],
    [("t", .25, .5, .65, .25, .65, .75)],
    [("t", .75, .5, .35, .25, .35, .75)],
    [("r", .58, .58, .8, .8), ("c", .45, .45, .25), ("-r", .33, .42, .57, .48), ("-r", .42, .33, .48, .57)],
    [("r", .58, .58, .8, .8), ("c", .45, .45, .25), ("-r", .33, .42, .57, .48)],
    [("c", .5, .52, .28), ("-c", .5, .52, .16), ("-r", .5, .2, .8, .5), ("t", .5, .1, .72, .3, .5, .44)],
    [("r", .2, .2, .42, .28), ("r", .2, .2, .28, .42), ("r", .58, .72, .8, .8), ("r", .72, .58, .8, .8),
     ("r", .58, .2, .8, .28), ("r", .72, .2, .8, .42), ("r", .2, .72, .42, .8), ("r", .2, .58, .28, .8)],
    [("r", .2, .25, .8, .72), ("-t", .42, .35, .42, .62, .64, .485)],
    [("c", .5, .27, .08), ("r", .43, .4, .57, .78)],
    [("r", .3, .32, .7, .8), ("r", .25, .22, .75, .28), ("r", .42, .16, .58, .22),
     ("-r", .38, .4, .44, .72), ("-r", .56, .4, .62, .72)],
]
SKINS = [  # name, button size, frame colour, glyph colour
    ("gnome-colors-human", 48, (0xd3, 0x7a, 0x2a), (0x4a, 0x2a, 0x12)),
    ("gnome-colors-wise", 32, (0x8a, 0xb8, 0x4a), (0x24, 0x3a, 0x10)),
    ("Tindra", 16, (0x5a, 0x8c, 0xd8), (0xff, 0xff, 0xff)),
    ("Mossvik", 24, (0x6e, 0x7f, 0x5a), (0xf0, 0xe8, 0xc8)),
]


def inside(shape, x, y):
    kind = shape[0].lstrip("-")
    if kind == "c":
        return (x - shape[1]) ** 2 + (y - shape[2]) ** 2 <= shape[3] ** 2
    if kind == "r":
        return shape[1] <= x <= shape[3] and shape[2] <= y <= shape[4]
    _, ax, ay, bx, by, cx, cy = shape
    d1 = (x - bx) * (ay - by) - (ax - bx) * (y - by)
    d2 = (x - cx) * (by - cy) - (bx - cx) * (y - cy)
    d3 = (x - ax) * (cy - ay) - (cx - ax) * (y - ay)
    return not ((d1 < 0 or d2 < 0 or d3 < 0) and (d1 > 0 or d2 > 0 or d3 > 0))


def png(width, height, rgba_rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + bytes(row) for row in rgba_rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def toolbar_png(size, frame, ink):
    """A strip of rounded buttons with simple glyphs, 3x3 supersampled."""
    ss = 3
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size * len(GLYPHS)):
            glyph = GLYPHS[px // size]
            acc = [0, 0, 0, 0]
            for sy in range(ss):
                for sx in range(ss):
                    u = ((px % size) + (sx + .5) / ss) / size
                    v = (py + (sy + .5) / ss) / size
                    dx, dy = max(abs(u - .5) - .36, 0), max(abs(v - .5) - .36, 0)
                    if dx * dx + dy * dy > .1 * .1:
                        continue
                    shade = 1.15 - .3 * v  # light from above
                    on_ink = False
                    for shape in glyph:
                        if inside(shape, u, v):
                            on_ink = not shape[0].startswith("-")
                    col = ink if on_ink else tuple(min(255, int(c * shade)) for c in frame)
                    for i in range(3):
                        acc[i] += col[i]
                    acc[3] += 255
            n = ss * ss
            covered = acc[3] // 255
            if covered:
                row += bytes((acc[0] // covered, acc[1] // covered, acc[2] // covered, acc[3] // n))
            else:
                row += b"\0\0\0\0"
        rows.append(row)
    return png(size * len(GLYPHS), size, rows)


def toolbar_txt(name, size):
    lines = ["Pictarn toolbar skin", "", f"Name: {name}", f"Button size: {size} x {size} pixels",
             f"Buttons: {len(BUTTONS)}", "Order: " + ", ".join(BUTTONS), "",
             "Choose the skin in Options > Toolbar. The picture is a strip of buttons",
             "from left to right; transparent pixels show the toolbar background."]
    return crlf("\n".join(lines))


# ---------------------------------------------------------------- zip writer

# Each entry's decoder holds a dictionary of this size at most (the file's own size when smaller):
# on program code a larger one gains under 0.1 %, and the memory counts in every install.
XZ_DICTIONARY_LIMIT = 1 << 20


def xz_stream(data, branch_filter):
    size = max(4096, min(XZ_DICTIONARY_LIMIT, 1 << max(0, len(data) - 1).bit_length()))
    filters = [{"id": lzma.FILTER_LZMA2, "preset": 9 | lzma.PRESET_EXTREME, "dict_size": size}]
    if branch_filter:
        filters.insert(0, {"id": lzma.FILTER_X86})
    # No check of its own: the entry's CRC-32 covers what it unpacks to.
    return lzma.compress(data, format=lzma.FORMAT_XZ, check=lzma.CHECK_NONE, filters=filters)


def packed_entry(data):
    """(method, bytes) of a file's entry: an .xz stream (method 95) of LZMA2 at its strongest
    setting, with the x86 branch filter first for program files where that is smaller; stored
    (method 0) where packing does not make it smaller. liblzma's encoder is deterministic."""
    best = xz_stream(data, False)
    if data[:2] == b"MZ":
        with_filter = xz_stream(data, True)
        best = with_filter if len(with_filter) < len(best) else best
    return (95, best) if len(best) < len(data) else (0, data)


def pack_all(blobs):
    """Each blob packed, side by side on every core; largest first so that the longest one
    starts at once."""
    order = sorted(range(len(blobs)), key=lambda i: -len(blobs[i]))
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
        jobs = {i: pool.submit(packed_entry, blobs[i]) for i in order}
        return [jobs[i].result() for i in range(len(blobs))]


def extended_timestamp(mtime):
    """The extra field "UT" (0x5455) with the modification time in UTC: the setup dates each file
    by it, where the DOS date beside it has no time zone."""
    return struct.pack("<HHBI", 0x5455, 5, 1, max(0, min(int(mtime), 0xFFFFFFFF)))


def zip_bytes(entries):
    """Plain zip: each entry's real modification time in the extended-timestamp field beside its
    DOS date (UTC), no comment, no UTF-8 flag, no data descriptors; files packed as .xz streams
    (method 95, see packed_entry), folders stored.

    Each entry is (name, data) with the fixed stand-in date, or (name, data, mtime) with a
    modification time in seconds since 1970 (UTC).
    """
    files = [data for name, data, *_ in entries if not name.endswith("/")]
    packed_files = iter(pack_all(files))
    local, central = bytearray(), bytearray()
    for name, data, *stamp in entries:
        mtime = stamp[0] if stamp else STAND_IN_TIME
        dos_time, dos_date = dos_stamp(mtime)
        extra = extended_timestamp(mtime)
        is_dir = name.endswith("/")
        assert name.isascii() and "\\" not in name
        if is_dir:
            method, packed, version, attr = 0, b"", 10, ATTR_DIR
        else:
            method, packed = next(packed_files)
            version, attr = (63 if method == 95 else 10), ATTR_FILE  # 6.3 first named method 95
        crc = zlib.crc32(data)
        fname = name.encode("ascii")
        offset = len(local)
        local += struct.pack("<IHHHHHIIIHH", 0x04034B50, version, 0, method, dos_time, dos_date,
                             crc, len(packed), len(data), len(fname), len(extra)) + fname + extra + packed
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 63, version, 0, method, dos_time,
                               dos_date, crc, len(packed), len(data), len(fname), len(extra), 0, 0, 0,
                               attr, offset) + fname + extra
    if len(local) + len(central) >= 0xFFFFFFFF or len(entries) >= 0xFFFF:
        sys.exit("make_payload: the payload is too large for a zip without ZIP64")
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central),
                      len(local), 0)
    return bytes(local + central + end)


# ---------------------------------------------------------------- product folder

PE_MACHINES = {"x64": 0x8664, "x86": 0x14C}
MACHINE_NAMES = {0x14C: "x86", 0x8664: "x64", 0x1C4: "ARM", 0xAA64: "ARM64", 0x200: "Itanium"}
LINKED_FILES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "variants", "linked_files.inc")


def linked_files(arch):
    """{name in the setup's code: zip name} of the files the setup links to or registers, as the
    programs' own list (variants/linked_files.inc) gives them for this build."""
    found = {}
    with open(LINKED_FILES, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("//"):
                continue
            m = re.fullmatch(r'LINKED_FILE\((\w+), L"([^"]+)", L"([^"]+)"\)', line)
            if not m:
                sys.exit(f"make_payload: {os.path.normpath(LINKED_FILES)}:{number}: not a LINKED_FILE(name, L\"file\", L\"file\") line")
            found[m.group(1)] = m.group(2 if arch == "x64" else 3).replace("\\\\", "/")
    return found


def missing_linked(arch, names, where):
    """A problem for each linked file the entry names lack; the uninstaller's slot is ours to fill,
    so only a folder there is one."""
    files = {n.lower() for n in names if not n.endswith("/")}
    folders = {n.lower() for n in names if n.endswith("/")}
    problems = []
    for key, name in linked_files(arch).items():
        path = os.path.join(where, *name.split("/"))
        if key == "kUninstallerFile":
            if name.lower() + "/" in folders:
                problems.append(f"{path}: a folder where the setup puts its uninstaller")
        elif name.lower() not in files:
            problems.append(f"{path}: missing, and the setup links to it")
    return problems


def dos_stamp(mtime):
    """(time, date) in DOS form from a modification time, in UTC: the same on every build machine."""
    t = time.gmtime(mtime)
    if t.tm_year < 1980:
        return 0, (1 << 5) | 1                      # 1980-01-01 00:00:00, the earliest DOS date
    if t.tm_year > 2107:
        return (23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31
    return ((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2),
            ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday)


def pe_machine(path):
    """The machine type of a PE file's header, or None when the file is no PE file."""
    with open(path, "rb") as f:
        head = f.read(0x40)
        if len(head) < 0x40 or head[:2] != b"MZ":
            return None
        f.seek(struct.unpack_from("<I", head, 0x3C)[0])
        pe = f.read(6)
    if len(pe) < 6 or pe[:4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", pe, 4)[0]


# Names Windows keeps for its devices, whatever extension follows.
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL"} | {f"{port}{n}" for port in ("COM", "LPT") for n in range(10)}
# The setup writes each file as "<folder>\<path>.<32 hex digits>.new" within MAX_PATH (260) and
# its terminator; under the longest default folder, "C:\Program Files (x86)\Pictarn", this is left.
LONGEST_PATH = 260 - 1 - len("C:\\Program Files (x86)\\Pictarn") - 1 - (1 + 32 + 4)


def name_problem(name):
    """Why Windows cannot hold `name` as a file or folder name, or None."""
    if not all(0x20 <= ord(c) <= 0x7E for c in name):
        return "the name is not plain printable ASCII"
    forbidden = sorted({c for c in name if c in '<>:"/\\|?*'})
    if forbidden:
        return f"the name contains {' '.join(forbidden)}, which Windows allows in no name"
    if name.endswith((".", " ")):
        return "the name ends in a dot or a blank, which Windows drops"
    if name.split(".")[0].rstrip(" ").upper() in DEVICE_NAMES:
        return f"{name.split('.')[0].rstrip(' ').upper()} is a device of Windows, with any extension"
    return None


def walk_product(root, problems, rel=""):
    """(zip name, full path, is folder) of everything below root: in each folder its files, then
    its subfolders, each folder's entry before its contents; names sorted case-insensitively.
    What cannot be packed is added to `problems` and left out."""
    here = os.path.join(root, rel) if rel else root
    files, folders, seen = [], [], {}
    for name in sorted(os.listdir(here), key=lambda n: (n.lower(), n)):
        path = os.path.join(here, name)
        mode = os.lstat(path).st_mode
        problem = name_problem(name)
        if problem is None and name.lower() in seen:
            problem = f"differs from {seen[name.lower()]} only in case, and Windows holds one of the two"
        seen.setdefault(name.lower(), name)
        if problem is None and len(rel + name) > LONGEST_PATH:
            problem = (f"the path is {len(rel + name)} characters long; below the default installation "
                       f"folder at most {LONGEST_PATH} fit")
        if problem is None and stat.S_ISLNK(mode):
            problem = "symbolic links are not packed"
        elif problem is None and not stat.S_ISDIR(mode) and not stat.S_ISREG(mode):
            problem = "not a regular file or folder"
        if problem:
            problems.append(f"{path}: {problem}")
        elif stat.S_ISDIR(mode):
            folders.append(name)
        else:
            files.append(name)
    # The folder's own uninstaller, however its name is spelt, is the entry ours replaces.
    found = [("pt_uninstall.exe" if not rel and name.lower() == "pt_uninstall.exe" else rel + name,
              os.path.join(here, name), False) for name in files]
    for name in folders:
        below = walk_product(root, problems, rel + name + "/")
        if not any(not is_dir for _, _, is_dir in below):
            problems.append(f"{os.path.join(here, name)}: an empty folder (no file below it) is not packed")
            continue
        found.append((rel + name + "/", os.path.join(here, name), True))
        found += below
    return found


def checked_product(arch, product_dir):
    """The walk of a product folder that the setup can be built from; otherwise the build stops,
    naming every problem of the folder at once."""
    if not os.path.isdir(product_dir):
        sys.exit(f"make_payload: {product_dir}: the product folder is not a folder")
    problems = []
    walked = walk_product(product_dir, problems)
    names = [name for name, _, _ in walked]
    problems += missing_linked(arch, names, product_dir)
    main = linked_files(arch)["kMainProgram"]
    other = next(a for a in PE_MACHINES if a != arch)
    other_main = linked_files(other)["kMainProgram"]
    lower_names = {n.lower() for n in names}
    if main.lower() not in lower_names and other_main.lower() in lower_names:
        problems.append(f"{os.path.join(product_dir, other_main)}: the {other} build's main program, where the {arch} "
                        f"build needs {main} (the {arch} and {other} product folders swapped?)")
    # Every program of the folder runs in the build's process type: the main one, and each
    # other .exe or .dll (a plug-in of the other machine would never load).
    for name, path, is_dir in walked:
        is_main = name.lower() == main.lower()
        if is_dir or not (is_main or name.lower().endswith((".exe", ".dll"))):
            continue
        machine = pe_machine(path)
        if machine == PE_MACHINES[arch] or (machine is None and not is_main):
            continue
        found = "no PE program" if machine is None else \
            f"a program for {MACHINE_NAMES.get(machine, 'another machine')} (machine type 0x{machine:X})"
        hint = f" (the {arch} and {other} product folders swapped?)" if is_main and machine == PE_MACHINES[other] else ""
        problems.append(f"{path}: {found}, where the {arch} build needs one for {arch} "
                        f"(machine type 0x{PE_MACHINES[arch]:X}){hint}")
    if problems:
        sys.exit(f"make_payload: the product folder {product_dir} cannot be packed "
                 f"({len(problems)} problem{'s' if len(problems) > 1 else ''}):\n  " + "\n  ".join(problems))
    return walked


def product_entries(arch, bin_dir, product_dir, with_data=True, pinned=None):
    """The product folder's entries, with our uninstaller in place of the folder's; every entry
    dated `pinned` (seconds since 1970, UTC) when given."""
    walked = checked_product(arch, product_dir)
    names = {name for name, _, _ in walked}

    if "pt_uninstall.exe" not in names:
        # Ours joins the top-level files (they lead the walk) in its sorted place, with the
        # stand-in's fixed date so that a rebuilt uninstaller leaves the zip's dates alone.
        key = ("pt_uninstall.exe", "pt_uninstall.exe")
        top = [n for n, _, is_dir in walked if "/" not in n]
        at = sum(1 for n in top if (n.lower(), n) < key)
        walked.insert(at, ("pt_uninstall.exe", None, False))

    entries = []
    for name, path, is_dir in walked:
        stamp = pinned if pinned is not None else (int(os.lstat(path).st_mtime) if path else STAND_IN_TIME)
        if not with_data:
            entries.append((name, b"", stamp))
        elif name == "pt_uninstall.exe":   # ours, unpadded, with the date of the file it replaces
            entries.append((name, signed(load_program(os.path.join(bin_dir, name))), stamp))
        else:
            entries.append((name, b"" if is_dir else read_program(path), stamp))
    return entries


# ---------------------------------------------------------------- payload

def build_entries(arch, bin_dir):
    bits = "64" if arch == "x64" else "32"
    sizes = PROGRAM_SIZES[arch]
    chm = "pt_main32.chm"
    top = [
        (f"pt_main{bits}.exe", padded(os.path.join(bin_dir, f"pt_main{bits}.exe"), sizes["main"])),
        ("pt_uninstall.exe", signed(padded(os.path.join(bin_dir, "pt_uninstall.exe"), sizes["uninstall"]))),
        (chm, None),  # takes whatever is left of the total
        ("pt_about.txt", crlf(ABOUT)),
        ("pt_changes.txt", crlf(changes())),
        ("pt_options.txt", crlf(OPTIONS)),
        ("pt_plugins.txt", crlf(PLUGINS)),
        ("pt_languages.txt", crlf(LANGUAGES)),
        ("readme.txt", crlf(README)),
    ]
    folders = [("Languages/", [(f"Languages/{n}", language_file(n)) for n in LANGUAGE_FILES])]

    plugins = [("Plugins/Icons.dll", padded(os.path.join(bin_dir, "Icons.dll"), ICONS_DLL_SIZE))]
    plugins += [(f"Plugins/{n}", filler(n, size)) for n, size in DATA_PLUGINS]
    if arch == "x64":
        plugins.append(("Plugins/pt_plugin64.exe",
                        padded(os.path.join(bin_dir, "pt_plugin64.exe"), sizes["plugin64"])))
    folders.append(("Plugins/", plugins))

    folders.append(("Html/", [(f"Html/{e[0]}", html_file(e)) for e in HTML_FILES]))

    skins = []
    for name, size, frame, ink in SKINS:
        skins.append((f"Toolbars/{name}_{size}.png", toolbar_png(size, frame, ink)))
        skins.append((f"Toolbars/{name}_{size}.txt", toolbar_txt(name, size)))
    folders.append(("Toolbars/", skins))

    entries = list(top)
    for folder, files in folders:
        entries.append((folder, b""))
        entries += files

    count, total = EXPECTED[arch]
    rest = total - sum(len(d) for _, d in entries if d is not None)
    if not 100_000 <= rest <= 3_000_000:
        sys.exit(f"make_payload: help file would be {rest} bytes, adjust the fixed sizes")
    help_header = b"Pictarn 4.58 help (stand-in data)\r\n"
    entries = [(n, filler(chm, rest, help_header) if d is None else d) for n, d in entries]

    got_count, got_total = len(entries), sum(len(d) for _, d in entries)
    if (got_count, got_total) != (count, total):
        sys.exit(f"make_payload: {arch} payload has {got_count} entries / {got_total} bytes, "
                 f"expected {count} / {total}")
    return entries


def payload_bytes(args):
    """The unpacked size of the payload: the stand-in's fixed total, or the product folder's files
    with our uninstaller at its slot's size in place of the folder's."""
    if not args.product_dir:
        return EXPECTED[args.arch][1]
    total = PROGRAM_SIZES[args.arch]["uninstall"]
    for name, path, is_dir in walk_product(args.product_dir, []):
        if not is_dir and name != "pt_uninstall.exe":
            total += os.path.getsize(path)
    return total


def cpp_text(name):
    """A name as the inside of a C++ string literal."""
    return name.replace(chr(92), chr(92) * 2).replace('"', chr(92) + '"')


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--arch", choices=sorted(EXPECTED), required=True)
    ap.add_argument("--bin-dir", help="folder with the compiled stand-in programs")
    ap.add_argument("--out")
    ap.add_argument("--check", action="store_true",
                    help="only check the product folder, naming every problem that stops the build")
    ap.add_argument("--entry-list", action="store_true",
                    help="write the entry names as rows of a C++ table instead of the zip")
    ap.add_argument("--product-dir", default="",
                    help="pack this product folder instead of the stand-in")
    ap.add_argument("--pin-date", default="", metavar="YYYY-MM-DDTHH:MM:SS",
                    help="date every entry of the product folder with this time (for folders "
                         "copied without their dates)")
    args = ap.parse_args()
    if args.check:
        checked_product(args.arch, args.product_dir or ".")
        return
    if not args.bin_dir or not args.out:
        ap.error("--bin-dir and --out are needed unless --check is given")
    pinned = None
    if args.pin_date:
        try:
            when = time.strptime(args.pin_date, "%Y-%m-%dT%H:%M:%S")
        except ValueError:
            sys.exit(f"make_payload: --pin-date {args.pin_date}: not a date of the form YYYY-MM-DDTHH:MM:SS")
        pinned = calendar.timegm(when)

    def entries(with_data=True):
        if args.product_dir:
            return product_entries(args.arch, args.bin_dir, args.product_dir, with_data, pinned)
        made = build_entries(args.arch, args.bin_dir)
        problems = missing_linked(args.arch, [name for name, _ in made], "stand-in")
        if problems:
            sys.exit("make_payload: the stand-in lacks what the setup links to:\n  " + "\n  ".join(problems))
        return made

    if args.entry_list:
        # Each file's size and SHA-256 as the setup will write it, so that a removal without the
        # installation's record still knows its files by content. The uninstaller is built from
        # this list: its own entry has no digest.
        global load_program, sign_programs
        load_program = lambda path: b"" if os.path.basename(path) == "pt_uninstall.exe" else read_program(path)
        sign_programs = False

        def row(name, data):
            path = cpp_text(name.rstrip("/").replace("/", chr(92)))
            if name.endswith("/"):
                return f'    {{L"{path}", true, 0, nullptr}},\n'
            if name == "pt_uninstall.exe":
                return f'    {{L"{path}", false, 0, nullptr}},\n'
            digest = "".join(f"\\x{byte:02x}" for byte in hashlib.sha256(data).digest())
            return f'    {{L"{path}", false, {len(data)}, "{digest}"}},\n'
        listed = entries()
        rows = [row(n, d) for n, d, *_ in listed]
        with open(args.out, "w", newline="\n") as f:
            f.write("// Generated by tools/payload/make_payload.py --entry-list.\n")
            f.writelines(rows)
        with open(os.path.join(os.path.dirname(args.out), "payload_size.h"), "w", newline="\n") as f:
            f.write("// Generated by tools/payload/make_payload.py --entry-list: what the installed files take,\n"
                    "// in KiB rounded up (the uninstaller counted at its slot's size).\n#pragma once\n"
                    f"inline constexpr unsigned long kPayloadKilobytes = {(payload_bytes(args) + 1023) // 1024};\n"
                    "// The longest entry name, in characters: what limits the installation folder's length.\n"
                    f"inline constexpr unsigned long kLongestEntryName = {max(len(n.rstrip('/')) for n, *_ in listed)};\n")
        return
    data = zip_bytes(entries())
    # The program carries the archive's SHA-256 and unpacks only an archive that has it.
    for path, content in ((os.path.splitext(args.out)[0] + ".sha256", hashlib.sha256(data).digest()),
                          (args.out, data)):
        tmp = path + ".tmp"
        with open(tmp, "wb") as f:
            f.write(content)
        os.replace(tmp, path)  # never leave a half-written file behind for the next build step


if __name__ == "__main__":
    main()
