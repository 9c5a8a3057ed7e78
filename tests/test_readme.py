"""The README's examples run as written.

Rules: the ```python blocks of one `##` section run in order in one
namespace, in a fresh interpreter per section, with the simulator at
power-on and the working directory a temporary folder holding a copy of
examples/. A ```pycon block (`>>>` prompts and the output they show) is
checked by doctest in the same namespace, in its place among the python
blocks. ```py (fragments, pytest files shown elsewhere, code that needs real
boards), ```bash and indented blocks are not run. A block that fails fails
its section's test, naming the section and the block's line.
"""
import json
import pathlib
import re
import shutil
import subprocess
import sys

import pytest

from test_examples import example_env   # run as the examples are, sanitizer included

ROOT = pathlib.Path(__file__).resolve().parent.parent
README = ROOT / "README.md"
RUN = ("python", "pycon")

FENCE = re.compile(r"^( {0,3})(`{3,})\s*([\w+-]*)\s*$")


def parse(text):
    """The sections of a Markdown text that hold blocks to run: a list of
    (title, blocks), each block a dict of kind, line (of its opening fence,
    counting from 1) and source."""
    sections, title, blocks = [], None, []
    lines = text.splitlines()
    number = 0
    while number < len(lines):
        line = lines[number]
        number += 1
        opening = FENCE.match(line)
        if opening:
            indent, fence, kind = opening.groups()
            start, body = number, []
            while number < len(lines) and not re.match(r"^ {0,3}%s`*\s*$" % fence, lines[number]):
                body.append(lines[number][len(indent):] if lines[number].startswith(indent)
                            else lines[number].lstrip(" "))
                number += 1
            number += 1   # the closing fence
            if kind in RUN:
                blocks.append({"kind": kind, "line": start, "source": "\n".join(body) + "\n"})
        elif line.startswith("## ") or line.startswith("# "):
            if blocks:
                sections.append((title, blocks))
            title, blocks = line.lstrip("#").strip(), []
    if blocks:
        sections.append((title, blocks))
    return sections


# Runs in the fresh interpreter: reads the section from stdin, runs its
# blocks and prints what the first failing one did.
DRIVER = r'''
import doctest, io, json, sys, traceback
import vktsim
vktsim.reset()
section = json.load(sys.stdin)
namespace = {"__name__": "__main__"}
where = "README.md section %r" % section["title"]
for block in section["blocks"]:
    line, source = block["line"], block["source"]
    if block["kind"] == "python":
        padded = "\n" * line + source      # tracebacks give README lines
        try:
            exec(compile(padded, "README.md", "exec"), namespace)
        except BaseException:
            print("%s: the python block at line %d raised:" % (where, line))
            traceback.print_exc(file=sys.stdout)
            sys.exit(1)
    else:
        test = doctest.DocTestParser().get_doctest(source, namespace, where, "README.md", line)
        report = io.StringIO()
        runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
        runner.run(test, out=report.write, clear_globs=False)
        if runner.failures:
            print("%s: the pycon block at line %d does not show what it does:" % (where, line))
            print(report.getvalue())
            sys.exit(1)
        if not test.examples:
            print("%s: the pycon block at line %d has no >>> example" % (where, line))
            sys.exit(1)
'''


