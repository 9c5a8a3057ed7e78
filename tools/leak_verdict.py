"""The verdict on the AddressSanitizer/LeakSanitizer reports of a sanitizer run.

Every process of the run writes its reports into one folder (log_path), with
unsymbolized stacks whose frames name the module they lie in. A leak is ours
when any frame of its allocation stack lies in a module built from this
repository (the folders given with --ours): memory our code allocated, or a
Python object allocated while our code called into the interpreter. Leaks
whose stacks lie wholly in the interpreter, numpy or other third-party code
are what those leave at exit and pass, whatever build of the interpreter
(with or without symbols) ran them. Any other AddressSanitizer report fails.

    python tools/leak_verdict.py --ours BUILD_DIR [--ours DIR...] REPORT_DIR

Exit status 0 when no report is ours, 1 otherwise; the failing leaks are
printed with our frames symbolized (addr2line)."""
import argparse
import dataclasses
import os
import re
import subprocess
import sys

LEAK = re.compile(r"^(Direct|Indirect) leak of (\d+) byte\(s\) in (\d+) object\(s\) allocated from:")
FRAME = re.compile(r"^\s*#(\d+) 0x[0-9a-f]+\s+(?:in \S+ )?\((.+)\+0x([0-9a-f]+)\)\s*$")
ERROR = re.compile(r"^==\d+==ERROR: AddressSanitizer: (.*)")


@dataclasses.dataclass
class Leak:
    report: str
    kind: str
    size: int
    count: int
    frames: list   # (module path, offset)


def parse(path):
    """The leaks of one report file, and its other errors (each a list of
    its lines, frames as (module, offset))."""
    leaks, errors, current, error = [], [], None, None
    with open(path, errors="replace") as report:
        for line in report:
            line = line.rstrip("\n")
            found = LEAK.match(line)
            if found:
                current = Leak(path, found[1], int(found[2]), int(found[3]), [])
                leaks.append(current)
                continue
            frame = FRAME.match(line)
            if frame and current is not None:
                current.frames.append((frame[2], int(frame[3], 16)))
                continue
            if not line.strip():
                current = None
            if ERROR.match(line):
                error = ["%s:" % os.path.basename(path)]
                errors.append(error)
            elif "ERROR: LeakSanitizer" in line:
                error = None
            if error is not None:
                error.append((frame[2], int(frame[3], 16)) if frame else line)
    return leaks, errors


def is_ours(module, ours):
    real = os.path.realpath(module)
    return any(real == root or real.startswith(root + os.sep) for root in ours)


def symbolized(module, offset):
    """'function at file:line' for a frame of ours (debug builds), or the
    bare module and offset when addr2line cannot tell."""
    try:
        done = subprocess.run(["addr2line", "-f", "-C", "-e", module, hex(offset - 1)],
                              capture_output=True, text=True, timeout=30)
        function, where = done.stdout.splitlines()[:2]
        if function != "??":
            return "%s at %s" % (function, where)
    except (OSError, ValueError, subprocess.SubprocessError):
        pass
    return "%s+%#x" % (module, offset)


def describe(leak, ours):
    lines = ["%s leak of %d byte(s) in %d object(s), %s:" % (
        leak.kind, leak.size, leak.count, os.path.basename(leak.report))]
    for index, (module, offset) in enumerate(leak.frames):
        if is_ours(module, ours):
            lines.append("    #%d %s" % (index, symbolized(module, offset)))
        else:
            lines.append("    #%d %s+%#x" % (index, module, offset))
    return "\n".join(lines)


def verdict(report_dir, ours, out=sys.stdout):
    """Prints the verdict; returns the number of failing reports."""
    ours = [os.path.realpath(root) for root in ours]
    files = sorted(os.path.join(report_dir, name) for name in os.listdir(report_dir))
    passed = failed = 0
    errors = []
    for path in files:
        leaks, file_errors = parse(path)
        errors += file_errors
        for leak in leaks:
            if any(is_ours(module, ours) for module, _ in leak.frames):
                failed += 1
                print(describe(leak, ours), file=out)
            else:
                passed += 1
    for error in errors:
        for line in error:
            if isinstance(line, tuple):
                module, offset = line
                line = "    " + (symbolized(module, offset) if is_ours(module, ours)
                                 else "%s+%#x" % line)
            print(line, file=out)
    print("leak verdict: %d report file(s); %d leak(s) of our code, %d of third-party code "
          "(not ours, passed); %d other error(s)" % (len(files), failed, passed, len(errors)),
          file=out)
    return failed + len(errors)


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python tools/leak_verdict.py")
    parser.add_argument("--ours", action="append", required=True,
                        help="a folder holding modules built from this repository")
    parser.add_argument("reports", help="the folder the sanitizer wrote its reports into")
    args = parser.parse_args(argv)
    return 1 if verdict(args.reports, args.ours) else 0


if __name__ == "__main__":
    sys.exit(main())
