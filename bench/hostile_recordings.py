"""Hostile recordings against the loader: for each file of the hostile set
(tests/recording_support.py; the zip bomb at about 1 MB), its size, the
peak resident memory and CPU time of a process that loads it, against the
same process loading a small valid recording, and the error it gives.

Usage: .venv/bin/python bench/hostile_recordings.py
Prints a table; nothing is asserted (tests/test_vkt_hostile_recordings.py
holds the limits).
"""
import os
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests"))
from recording_support import HOSTILE, archive, members  # noqa: E402

LOAD = ("import sys\nfrom vkt import recording\ntry:\n    recording.load(sys.argv[1])\n"
        "    print('loaded')\nexcept ValueError as error:\n    print(error)\n")


def measure(path):
    """(peak RSS in bytes, CPU seconds, what the load printed)."""
    process = subprocess.Popen([sys.executable, "-c", LOAD, str(path)],
                               stdout=subprocess.PIPE, text=True)
    out = process.stdout.read().strip()
    _, _, usage = os.wait4(process.pid, 0)
    return usage.ru_maxrss * 1024, usage.ru_utime + usage.ru_stime, out


def main():
    with tempfile.TemporaryDirectory() as work:
        folder = pathlib.Path(work)
        base = folder / "valid.npz"
        base.write_bytes(archive(members()))
        base_rss, base_cpu, out = measure(base)
        print("a valid recording of %d bytes: %.0f MB peak, %.2f s CPU (%s)"
              % (base.stat().st_size, base_rss / 1e6, base_cpu, out))
        print("%-20s %10s %14s %9s  %s" % ("file", "size", "peak memory", "CPU", "error"))
        for name, (build, _) in HOSTILE.items():
            path = folder / "hostile.npz"
            path.write_bytes(build(1000) if build.__name__ == "zip_bomb" else build())
            rss, cpu, out = measure(path)
            print("%-20s %8.1f kB %6.0f MB (%+.0f) %7.2f s  %s" % (
                name, path.stat().st_size / 1e3, rss / 1e6, (rss - base_rss) / 1e6, cpu, out))


if __name__ == "__main__":
    main()
