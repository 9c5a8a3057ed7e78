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


def show_digital_io():
    """Drive an SNR11's outputs, then wait for an input edge on line 0."""
    board = unit.SNR11()
    board.open(0)
    param = unit.SNR11Param.from_(board)
    board.write(0b1010)
    board.write(0, True)
    print("SNR11 outputs now 0x%08X" % board.write_status())

    param.timeout = 2000                      # ms
    param.set_param("DIWaitEnable", 0x1)      # line 0 ends a wait
    param.set_param("DIEdge", 0x1)            # on its rising edge
    # The simulated wires: line 1 rises after 20 ms, line 0 after 50 ms.
    vktsim.schedule_inputs("SNR11", 0, [(20, 0b10, -1), (50, 0b11, -1)])
    event = unit.EventStatus(board.wait())
    print("SNR11 wait ended with", event.name, "inputs 0x%08X" % board.read())

    param.timeout = 30
    print("with nothing scheduled it ends with", unit.EventStatus(board.wait()).name)
    board.close()


def show_error_text():
    try:
        vktsim.raise_library_error(7, "CxKTX21::Wait", "sim/ktx21.cpp", 42)
    except RuntimeError as error:
        print("a library error reaches Python as RuntimeError:", error)


if __name__ == "__main__":
    show_surface()
    show_image()
    show_digital_io()
    show_error_text()
