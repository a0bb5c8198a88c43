"""The portable download's zip: packed with fixed metadata, and compared with a download.
    release_zip.py pack FOLDER ZIP EPOCH   zips FOLDER's files, each dated EPOCH (seconds since 1970, UTC)
    release_zip.py readable ZIP...         exit 2, naming each ZIP that is missing or cannot be read whole
    release_zip.py compare BUILT ZIP...    each ZIP's files against BUILT's, Hoverlatch.exe's signature set aside

CPack's ZIP generator (libarchive) cannot make the same bytes twice: it takes each file's time from the disk
and always writes the UT (times) and ux (uid/gid) extra fields. Here every entry has, in name order, the one
given date as a DOS time computed in UTC (a DOS time has no zone, so a local time would follow TZ), Unix
permissions fixed by kind, no extra field and deflate at level 9."""
import hashlib
import struct
import sys
import time
import zipfile
from pathlib import Path

DOS_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC, the earliest time a zip entry can carry
SECURITY_DIRECTORY = 4  # the certificate table's index among the PE data directories


def pack(folder, zip_path, epoch):
    when = time.gmtime(max(int(epoch), DOS_EPOCH))[:6]
    with zipfile.ZipFile(zip_path, "w") as archive:
        for path in sorted(p for p in Path(folder).rglob("*") if p.is_file()):
            info = zipfile.ZipInfo(path.relative_to(folder).as_posix(), when)
            info.create_system = 3  # Unix: unpacking on Linux reads the permissions below
            info.external_attr = (0o100755 if path.suffix == ".exe" else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, path.read_bytes(), compresslevel=9)
    return 0


def members(zip_path):
    with zipfile.ZipFile(zip_path) as archive:
        return {info.filename: archive.read(info) for info in archive.infolist() if not info.is_dir()}


def readable(*zip_paths):
    failed = 0
    for zip_path in zip_paths:
        try:
            members(zip_path)
        except (OSError, zipfile.BadZipFile, EOFError) as error:
            print("cannot read %s: %s" % (zip_path, error), file=sys.stderr)
            failed = 2
    return failed


def without_signature(exe):
    """A PE image with an Authenticode signature set aside: the certificate table (outside the image, at the
    end of the file), its directory entry and the PE checksum, which signing rewrites. Other bytes as they are."""
    if exe[:2] != b"MZ" or len(exe) < 0x40:
        return exe
    optional = struct.unpack_from("<I", exe, 0x3C)[0] + 24  # after "PE\0\0" and the file header
    if exe[optional - 24:optional - 20] != b"PE\0\0":
        return exe
    directories = optional + (112 if struct.unpack_from("<H", exe, optional)[0] == 0x20B else 96)  # PE32+, PE32
    entry = directories + 8 * SECURITY_DIRECTORY
    offset, size = struct.unpack_from("<II", exe, entry)
    image = bytearray(exe[:offset] + exe[offset + size:] if size else exe)
    image[optional + 64:optional + 68] = bytes(4)
    image[entry:entry + 8] = bytes(8)
    return bytes(image)


def compare(built_zip, *zip_paths):
    built = members(built_zip)
    print("built: %s  %s" % (hashlib.sha256(Path(built_zip).read_bytes()).hexdigest(), Path(built_zip).name))
    worst = 0
    for zip_path in zip_paths:
        theirs = members(zip_path)
        verdicts = []
        for name in sorted(set(built) | set(theirs)):
            if name not in theirs:
                verdicts.append("%s: %s is missing" % (zip_path, name))
            elif name not in built:
                verdicts.append("%s: %s is not in the build" % (zip_path, name))
            elif built[name] != theirs[name] and not (
                    name.endswith(".exe") and without_signature(built[name]) == without_signature(theirs[name])):
                verdicts.append("%s: %s differs" % (zip_path, name))
        print("\n".join(verdicts) if verdicts else "identical: %s" % zip_path)
        worst = max(worst, 1 if verdicts else 0)
    if worst:
        print("Files differ from this checkout's build: is the checkout at the release's commit?", file=sys.stderr)
    return worst


if __name__ == "__main__":
    sys.exit({"pack": pack, "readable": readable, "compare": compare}[sys.argv[1]](*sys.argv[2:]))
