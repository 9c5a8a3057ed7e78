"""The stage runner of CI (tools/test.sh): it names its stages, and refuses a
stage it does not have before running anything; and the suite runs the same
however it was started."""
import pathlib
import signal
import subprocess

from conftest import USER_PYTEST

ROOT = pathlib.Path(__file__).resolve().parent.parent
STAGES = ["setup", "stress", "stubs", "asan", "asan-stress", "tsan", "coverage", "fuzz", "sdk",
          "wheel", "cli", "wheels", "debian13", "browser", "docs"]


def run_stages(*arguments):
    return subprocess.run(["bash", str(ROOT / "tools" / "test.sh"), *arguments], cwd=ROOT,
                          capture_output=True, text=True, timeout=60)


def test_the_stages_are_listed_in_the_order_they_run():
    done = run_stages("--list")
    assert done.returncode == 0, done.stderr
    assert [line.split()[0] for line in done.stdout.splitlines()] == STAGES


def test_an_unknown_stage_is_refused_before_anything_runs():
    done = run_stages("stubs", "asn")
    assert done.returncode == 2
    assert done.stdout == ""
    assert done.stderr == "no stage named 'asn'; the stages: %s\n" % " ".join(STAGES)


def test_ctrl_c_raises_keyboard_interrupt_in_the_tests():
    # What the tests that interrupt a capture or a watch rely on.
    assert signal.getsignal(signal.SIGINT) is signal.default_int_handler


def test_a_run_started_with_ctrl_c_ignored_still_interrupts_its_tests():
    # As a background job of a script starts it: the tests and the `vkt`
    # children they interrupt must still see Ctrl-C.
    def ignore_ctrl_c():
        signal.signal(signal.SIGINT, signal.SIG_IGN)
    done = subprocess.run(
        [*USER_PYTEST, "-q", "--timeout", "120",
         "tests/test_ci_stages.py::test_ctrl_c_raises_keyboard_interrupt_in_the_tests",
         "tests/test_vkt_grab.py::test_a_real_ctrl_c_leaves_a_whole_recording"],
        cwd=ROOT, preexec_fn=ignore_ctrl_c, capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stdout[-2000:]
