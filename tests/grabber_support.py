"""Helpers shared by the grabber tests: camera files and small, fast simulated
cameras for the KTX21, KTX22 and MR250."""
import pathlib

import numpy as np

import unit
import vktsim

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"
KTX21_CAMERA_FILE = EXAMPLES / "ktx21_camera.txt"
MR250_CAMERA_FILE = EXAMPLES / "mr250_camera.txt"
MR250_CALIBRATION_REGISTER = 0x100

# The settings of a small camera whose frames come quickly, per model.
_FAST_KTX = dict(Width=16, Height=8, BitWidth=8, TriggerCycleTime=1000, ExposureTime=100,
                 Timeout=2000)
SMALL_CAMERAS = {"KTX21": _FAST_KTX, "KTX22": _FAST_KTX,
                 "MR250": dict(Width=16, Height=8, HCycle=1000, VCycle=100, Timeout=2000)}


def write_camera_file(directory, name="camera.txt", model="KTX21", **settings):
    """A camera file with the given settings (texts quoted, numbers as they are)."""
    lines = ["# written by a test", "[%s]" % model]
    for key, value in settings.items():
        lines.append("%s = %s" % (key, '"%s"' % value if isinstance(value, str) else value))
    path = pathlib.Path(directory) / name
    path.write_text("\n".join(lines) + "\n")
    return path


def small_camera_file(directory, model, **settings):
    """The path of a camera file of the model's small, fast camera (the MR250's
    frames come every 0.1 ms), with the settings given changed."""
    values = dict(SMALL_CAMERAS[model])
    values.update(settings)
    return str(write_camera_file(directory, model=model, **values))


def small_camera(directory, model, *board_and_channel, **settings):
    """An opened board of the model with a small, fast camera; the MR250 also
    takes a board id and a channel."""
    path = small_camera_file(directory, model, **settings)
    return getattr(unit, model).from_file(path, *board_and_channel)


def capture(board, frames):
    """Captures `frames` frames of a small camera (16 x 8) into one image, to
    the end."""
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.num = frames
    board.start()
    board.wait()


def ktx21_small_camera(directory, **settings):
    return small_camera(directory, "KTX21", **settings)


def ktx22_small_camera(directory, **settings):
    return small_camera(directory, "KTX22", **settings)


def mr250_small_camera(directory, board_id=0, ch=0, **settings):
    return small_camera(directory, "MR250", board_id, ch, **settings)


def mr250_expected_pattern(frame, width, height, offset=0, detection=0):
    """Grey bars, the moving white line and the field tags of one MR250 frame."""
    x = np.arange(width)
    bars = 235 - 31 * (8 * x // width)
    pattern = np.tile(bars, (height, 1))
    pattern[(frame - 1) % height, :] = 255
    pattern = np.clip(pattern + offset, 0, 255)
    rows = np.arange(height)
    pattern[:, 0] = {0: np.where(rows % 2 == 0, 1, 2), 1: 1, 2: 2}[detection]
    return pattern.astype(np.uint8)
