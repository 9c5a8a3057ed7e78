"""Read the encoder of a conveyor.

A rotary encoder on the conveyor is wired to the encoder input of KTX21
board 0. The program sets the encoder up (a match every 100 counts, an
absolute position that wraps within 0..1000 and starts at 950), moves the
conveyor forwards and backwards, and reads the counters and flags each time.
"""
import pathlib

import unit
import vktsim

CAMERA_FILE = pathlib.Path(__file__).with_name("ktx21_camera.txt")


def simulate_conveyor(board: unit.KTX21, pulses: int) -> None:
    """Stands in for the real conveyor: its encoder sends `pulses` pulses
    (negative: backwards). On a machine with boards, this function goes."""
    vktsim.move_encoder(board, pulses)


def show(encoder: unit.KTX21Encoder, what: str) -> None:
    print("%-24s total %5d  relative %4d  matches %2d  absolute %4d%s%s" % (
        what, encoder.total_counter(), encoder.rel_counter(), encoder.match_counter(),
        encoder.abs_counter(),
        "  OVERFLOW" if encoder.is_abs_overflow else "",
        "  UNDERFLOW" if encoder.is_abs_underflow else ""))


def main() -> None:
    board = unit.KTX21.from_file(str(CAMERA_FILE))
    encoder = unit.KTX21Encoder.from_(board)
    encoder.sampling = 1          # every pulse counts
    encoder.dir = 0               # forwards counts up
    encoder.comp1 = 100           # a match each time the relative counter passes 100 more
    encoder.comp2 = 1000          # the absolute counter wraps within 0..1000
    encoder.init = 950            # where start_abs puts the absolute counter
    encoder.clear_all_counter()
    encoder.start_abs(True)
    show(encoder, "started")

    for pulses in (30, 220, -400):
        simulate_conveyor(board, pulses)
        show(encoder, "moved %+d pulses" % pulses)
        if encoder.is_abs_overflow or encoder.is_abs_underflow:
            # The absolute position wrapped: note it, then acknowledge.
            encoder.clear_overflow()
            encoder.clear_underflow()

    encoder.clear_rel_counter()
    show(encoder, "relative counter cleared")
    print("by name: ENCComp1 =", encoder.get_param("ENCComp1"),
          " ENCComp2 =", encoder.get_param("ENCComp2"))
    board.close()


if __name__ == "__main__":
    main()
