"""Talk to a camera over the Camera Link serial line.

The camera on KTX21 board 0 takes text commands ended by a carriage return,
echoes every byte it receives and answers each command with one line: its
name for "ID?", the exposure time in microseconds for "EXP?", "OK" or "ERR"
for "EXP=<us>" and "MODE=<mode>".
"""
import pathlib

import unit
import vktsim

CAMERA_FILE = pathlib.Path(__file__).with_name("ktx21_camera.txt")
CR = "\r"


def simulated_camera_log(board: unit.KTX21) -> bytes:
    """What the simulated camera received since the last call; there is no such
    log on a real line."""
    return vktsim.serial_received(board)


def read_line(sio: unit.KTX21Sio) -> str:
    """One line from the camera, without its CR. Each byte waits up to the
    line's time-out; none coming is the library error 7 (Timeout)."""
    line = ""
    while (byte := sio.read_byte()) != CR:
        line += byte
    return line


def ask(sio: unit.KTX21Sio, command: str) -> str:
    """Sends one command and returns the camera's answer."""
    sio.purge()                       # drop anything left over from earlier
    sio.write(command + CR)
    echo = read_line(sio)
    if echo != command:
        raise RuntimeError("the camera echoed %r instead of %r" % (echo, command))
    return read_line(sio)


def main() -> None:
    board = unit.KTX21.from_file(str(CAMERA_FILE))
    sio = unit.KTX21Sio.from_(board)
    sio.open()
    sio.timeout = 200                 # ms for each read
    try:
        for command in ("ID?", "EXP?", "EXP=8000", "EXP?", "EXP=oops", "GAIN?"):
            print("%-10s -> %s" % (command, ask(sio, command)))

        # set_camera_mode sends the library's own mode command; the camera
        # echoes it and answers OK. read(n) returns exactly n characters.
        sio.set_camera_mode("FAST")
        expected = "MODE=FAST" + CR + "OK" + CR
        print("set_camera_mode('FAST') ->", repr(sio.read(len(expected))))
        print("%-10s -> %s" % ("MODE?", ask(sio, "MODE?")))
        print("the camera received:", simulated_camera_log(board))
    finally:
        sio.close()
        board.close()


if __name__ == "__main__":
    main()
