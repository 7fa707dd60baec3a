"""Measures the running program on a 1920 x 1080 Xvfb desktop: time from start to the first shaped
frame (the window is mapped only after it), frames per second (from the "frames N" lines the folder's
script logs every second), CPU use of the whole process over a period, resident memory.

Usage: MZ_MASCOT=build/dev/app/qt/mascot python3 tests/e2e/measure_host.py [FOLDER] [SECONDS]
(FOLDER defaults to folders/bench: the sample character walking to and fro)"""

import os
import re
import subprocess
import sys
import tempfile
import time

from desktop import Desktop, stop, wait_for

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def rss_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "folders", "bench")
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30.0
    mascot = os.environ.get("MZ_MASCOT", "mascot")
    with Desktop(1920, 1080) as d:
        start = time.monotonic()
        log = tempfile.TemporaryFile("w+")
        proc = d.spawn([mascot, "--log-stderr", folder], stdout=log, stderr=subprocess.STDOUT)
        try:
            wait_for(lambda: d.windows(classname="mascot") and any(
                d.info(w)["width"] == 1920 for w in d.windows(classname="mascot")), timeout=20,
                interval=0.005, what="the first frame")
            first_frame = time.monotonic() - start
            time.sleep(2.0)
            log.seek(0)
            counted = len(re.findall(r"^frames \d+$", log.read(), re.M))
            cpu0, t0 = cpu_seconds(proc.pid), time.monotonic()
            time.sleep(seconds)
            cpu = (cpu_seconds(proc.pid) - cpu0) / (time.monotonic() - t0) * 100
            log.seek(0)
            frames = [int(n) for n in re.findall(r"^frames (\d+)$", log.read(), re.M)][counted:]
            if frames:
                print(f"frames per second: {sum(frames) / len(frames):.1f} (min {min(frames)}, max {max(frames)})")
            print(f"first shaped frame: {first_frame * 1000:.0f} ms")
            print(f"cpu over {seconds:.0f} s: {cpu:.1f} % of one core")
            print(f"resident memory: {rss_mib(proc.pid):.0f} MiB")
        finally:
            stop(proc)


if __name__ == "__main__":
    main()
