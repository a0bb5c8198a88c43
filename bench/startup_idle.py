"""Start-up and idle cost of Hoverlatch.exe under Wine, next to a bare program with the same 16 ms timer.

Run through bench/startup_idle.sh (it builds and sets up Wine and the display). Prints:
- start-up: process start to the tray icon being shown, Hoverlatch (first start without a
  configuration, and a later start with one) against idle_timer.exe --tray (window, timer, icon);
- idle: CPU time over 20 s with the pointer at rest, of the process itself and of the Wine server
  on its behalf, against idle_timer.exe (window and timer, no icon).
Times come from Wine's GetTickCount, which runs on CLOCK_MONOTONIC_RAW, and /proc/PID/stat.
"""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402
from harness import wait_for  # noqa: E402

BENCH_DIR = ""  # folder of idle_timer.exe and tray_watch.exe, from --bench
STARTS = 5      # start-up samples per program
IDLE_S = 20.0   # idle measurement window


def now_ms():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1000.0


def time_to_tray_icon(s, start_program):
    """Milliseconds from starting a program to its tray icon, watched from inside Wine every 2 ms."""
    result = os.path.join(s.dir, "waittray.txt")
    watch = s.start("tray_watch", os.path.join(BENCH_DIR, "tray_watch.exe"), [s.windows_path(result), 1, 20000])
    wait_for(lambda: os.path.exists(result) and open(result).read().strip() == "waiting", 20, "the tray watch")
    began = now_ms()
    program = start_program()
    code = watch.wait(30)
    count, tick = open(result).read().split()
    harness.expect(code == 0 and count == "1", "no tray icon appeared")
    program.stop()
    s.wait_for_tray_icons(0)
    return int(tick) - began


def wineserver_pid():
    """The Wine server of this prefix: its working folder is named server-<dev>-<inode> of the prefix."""
    info = os.stat(os.environ["WINEPREFIX"])
    folder = "server-%x-%x" % (info.st_dev, info.st_ino)
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.path.basename(os.readlink("/proc/%s/cwd" % pid)) == folder:
                with open("/proc/%s/comm" % pid) as comm:
                    if comm.read().startswith("wineserver"):  # wineserver64 on 64-bit installs
                        return int(pid)
        except OSError:
            continue
    return None


def cpu_of(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def idle_cpu(s, program, server):
    """CPU seconds of the program, and of the Wine server meanwhile, over IDLE_S seconds at rest."""
    time.sleep(2.0)  # let start-up work settle; the window below is what is measured
    own, served = cpu_of(program.pid), cpu_of(server) if server else 0.0
    began = time.monotonic()
    time.sleep(IDLE_S)
    elapsed = time.monotonic() - began
    own_after, served_after = cpu_of(program.pid), cpu_of(server) if server else 0.0
    return (own_after - own) / elapsed * IDLE_S, (served_after - served) / elapsed * IDLE_S


def ratio(a, b):
    return a / b if b > 0 else float("inf")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--standins", required=True)
    parser.add_argument("--bench", required=True, help="folder of idle_timer.exe")
    args = parser.parse_args()
    s = harness.Session(args.bin, args.standins)
    global BENCH_DIR
    BENCH_DIR = args.bench
    baseline_exe = os.path.join(args.bench, "idle_timer.exe")
    try:
        s.clean_user_state()
        s.jump_pointer(s.width // 2, s.height // 2)

        def first_start():
            s.clean_user_state()
            return s.start_hoverlatch()

        first = [time_to_tray_icon(s, first_start) for _ in range(STARTS)]
        later = [time_to_tray_icon(s, s.start_hoverlatch) for _ in range(STARTS)]
        bare = [time_to_tray_icon(s, lambda: s.start("idle_timer", baseline_exe, ["--tray"])) for _ in range(STARTS)]
        print("Start-up to tray icon, median of %d (ms):" % STARTS)
        print("  Hoverlatch first start (no config) %7.0f   ratio to bare %.2f" %
              (statistics.median(first), ratio(statistics.median(first), statistics.median(bare))))
        print("  Hoverlatch later start             %7.0f   ratio to bare %.2f" %
              (statistics.median(later), ratio(statistics.median(later), statistics.median(bare))))
        print("  bare window + 16 ms timer + icon   %7.0f" % statistics.median(bare))

        server = wineserver_pid()
        app = s.start_hoverlatch()
        s.wait_for_tray_icons(1)
        app_own, app_server = idle_cpu(s, app, server)
        app.stop()
        bare_program = s.start("idle_timer", baseline_exe)
        bare_own, bare_server = idle_cpu(s, bare_program, server)
        bare_program.stop()
        print("CPU time over %.0f s idle, pointer at rest (ms):" % IDLE_S)
        print("  Hoverlatch            process %6.0f   Wine server %6.0f" % (app_own * 1000, app_server * 1000))
        print("  bare 16 ms timer      process %6.0f   Wine server %6.0f" % (bare_own * 1000, bare_server * 1000))
        print("  ratio Hoverlatch/bare: process %.2f, process + Wine server %.2f" %
              (ratio(app_own, bare_own), ratio(app_own + app_server, bare_own + bare_server)))
    finally:
        s.close()


if __name__ == "__main__":
    main()
