"""Prints a gcovr JSON summary per source folder, then the files with the
lowest line and branch coverage, so that a floor that fails says where.
Usage: coverage_summary.py SUMMARY.json [LOWEST]"""
import collections
import json
import sys


def percent(covered, total):
    return 100.0 * covered / total if total else 100.0


def row(name, lines, lines_total, branches, branches_total):
    return "%-28s lines %5.1f%% (%5d of %5d)   branches %5.1f%% (%5d of %5d)" % (
        name, percent(lines, lines_total), lines, lines_total,
        percent(branches, branches_total), branches, branches_total)


def main(path, lowest=5):
    with open(path) as summary:
        files = json.load(summary)["files"]
    folders = collections.defaultdict(lambda: [0, 0, 0, 0])
    for entry in files:
        folder = entry["filename"].rsplit("/", 1)[0]
        counts = folders[folder]
        counts[0] += entry["line_covered"]
        counts[1] += entry["line_total"]
        counts[2] += entry["branch_covered"]
        counts[3] += entry["branch_total"]
    print("coverage per folder:")
    for folder in sorted(folders):
        print("  " + row(folder, *folders[folder]))
    print("  " + row("all", *(sum(c[i] for c in folders.values()) for i in range(4))))
    for metric, covered, total in (("lines", "line_covered", "line_total"),
                                   ("branches", "branch_covered", "branch_total")):
        ranked = sorted((e for e in files if e[total]),
                        key=lambda e: (percent(e[covered], e[total]), e["filename"]))
        print("lowest %s:" % metric)
        for entry in ranked[:lowest]:
            print("  %-40s %5.1f%% (%d not reached)" % (
                entry["filename"], percent(entry[covered], entry[total]),
                entry[total] - entry[covered]))


if __name__ == "__main__":
    main(sys.argv[1], *(int(a) for a in sys.argv[2:3]))
