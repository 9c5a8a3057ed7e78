"""A tour of `unit` on the simulated device library.

Runs without boards: the simulated library stands in for them, and `vktsim`
supplies the image class that grabbers capture into.
"""
import inspect

import numpy as np

import unit
import vktsim


def show_surface():
    print("unit offers:")
    for name, obj in vars(unit).items():
        if name.startswith("__") or isinstance(obj, unit.EventStatus):
            continue
        kind = "class" if inspect.isclass(obj) else "function"
        print("  %-8s %s" % (kind, name))
    print("EventStatus:", ", ".join("%s=%d" % (n, int(m))
                                    for n, m in unit.EventStatus.__members__.items()))


def show_image():
    image = vktsim.Image(8, 4, channels=1, depth=8)
    pixels = np.asarray(image)            # a view: no copy is made
    pixels[:] = np.arange(8, dtype=np.uint8) * 32
    print("image", image, "through numpy:", pixels.dtype, pixels.shape)
    print(pixels)
    print("library objects alive:", vktsim.live_objects())


def show_error_text():
    try:
        vktsim.raise_library_error(7, "CxKTX21::Wait", "sim/ktx21.cpp", 42)
    except RuntimeError as error:
        print("a library error reaches Python as RuntimeError:", error)


if __name__ == "__main__":
    show_surface()
    show_image()
    show_error_text()
