#!/usr/bin/env python3
"""Checks the shortcuts of a complete silent install with lnkinfo, a reader that shares no
code with the setup program. Usage: check_shortcuts.py pt_setupNN.exe x64|x86
Runs in the Wine prefix named by WINEPREFIX."""
import os
import pwd
import re
import shutil
import subprocess
import sys

setup, arch = sys.argv[1], sys.argv[2]
prefix = os.environ["WINEPREFIX"]
loader = "/usr/lib/wine/wine64" if arch == "x64" else "/usr/lib/wine/wine"
is64 = arch == "x64"
folder_win = "C:\\PictarnLinks\\"
folder_unix = os.path.join(prefix, "drive_c", "PictarnLinks")
user = os.path.join(prefix, "drive_c", "users", pwd.getpwuid(os.getuid()).pw_name)
desktop = os.path.join(user, "Desktop")
group = os.path.join(user, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs", "Pictarn")

main = "pt_main64.exe" if is64 else "pt_main32.exe"
exe = folder_win + main
expected = {
    # path: (local path, arguments, icon location, icon index, description)
    os.path.join(desktop, "Pictarn 64.lnk" if is64 else "Pictarn.lnk"):
        (exe, None, None, None, "Pictarn 64 - Image Viewer" if is64 else "Pictarn - Image Viewer"),
    os.path.join(desktop, "Pictarn 64 Thumbnails.lnk" if is64 else "Pictarn Thumbnails.lnk"):
        (exe, "/thumbs", exe, "7", "Pictarn - Thumbnails"),
    os.path.join(group, "Pictarn 64 4.58.lnk" if is64 else "Pictarn 4.58.lnk"): (exe, None, None, None, None),
    os.path.join(group, "Pictarn - Thumbnails.lnk"): (exe, "/thumbs", exe, "7", None),
    os.path.join(group, "Uninstall Pictarn.lnk"): (folder_win + "pt_uninstall.exe", None, None, None, None),
}
for name, target in [("About Pictarn.lnk", "pt_about.txt"), ("What's New.lnk", "pt_changes.txt"),
                     ("Command line Options.lnk", "pt_options.txt"), ("Available PlugIns.lnk", "pt_plugins.txt"),
                     ("Available Languages.lnk", "pt_languages.txt"), ("Pictarn Help.lnk", "pt_main32.chm")]:
    expected[os.path.join(group, name)] = (folder_win + target, None, None, None, None)


def fields(path):
    out = subprocess.run(["lnkinfo", path], capture_output=True, text=True, check=True).stdout
    found = {}
    for line in out.splitlines():
        match = re.match(r"\s*([A-Za-z ]+?)\s*:\s?(.*)$", line)
        if match and match.group(1) not in found:
            found[match.group(1)] = match.group(2)
    return found


# Windows 7, where the group also holds the uninstaller's link (later Windows lists it in Settings).
version_key = "HKCU\\Software\\Wine\\AppDefaults\\" + os.path.basename(setup)
subprocess.run([loader, "reg", "add", version_key, "/v", "Version", "/d", "win7", "/f"], capture_output=True, check=True)
status = subprocess.run([loader, setup, "/silent", "/folder=" + folder_win, "/group=1", "/desktop=1",
                         "/thumbs=1", "/assoc=0"]).returncode
subprocess.run([loader, "reg", "delete", version_key, "/f"], capture_output=True)
failures = [] if status == 0 else [f"setup exited with {status}"]
for path, (target, arguments, icon, index, description) in expected.items():
    if not os.path.exists(path):
        failures.append(f"missing: {path}")
        continue
    info = fields(path)
    checks = [("Local path", target), ("Command line arguments", arguments), ("Icon location", icon),
              ("Description", description)]
    if index is not None:
        checks.append(("Icon index", index))
    for key, want in checks:
        got = info.get(key)
        if got != want:
            failures.append(f"{os.path.basename(path)}: {key} is {got!r}, expected {want!r}")

for path in expected:
    if os.path.exists(path):
        os.remove(path)
shutil.rmtree(folder_unix, ignore_errors=True)
for failure in failures:
    print(failure)
print(f"{len(expected)} shortcuts checked, {len(failures)} problems")
sys.exit(1 if failures else 0)
