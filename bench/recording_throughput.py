"""Capture into recordings: frames lost, peak memory, and the rate frames
reach the disk against the disk's own sequential write rate, all measured in
one run on this machine.

1. `vkt grab` of a simulated 1024 x 1024 8-bit camera at 200 frames/s
   (2000 frames by default): frames lost and the process's peak resident
   memory (goal: none lost, under 400 MB).
2. The same camera faster than the disk (1000 frames/s): the recording's
   bytes per second of capture against the rate at which this process
   writes the same bytes in 1 MiB writes to the same folder, each ended by
   fsync (goal: at least 0.8).
3. and 4. The same two with the viewer's Record, while a client fetches
   frames as the page does.

Usage: .venv/bin/python bench/recording_throughput.py [--frames 2000]
       [--seconds 6] [--folder DIR]
Prints a table; nothing is asserted (the figures depend on the machine).
"""
import argparse
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from vkt import recording
from viewer_client import Client   # beside this file

MIB = 1 << 20


def camera(folder, period_us):
    path = folder / ("camera-%d.txt" % period_us)
    path.write_text("[KTX21]\nWidth = 1024\nHeight = 1024\nBitWidth = 8\nTriggerMode = 0\n"
                    "ExposureTime = 50\nTriggerCycleTime = %d\nTimeout = 2000\n" % period_us)
    return path


def disk_rate(folder, size):
    """Bytes per second this process writes to `folder`, fsync included."""
    block = os.urandom(MIB)
    path = folder / "disk-rate.bin"
    started = time.monotonic()
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        for _ in range(size // MIB):
            os.write(fd, block)
        os.fsync(fd)
    finally:
        os.close(fd)
    elapsed = time.monotonic() - started
    path.unlink()
    return size / elapsed


def run_grab(folder, camera_file, frames):
    """(seconds, peak RSS in bytes) of one `vkt grab`."""
    out = folder / "grab"
    shutil.rmtree(out, ignore_errors=True)
    started = time.monotonic()
    process = subprocess.Popen([sys.executable, "-m", "vkt", "grab", "KTX21", "--camera-file",
                                str(camera_file), "-n", str(frames), "-o", str(out)],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.monotonic() - started
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise SystemExit("grab failed: %s" % process.stderr.read().decode())
    return elapsed, usage.ru_maxrss * 1024, out / "recording.npz"


def peak_rss(pid):
    for line in pathlib.Path("/proc/%d/status" % pid).read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) * 1024
    return 0


def run_record(folder, camera_file, frames):
    """(seconds from the request to the complete file, peak RSS of the
    viewer, recording path) of one Record of `frames` frames while a client
    fetches frames as the page does."""
    viewer = subprocess.Popen([sys.executable, "-m", "vkt", "view", "--port", "0"],
                              stdout=subprocess.PIPE, text=True, cwd=folder)
    try:
        url = viewer.stdout.readline().strip()
        control = Client(url)
        response, body = control.call("POST", "/api/open",
                                      {"model": "KTX21", "camera_file": str(camera_file)})
        assert response.status == 200, body
        control.call("POST", "/api/capture", {"run": True})
        stop = threading.Event()

        def page():
            fetcher, after = Client(url), 0
            while not stop.is_set():
                response, _ = fetcher.call("GET", "/api/frame?after=%d" % after)
                if response.status == 200:
                    after = int(response.headers["X-Frame-Sequence"])
        fetching = threading.Thread(target=page)
        fetching.start()
        time.sleep(0.5)
        started = time.monotonic()
        _, body = control.call("POST", "/api/record", {"frames": frames})
        while True:
            _, body = control.call("GET", "/api/state")
            state = json.loads(body)
            if state["recording"] is not None:
                break
            time.sleep(0.05)
        elapsed = time.monotonic() - started
        stop.set()
        fetching.join()
        rss = peak_rss(viewer.pid)
        control.call("POST", "/api/capture", {"run": False})
        return elapsed, rss, pathlib.Path(state["recording"]["path"])
    finally:
        viewer.terminate()
        viewer.wait(10)


def summary(path):
    with recording.Reader(path) as reader:
        header = reader.header
    kept = len(header.frame_numbers)
    lost = header.frame_numbers[-1] - header.frame_numbers[0] + 1 - kept
    return kept, lost, path.stat().st_size


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--frames", type=int, default=2000)
    parser.add_argument("--seconds", type=float, default=6.0,
                        help="length of the captures with the fast camera")
    parser.add_argument("--folder", default=None, help="where to write (default: a temp dir)")
    args = parser.parse_args()
    folder = pathlib.Path(tempfile.mkdtemp(dir=args.folder))
    try:
        slow, fast = camera(folder, 5000), camera(folder, 1000)
        fast_frames = int(args.seconds * 1000)
        print("machine: %d cores, load %.1f; folder %s" % (os.cpu_count(), os.getloadavg()[0],
                                                            folder))
        rate = disk_rate(folder, 1 << 30)
        print("disk: %.0f MB/s sequential (1 GiB in 1 MiB writes, fsync)" % (rate / 1e6))
        rows = []
        _, rss, path = run_grab(folder, slow, args.frames)
        kept, lost, _ = summary(path)
        rows.append(("grab, 200 frames/s", kept, lost, rss, None))
        startup, _, _ = run_grab(folder, slow, 1)
        elapsed, rss, path = run_grab(folder, fast, fast_frames)
        kept, lost, size = summary(path)
        rows.append(("grab, 1000 frames/s", kept, lost, rss,
                     size / max(elapsed - startup, 1e-3) / rate))
        elapsed, rss, path = run_record(folder, slow, args.frames)
        kept, lost, _ = summary(path)
        rows.append(("viewer Record, 200 frames/s", kept, lost, rss, None))
        elapsed, rss, path = run_record(folder, fast, min(fast_frames, 10000))
        kept, lost, size = summary(path)
        rows.append(("viewer Record, 1000 frames/s", kept, lost, rss, size / elapsed / rate))
        print("%-30s %7s %7s %12s %16s" % ("capture", "frames", "lost", "peak RSS",
                                            "rate / disk's"))
        for name, kept, lost, rss, ratio in rows:
            print("%-30s %7d %7d %9.0f MB %16s" % (name, kept, lost, rss / 1e6,
                                                    "-" if ratio is None else "%.2f" % ratio))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
