#!/usr/bin/env python3
"""Checks the winget manifest: each YAML file against the JSON schema of its ManifestType and
ManifestVersion (the schemas kept in WINGET_DIR/schema), then the product's facts read
independently of the schemas: both architectures, the silent and folder switches, every
non-zero exit code of the setup mapped, the uninstall entry each build writes, and one
identifier and version across the files. The version is each folder's own and, with --program,
the built setup's (its folder must be there); the uninstall keys, display names and exit codes
are the README's tables, as an administrator reads them. Prints each check; exits 1 on any failure.
Usage: check_winget.py WINGET_DIR --readme README.md [--program pt_setup64.exe ...]"""
import argparse
import glob
import json
import os
import re
import sys

import jsonschema
import yaml

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "payload"))
from product_version import program_version  # noqa: E402  (pefile reads the version resource)

IDENTIFIER = "ZorvanKettu.Pictarn"
PUBLISHER = "Zorvan Kettu"
ARCHITECTURES = {"pt_setup64.exe": "x64", "pt_setup32.exe": "x86"}
# winget's response for an exit code, by what the README says the code means: where the meaning
# leaves one honest response it is required; any other code may take any response.
RESPONSES = [("left the wizard", "cancelledByUser"), ("is running", "packageInUse"),
             ("in progress", "installInProgress"), ("Soft reboot", "rebootRequiredToFinish"),
             ("newer version is installed", "downgrade")]
SHA256_PLACEHOLDER = "0" * 64
SCHEMA_FILE = {"version": "version", "installer": "installer", "defaultLocale": "defaultLocale"}
HEADER = re.compile(r"^# yaml-language-server: \$schema=https://aka\.ms/"
                    r"winget-manifest\.(\w+)\.(\d+\.\d+\.\d+)\.schema\.json$")

failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    if not ok:
        failures.append(what)
    return ok


class UniqueKeyLoader(yaml.SafeLoader):
    """winget refuses a mapping with a key twice; PyYAML would keep the last one silently."""


def construct_unique_mapping(loader, node, deep=False):
    seen = set()
    for key_node, _ in node.value:
        key = loader.construct_object(key_node, deep=deep)
        if key in seen:
            raise yaml.constructor.ConstructorError(None, None, f"duplicate key {key!r}", key_node.start_mark)
        seen.add(key)
    return loader.construct_mapping(node, deep)


UniqueKeyLoader.add_constructor(yaml.resolver.BaseResolver.DEFAULT_MAPPING_TAG, construct_unique_mapping)


def load_manifest(path, schema_dir):
    name = os.path.basename(path)
    with open(path, encoding="utf-8") as stream:
        text = stream.read()
    try:
        data = yaml.load(text, Loader=UniqueKeyLoader)
    except yaml.YAMLError as error:
        check(False, f"{name}: YAML: {error}")
        return None
    if not check(isinstance(data, dict), f"{name}: a YAML mapping"):
        return None
    kind, version = data.get("ManifestType"), data.get("ManifestVersion")
    header = HEADER.match(text.splitlines()[0]) if text else None
    check(header is not None and header.group(1).lower() == str(kind).lower() and header.group(2) == version,
          f"{name}: first line names the schema of ManifestType {kind}, ManifestVersion {version}")
    schema_path = os.path.join(schema_dir, f"manifest.{SCHEMA_FILE.get(kind, kind)}.{version}.json")
    if not check(os.path.isfile(schema_path), f"{name}: schema {os.path.basename(schema_path)} present"):
        return data
    with open(schema_path, encoding="utf-8") as stream:
        schema = json.load(stream)
    validator_class = jsonschema.validators.validator_for(schema)
    check(validator_class is jsonschema.Draft7Validator,
          f"{name}: schema declares JSON Schema draft-07 ({schema.get('$schema')})")
    validator_class.check_schema(schema)
    errors = sorted(validator_class(schema).iter_errors(data), key=lambda e: list(e.absolute_path))
    for error in errors:
        where = "/".join(str(p) for p in error.absolute_path) or "(top)"
        print(f"      {where}: {error.message}")
    check(not errors, f"{name}: valid against {os.path.basename(schema_path)} ({len(errors)} errors)")
    return data


