"""The packaged variant's manifest agrees with the program it packs: the startup task the program asks the
runtime for, the executable, the version resource and the logo images.
Usage: msix_manifest.py MANIFEST EXE STARTUP_SOURCES LAYOUT   (LAYOUT: the folder image paths start from)"""
import glob
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

from release_checks import expect, file_version, run_checks

NS = {"m": "http://schemas.microsoft.com/appx/manifest/foundation/windows10",
      "uap": "http://schemas.microsoft.com/appx/manifest/uap/windows10",
      "desktop": "http://schemas.microsoft.com/appx/manifest/desktop/windows10",
      "rescap": "http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities"}
STORE_LOGO_PX = 50  # the package logo's size; the other images carry theirs in the attribute name

manifest_path, exe_path, startup_sources, layout = sys.argv[1:5]
root = ET.parse(manifest_path).getroot()
exe_name = os.path.basename(exe_path)
with open(exe_path, "rb") as exe:
    exe_version = file_version(exe.read())
application = root.find("m:Applications/m:Application", NS)
startup = application.find("m:Extensions/desktop:Extension[@Category='windows.startupTask']", NS)
task = startup.find("desktop:StartupTask", NS) if startup is not None else None


def requested_task_ids():
    """Task identifiers in the program's startup code: wide literals given to a constant named ...TaskId."""
    found = set()
    for source in glob.glob(os.path.join(startup_sources, "*.cpp")):
        with open(source, encoding="utf-8") as text:
            found.update(re.findall(r'\w*TaskId\w*\[\]\s*=\s*L"([^"]*)"', text.read()))
    return found


def images():
    """(path, claimed width and height) of every image the manifest names."""
    claimed = []
    for element in root.iter():
        values = [(name, value) for name, value in element.attrib.items()] + [(element.tag, element.text or "")]
        for name, value in values:
            if value.strip().lower().endswith(".png"):
                size = re.search(r"(\d+)x(\d+)", name)
                claimed.append((value.strip(), (int(size[1]), int(size[2])) if size else (STORE_LOGO_PX,) * 2))
    return claimed


def check_images():
    expect(len(images()) >= 3, "only %s" % images())
    for relative, size in images():
        path = os.path.join(layout, *relative.split("\\"))
        expect(os.path.isfile(path), "%s is missing" % relative)
        with open(path, "rb") as png:
            header = png.read(24)
        expect(header[:8] == b"\x89PNG\r\n\x1a\n", "%s is not a PNG" % relative)
        expect(struct.unpack(">II", header[16:24]) == size, "%s is %s, claimed %s"
               % (relative, struct.unpack(">II", header[16:24]), size))


run_checks([
    ("startup task id is the one the program asks for",
     lambda: expect(task is not None and {task.get("TaskId")} == requested_task_ids(),
                    "manifest %s, program %s" % (task is not None and task.get("TaskId"), requested_task_ids()))),
    ("startup task stays off until the user turns it on",
     lambda: expect(task is not None and task.get("Enabled") == "false", "Enabled=%s" % (task is not None and task.get("Enabled")))),
    ("application and startup task start the built program",
     lambda: expect([application.get("Executable"), startup.get("Executable")] == [exe_name] * 2,
                    "%s, %s" % (application.get("Executable"), startup.get("Executable")))),
    ("full trust desktop application",
     lambda: expect(application.get("EntryPoint") == "Windows.FullTrustApplication" and
                    root.find("m:Capabilities/rescap:Capability[@Name='runFullTrust']", NS) is not None, "not full trust")),
    ("identity version equals the version resource",
     lambda: expect(root.find("m:Identity", NS).get("Version") == exe_version,
                    "manifest %s, exe %s" % (root.find("m:Identity", NS).get("Version"), exe_version))),
    ("every image exists at the size it claims", check_images),
])
