"""Checks of the release artefacts against the built program, one row for each fault they would catch.
    release_checks.py imports EXE                                   the program's DLL imports
    release_checks.py zip ZIP SUMS                                  the portable download (SUMS: sha256sum format)
    release_checks.py pack BUILD OUT | rebuild OUT                  package.sh into OUT/dist, signed into OUT/signed
    release_checks.py manifests ZIP                                 the winget and Scoop manifests beside ZIP
    release_checks.py manifest MANIFEST EXE STARTUP_SOURCES LAYOUT  the packaged variant's manifest"""
import glob
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile
from pathlib import Path
import yaml

MAX_EXE_BYTES = 512 * 1024
SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")
STORE_LOGO_PX = 50  # the package logo's size; the other images carry theirs in their attribute's name
# Fields the published winget 1.12.0 and Scoop schemas require; those the build decides are checked by their value.
WINGET = "PackageIdentifier PackageVersion ManifestType ManifestVersion "
REQUIRED = {"version": WINGET + "DefaultLocale", "installer": WINGET + "Installers", "scoop": "homepage license",
            "defaultLocale": WINGET + "PackageLocale Publisher PackageName License ShortDescription"}
NS = {"m": "http://schemas.microsoft.com/appx/manifest/foundation/windows10",
      "desktop": "http://schemas.microsoft.com/appx/manifest/desktop/windows10",
      "rescap": "http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities"}


