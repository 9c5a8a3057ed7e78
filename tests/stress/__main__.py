"""Command line of the stress suite; see docs/guides/development.rst, "Stress suite".

    python -m tests.stress all --calls 20000          # every part, modest size
    python -m tests.stress fuzz --calls 1000000 --seed 7 --jobs 2
    python -m tests.stress leaks --calls 1000000

Exit status 0 when every part is clean, 1 otherwise."""
import argparse
import sys

from . import children, fuzz, parts

PARTS = ("fuzz", "faults", "leaks", "threads", "lifetimes")


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python -m tests.stress")
    parser.add_argument("part", choices=PARTS + ("all", "fuzz-child") + parts.CHILD_PARTS)
    parser.add_argument("--calls", type=int, default=20000,
                        help="fuzzed calls, and calls of the leak workload (default 20000)")
    parser.add_argument("--seed", type=int, default=1, help="first seed of the fuzz batches")
    parser.add_argument("--batch", type=int, default=20000, help="fuzzed calls per child process")
    parser.add_argument("--jobs", type=int, default=2, help="child processes at a time")
    parser.add_argument("--threads", type=int, default=8, help="threads of the thread part")
    parser.add_argument("--per-call", type=float, default=0.05,
                        help="seconds a fuzzed call may take on average before a batch counts "
                             "as hung (raise it for sanitizer builds on a busy machine)")
    parser.add_argument("--trace", action="store_true", help="fuzz-child: print every call")
    args = parser.parse_args(argv)

    if args.part == "fuzz-child":
        return fuzz.child_main(args.seed, args.calls, args.trace)
    if args.part in parts.CHILD_PARTS:
        return parts.child_main(args.part, args)

    failed = []
    for part in PARTS if args.part == "all" else (args.part,):
        print("== %s" % part, flush=True)
        if part == "fuzz":
            bad = fuzz.run(args.calls, args.seed, args.batch, args.jobs, args.per_call)
        else:
            bad = parts.run(part, args)
        if bad:
            failed.append(part)
    print("stress: %s" % ("FAILED: " + ", ".join(failed) if failed else "all clean"), flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
