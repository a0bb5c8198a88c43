"""Shared pieces of the release checks: the version resource of a Windows executable, and a table runner."""
import struct
import sys

VERSION_KEY = "VS_VERSION_INFO\0".encode("utf-16-le")
FIXED_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def file_version(exe_bytes):
    """The fixed file version ("1.2.3.4") of the version resource, read from the executable's bytes."""
    key = exe_bytes.find(VERSION_KEY)
    fixed = exe_bytes.find(FIXED_INFO_SIGNATURE, key)
    if key < 0 or not 0 <= fixed - key - len(VERSION_KEY) < 4:  # only alignment padding between them
        raise AssertionError("no version resource")
    ms, ls = struct.unpack_from("<II", exe_bytes, fixed + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def run_checks(checks):
    """Runs (name, function) rows; a function raises AssertionError with what it found. Exits 1 on failure."""
    passed = failed = 0
    for name, check in checks:
        try:
            check()
            passed += 1
            print("PASS", name, flush=True)
        except AssertionError as error:
            failed += 1
            print("FAIL %s: %s" % (name, error), flush=True)
    print("%d passed, %d failed" % (passed, failed), flush=True)
    sys.exit(1 if failed else 0)


def expect(condition, message):
    if not condition:
        raise AssertionError(message)