def file_version(exe):
    """The fixed file version ("1.2.3.4") of the version resource in an executable's bytes, or None."""
    name = "VS_VERSION_INFO\0".encode("utf-16-le")
    key = exe.find(name)
    fixed = exe.find(struct.pack("<I", 0xFEEF04BD), key)
    if key < 0 or not 0 <= fixed - key - len(name) < 4:  # only alignment padding between the key and the block
        return None
    ms, ls = struct.unpack_from("<II", exe, fixed + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def objdump(flag, exe_bytes):
    with tempfile.NamedTemporaryFile(suffix=".exe", buffering=0) as copy:  # unbuffered: on disk for objdump
        copy.write(exe_bytes)
        return subprocess.run(["x86_64-w64-mingw32-objdump", flag, copy.name], capture_output=True, text=True).stdout


def imports_rows(exe_path):
    # Windows looks for any other DLL beside the executable first, where a Downloads folder may hold a look-alike.
    names = re.findall(r"DLL Name: (\S+)", objdump("-p", Path(exe_path).read_bytes()))
    known = r"(kernel32|user32|gdi32|comdlg32|shcore|advapi32|shell32|shlwapi|ole32|oleaut32|combase|msvcrt|" \
            r"api-ms-win-[a-z0-9-]+)\.dll"
    foreign = [name for name in names if not re.fullmatch(known, name.lower())]
    return [("imports only KnownDLLs and API sets", names and not foreign, "also %s" % foreign)]


def zip_rows(zip_path, sums_path):
    name = os.path.basename(zip_path)
    with zipfile.ZipFile(zip_path) as archive:
        members = {info.filename: archive.read(info) for info in archive.infolist()}
    exe = members.get("Hoverlatch.exe", b"")
    sections = re.findall(r"^\s*\d+\s+(\S+)", objdump("-h", exe), re.M)
    with open(sums_path) as sums:  # "DIGEST  NAME", or "DIGEST *NAME" in binary mode
        listed = {entry.lstrip(" *"): digest for digest, _, entry in (line.strip().partition(" ") for line in sums)}
    digest = hashlib.sha256(Path(zip_path).read_bytes()).hexdigest()
    named = re.fullmatch(r"Hoverlatch-([\d.]+)-win-x64\.zip", name)
    readme = members.get("README.txt", b"").split(b"\n")[:-1]
    return [
        ("only the program and its note, unpacked flat", sorted(members) == ["Hoverlatch.exe", "README.txt"],
         sorted(members)),
        ("stripped: no debug sections left", sections and not [s for s in sections if "debug" in s], sections),
        ("the stripped program fits in 512 KiB", 0 < len(exe) <= MAX_EXE_BYTES, "%d bytes" % len(exe)),
        ("version resource matches the zip name", named and file_version(exe) == named[1],
         "exe %s, zip %s" % (file_version(exe), name)),
        ("README.txt opens as Windows text: CR LF line ends", readme and all(l.endswith(b"\r") for l in readme),
         "lines ending in LF alone"),
        ("checksum file matches the zip", listed.get(name) == digest, "%s lists %s" % (sums_path, listed.get(name))),
    ]


def pack_rows(build, out):
    Path(out).mkdir(exist_ok=True)
    for command in ("req -x509 -newkey rsa:2048 -nodes -subj /CN=CA -keyout ca.key -out ca.pem",  # a throwaway CA
                    "req -x509 -newkey rsa:2048 -nodes -subj /CN=Signer -keyout leaf.key -out leaf.pem -CA ca.pem "
                    "-CAkey ca.key -addext extendedKeyUsage=codeSigning -addext basicConstraints=CA:FALSE",
                    "pkcs12 -export -inkey leaf.key -in leaf.pem -passout pass:right -out signer.pfx"):
        subprocess.run(["openssl"] + command.split(), cwd=out, capture_output=True, check=True)
    package = lambda dist, *sign, password="right": subprocess.run(
        [os.path.join(SCRIPTS, "package.sh"), "--no-build", *sign], cwd=out, capture_output=True, text=True,
        env=dict(os.environ, HOVERLATCH_BUILD=build, HOVERLATCH_DIST=dist, HOVERLATCH_SIGN_PASSWORD=password))
    unsigned, signed = package("dist"), package("signed", "--sign", "signer.pfx")
    exe = zipfile.ZipFile(glob.glob(os.path.join(out, "signed", "*.zip"))[0]).extract("Hoverlatch.exe", out)
    verified = subprocess.run(["osslsigncode", "verify", "-CAfile", "ca.pem", "-in", exe], cwd=out, capture_output=True)
    release = lambda: {path: path.read_bytes() for path in Path(out, "signed").rglob("*") if path.is_file()}
    before, refused = release(), package("signed", "--sign", "signer.pfx", password="wrong")
    return [
        ("packed, and signed: the program verifies against the CA (the corner cases run it)",
         [unsigned.returncode, verified.returncode] == [0, 0], (unsigned.stderr, signed.stderr, verified.stdout)),
        ("a wrong password fails, saying so, and leaves the release in the output folder as it was",
         refused.returncode == 1 and "password" in refused.stderr and release() == before, refused.stderr),
    ]


def rebuild_rows(out):
    tested, signed = (glob.glob(os.path.join(out, folder, "*.zip"))[0] for folder in ("dist", "signed"))
    tampered, unpacked = os.path.join(out, "tampered.zip"), os.path.join(out, "tampered")
    zipfile.ZipFile(tested).extractall(unpacked)
    Path(unpacked, "README.txt").write_bytes(b"h" + Path(unpacked, "README.txt").read_bytes()[1:])
    subprocess.run([sys.executable, os.path.join(SCRIPTS, "release_zip.py"), "pack", unpacked, tampered, "0"])
    run = subprocess.run([os.path.join(SCRIPTS, "verify-release.sh"), tested, signed, tampered], text=True,
                         env=dict(os.environ, TZ="HLT-13:45"), preexec_fn=lambda: os.umask(0o077), capture_output=True)
    lines, digest = run.stdout.splitlines(), hashlib.sha256(Path(tested).read_bytes()).hexdigest()
    return [
        ("another folder, time zone and umask build and pack the same zip bytes",
         "built: %s  %s" % (digest, os.path.basename(tested)) in lines and "identical: " + tested in lines, run),
        ("the signed zip is identical, its signature set aside", "identical: " + signed in lines, lines),
        ("one changed byte in README.txt is named alone, exit 1", run.returncode == 1 and
         [line for line in lines if tampered in line] == [tampered + ": README.txt differs"], lines),
    ]


def manifest_rows(manifest_path, exe_path, startup_sources, layout):
    root = ET.parse(manifest_path).getroot()
    app = root.find("m:Applications/m:Application", NS)
    startup = app.find("m:Extensions/desktop:Extension[@Category='windows.startupTask']", NS)
    task = startup.find("desktop:StartupTask", NS)
    requested = {task for source in Path(startup_sources).glob("*.cpp")  # wide literals given to a constant named
                 for task in re.findall(r'\w*TaskId\w*\[\]\s*=\s*L"([^"]*)"', source.read_text("utf-8"))}  # ...TaskId
    images = []  # (path in the package, size claimed, size found)
    for element in root.iter():
        for key, value in list(element.attrib.items()) + [(element.tag, (element.text or "").strip())]:
            if value.lower().endswith(".png"):
                claimed, image = re.search(r"(\d+)x(\d+)", key), Path(layout, *value.split("\\"))
                header = image.read_bytes()[:24] if image.is_file() else b""  # a PNG file's header holds its size
                images.append((value, tuple(map(int, claimed.groups())) if claimed else (STORE_LOGO_PX,) * 2,
                               struct.unpack(">II", header[16:24]) if header[:8] == b"\x89PNG\r\n\x1a\n" else None))
    executables = [app.get("Executable"), startup.get("Executable")]
    versions = [root.find("m:Identity", NS).get("Version"), file_version(Path(exe_path).read_bytes())]
    return [
        ("startup task id is the one the program asks for", {task.get("TaskId")} == requested,
         "manifest %s, program %s" % (task.get("TaskId"), requested)),
        ("startup task stays off until the user turns it on", task.get("Enabled") == "false", task.get("Enabled")),
        ("application and startup task start the built program", executables == [os.path.basename(exe_path)] * 2,
         executables),
        ("full-trust desktop application", app.get("EntryPoint") == "Windows.FullTrustApplication" and
         root.find("m:Capabilities/rescap:Capability[@Name='runFullTrust']", NS) is not None, "not full trust"),
        ("identity version equals the version resource", versions[0] == versions[1], "manifest, exe: %s" % versions),
        ("every image exists at the size it claims", len(images) >= 3 and all(c == f for _, c, f in images), images),
    ]


def manifests_rows(zip_path):
    (out, name), version = os.path.split(zip_path), file_version(zipfile.ZipFile(zip_path).read("Hoverlatch.exe"))
    docs = {m["ManifestType"]: m for m in map(yaml.safe_load, map(open, Path(out).glob(f"winget/*/{version}/*")))}
    docs["scoop"] = scoop = json.loads(Path(out, "scoop", "hoverlatch.json").read_bytes())  # beside the zip
    missing = [(kind, key) for kind, keys in REQUIRED.items() for key in keys.split() if key not in docs.get(kind, {})]
    item, arch = docs.get("installer", {}).get("Installers", [{}])[0], scoop["architecture"]["64bit"]
    urls = (item.get("InstallerUrl", ""), arch["url"], scoop["autoupdate"]["architecture"]["64bit"]["url"])
    started = (item.get("NestedInstallerFiles", [{}])[0].get("RelativeFilePath"), scoop["shortcuts"][0][0])
    found = [{(m.get("ManifestVersion", "1.12.0"), m.get("PackageVersion", m.get("version"))) for m in docs.values()},
             item.get("Architecture"), arch["hash"], item.get("InstallerSha256") == arch["hash"].upper(),
             {u.rpartition("/")[2] for u in urls}, {(f, f in zipfile.ZipFile(zip_path).namelist()) for f in started}]
    wanted = [{("1.12.0", version)}, "x64", hashlib.sha256(Path(zip_path).read_bytes()).hexdigest(), True,
              {name, name.replace(version, "$version")}, {("Hoverlatch.exe", True)}]  # autoupdate's keeps $version
    return [("the winget 1.12.0 and Scoop manifests carry the required fields", not missing, missing),
            ("with the exe's version, x64, the zip's hash and URLs, and the program in it", found == wanted, found)]


def report(rows):
    """Prints each (name, holds, what was found) row; exits 1 when any does not hold."""
    failed = [row for row in rows if not row[1]]
    for name, holds, found in rows:
        print("PASS %s" % name if holds else "FAIL %s: %s" % (name, found), flush=True)
    print("%d passed, %d failed" % (len(rows) - len(failed), len(failed)))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    report(globals()[sys.argv[1] + "_rows"](*sys.argv[2:]))  # each mode's rows come from <mode>_rows()
