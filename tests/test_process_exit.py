"""A program may end while its captures still run: the process exits with
status 0 and nothing of the simulated library is used after the exit has
destroyed it. The capture threads keep drawing frames while the exit runs
the destructors of statics, so anything they read must outlive those."""
import os
import subprocess
import sys
import textwrap

import pytest

from grabber_support import SMALL_CAMERAS, write_camera_file

SANITIZER_MARKS = ("Sanitizer", "runtime error:")

PROGRAM = textwrap.dedent("""
    import sys, threading
    import unit, vktsim
    board = getattr(unit, sys.argv[1]).from_file(sys.argv[2])
    images = [vktsim.Image(16, 8) for _ in range(3)]
    board.lock(images)
    board.start()
    if sys.argv[3] == "waiting":
        threading.Thread(target=lambda: [board.wait() for _ in range(10**6)], daemon=True).start()
    board.wait()
""")


@pytest.mark.parametrize("waiter", ["waiting", "idle"])
@pytest.mark.parametrize("model", sorted(SMALL_CAMERAS))
def test_the_process_exits_cleanly_while_a_capture_runs(tmp_path, model, waiter):
    # The fastest camera each model has: frames come while the exit runs.
    fastest = dict(TriggerCycleTime=100, ExposureTime=10) if model != "MR250" else dict(VCycle=10)
    camera = write_camera_file(tmp_path, model=model, **dict(SMALL_CAMERAS[model], **fastest))
    # Freed memory is overwritten, so that a use after the exit shows
    # without a sanitizer too.
    env = dict(os.environ, MALLOC_PERTURB_="165")
    if waiter == "waiting":
        # The interpreter never frees a daemon thread still running at exit,
        # nor what it holds: not a leak for LeakSanitizer to judge.
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    for _ in range(5):
        done = subprocess.run([sys.executable, "-c", PROGRAM, model, str(camera), waiter],
                              env=env, capture_output=True, text=True, timeout=60)
        assert done.returncode == 0, done.stderr
        assert not any(mark in done.stderr for mark in SANITIZER_MARKS), done.stderr