def run_section(title, blocks, folder):
    """Runs one section in a fresh interpreter in `folder` (which receives a
    copy of examples/); its exit status and output."""
    shutil.copytree(ROOT / "examples", folder / "examples")
    done = subprocess.run([sys.executable, "-c", DRIVER], cwd=folder, text=True, env=example_env(),
                          input=json.dumps({"title": title, "blocks": blocks}),
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
    return done.returncode, done.stdout


SECTIONS = parse(README.read_text(encoding="utf-8"))


@pytest.mark.parametrize("title, blocks", SECTIONS, ids=[title for title, _ in SECTIONS])
def test_the_examples_of_a_readme_section_run_as_shown(tmp_path, title, blocks):
    status, output = run_section(title, blocks, tmp_path)
    if status != 0:
        pytest.fail(output, pytrace=False)


def test_the_readme_shows_its_examples_as_blocks_that_run():
    titles = [title for title, _ in SECTIONS]
    assert "A short example" in titles
    kinds = {block["kind"] for _, blocks in SECTIONS for block in blocks}
    assert kinds == {"python", "pycon"}


CODE_OF_OURS = re.compile(r"\b(import\s+(unit|vktsim)\b|(unit|vktsim)\.\w+\s*\()")


def indented_python(text):
    """Lines of indented code blocks (outside fences, inline code left out)
    that use the modules: examples nobody runs."""
    found, fenced = [], False
    for number, line in enumerate(text.splitlines(), 1):
        if re.match(r"^ {0,3}```", line):
            fenced = not fenced
        elif not fenced and line.startswith("    ") and \
                CODE_OF_OURS.search(re.sub(r"`[^`]*`", "", line)):
            found.append(number)
    return found


def test_no_python_example_hides_in_an_indented_block():
    assert indented_python(README.read_text(encoding="utf-8")) == [], \
        "fence these README lines as ```python (run) or ```py (shown only)"


# ---- the harness itself: what it runs, and that it notices a fault -------------------------

SAMPLE = '''# Title

```python
import vktsim
x = 1
```

## First

```python
y = x if "x" in dir() else 2
```

```py
raise SystemExit("a fragment is not run")
```

    raise SystemExit("nor is an indented block")

```bash
exit 3
```

```pycon
>>> y + 1
3
```

## Second

- a list item with a block:

  ```python
  z = 40
  ```

```pycon
>>> z + 2
42
```
'''


def test_indented_python_is_found():
    assert indented_python(SAMPLE) == []
    assert indented_python("text\n\n    import vktsim\n    x = unit.SNR11()\n\n"
                           "    `unit.SNR11()` in prose\n") == [3, 4]


def test_sections_blocks_and_lines_are_found():
    found = [(title, [(b["kind"], b["line"]) for b in blocks]) for title, blocks in parse(SAMPLE)]
    assert found == [("Title", [("python", 3)]),
                     ("First", [("python", 10), ("pycon", 24)]),
                     ("Second", [("python", 33), ("pycon", 37)])]
    assert parse(SAMPLE)[2][1][0]["source"] == "z = 40\n"


def test_each_section_runs_alone_in_a_fresh_interpreter(tmp_path):
    # "x" from the title's section is not seen by "First": y is 2.
    for number, (title, blocks) in enumerate(parse(SAMPLE)):
        assert run_section(title, blocks, tmp_path / str(number)) == (0, "")


@pytest.mark.parametrize("markdown, expected", [
    ("## Broken\n\ntext\n\n```python\nimport os\n\n1 / 0\n```\n",
     ["README.md section 'Broken': the python block at line 5 raised:",
      'File "README.md", line 8', "ZeroDivisionError"]),
    ("## Drifted\n\n```python\nvalue = 6 * 7\n```\n\n```pycon\n>>> value\n41\n```\n",
     ["README.md section 'Drifted': the pycon block at line 7 does not show what it does:",
      'File "README.md", line 8', "Expected:\n    41\nGot:\n    42"]),
    ("## Silent\n\n```pycon\nprint('no prompt')\n```\n",
     ["README.md section 'Silent': the pycon block at line 3 has no >>> example"]),
    ("## Reset\n\n```pycon\n>>> import vktsim\n>>> vktsim.journal()\n['not empty']\n```\n",
     ["Expected:\n    ['not empty']\nGot:\n    []"]),
    ("## Folder\n\n```python\nimport os\nassert os.listdir() == ['examples'], os.listdir()\n"
     "open('examples/nothing-like-this')\n```\n",
     ["FileNotFoundError", "examples/nothing-like-this"]),
], ids=["exception", "wrong output", "no prompt", "simulator at power-on", "folder"])
def test_a_failing_block_fails_naming_section_and_line(tmp_path, markdown, expected):
    [(title, blocks)] = parse(markdown)
    status, output = run_section(title, blocks, tmp_path)
    assert status == 1
    for text in expected:
        assert text in output


def test_the_readme_links_to_files_that_exist():
    """The front page points into the documentation site's sources; a page
    renamed or moved must not leave a dead link behind."""
    text = README.read_text(encoding="utf-8")
    targets = re.findall(r"\]\(([^)#]+)\)", text)
    assert len(targets) > 10
    assert [target for target in targets if not (ROOT / target).is_file()] == []
    pages = {path.relative_to(ROOT).as_posix() for path in (ROOT / "docs" / "guides").glob("*.rst")}
    assert pages - set(targets) == set(), "every guide is linked from the README"


def test_the_readme_is_a_front_page():
    # Everything else lives in the documentation site: one home per text.
    lines = README.read_text(encoding="utf-8").splitlines()
    assert len(lines) <= 300
    assert lines[2:4] == ["    bash tools/setup.sh && .venv/bin/python examples/demo.py",
                          "    bash tools/test.sh"]
