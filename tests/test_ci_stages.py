"""The stage runner of CI (tools/test.sh): it names its stages, and refuses a
stage it does not have before running anything."""
import pathlib
import subprocess

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
