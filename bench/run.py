"""Benchmark of `unit` against baselines measured in the same run.

Run through bench/run.sh, which builds the modules this needs (a release
build of `unit`, `vktsim`, the simulated library and the floor module
`vkt_floor`) and puts them on the path. Each figure prints its ratio to its
baseline: the median over interleaved rounds, the spread (lowest to highest
round) and the absolute medians beside it. Nothing here is a test: no timing
is asserted anywhere.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
import timeit

import numpy as np

import unit
import vktsim
import vkt_floor

# The first and the last name that get_param reads as a number, per class:
# the lookup of the last name must cost what the first costs. (The rows that
# read text come after the numbers in some tables; a text read costs more in
# the library itself, so they are left out of this comparison.)
FIRST_AND_LAST = {
    "SNR11Param": ("INTEnable", "DIWaitEnable"),
    "SN2200Param": ("DINoiseFilterTime", "DIWaitEnable"),
    "TK560Param": ("INTEnable", "DIWaitEnable"),
    "KTX21Param": ("DeviceID", "ENCComp2"),
    "KTX22Param": ("DeviceID", "ENCComp2"),
    "MR250Param": ("TriggerMode", "ImageDepth"),
    "KTX21Encoder": ("EncoderMode", "ENCComp2"),
    "KTX22Encoder": ("EncoderMode", "ENCComp2"),
}

FRAME_SIDE = 1024          # capture figures: 1024x1024 8-bit frames (1 MiB)
CAPTURE_FRAMES = 32        # frames per measured capture
RING = 4                   # images in the capture ring


def camera_file(folder, model, **settings):
    path = os.path.join(folder, f"{model.lower()}_bench.txt")
    with open(path, "w") as out:
        out.write(f"[{model}]\n")
        for name, value in settings.items():
            out.write(f"{name} = {value}\n")
    return path


class Figures:
    """Interleaved rounds: every round times each variant of every figure once."""

    def __init__(self, rounds):
        self.rounds = rounds
        self.samples = {}

    def add(self, key, seconds_per_op):
        self.samples.setdefault(key, []).append(seconds_per_op)

    def ratio(self, label, numerator, denominator, goal, unit_name="ns", scale=1e9, higher=False):
        a, b = self.samples[numerator], self.samples[denominator]
        ratios = sorted(x / y for x, y in zip(a, b))
        median = statistics.median(ratios)
        # The absolute medians in the label's order: ours first, then the
        # baseline (for a speed figure the baseline is the numerator).
        ours, baseline = (b, a) if higher else (a, b)
        print(f"{label:<58} {median:6.2f}x  [{ratios[0]:.2f}, {ratios[-1]:.2f}]  "
              f"{statistics.median(ours) * scale:10.1f} vs {statistics.median(baseline) * scale:10.1f} "
              f"{unit_name}  goal {'>=' if higher else '<='} {goal}x")
        return median


# Each round times a figure as the best of a few short loops: on a shared
# machine a loop is often cut by other processes, and the best loop is the
# one that ran undisturbed. The rounds then give the median and the spread.
REPEATS = 5


def per_call(stmt, names, number):
    loop = max(1, number // REPEATS)
    return min(timeit.Timer(stmt, globals=names).repeat(REPEATS, loop)) / loop


def best_of(measure, repeats=3):
    return min(measure() for _ in range(repeats))


def floor_failure(floor):
    """The floor's failing call, caught as the module's failures are."""
    def call():
        try:
            floor.fail()
        except RuntimeError:
            pass
    return call


def error_loop(param, name):
    def call():
        try:
            param.get_param(name)
        except RuntimeError:
            pass
    return call


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=31)
    parser.add_argument("--calls", type=int, default=3000, help="calls per timed loop")
    args = parser.parse_args()

    print(f"load average before: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    print(f"python {sys.version.split()[0]}, numpy {np.__version__}, "
          f"{args.rounds} rounds x {args.calls} calls")
    vktsim.reset()
    folder = tempfile.mkdtemp(prefix="vkt-bench-")

    # ---- boards and companions ---------------------------------------------------
    snr11 = unit.SNR11()
    snr11.open(0)
    floor_snr11 = vkt_floor.SNR11()
    floor_snr11.open(1)
    overloaded_snr11 = getattr(vkt_floor, "OverloadedSNR11", None)
    if overloaded_snr11 is not None:
        overloaded_snr11 = overloaded_snr11()
        overloaded_snr11.open(3)

    ktx21 = unit.KTX21.from_file(camera_file(
        folder, "KTX21", Width=FRAME_SIDE, Height=FRAME_SIDE, BitWidth=8, TriggerMode=0,
        ExposureTime=1, TriggerCycleTime=10, Timeout=10000), 0, 0)
    ktx22 = unit.KTX22.from_file(camera_file(folder, "KTX22", Width=64, Height=8), 0, 0)
    mr250 = unit.MR250.from_file(camera_file(folder, "MR250", Width=64, Height=8), 0, 0)
    sn2200 = unit.SN2200()
    sn2200.open(0)
    tk560 = unit.TK560()
    tk560.open(0)
    companions = {
        "SNR11Param": unit.SNR11Param.from_(snr11),
        "SN2200Param": unit.SN2200Param.from_(sn2200),
        "TK560Param": unit.TK560Param.from_(tk560),
        "KTX21Param": unit.KTX21Param.from_(ktx21),
        "KTX22Param": unit.KTX22Param.from_(ktx22),
        "MR250Param": unit.MR250Param.from_(mr250),
        "KTX21Encoder": unit.KTX21Encoder.from_(ktx21),
        "KTX22Encoder": unit.KTX22Encoder.from_(ktx22),
    }
    ktx21_param = companions["KTX21Param"]
    floor_param = vkt_floor.KTX21Param(ktx21)
    lock_images = [vktsim.Image(FRAME_SIDE, FRAME_SIDE) for _ in range(1024)]
    ring = [vktsim.Image(FRAME_SIDE, FRAME_SIDE) for _ in range(RING)]
    ring_views = [np.asarray(image) for image in ring]
    readout = np.empty((FRAME_SIDE, FRAME_SIDE), np.uint8)
    copy_source = [np.full((FRAME_SIDE, FRAME_SIDE), k, np.uint8) for k in range(RING)]

    names = dict(snr11=snr11, floor_snr11=floor_snr11, overloaded=overloaded_snr11, p=ktx21_param, fp=floor_param,
                 floor=vkt_floor, unknown=error_loop(ktx21_param, "NoSuchName"),
                 plain_throw=floor_failure(vkt_floor), ktx21=ktx21, images=lock_images)
    calls = args.calls

    def capture():
        # On the virtual clock the frames are made in this thread as the wait
        # moves time on, every one of them drawn; on the real clock a worker
        # woken late by a busy machine counts frames that later ones
        # overwrite undrawn, which would flatter the figure.
        vktsim.set_clock("virtual")
        ktx21.lock(ring)
        ktx21.num = CAPTURE_FRAMES
        begin = time.perf_counter()
        ktx21.start()
        ktx21.wait()
        for view in ring_views:          # the newest frames, read through numpy
            np.copyto(readout, view)
        seconds = time.perf_counter() - begin
        ktx21.unlock()
        vktsim.set_clock("real")
        return seconds / CAPTURE_FRAMES

    def numpy_copy():
        begin = time.perf_counter()
        for k in range(CAPTURE_FRAMES + RING):
            np.copyto(readout, copy_source[k % RING])
        return (time.perf_counter() - begin) / CAPTURE_FRAMES

    measures = [
        ("read", lambda: per_call("snr11.read()", names, calls)),
        ("floor read", lambda: per_call("floor_snr11.read()", names, calls)),
        ("width", lambda: per_call("p.get_param('Width')", names, calls)),
        ("floor width", lambda: per_call("fp.get_param('Width')", names, calls)),
        ("lock", lambda: per_call("ktx21.lock(images); ktx21.unlock()", names, calls // 100)),
        ("floor lock", lambda: per_call("floor.lock(ktx21, images); ktx21.unlock()", names,
                                        calls // 100)),
        ("library read", lambda: min(vkt_floor.library_read_ns(floor_snr11, calls // REPEATS)
                                     for _ in range(REPEATS)) * 1e-9),
        ("empty", lambda: per_call("floor.empty()", names, calls)),
        ("unknown", lambda: per_call("unknown()", names, calls // 10)),
        ("plain throw", lambda: per_call("plain_throw()", names, calls // 10)),
        ("capture", lambda: best_of(capture)),
        ("numpy copy", lambda: best_of(numpy_copy)),
    ]
    if overloaded_snr11 is not None:
        measures.append(("read beside overloads", lambda: per_call("snr11.read()", names, calls)))
        measures.append(("overloaded read", lambda: per_call("overloaded.read()", names, calls)))
    for cls, (first, last) in FIRST_AND_LAST.items():
        local = {"c": companions[cls]}
        measures.append((f"{cls} first", lambda l=local, n=first: per_call(
            f"c.get_param({n!r})", l, calls)))
        measures.append((f"{cls} last", lambda l=local, n=last: per_call(
            f"c.get_param({n!r})", l, calls)))

    figures = Figures(args.rounds)
    for _ in range(2):                   # warm caches, allocators and the journal
        for _, measure in measures:
            measure()
    for round_no in range(args.rounds):
        # Alternate the order within each pair so that neither side always runs first.
        for index in range(0, len(measures), 2):
            pair = measures[index:index + 2]
            if round_no % 2:
                pair = pair[::-1]
            for key, measure in pair:
                figures.add(key, measure())
        vktsim.clear_journal()

    print()
    print(f"{'figure (ratio: median [lowest, highest round])':<58} {'ratio':>7}"
          f"  {'':>11}  absolute medians")
    figures.ratio("SNR11.read() vs floor", "read", "floor read", 1.10)
    if overloaded_snr11 is not None:
        figures.ratio("  SNR11.read() vs a floor with read's two overloads",
                      "read beside overloads", "overloaded read", 1.10)
    figures.ratio("KTX21Param.get_param('Width') vs floor", "width", "floor width", 1.10)
    for cls, (first, last) in FIRST_AND_LAST.items():
        figures.ratio(f"{cls}.get_param last ({last}) vs first ({first})",
                      f"{cls} last", f"{cls} first", 1.10)
    figures.ratio("lock of 1024 images vs floor", "lock", "floor lock", 1.20, "us", 1e6)
    figures.ratio("simulated library's own Read vs empty pybind11 call", "library read",
                  "empty", 1.0)
    # Speed of the module's error path against the plainest failing pybind11
    # call (a library exception through a translator): at least half as fast.
    figures.ratio("error path (unknown name) vs a plain pybind11 throw (speed)", "plain throw",
                  "unknown", 0.5, higher=True)
    figures.ratio("capture 1024x1024x8 + numpy read vs numpy copy (bandwidth)", "numpy copy",
                  "capture", 0.5, "us/frame", 1e6, higher=True)
    capture_rate = (FRAME_SIDE * FRAME_SIDE) / statistics.median(figures.samples["capture"])
    copy_rate = (FRAME_SIDE * FRAME_SIDE) / statistics.median(figures.samples["numpy copy"])
    print(f"{'':<58}  capture {capture_rate / 1e9:.2f} GB/s, numpy copy {copy_rate / 1e9:.2f} GB/s")

    print()
    wait_latency(args.rounds)
    sustained_fps(ktx21, ring)
    import_time(args.rounds)
    print()
    print(f"load average after: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")


def spread(samples, scale):
    samples = sorted(samples)
    return (f"{statistics.median(samples) * scale:8.1f}  "
            f"[{samples[0] * scale:.1f}, {samples[-1] * scale:.1f}]")


def wait_latency(rounds):
    """From a scheduled input edge to wait() returning in Python."""
    board = unit.SNR11()
    board.open(2)
    param = unit.SNR11Param.from_(board)
    param.set_param("DIEnable", 1)
    param.set_param("DIWaitEnable", 1)
    delay_ms = 2
    samples = []
    for _ in range(rounds):
        vktsim.set_inputs("SNR11", 2, 0)
        begin = time.perf_counter()
        vktsim.schedule_inputs("SNR11", 2, [(delay_ms, 0x1, -1)])
        event = board.wait()
        samples.append(time.perf_counter() - begin - delay_ms / 1000)
        if event != int(unit.EventStatus.DI):
            print(f"  (a wait ended with {event}, not with the edge)")
    print(f"{'wait() latency after a scheduled input edge':<58} {spread(samples, 1e6)} us")
    board.close()


def sustained_fps(board, ring, seconds=1.0):
    """A continuous capture into the ring, frames counted by the board."""
    board.lock(ring)
    board.num = 0
    board.start()
    begin = time.perf_counter()
    first = board.query_status().total_frame_count
    time.sleep(seconds)
    frames = board.query_status().total_frame_count - first
    elapsed = time.perf_counter() - begin
    board.stop()
    board.unlock()
    settings = unit.KTX21Param.from_(board)
    period_us = max(settings.get_param("TriggerCycleTime"), settings.get_param("ExposureTime"))
    print(f"{'sustained fps, continuous 1024x1024x8 capture into a ring':<58} "
          f"{frames / elapsed:8.0f}  (camera period {period_us} us: "
          f"{1e6 / period_us:.0f} fps asked)")


def import_time(rounds):
    """A fresh interpreter's `import unit, vktsim`, less one that imports nothing."""
    def run(code):
        begin = time.perf_counter()
        subprocess.run([sys.executable, "-c", code], check=True)
        return time.perf_counter() - begin
    samples = []
    for _ in range(max(5, rounds // 2)):
        samples.append(run("import unit, vktsim") - run("pass"))
    print(f"{'import unit, vktsim (beyond a bare interpreter start)':<58} {spread(samples, 1e3)} ms")


if __name__ == "__main__":
    main()
