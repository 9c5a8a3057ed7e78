"""Fuzzes the recording loader (`vkt.recording.load`) from the corpus in
tests/fuzz/corpus/recording/: each input is a corpus file changed by a few
random mutations (bits flipped, bytes set to edge values, zip and .npy
fields overwritten, cut, repeated, spliced with another file). The loader
must accept it or refuse it with ValueError; any other exception, more than
64 MiB of memory beyond the input's size or more than a second of CPU is a
finding, saved in the findings folder (add it to the corpus once fixed:
tests/test_vkt_hostile_recordings.py reads every corpus file).

Usage: python tools/fuzz_recordings.py [--seconds N | --runs N] [--seed N]
                                       [--findings DIR] [--planted]
--planted fuzzes a copy of the loader with a planted fault (it crashes on a
file of fewer than 100 bytes) and must report it: the stage's check that the
harness notices faults at all. Exit status 1 when anything was found.
"""
import argparse
import os
import pathlib
import random
import resource
import signal
import struct
import sys
import tempfile
import time
import traceback
import tracemalloc

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "pyvkt"))
from vkt import recording  # noqa: E402

CORPUS = ROOT / "tests" / "fuzz" / "corpus" / "recording"
SLACK = 64 << 20
EDGES = [0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0xFFFFFFFF, 1 << 31, 1 << 63, (1 << 64) - 1]
SIGNATURES = (b"PK\x03\x04", b"PK\x01\x02", b"PK\x05\x06", b"\x93NUMPY")


class TooSlow(Exception):
    pass


def mutate(data, others, rng):
    data = bytearray(data)
    for _ in range(rng.randint(1, 4)):
        choice = rng.randrange(8)
        at = rng.randrange(len(data)) if data else 0
        if choice == 0 and data:
            data[at] ^= 1 << rng.randrange(8)
        elif choice == 1 and data:
            data[at] = rng.choice([0, 0xFF, 0x7F, 0x80, ord("("), ord("["), ord("-")])
        elif choice == 2:
            # A zip or .npy field: the bytes after a signature.
            marks = [i for s in SIGNATURES for i in _find_all(data, s)]
            if marks:
                where = rng.choice(marks) + rng.randrange(4, 40)
                width = rng.choice([2, 4, 8])
                value = rng.choice(EDGES) & ((1 << (8 * width)) - 1)
                data[where:where + width] = value.to_bytes(width, "little")
        elif choice == 3:
            del data[at:]
        elif choice == 4:
            del data[at:at + rng.randrange(1, 64)]
        elif choice == 5:
            piece = data[at:at + rng.randrange(1, 256)]
            data[at:at] = piece * rng.randrange(1, 8)
        elif choice == 6 and others:
            other = rng.choice(others)
            start = rng.randrange(len(other))
            data[at:at] = other[start:start + rng.randrange(1, 512)]
        else:
            data[at:at] = bytes([rng.randrange(256)]) * rng.randrange(1, 16)
    return bytes(data)


def _find_all(data, needle):
    at = data.find(needle)
    while at >= 0:
        yield at
        at = data.find(needle, at + 1)


def planted_load(path):
    """The loader with a planted fault, for the harness's check of itself."""
    if os.path.getsize(path) < 100:
        raise IndexError("planted fault")
    return recording.load(path)


def check(load, path, size):
    """None if `load` behaved on the file at `path`, else what went wrong."""
    def too_slow(number, frame):
        raise TooSlow()
    previous = signal.signal(signal.SIGPROF, too_slow)
    signal.setitimer(signal.ITIMER_PROF, 1.0 + size / 100e6)
    tracemalloc.start()
    try:
        load(path)
    except ValueError:
        pass
    except TooSlow:
        return "more than a second of CPU"
    except Exception:  # noqa: BLE001 - every other exception is the finding
        return traceback.format_exc()
    finally:
        signal.setitimer(signal.ITIMER_PROF, 0)
        signal.signal(signal.SIGPROF, previous)
        _, peak = tracemalloc.get_traced_memory()
        tracemalloc.stop()
    if peak > size + SLACK:
        return "%d bytes of memory for a file of %d" % (peak, size)
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    limit = parser.add_mutually_exclusive_group()
    limit.add_argument("--seconds", type=float, default=15.0)
    limit.add_argument("--runs", type=int, default=None)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--findings", default=str(ROOT / "build-fuzz" / "findings"))
    parser.add_argument("--planted", action="store_true")
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else int.from_bytes(os.urandom(4), "little")
    rng = random.Random(seed)
    corpus = [path.read_bytes() for path in sorted(CORPUS.iterdir())]
    if not corpus:
        raise SystemExit("no corpus in %s" % CORPUS)
    # Memory beyond what the harness may use is a finding too, not a
    # machine brought down.
    resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))
    load = planted_load if args.planted else recording.load
    findings = pathlib.Path(args.findings)
    runs, found, started = 0, 0, time.monotonic()
    with tempfile.TemporaryDirectory() as work:
        path = pathlib.Path(work) / "input.npz"
        while (runs < args.runs) if args.runs is not None \
                else (time.monotonic() - started < args.seconds):
            data = corpus[runs % len(corpus)] if runs < len(corpus) \
                else mutate(rng.choice(corpus), corpus, rng)
            path.write_bytes(data)
            problem = check(load, path, len(data))
            runs += 1
            if problem is not None:
                found += 1
                findings.mkdir(parents=True, exist_ok=True)
                saved = findings / ("recording-%d-%d.npz" % (seed, runs))
                saved.write_bytes(data)
                print("finding (%s):\n%s" % (saved, problem), file=sys.stderr)
                if found >= 5:
                    break
    elapsed = time.monotonic() - started
    print("recording: %d executions (%.0f/s), corpus %d, seed %d, %d findings"
          % (runs, runs / max(elapsed, 1e-9), len(corpus), seed, found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
