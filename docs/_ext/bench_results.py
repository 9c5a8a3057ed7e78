"""The benchmark's results as a table and a plot, made at every build.

``.. bench-results:: before.txt after-merge.txt`` reads the two result files
of ``bench/results/`` (as ``bench/run.sh`` prints them) and shows, for every
ratio figure, its goal and both results in a table, followed by a bar chart
(an SVG drawn with matplotlib into the build) of the ratios against their
goals. The lines without a ratio (latency, frame rate, import time) follow as
a second table.
"""
import pathlib
import re

from docutils import nodes
from docutils.parsers.rst import Directive, directives

RATIO = re.compile(
    r"^(?P<figure>\S.*?)\s+(?P<ratio>\d+(?:\.\d+)?)x\s+"
    r"\[(?P<low>-?[\d.]+)(?:,\s*|-)(?P<high>-?[\d.]+)\]"
    r"\s+(?P<absolute>.*?)\s+goal (?P<goal>[<>]=\s*[\d.]+x)\s*$")
PLAIN = re.compile(r"^(?P<figure>[a-zA-Z].*?)\s{2,}(?P<value>\d.*)$")
SKIP = ("machine:", "build:", "commit:", "load average", "python ", "figure ")


def parse(path):
    """(ratio rows, other rows) of one result file."""
    ratios, others = [], []
    for line in pathlib.Path(path).read_text().splitlines():
        text = line.strip()
        if not text or text.startswith(SKIP) or text.startswith("capture ") and " GB/s" in text:
            continue
        found = RATIO.match(text)
        if found:
            ratios.append(found.groupdict())
            continue
        found = PLAIN.match(text)
        if found:
            others.append(found.groupdict())
    return ratios, others


# Intervals as the results print them now ("[2.4, 9.1]"); files written
# before read "[2.4-9.1]", which is ambiguous once a bound is negative
# ("[-7.9-32.0]").
OLD_INTERVAL = re.compile(r"\[(-?[\d.]+)-(-?[\d.]+)\]")


def interval(text):
    return OLD_INTERVAL.sub(r"[\1, \2]", " ".join(text.split()))


def _table(header, rows):
    table = nodes.table(classes=["bench-results"])
    group = nodes.tgroup(cols=len(header))
    table += group
    for _ in header:
        group += nodes.colspec(colwidth=1)
    head = nodes.thead()
    group += head
    body = nodes.tbody()
    group += body
    for target, cells in ((head, [header]), (body, rows)):
        for cells_of_row in cells:
            row = nodes.row()
            for cell in cells_of_row:
                entry = nodes.entry()
                entry += nodes.paragraph(text=cell)
                row += entry
            target += row
    return table


def _plot(before, after, path, first="before", second="after"):
    import matplotlib
    matplotlib.use("Agg")
    from matplotlib import pyplot

    labels = [row["figure"] for row in after]
    old = {row["figure"]: float(row["ratio"]) for row in before}
    figure, axes = pyplot.subplots(figsize=(9, 0.42 * len(labels) + 1.2))
    positions = range(len(labels))
    axes.barh([p + 0.2 for p in positions], [old.get(label, 0.0) for label in labels],
              height=0.4, color="#bbbbbb", label=first)
    axes.barh([p - 0.2 for p in positions], [float(row["ratio"]) for row in after],
              height=0.4, color="#3b6ea8", label=second)
    for position, row in zip(positions, after):
        goal = float(re.sub(r"[^\d.]", "", row["goal"]))
        axes.plot([goal, goal], [position - 0.45, position + 0.45], color="#c0392b")
    axes.set_yticks(list(positions))
    axes.set_yticklabels(labels, fontsize=7)
    axes.invert_yaxis()
    axes.set_xscale("log")
    axes.set_xlabel("ratio to its baseline (red: goal)")
    axes.legend(loc="lower right", fontsize=8)
    figure.tight_layout()
    path.parent.mkdir(parents=True, exist_ok=True)
    figure.savefig(path, format="svg", metadata={"Date": None})
    pyplot.close(figure)


class BenchResults(Directive):
    required_arguments = 2
    # :names: the two runs' column titles ("before, after" by default)
    option_spec = {"names": directives.unchanged}

    def run(self):
        env = self.state.document.settings.env
        folder = pathlib.Path(env.srcdir).parent / "bench" / "results"
        files = [folder / name for name in self.arguments]
        for path in files:
            env.note_dependency(str(path))
        (before, before_others), (after, others) = parse(files[0]), parse(files[1])
        first, second = [name.strip() for name in
                         self.options.get("names", "before, after").split(",")]
        old = {row["figure"]: row for row in before}
        rows = [[row["figure"], row["goal"],
                 (old[row["figure"]]["ratio"] + "x") if row["figure"] in old else "",
                 "%sx [%s, %s]" % (row["ratio"], row["low"], row["high"]),
                 " ".join(row["absolute"].split())]
                for row in after]
        # Written into the source folder's _generated/ (not kept in git),
        # from where Sphinx copies it into the site like any image.
        _plot(before, after, pathlib.Path(env.srcdir) / "_generated" / "bench.svg", first, second)
        figure = nodes.image(uri="/_generated/bench.svg",
                             alt="ratios before and after, with goals")
        figure["classes"].append("bench-plot")
        result = [_table(["figure", "goal", first, "%s [lowest, highest round]" % second,
                          "absolute medians (%s)" % second], rows), figure]
        if others:
            old_others = {row["figure"]: row["value"] for row in before_others}
            result.append(_table(
                ["figure", first, second],
                [[row["figure"], interval(old_others.get(row["figure"], "")),
                  interval(row["value"])] for row in others]))
        return result


def setup(app):
    app.add_directive("bench-results", BenchResults)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
