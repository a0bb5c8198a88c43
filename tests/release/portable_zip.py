"""The portable download as a user gets it: a flat zip of the stripped program and a Windows text note,
named after the program's own version, with a checksum file that matches it.
Usage: portable_zip.py ZIP SUMS   (SUMS in sha256sum format: CPack's .sha256 file or dist/SHA256SUMS)"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import zipfile

from release_checks import expect, file_version, run_checks

MAX_EXE_BYTES = 512 * 1024

zip_path, sums_path = sys.argv[1], sys.argv[2]
zip_name = os.path.basename(zip_path)
with zipfile.ZipFile(zip_path) as archive:
    members = {info.filename: archive.read(info) for info in archive.infolist()}
exe = members.get("Hoverlatch.exe", b"")


def section_names(exe_bytes):
    with tempfile.NamedTemporaryFile(suffix=".exe") as copy:
        copy.write(exe_bytes)
        copy.flush()
        listing = subprocess.run(["x86_64-w64-mingw32-objdump", "-h", copy.name], capture_output=True,
                                 text=True, check=True).stdout
    return re.findall(r"^\s*\d+\s+(\S+)", listing, re.M)


def sums_entry():
    """The digest listed for the zip ("DIGEST  NAME", or "DIGEST *NAME" in binary mode)."""
    with open(sums_path) as sums:
        for line in sums:
            digest, _, name = line.strip().partition(" ")
            if name.lstrip(" *") == zip_name:
                return digest
    return None


def version_from_name():
    found = re.fullmatch(r"Hoverlatch-(\d+\.\d+\.\d+\.\d+)-win-x64\.zip", zip_name)
    expect(found, "unexpected zip name %s" % zip_name)
    return found.group(1)


readme_lines = members.get("README.txt", b"").split(b"\n")[:-1]
run_checks([
    ("only the program and its note, unpacked flat",
     lambda: expect(sorted(members) == ["Hoverlatch.exe", "README.txt"], "zip holds %s" % sorted(members))),
    ("stripped: no debug sections left",
     lambda: expect(not [s for s in section_names(exe) if "debug" in s], "sections %s" % section_names(exe))),
    ("the stripped program fits in 512 KiB (%d bytes)" % len(exe),
     lambda: expect(0 < len(exe) <= MAX_EXE_BYTES, "Hoverlatch.exe is %d bytes" % len(exe))),
    ("version resource matches the zip name",
     lambda: expect(file_version(exe) == version_from_name(),
                    "exe %s, zip name %s" % (file_version(exe), version_from_name()))),
    ("README.txt opens as Windows text: every line ends CR LF",
     lambda: expect(readme_lines and all(line.endswith(b"\r") for line in readme_lines), "LF-only lines")),
    ("checksum file matches the zip",
     lambda: expect(sums_entry() == hashlib.sha256(open(zip_path, "rb").read()).hexdigest(),
                    "%s lists %s for %s" % (sums_path, sums_entry(), zip_name))),
])
