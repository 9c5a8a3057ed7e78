"""The demo and the examples run as a user runs them: each script in a fresh
working directory, against the simulated library, and must finish, print
what it promises and leave its output files."""
import os
import pathlib
import subprocess
import sys

import numpy as np
import pytest
from PIL import Image

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"
TIME_LIMIT_S = 120


def example_env():
    """The environment an example runs in: this process's. Under the
    sanitizer its leaks are judged with every other process's by the stage's
    verdict, which passes numpy's and Pillow's leftovers at exit."""
    return dict(os.environ)


# Each script: files it leaves (relative to where it runs) and lines its
# output holds.
EXPECTED = {
    "demo.py": (
        ["demo-output/ktx21_frame.png", "demo-output/mr250_frame.png"],
        ["SNR11 wait ended with DI inputs 0x00000003",
         "capture ended: True; frames 5, lines 320, last frame 5, state 2",
         "self-calibration stored the offset correction 5"]),
    "wait_for_input.py": (
        [],
        ["  DI event on lines 0x00000001, inputs now 0x00000001",
         "  part present: input line 0 is True",
         "  wait ended with TIMEOUT"]),
    "capture_loop.py": (
        ["capture-output/frames.npy"],
        ["saved 12 frames of 320x240 to capture-output/frames.npy"]),
    "camera_serial.py": (
        [],
        ["ID?        -> Simulated area camera",
         "EXP?       -> 5000",
         "EXP=8000   -> OK",
         "EXP?       -> 8000",
         "EXP=oops   -> ERR",
         "GAIN?      -> ERR",
         "set_camera_mode('FAST') -> 'MODE=FAST\\rOK\\r'",
         "MODE?      -> FAST"]),
    "read_encoder.py": (
        [],
        ["started                  total     0  relative    0  matches  0  absolute  950",
         "moved +220 pulses        total   250  relative  250  matches  2  absolute  199  OVERFLOW",
         "moved -400 pulses        total  -150  relative  650  matches  6  absolute  800  UNDERFLOW",
         "by name: ENCComp1 = 100  ENCComp2 = 1000"]),
    "library_errors.py": (
        ["errors-output/bad_camera.txt"],
        ["camera file missing                status  9 FileError       in CxKTX21::FromFile: "
         "cannot open camera file 'no-such-camera.txt'",
         "board open elsewhere               status  5 DeviceBusy      in CxSNR11::Open: "
         "board 0 is open elsewhere",
         "no such board                      status  6 NoDevice        in CxSNR11::Open: "
         "no board with id 7",
         "board not opened                   status  4 NotOpened       in CxSNR11::Read: "
         "the board is not open",
         "library out of resources           status 14 OutOfResources  in CxSNR11::Read",
         "unknown parameter name             status  1 NotSupported    in ktx21_get_param",
         "read-only parameter                status  1 NotSupported    in ktx21_set_param",
         "wait, retrying on status 7         frame in on attempt 2"]),
}


@pytest.fixture(scope="module")
def run(tmp_path_factory):
    """Runs an example once per test module; returns its working directory
    and its output."""
    done = {}

    def run_once(script):
        if script not in done:
            cwd = tmp_path_factory.mktemp(script.removesuffix(".py"))
            result = subprocess.run([sys.executable, str(EXAMPLES / script)], cwd=cwd,
                                    env=example_env(), capture_output=True, text=True,
                                    timeout=TIME_LIMIT_S)
            assert result.returncode == 0, result.stdout + result.stderr
            assert result.stderr == ""
            done[script] = cwd, result.stdout.splitlines()
        return done[script]

    return run_once


def test_every_example_is_run_here():
    # test_*.py files are pytest files, run by the plugin's tests.
    scripts = [path.name for path in EXAMPLES.glob("*.py") if not path.name.startswith("test_")]
    assert sorted(EXPECTED) == sorted(scripts)


@pytest.mark.parametrize("script", sorted(EXPECTED))
def test_example_runs_and_says_what_it_did(run, script):
    cwd, output = run(script)
    files, lines = EXPECTED[script]
    for name in files:
        assert (cwd / name).is_file(), name
    for line in lines:
        assert line in output


def ktx21_pattern(frame, width, height):
    """The simulated camera's test pattern: (x + 2y + 3f) & 0xFF, with the
    frame number in the first four bytes of row 0."""
    y, x = np.mgrid[0:height, 0:width]
    pixels = ((x + 2 * y + 3 * frame) & 0xFF).astype(np.uint8)
    pixels[0, :4] = np.frombuffer(frame.to_bytes(4, "little"), np.uint8)
    return pixels


def test_capture_loop_keeps_every_frame_it_reports(run):
    cwd, output = run("capture_loop.py")
    frames = np.load(cwd / "capture-output" / "frames.npy")
    assert frames.shape == (12, 240, 320) and frames.dtype == np.uint8
    reported = [int(line.split(":")[0].split()[1]) for line in output if line.startswith("frame")]
    assert len(reported) == 12 and reported == sorted(set(reported))
    for pixels, number in zip(frames, reported):
        np.testing.assert_array_equal(pixels, ktx21_pattern(number, 320, 240))


def test_demo_saves_the_newest_frames_as_png(run):
    cwd, _ = run("demo.py")
    with Image.open(cwd / "demo-output" / "ktx21_frame.png") as png:
        assert (png.format, png.mode, png.size) == ("PNG", "L", (320, 240))
        np.testing.assert_array_equal(np.asarray(png), ktx21_pattern(10, 320, 240))
    with Image.open(cwd / "demo-output" / "mr250_frame.png") as png:
        assert (png.format, png.mode, png.size) == ("PNG", "L", (640, 480))
        pixels = np.asarray(png)
        # Fields woven: the first sample of each row tags its field, 1 odd, 2 even.
        assert list(pixels[:4, 0]) == [1, 2, 1, 2]


def test_library_errors_example_tells_other_errors_apart(run):
    _, output = run("library_errors.py")
    not_library = [line for line in output if "not a library error: Unable to cast" in line]
    type_errors = [line for line in output if "TypeError: abort(): incompatible function" in line]
    assert len(not_library) == 1 and len(type_errors) == 1
