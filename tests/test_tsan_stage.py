"""The ThreadSanitizer stage (tools/stage_tsan.sh) can fail: run under the
stage's own settings, a planted race in a test-only library is reported and
its process exits with 66, and the same library with a lock passes."""
import os
import pathlib
import shutil
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parent.parent
STAGE = ROOT / "tools" / "stage_tsan.sh"
SANITIZER_SETTINGS = {"LD_PRELOAD", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS",
                      "PYTHONMALLOC"}


def thread_sanitizer_runtime():
    if shutil.which("g++") is None:
        return None
    found = subprocess.run(["g++", "-print-file-name=libtsan.so"], capture_output=True, text=True)
    path = pathlib.Path(found.stdout.strip())
    return path if path.is_absolute() and path.exists() else None


@pytest.mark.skipif(thread_sanitizer_runtime() is None, reason="g++ without ThreadSanitizer")
@pytest.mark.skipif(not (ROOT / ".venv" / "bin" / "python").exists(),
                    reason="the stage runs the project environment's interpreter")
def test_the_stage_reports_a_planted_race_and_passes_a_calm_one():
    # The stage runs as CI runs it, not under the runtimes this test may run under.
    env = {name: value for name, value in os.environ.items()
           if name not in SANITIZER_SETTINGS}
    done = subprocess.run(["bash", str(STAGE), "--harness-check"], cwd=ROOT, env=env,
                          capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stdout + done.stderr
    assert done.stdout.splitlines() == [
        "planted race: exit status and reports 66 1; with a lock: 0 0"]
