"""Cost of the simulator as a test double: what a test on the virtual clock
pays in wall time, and how that compares with the same run on the real clock.

    .venv/bin/python bench/test_double.py [--advance-ms 3600000] [--rounds 5]

Figures (medians over the rounds):
- advance(--advance-ms) with a KTX21 camera at a 1 us frame period capturing
  continuously into a 4-image ring (64 x 64): wall time, and wall time per
  simulated second (on the real clock a second costs a second);
- a digital-I/O wait that times out after 5000 ms on the virtual clock, and
  the same wait on the real clock (one round: it takes 5 s);
- a 50-frame capture (64 x 64, 1 ms per frame) on the virtual clock, and the
  same capture on the real clock.
Nothing here is a test: no timing is asserted.
"""
import argparse
import os
import statistics
import sys
import tempfile
import time

import unit
import vktsim


def camera(folder, **settings):
    path = os.path.join(folder, "ktx21_double.txt")
    with open(path, "w") as out:
        out.write("[KTX21]\n")
        for name, value in dict(Width=64, Height=64, BitWidth=8, TriggerMode=0, **settings).items():
            out.write(f"{name} = {value}\n")
    return unit.KTX21.from_file(path, 0, 0)


def advance_cost(folder, advance_ms):
    vktsim.reset()
    board = camera(folder, TriggerCycleTime=1, ExposureTime=1, Timeout=10000)
    ring = [vktsim.Image(64, 64) for _ in range(4)]
    vktsim.set_clock("virtual")
    board.lock(ring)
    board.start()
    begin = time.perf_counter()
    vktsim.advance(advance_ms)
    seconds = time.perf_counter() - begin
    frames = board.query_status().total_frame_count
    board.abort()
    board.unlock()
    board.dispose()
    del ring
    return seconds, frames


def time_out_cost(clock):
    vktsim.reset()
    board = unit.SNR11()
    board.open(0)
    unit.SNR11Param.from_(board).set_param("Timeout", 5000)
    vktsim.set_clock(clock)
    began_ms = vktsim.now_ms()
    begin = time.perf_counter()
    board.wait()                      # ends by its time-out: nothing is enabled
    seconds = time.perf_counter() - begin
    moved = vktsim.now_ms() - began_ms
    board.dispose()
    assert moved >= 5000, moved
    return seconds


def capture_cost(folder, clock):
    vktsim.reset()
    board = camera(folder, TriggerCycleTime=1000, ExposureTime=100, Timeout=2000)
    image = vktsim.Image(64, 64)
    vktsim.set_clock(clock)
    board.lock(image)
    board.num = 50
    begin = time.perf_counter()
    board.start()
    board.wait()
    seconds = time.perf_counter() - begin
    board.unlock()
    board.dispose()
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--advance-ms", type=float, default=3600000.0)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    print(f"load average before: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    print(f"python {sys.version.split()[0]}, {args.rounds} rounds")
    folder = tempfile.mkdtemp(prefix="vkt-double-")

    runs = [advance_cost(folder, args.advance_ms) for _ in range(args.rounds)]
    advance = statistics.median(seconds for seconds, _ in runs)
    per_second = advance / (args.advance_ms / 1000.0)
    print(f"advance({args.advance_ms:.0f}) at 1 us per frame, 4-image ring: "
          f"{advance * 1e3:10.3f} ms wall  ({per_second * 1e6:.3f} us per simulated second, "
          f"ratio to the real clock {per_second:.2e}; {runs[0][1]} frames)")
    if args.advance_ms < 3600000:
        print(f"  extrapolated to advance(3600000): {per_second * 3600:.3f} s wall")

    virtual = statistics.median(time_out_cost("virtual") for _ in range(args.rounds))
    real = time_out_cost("real")
    print(f"5000 ms digital-I/O time-out, virtual clock: {virtual * 1e6:10.1f} us wall, "
          f"real clock {real * 1e3:.1f} ms: ratio {virtual / real:.2e}")

    virtual = statistics.median(capture_cost(folder, "virtual") for _ in range(args.rounds))
    real = statistics.median(capture_cost(folder, "real") for _ in range(min(args.rounds, 3)))
    print(f"50-frame capture (64 x 64, 1 ms per frame), virtual clock: {virtual * 1e3:8.3f} ms wall, "
          f"real clock {real * 1e3:.1f} ms: ratio {virtual / real:.3f}")
    vktsim.reset()


if __name__ == "__main__":
    main()
