"""Writes the package-manager manifests that describe a release zip.
    write-manifests.py RELEASE_JSON ZIP OUT
RELEASE_JSON is build/<name>/release.json, which CMake writes from CMakeLists.txt (version, texts and
HOVERLATCH_DOWNLOAD_URL); ZIP is the release zip. Writes, under OUT:
    winget/Quenby.Hoverlatch/<version>/Quenby.Hoverlatch{,.locale.en-US,.installer}.yaml  (schema 1.12.0)
    scoop/hoverlatch.json
The texts are those of the version resource; the long description is README.txt's opening paragraph,
read from the zip, so that what a package manager shows is what the download says."""
import hashlib
import json
import os
import sys
import zipfile
from pathlib import Path

import yaml

PACKAGE_ID = "Quenby.Hoverlatch"
LOCALE = "en-US"
MANIFEST_VERSION = "1.12.0"
PROGRAM = "Hoverlatch.exe"
PLACEHOLDER_HOST = "example.invalid"  # the host of the default HOVERLATCH_DOWNLOAD_URL


def readme_intro(archive):
    """README.txt's first paragraph after its underlined title, joined into one line."""
    lines = archive.read("README.txt").decode("utf-8").replace("\r\n", "\n").split("\n\n")[1]
    return " ".join(lines.split())


def write_yaml(path, manifest):
    # The header names the schema for editors (winget skips comments); the keys keep the order given here.
    path.write_text("# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json\n\n%s"
                    % (manifest["ManifestType"], MANIFEST_VERSION,
                       yaml.safe_dump(manifest, sort_keys=False, allow_unicode=True, width=1000)),
                    encoding="utf-8", newline="\n")


def main(release_json, zip_path, out):
    release = json.loads(Path(release_json).read_text("utf-8"))
    version, name = release["version"], os.path.basename(zip_path)
    digest = hashlib.sha256(Path(zip_path).read_bytes()).hexdigest()
    with zipfile.ZipFile(zip_path) as archive:
        description = readme_intro(archive)
    # The URL template keeps $version for Scoop's autoupdate; this release's URLs have it filled in.
    template = release["download_url"].rstrip("/") + "/" + name.replace(version, "$version")
    url = template.replace("$version", version)
    common = {"PackageIdentifier": PACKAGE_ID, "PackageVersion": version}

    folder = Path(out, "winget", PACKAGE_ID, version)
    folder.mkdir(parents=True, exist_ok=True)
    write_yaml(folder / (PACKAGE_ID + ".yaml"), {
        **common, "DefaultLocale": LOCALE, "ManifestType": "version", "ManifestVersion": MANIFEST_VERSION})
    write_yaml(folder / ("%s.locale.%s.yaml" % (PACKAGE_ID, LOCALE)), {
        **common, "PackageLocale": LOCALE, "Publisher": release["publisher"], "PackageName": release["name"],
        "PackageUrl": release["homepage"], "License": release["license"], "Copyright": release["copyright"],
        "ShortDescription": release["description"], "Description": description,
        "ManifestType": "defaultLocale", "ManifestVersion": MANIFEST_VERSION})
    write_yaml(folder / (PACKAGE_ID + ".installer.yaml"), {
        **common, "Installers": [{
            "Architecture": "x64", "InstallerType": "zip", "NestedInstallerType": "portable",
            "NestedInstallerFiles": [{"RelativeFilePath": PROGRAM, "PortableCommandAlias": "hoverlatch"}],
            "InstallerUrl": url, "InstallerSha256": digest.upper()}],  # winget writes the hash in upper case
        "ManifestType": "installer", "ManifestVersion": MANIFEST_VERSION})

    # Scoop's checkver finds the newest version in the zip name the homepage links.
    newest = name.replace(".", "\\.").replace(version.replace(".", "\\."), "([\\d.]+)")
    scoop = {
        "version": version, "description": release["description"], "homepage": release["homepage"],
        "license": release["license"],
        "architecture": {"64bit": {"url": url, "hash": digest}},
        "shortcuts": [[PROGRAM, release["name"]]],
        "checkver": {"url": release["homepage"], "regex": newest},
        "autoupdate": {"architecture": {"64bit": {
            "url": template, "hash": {"url": "$baseurl/SHA256SUMS", "regex": "$sha256\\s+\\*?$basename"}}}},
    }
    Path(out, "scoop").mkdir(parents=True, exist_ok=True)
    Path(out, "scoop", "hoverlatch.json").write_text(json.dumps(scoop, indent=4) + "\n", encoding="utf-8",
                                                     newline="\n")
    if PLACEHOLDER_HOST in url:
        print("note: the manifests point at the placeholder %s; set HOVERLATCH_DOWNLOAD_URL" % PLACEHOLDER_HOST,
              file=sys.stderr)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    try:
        main(*sys.argv[1:])
    except (OSError, KeyError, IndexError, ValueError, zipfile.BadZipFile) as error:
        sys.exit("write-manifests.py: cannot describe %s: %s" % (sys.argv[2], error))
