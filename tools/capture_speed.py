"""How fast the simulated grabber captures 1024x1024 8-bit frames into images
read through numpy, as a ratio against numpy copying the same bytes in the
same run (median of interleaved rounds).

    PYTHONPATH=<build>/python python3 tools/capture_speed.py [cycle_us ...]

For each camera frame period given (TriggerCycleTime in us; default 100 and
20): a capture of 32 frames into a ring of 4, then the 4 newest frames copied
out through numpy, against 36 numpy copies of 1 MiB. On the real clock the
worker may fall behind a fast camera and deliver several frames in one round
(the peak is printed); frames a round overwrites in the ring are counted but
not drawn. The virtual-clock line draws every frame. On a busy machine the
medians mostly measure the scheduler; the best rounds show the cost itself.
"""
import os
import statistics
import sys
import tempfile
import time

import numpy as np

import unit
import vktsim

SIDE, FRAMES, RING, ROUNDS = 1024, 32, 4, 25


def open_camera(folder, cycle_us):
    path = os.path.join(folder, "fast.txt")
    with open(path, "w") as file:
        file.write("[KTX21]\nWidth = %d\nHeight = %d\nBitWidth = 8\nExposureTime = 1\n"
                   "TriggerCycleTime = %d\nTimeout = 10000\n" % (SIDE, SIDE, cycle_us))
    return unit.KTX21.from_file(path, 0, 0)


def main():
    cycles = [int(arg) for arg in sys.argv[1:]] or [100, 20]
    ring = [vktsim.Image(SIDE, SIDE) for _ in range(RING)]
    views = [np.asarray(image) for image in ring]
    readout = np.empty((SIDE, SIDE), np.uint8)
    sources = [np.full((SIDE, SIDE), k, np.uint8) for k in range(RING)]

    def capture(board):
        board.lock(ring)
        board.num = FRAMES
        begin = time.perf_counter()
        board.start()
        board.wait()
        for view in views:
            np.copyto(readout, view)
        seconds = time.perf_counter() - begin
        peak = board.query_status().dma_schedule_peak
        board.unlock()
        return seconds / FRAMES, peak

    def numpy_copy():
        begin = time.perf_counter()
        for k in range(FRAMES + RING):
            np.copyto(readout, sources[k % RING])
        return (time.perf_counter() - begin) / FRAMES

    print("load average %.2f %.2f %.2f" % os.getloadavg())
    with tempfile.TemporaryDirectory() as folder:
        for cycle in cycles:
            for clock in ("real", "virtual"):
                if clock == "virtual" and not hasattr(vktsim, "set_clock"):
                    continue
                board = open_camera(folder, cycle)
                if clock == "virtual":
                    vktsim.set_clock("virtual")
                captures, copies, peaks = [], [], []
                for _ in range(ROUNDS):
                    seconds, peak = capture(board)
                    captures.append(seconds)
                    peaks.append(peak)
                    copies.append(numpy_copy())
                board.dispose()
                vktsim.reset()
                ratios = sorted(c / s for c, s in zip(copies, captures))
                print("period %4d us, %-7s clock: capture %6.1f us/frame (%5.2f GB/s), numpy copy "
                      "%5.1f us/frame (%5.2f GB/s): ratio %.2fx (spread %.2f-%.2f; best rounds "
                      "%.1f vs %.1f us: %.2fx), peak %d" % (
                          cycle, clock, statistics.median(captures) * 1e6,
                          SIDE * SIDE / statistics.median(captures) / 1e9,
                          statistics.median(copies) * 1e6, SIDE * SIDE / statistics.median(copies) / 1e9,
                          statistics.median(ratios), ratios[0], ratios[-1], min(captures) * 1e6,
                          min(copies) * 1e6, min(copies) / min(captures), max(peaks)))


if __name__ == "__main__":
    main()
