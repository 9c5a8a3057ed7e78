"""Helpers shared by the KTX21 tests."""
import pathlib

import unit

CAMERA_FILE = pathlib.Path(__file__).resolve().parent.parent / "examples" / "ktx21_camera.txt"


def write_camera_file(directory, name="camera.txt", model="KTX21", **settings):
    """A camera file with the given settings (texts quoted, numbers as they are)."""
    lines = ["# written by a test", "[%s]" % model]
    for key, value in settings.items():
        lines.append("%s = %s" % (key, '"%s"' % value if isinstance(value, str) else value))
    path = pathlib.Path(directory) / name
    path.write_text("\n".join(lines) + "\n")
    return path


def small_camera(directory, **settings):
    """An opened board with a small, fast camera."""
    values = dict(Width=16, Height=8, BitWidth=8, TriggerCycleTime=1000, ExposureTime=100,
                  Timeout=2000)
    values.update(settings)
    return unit.KTX21.from_file(str(write_camera_file(directory, **values)))
