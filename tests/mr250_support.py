"""Helpers shared by the MR250 tests."""
import pathlib

import numpy as np

import ktx21_support
import unit

CAMERA_FILE = pathlib.Path(__file__).resolve().parent.parent / "examples" / "mr250_camera.txt"
CALIBRATION_REGISTER = 0x100


def write_camera_file(directory, name="camera.txt", **settings):
    """An MR250 camera file with the given settings (texts quoted)."""
    return ktx21_support.write_camera_file(directory, name, model="MR250", **settings)


def small_camera(directory, board_id=0, ch=0, **settings):
    """An opened board with a small camera whose frames come every 0.1 ms."""
    values = dict(Width=16, Height=8, HCycle=1000, VCycle=100, Timeout=2000)
    values.update(settings)
    return unit.MR250.from_file(str(write_camera_file(directory, **values)), board_id, ch)


def expected_pattern(frame, width, height, offset=0, detection=0):
    """Grey bars, the moving white line and the field tags of one frame."""
    x = np.arange(width)
    bars = 235 - 31 * (8 * x // width)
    pattern = np.tile(bars, (height, 1))
    pattern[(frame - 1) % height, :] = 255
    pattern = np.clip(pattern + offset, 0, 255)
    rows = np.arange(height)
    pattern[:, 0] = {0: np.where(rows % 2 == 0, 1, 2), 1: 1, 2: 2}[detection]
    return pattern.astype(np.uint8)
