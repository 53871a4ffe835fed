#!/usr/bin/python3
"""A program's version as major.minor, from its fixed version information; with --four, its whole
file version (major.minor.build.revision). Run as a script it prints it, or fails saying why when
the file is missing or carries none.
Usage: product_version.py PROGRAM [--four]"""
import sys

import pefile


def program_file_version(path):
    """The four numbers of the program's file version: (major, minor, build, revision)."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    fixed = pe.VS_FIXEDFILEINFO[0]
    return (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16,
            fixed.FileVersionLS & 0xFFFF)


def program_version(path):
    """"major.minor" of the program at `path`, as the setup writes it (4.58, 5.0, 10.12)."""
    return "%d.%d" % program_file_version(path)[:2]


if __name__ == "__main__":
    try:
        print("%d.%d.%d.%d" % program_file_version(sys.argv[1]) if "--four" in sys.argv[2:] else
              program_version(sys.argv[1]))
    except (OSError, pefile.PEFormatError, AttributeError, IndexError) as error:
        sys.exit(f"{sys.argv[1]}: no version information to take the product's version from ({error}); "
                 "name the version with PT_VERSION=major.minor")