def table_rows(text, header):
    """The cells of each row of the README's table whose header row starts with `header`."""
    lines = text.splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith(header))
    rows = []
    for line in lines[start + 2:]:
        if not line.startswith("|"):
            break
        rows.append([cell.strip().strip("`") for cell in line.strip().strip("|").split("|")])
    return rows


def read_readme(path):
    """({architecture: (uninstall key, DisplayName, DisplayVersion)}, {non-zero exit code: (the
    setup returns it, required response or None)}) as the README's deployment tables give them."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    builds = {ARCHITECTURES[row[0]]: (row[1], row[3], row[4])
              for row in table_rows(text, "| Setup | Uninstall key")}
    codes = {}
    for code, setup, uninstaller, deployment in table_rows(text, "| Exit code | Setup | Uninstaller"):
        meaning = f"{setup} {uninstaller} {deployment}"
        if code != "0":
            codes[int(code)] = (setup != "—", next((r for words, r in RESPONSES if words in meaning), None))
    return builds, codes


def check_version_folder(folder, schema_dir, builds, exit_codes):
    print(f"-- {folder}")
    files = sorted(glob.glob(os.path.join(folder, "*.yaml")))
    manifests = {}
    for path in files:
        data = load_manifest(path, schema_dir)
        if data is not None:
            manifests.setdefault(data.get("ManifestType"), []).append((os.path.basename(path), data))
    complete = True
    for kind in ("version", "installer", "defaultLocale"):
        complete &= check(len(manifests.get(kind, [])) == 1, f"exactly one {kind} manifest")
    if not complete:
        return
    (version_name, version), (installer_name, installer), (locale_name, locale) = (
        manifests["version"][0], manifests["installer"][0], manifests["defaultLocale"][0])
    every = [version, installer, locale]

    # One package, one version, one manifest version, and the folder and file names winget-pkgs uses.
    check({m.get("PackageIdentifier") for m in every} == {IDENTIFIER}, f"PackageIdentifier {IDENTIFIER} in all three")
    folder_version = os.path.basename(os.path.normpath(folder))
    versions = {m.get("PackageVersion") for m in every}
    check(versions == {folder_version}, f"PackageVersion {folder_version} in all three (found {sorted(map(repr, versions))})")
    check(len({m.get("ManifestVersion") for m in every}) == 1, "one ManifestVersion in all three")
    publisher, name = IDENTIFIER.split(".", 1)
    expected_folder = os.path.join(publisher[0].lower(), publisher, name, folder_version)
    check(os.path.normpath(folder).endswith(expected_folder), f"folder is manifests/{expected_folder}")
    default_locale = version.get("DefaultLocale")
    check(locale.get("PackageLocale") == default_locale, f"defaultLocale manifest is for {default_locale}")
    check(version_name == f"{IDENTIFIER}.yaml" and installer_name == f"{IDENTIFIER}.installer.yaml"
          and locale_name == f"{IDENTIFIER}.locale.{default_locale}.yaml", "file names follow the identifier")
    check(locale.get("Publisher") == PUBLISHER, f"Publisher {PUBLISHER!r}")
    check(locale.get("PackageName") == "Pictarn", "PackageName Pictarn")

    # Root-level installer fields count for every installer that does not set its own.
    installers = installer.get("Installers") or []

    def field(entry, key):
        return entry.get(key, installer.get(key))

    architectures = [i.get("Architecture") for i in installers]
    check(sorted(architectures) == sorted(builds), f"installers for {', '.join(sorted(builds))} (found {architectures})")
    for entry in installers:
        arch = entry.get("Architecture")
        if arch not in builds:
            continue
        exe = next(name for name, a in ARCHITECTURES.items() if a == arch)
        product_code, readme_name, readme_version = builds[arch]
        display_name = readme_name.replace(readme_version, folder_version)
        check(field(entry, "InstallerType") == "exe", f"{arch}: InstallerType exe")
        check(field(entry, "Scope") == "machine", f"{arch}: Scope machine")
        check(str(entry.get("InstallerUrl", "")).endswith("/" + exe), f"{arch}: InstallerUrl ends in {exe}")
        sha = str(entry.get("InstallerSha256", ""))
        if sha == SHA256_PLACEHOLDER:
            print(f"note  {arch}: InstallerSha256 is the placeholder the release step replaces")
        else:
            check(re.fullmatch(r"[0-9A-Fa-f]{64}", sha) is not None, f"{arch}: InstallerSha256 is 64 hex digits")
        switches = field(entry, "InstallerSwitches") or {}
        for mode in ("Silent", "SilentWithProgress"):
            words = str(switches.get(mode, "")).split()
            check("/silent" in words, f"{arch}: {mode} switch contains /silent ({switches.get(mode)!r})")
        location = str(switches.get("InstallLocation", ""))
        check(re.fullmatch(r'/folder="<INSTALLPATH>"', location) is not None,
              f"{arch}: InstallLocation switch is /folder=\"<INSTALLPATH>\" ({location!r})")
        if entry.get("ProductCode", installer.get("ProductCode")) is not None:
            check(field(entry, "ProductCode") == product_code, f"{arch}: installer ProductCode {product_code}")
        apps = field(entry, "AppsAndFeaturesEntries") or []
        check(len(apps) == 1, f"{arch}: one AppsAndFeaturesEntries entry")
        for app in apps:
            check(app.get("ProductCode") == product_code, f"{arch}: uninstall key (ProductCode) {product_code} "
                  f"(found {app.get('ProductCode')!r})")
            check(app.get("DisplayName") == display_name, f"{arch}: DisplayName {display_name!r}")
            check(app.get("Publisher") == PUBLISHER, f"{arch}: Publisher {PUBLISHER!r}")
            check(app.get("DisplayVersion") == folder_version, f"{arch}: DisplayVersion {folder_version} agrees with PackageVersion")

        codes = field(entry, "ExpectedReturnCodes") or []
        listed = [c.get("InstallerReturnCode") for c in codes]
        check(len(listed) == len(set(listed)) and not set(listed) & set(field(entry, "InstallerSuccessCodes") or []),
              f"{arch}: no exit code listed twice")
        responses = {c.get("InstallerReturnCode"): c.get("ReturnResponse") for c in codes}
        check(set(responses) <= set(exit_codes),
              f"{arch}: only exit codes the README lists ({sorted(set(responses) - set(exit_codes))} are not)")
        for code, (from_setup, wanted) in exit_codes.items():
            got = responses.get(code)
            if from_setup:
                check(got is not None, f"{arch}: the setup's exit code {code} mapped ({got})")
            if got is not None and wanted is not None:
                check(got == wanted, f"{arch}: exit code {code} mapped to {wanted} ({got})")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("winget")
    ap.add_argument("--readme", required=True)
    ap.add_argument("--program", action="append", default=[], help="a built pt_setup*.exe")
    args = ap.parse_args()
    builds, exit_codes = read_readme(args.readme)
    check(sorted(builds) == ["x64", "x86"] and sum(setup for setup, _ in exit_codes.values()) >= 5,
          f"README: both builds' uninstall entries and the exit codes ({sorted(builds)}, {sorted(exit_codes)})")
    schema_dir = os.path.join(args.winget, "schema")
    folders = sorted({os.path.dirname(p) for p in glob.glob(os.path.join(args.winget, "manifests", "**", "*.yaml"),
                                                            recursive=True)})
    check(len(folders) >= 1, f"manifest folders under {os.path.join(args.winget, 'manifests')} ({len(folders)})")
    for program in args.program:
        version = program_version(program)
        check(any(os.path.basename(f) == version for f in folders),
              f"{os.path.basename(program)} is {version}: a manifest folder for it (tools/release.py writes it)")
    for folder in folders:
        check_version_folder(folder, schema_dir, builds, exit_codes)
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
