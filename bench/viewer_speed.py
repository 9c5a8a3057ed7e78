"""Frames per second, CPU use and request latency of the live viewer.

Starts ``python -m vkt view --port 0`` as a process of its own, opens a
simulated KTX21 with a 1024 x 1024 8-bit camera at the frame period given
(20000 us: 50 frames/s), starts the capture and, for the seconds given,
fetches frames the way the page does (one request after the other, each
waiting for a frame newer than the last) while a second client asks for the
state every 50 ms. Prints the frames received per second, the viewer
process's CPU time per second of wall time (1.0 = one core, from
/proc/<pid>/stat, every thread counted) and the state requests' latency.
Usage: .venv/bin/python bench/viewer_speed.py [--seconds 10] [--period-us 20000]
Nothing is asserted: the tests check the limits, this prints the figures.
"""
import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import threading
import time

from viewer_client import Client   # beside this file


def cpu_seconds(pid):
    fields = pathlib.Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--period-us", type=int, default=20000)
    args = parser.parse_args()
    folder = pathlib.Path(tempfile.mkdtemp())
    camera = folder / "camera.txt"
    camera.write_text("[KTX21]\nWidth = 1024\nHeight = 1024\nBitWidth = 8\nTriggerMode = 0\n"
                      "ExposureTime = 100\nTriggerCycleTime = %d\nTimeout = 2000\n"
                      % args.period_us)
    viewer = subprocess.Popen([sys.executable, "-m", "vkt", "view", "--port", "0"],
                              stdout=subprocess.PIPE, text=True, cwd=folder)
    try:
        url = viewer.stdout.readline().strip()
        control = Client(url, timeout=10)
        response, body = control.call("POST", "/api/open",
                                      {"model": "KTX21", "camera_file": str(camera)})
        assert response.status == 200, body
        control.call("POST", "/api/capture", {"run": True})
        frames = Client(url, timeout=10)
        latencies = []
        stop = threading.Event()

        def ask_state():
            asker = Client(url, timeout=10)
            while not stop.is_set():
                started = time.perf_counter()
                asker.call("GET", "/api/state")
                latencies.append(time.perf_counter() - started)
                time.sleep(0.05)

        after, received = 0, 0
        frames.call("GET", "/api/frame?after=0")  # the first frame: capture is up
        asker = threading.Thread(target=ask_state)
        asker.start()
        cpu_before, started = cpu_seconds(viewer.pid), time.monotonic()
        while time.monotonic() - started < args.seconds:
            response, body = frames.call("GET", "/api/frame?after=%d" % after)
            if response.status == 200:
                after = int(response.headers["X-Frame-Sequence"])
                received += 1
        elapsed = time.monotonic() - started
        cpu = cpu_seconds(viewer.pid) - cpu_before
        stop.set()
        asker.join()
        _, state = control.call("GET", "/api/state")
        capture = json.loads(state)["capture"]
        control.call("POST", "/api/capture", {"run": False})
        latencies.sort()
        print("1024x1024 8-bit, camera period %d us, %.1f s" % (args.period_us, elapsed))
        print("frames received by the client: %.1f /s (%d frames)" % (received / elapsed,
                                                                        received))
        print("viewer's own count: %.1f frames/s, %d dropped" % (capture["fps"],
                                                                 capture["dropped"]))
        print("viewer process CPU: %.2f cores (%.2f s CPU in %.2f s)" % (cpu / elapsed, cpu,
                                                                         elapsed))
        print("state requests while capturing: %d, median %.1f ms, 95%% %.1f ms, max %.1f ms"
              % (len(latencies), statistics.median(latencies) * 1000,
                 latencies[int(len(latencies) * 0.95)] * 1000, latencies[-1] * 1000))
    finally:
        viewer.terminate()
        viewer.wait(10)


if __name__ == "__main__":
    main()
