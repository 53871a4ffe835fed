#!/usr/bin/env python3
"""Times our silent install against the NSIS peers in one Wine prefix and writes the
results table. Called by tools/bench/run.sh, which sets up WINEPREFIX, DISPLAY and a
persistent wineserver; everything here runs inside that environment."""
import argparse
import glob
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import threading
import time
import zipfile

WINE64 = "/usr/lib/wine/wine64"
OUR_ARGS = ["/silent", r"/folder=C:\Pictarn", "/group=1", "/desktop=1", "/thumbs=1", "/assoc=2"]
RUN_TIMEOUT = 300


def wine(*args):
    return subprocess.run([WINE64, *args], stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, errors="replace").stdout


class Bench:
    def __init__(self, a):
        self.a = a
        self.drive_c = os.path.join(os.environ["WINEPREFIX"], "drive_c")
        self.install_dir = os.path.join(self.drive_c, "Pictarn")
        users = [u for u in glob.glob(os.path.join(self.drive_c, "users", "*"))
                 if os.path.basename(u) != "Public"]
        self.profile = users[0]
        with zipfile.ZipFile(a.zip) as z:
            self.expected = {n for n in z.namelist() if not n.endswith("/")} | {"pt_main64.ini"}
        self.log = os.path.join(a.workdir, "Pictarn_Install.log")

    def run(self, exe, args, settings_here=True, env=None):
        """One timed install into a removed C:\\Pictarn: (seconds, failure text or None), and
        the process's peak resident memory in self.peak_kib. settings_here: an earlier
        installation is registered, so the settings file must end up in C:\\Pictarn, converted."""
        shutil.rmtree(self.install_dir, ignore_errors=True)
        seconds, rc, self.peak_kib = timed_run([WINE64, exe, *args], self.a.workdir, env)
        if rc is None:
            return RUN_TIMEOUT, "timed out"
        if rc != 0:
            return seconds, "exit code %d%s" % (rc, self.take_log())
        missing = self.expected - self.installed_files()
        if missing:
            return seconds, "missing %d files, e.g. %s" % (len(missing), sorted(missing)[0])
        if settings_here and self.settings_place() != "C:\\Pictarn":
            return seconds, "no UTF-16 settings file in C:\\Pictarn"
        return seconds, None

    def take_log(self):
        if not os.path.exists(self.log):
            return ""
        with open(self.log, "rb") as f:
            text = f.read().decode("utf-8", "replace").strip()
        os.remove(self.log)
        return " (log: %s)" % " | ".join(text.splitlines()[-3:])

    def installed_files(self):
        found = set()
        for dirpath, _, files in os.walk(self.install_dir):
            rel = os.path.relpath(dirpath, self.install_dir)
            for f in files:
                found.add(f if rel == "." else "%s/%s" % (rel.replace(os.sep, "/"), f))
        return found

    def shell_state(self):
        """What a run left in the shell: counts to compare the two installers' work."""
        desktop = glob.glob(os.path.join(self.profile, "Desktop", "Pictarn*.lnk"))
        group = glob.glob(os.path.join(self.profile, "AppData", "Roaming", "Microsoft", "Windows",
                                       "Start Menu", "Programs", "Pictarn", "*.lnk"))
        caps = wine("reg", "query", r"HKLM\SOFTWARE\Pictarn\Capabilities\FileAssociations")
        choices = wine("reg", "query", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts", "/s")
        uninstall = wine("reg", "query", r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Pictarn64")
        offers = "".join(wine("reg", "query", r"HKLM\SOFTWARE\Classes\.%s\OpenWithProgids" % ext)
                         for ext in ("jpg", "gif", "mp3"))
        return ("%d files, settings in %s, %d desktop + %d group shortcuts, %d capability values, "
                "%d UserChoice values, %d of 3 Open-with offers, %d uninstall values" % (
                    len(self.installed_files()), self.settings_place(), len(desktop), len(group),
                    len(re.findall(r"^\s+\.\w+\s+REG_SZ", caps, re.M)),
                    len(re.findall(r"^\s+Progid\s+REG_SZ", choices, re.M | re.I)),
                    len(re.findall(r"^\s+Pictarn\.\w+\s+REG_SZ", offers, re.M)),
                    len(re.findall(r"^\s+\S*\s+REG_(SZ|DWORD)", uninstall, re.M))))

    def settings_place(self):
        """Where the settings went and whether they are in their final UTF-16 form."""
        # The installation folder first: when the settings went to the profile, the file
        # there is only an ANSI pointer.
        for place, path in (("C:\\Pictarn", os.path.join(self.install_dir, "pt_main64.ini")),
                            ("%APPDATA%", self.appdata_ini())):
            if os.path.exists(path):
                with open(path, "rb") as f:
                    if f.read(2) == b"\xff\xfe":
                        return place
        return "no UTF-16 settings file"

    def appdata_ini(self):
        return os.path.join(self.profile, "AppData", "Roaming", "Pictarn", "pt_main64.ini")

    def reset_shell_state(self):
        """Back to a clean prefix for the next check: no earlier installation to be found."""
        shutil.rmtree(os.path.dirname(self.appdata_ini()), ignore_errors=True)
        for lnk in glob.glob(os.path.join(self.profile, "Desktop", "Pictarn*.lnk")):
            os.remove(lnk)
        shutil.rmtree(os.path.join(self.profile, "AppData", "Roaming", "Microsoft", "Windows",
                                   "Start Menu", "Programs", "Pictarn"), ignore_errors=True)
        for key in (r"HKLM\SOFTWARE\Pictarn", r"HKLM\SOFTWARE\Classes\Pictarn",
                    r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts",
                    r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Pictarn64",
                    r"HKLM\SOFTWARE\Classes\.jpg\OpenWithProgids", r"HKLM\SOFTWARE\Classes\.gif\OpenWithProgids",
                    r"HKLM\SOFTWARE\Classes\.mp3\OpenWithProgids"):
            wine("reg", "delete", key, "/f")


def timed_run(command, cwd, env=None):
    """(seconds, exit code or None when it timed out, peak resident KiB). Under Wine the
    started process is the Windows program itself, so its rusage is the program's."""
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    timer = threading.Timer(RUN_TIMEOUT, process.kill)
    timer.start()
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    timed_out = not timer.is_alive()
    timer.cancel()
    process.returncode = os.waitstatus_to_exitcode(status)
    return seconds, None if timed_out else process.returncode, usage.ru_maxrss


def hyperfine(runs, command, prepare=None, ignore_failure=False, cwd=None):
    """Median of a floor measurement; hyperfine runs it without a shell."""
    out = os.path.join(os.environ.get("TMPDIR", "/tmp"), "pt_bench_floor.json")
    cmd = ["hyperfine", "-N", "--style", "none", "--warmup", "2", "--runs", str(runs),
           "--export-json", out, command] + (["-i"] if ignore_failure else [])
    if prepare:
        cmd[1:1] = ["--prepare", prepare]
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, cwd=cwd)
    with open(out) as f:
        result = json.load(f)["results"][0]
    os.remove(out)
    return result["median"]


def stage_breakdown(b, exe, runs):
    """Median milliseconds per stage of the same install, from the build that times its stages
    (PT_STAGE_TIMES); start-up counts from the process's creation."""
    record = os.path.join(b.drive_c, "pt_stages.txt")
    if os.path.exists(record):
        os.remove(record)
    env = dict(os.environ, PT_STAGE_FILE="C:\\pt_stages.txt")
    for _ in range(runs):
        b.run(exe, OUR_ARGS, env=env)
    shutil.rmtree(b.install_dir, ignore_errors=True)
    with open(record) as f:
        lines = [dict(item.split("=") for item in line.split()) for line in f if line.strip()]
    names = list(lines[0]) if lines else []
    return [(n, statistics.median(int(line[n]) for line in lines) / 1000) for n in names], len(lines)


def time_to_decision(a, runs):
    """Median time of a silent run that stops at the running-product check."""
    window = subprocess.Popen([WINE64, a.idle, "/window"], stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(2)  # the window exists well before this
        return hyperfine(runs, "%s %s /silent" % (WINE64, a.ours), ignore_failure=True, cwd=a.workdir)
    finally:
        window.kill()
        window.wait()
        log = os.path.join(a.workdir, "Pictarn_Install.log")  # one "is running" entry a run
        if os.path.exists(log):
            os.remove(log)


def mib(peaks, floor_kib):
    if not peaks:
        return "n/a"
    peak = statistics.median(peaks)
    return "%.1f MiB, %.1f MiB above the floor" % (peak / 1024, (peak - floor_kib) / 1024)


def summary(times):
    if not times:
        return "n/a"
    return "%.3f s (min %.3f, max %.3f)" % (statistics.median(times), min(times), max(times))


def installers(a):
    """(name, program, arguments) of each installer timed, ours first."""
    found = [("ours", a.ours, OUR_ARGS), ("NSIS lzma", a.nsis, [])]
    if a.nsis_zlib:
        found.append(("NSIS zlib", a.nsis_zlib, []))
    return found


def ratio(med, name):
    return "%.2f" % (med["ours"] / med[name]) if med["ours"] and med[name] else "n/a"


def main():
    ap = argparse.ArgumentParser()
    for name in ("ours", "stages", "nsis", "idle", "zip", "workdir", "out", "nsis_target"):
        ap.add_argument("--" + name.replace("_", "-"), required=True)
    ap.add_argument("--nsis-zlib", default="", help="the NSIS peer with zlib, timed as well")
    ap.add_argument("--sizes", default="", help="a size table to append")
    ap.add_argument("--pairs", type=int, default=21, help="rounds, each running every installer once")
    ap.add_argument("--cores", default="all")
    ap.add_argument("--floor-runs", type=int, default=20)
    a = ap.parse_args()
    b = Bench(a)
    load_before = os.getloadavg()
    timed = installers(a)
    names = [name for name, _, _ in timed]

    # An untimed first round on a clean prefix, which also warms the caches: record what
    # each installer leaves in the shell, so the table shows whether all did the same work.
    # The last NSIS run's registration stays for the timed runs, which therefore all find an
    # earlier installation.
    checks = {}
    for name, exe, args in timed:
        if checks:
            b.reset_shell_state()
        seconds, failure = b.run(exe, args, settings_here=False)
        checks[name] = b.shell_state() + ("; FAILED: %s" % failure if failure else "")
        print("check %s: %.3f s, %s" % (name, seconds, checks[name]), flush=True)

    # Alternate them so that slow phases of the busy machine hit all alike. The
    # registry and shortcuts stay between runs (each run rewrites them); the files do not.
    times = {name: [] for name in names}
    peaks = {name: [] for name in names}
    failures = {name: {} for name in names}  # failure text: run numbers
    for i in range(a.pairs):
        for name, exe, args in timed:
            seconds, failure = b.run(exe, args)
            (failures[name].setdefault(failure, []).append(str(i + 1)) if failure
             else times[name].append(seconds))
            if not failure:
                peaks[name].append(b.peak_kib)
            print("round %2d %-9s %.3f s%s" % (i + 1, name, seconds,
                                               "  FAILED: " + failure if failure else ""), flush=True)
    shutil.rmtree(b.install_dir, ignore_errors=True)

    stages, stage_runs = stage_breakdown(b, a.stages, a.pairs)
    wine_floor = hyperfine(a.floor_runs, "%s %s" % (WINE64, a.idle))
    floor_peak = statistics.median(timed_run([WINE64, a.idle], a.workdir)[2] for _ in range(a.floor_runs))
    decision = time_to_decision(a, a.floor_runs)
    # 7-Zip, as Info-ZIP's unzip cannot read .xz entries.
    unzip_dir = os.path.join(a.workdir, "unzip-floor")
    unzip_floor = hyperfine(a.floor_runs, "7zz x -y -bso0 -bsp0 -o%s %s" % (unzip_dir, a.zip), "rm -rf " + unzip_dir)
    shutil.rmtree(unzip_dir, ignore_errors=True)
    load_after = os.getloadavg()

    med = {k: statistics.median(v) if v else None for k, v in times.items()}
    failed = {k: sum(map(len, v.values())) for k, v in failures.items()}
    rows = [("%s, silent install (%d runs, %d failed)" % ("Ours" if name == "ours" else name + " peer",
                                                          a.pairs, failed[name]), summary(times[name]))
            for name in names]
    rows += [("Ratio ours / %s (medians)%s" % (name, ", the same compression class" if name == "NSIS lzma" else ""),
              ratio(med, name)) for name in names[1:]]
    rows += [
        ("Ours: start-up to the running-product decision (`/silent` with the product's window open, "
         "median of %d)" % a.floor_runs,
         "%.3f s, %.0f ms above the floor" % (decision, 1000 * (decision - wine_floor)))]
    rows += [("%s: peak resident memory (median)" % ("Ours" if name == "ours" else name + " peer"),
              mib(peaks[name], floor_peak)) for name in names]
    rows += [
        ("Floor: Wine starts a trivial program (median of %d)" % a.floor_runs, "%.3f s" % wine_floor),
        ("Floor: the trivial program's peak resident memory", "%.1f MiB" % (floor_peak / 1024)),
        ("Floor: native 7-Zip (7zz x) unpacks the payload ZIP (median of %d)" % a.floor_runs,
         "%.3f s" % unzip_floor),
    ]
    rows += [("Stage: %s (median of %d runs of a timing build)" % (name.replace("_", " "), stage_runs),
              "%.1f ms" % value) for name, value in stages]
    makensis = subprocess.run(["makensis", "-VERSION"], capture_output=True, text=True).stdout.strip()
    lines = ["# Install benchmark: ours vs NSIS peers", "", "| Measure | Value |", "|---|---|"]
    lines += ["| %s | %s |" % r for r in rows]
    lines += [
        "",
        "- Ours: `pt_setup64.exe %s`; NSIS %s (`Target %s`, not solid: lzma, which like ours packs each "
        "file alone%s)." % (" ".join(OUR_ARGS), makensis, a.nsis_target, ", and zlib" if a.nsis_zlib else ""),
        "- All run with `%s` in one Windows 10 prefix, in turn, after an untimed check round; "
        "C:\\Pictarn is removed before every run, the registry and shortcuts stay, so every timed run "
        "finds an earlier installation and keeps its settings in C:\\Pictarn." % WINE64,
        "- After the first run of each on a clean prefix: %s."
        % ". ".join("%s: %s" % (name, checks[name]) for name in names),
        "- Load average (1 min) %.2f before, %.2f after; %d cores, Wine ran on %s. Measured %s."
        % (load_before[0], load_after[0], os.cpu_count(),
           "all of them" if a.cores == "all" else "core %s alone (BENCH_CPU)" % a.cores,
           time.strftime("%Y-%m-%d %H:%M %Z")),
    ]
    for name, items in failures.items():
        lines += ["- Failures of %s: runs %s: %s" % (name, ", ".join(runs), text)
                  for text, runs in items.items()]
    text = "\n".join(lines) + "\n"
    if a.sizes:
        with open(a.sizes) as f:
            text += "\n" + f.read()
    with open(a.out, "w") as f:
        f.write(text)
    print("\n" + text)
    return 1 if any(failures.values()) else 0


if __name__ == "__main__":
    sys.exit(main())
