"""The sanitizer stage's leak verdict (tools/stage_asan.sh, tools/leak_verdict.py)
does not depend on the interpreter's build: run under the stage's own settings,
a block and a Python object dropped by a test-only library fail it, the same
library without the leaks passes, and so does a child that only imports numpy,
whose leftovers at exit LeakSanitizer reports in the interpreter's frames."""
import io
import pathlib
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tools"))
import leak_verdict  # noqa: E402
from harness_support import gcc_runtime, stage_self_check  # noqa: E402


@pytest.mark.skipif(gcc_runtime("libasan.so") is None, reason="g++ without AddressSanitizer")
def test_the_stage_fails_planted_leaks_and_passes_the_import_of_numpy():
    assert stage_self_check("stage_asan.sh", timeout=600) == [
        "planted block leak: FAIL, full unwinder FAIL; planted Python object leak: FAIL; "
        "calm library: PASS, PASS; import numpy: PASS, full unwinder PASS"]


# A report as LeakSanitizer writes it with symbolize=0: frames name their module.
REPORT = """
=================================================================
==77==ERROR: LeakSanitizer: detected memory leaks

Direct leak of 24 byte(s) in 1 object(s) allocated from:
    #0 0x7f287c2b89cf  (/usr/lib/gcc/x86_64-linux-gnu/12/libasan.so+0xb89cf)
    #1 0x5a5086  (/usr/bin/python3.11+0x5a5086)
    #2 0x51261b  (/usr/bin/python3.11+0x51261b)

Indirect leak of 40 byte(s) in 2 object(s) allocated from:
    #0 0x7f287c2b89cf  (/usr/lib/gcc/x86_64-linux-gnu/12/libasan.so+0xb89cf)
    #1 0x7f2800001234  ({ours}/python/vkt_unit.libs/libvkt_unit.so.1+0x1234)
    #2 0x5a5086  (/usr/bin/python3.11+0x5a5086)

SUMMARY: AddressSanitizer: 64 byte(s) leaked in 3 allocation(s).
"""


@pytest.mark.parametrize("ours, failing", [
    ("build-sanitize", 1),        # the second leak has a frame in our library
    ("build-elsewhere", 0),       # every frame lies in modules not built here
])
def test_the_verdict_fails_only_leaks_with_a_frame_of_ours(tmp_path, ours, failing):
    reports = tmp_path / "reports"
    reports.mkdir()
    (reports / "report.77").write_text(REPORT.format(ours=tmp_path / "build-sanitize"))
    (tmp_path / ours).mkdir()
    out = io.StringIO()
    assert leak_verdict.verdict(str(reports), [str(tmp_path / ours)], out=out) == failing
    text = out.getvalue()
    assert ("1 report file(s); %d leak(s) of our code, %d of third-party code"
            % (failing, 2 - failing)) in text
    assert ("Indirect leak of 40 byte(s) in 2 object(s), report.77:" in text) == bool(failing)


def test_a_memory_error_fails_the_verdict_and_is_shown(tmp_path):
    (tmp_path / "report.9").write_text(
        "==9==ERROR: AddressSanitizer: heap-use-after-free on address 0x602000000010\n"
        "    #0 0x5a5086  (/usr/bin/python3.11+0x5a5086)\n")
    out = io.StringIO()
    assert leak_verdict.verdict(str(tmp_path), [str(tmp_path / "ours")], out=out) == 1
    text = out.getvalue()
    assert "==9==ERROR: AddressSanitizer: heap-use-after-free" in text
    assert "/usr/bin/python3.11+0x5a5086" in text
    assert "1 other error(s)" in text
