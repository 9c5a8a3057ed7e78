"""Handle library errors: status codes and what to do about them.

Every failure of the device library, and every request the module itself
refuses, reaches Python as RuntimeError with the text
"Code:<status> Line:<line> Function:<function> File:<file>". The status says
what went wrong; the function text names the operation (and, from the
library, the problem). Wrong argument types are TypeError, as anywhere in
Python, and a value of the wrong kind for a setting is RuntimeError
"Unable to cast ..." without a status.
"""
import pathlib
import re
from typing import Callable, NamedTuple

import unit
import vktsim

CAMERA_FILE = pathlib.Path(__file__).with_name("ktx21_camera.txt")

# What a program does about each status it meets.
ADVICE = {
    1: "a name or request this board does not support: check the spelling",
    4: "open the board first",
    5: "the board is open in another object or program: close it there",
    6: "no board with that id: check the id and the installation",
    7: "nothing came in time: check the camera or wiring, then retry",
    9: "the file could not be read or written: check the path",
    10: "the file is malformed: the text names the line and the problem",
    14: "the system ran out of memory or buffers: free some and retry",
}


class LibraryError(NamedTuple):
    status: int
    function: str


def library_error(error: RuntimeError) -> LibraryError | None:
    """The status and function of a translated library error; None for any
    other RuntimeError."""
    match = re.fullmatch(r"Code:(-?\d+) Line:-?\d+ Function:(.*) File:.*", str(error), re.DOTALL)
    return LibraryError(int(match.group(1)), match.group(2)) if match else None


def status_name(status: int) -> str:
    """The library's name of a status (from the module that registers ExStatus)."""
    return vktsim.ExStatus(status).name


def simulate_failure(operation: str, status: int) -> None:
    """Makes the simulated library fail the next call of `operation`: a way to
    test a program's error handling without broken hardware."""
    vktsim.script(operation, raises=status)


def attempt(what: str, action: Callable[[], object]) -> None:
    try:
        action()
    except RuntimeError as error:
        found = library_error(error)
        if found is None:
            print("%-34s not a library error: %s" % (what, str(error).splitlines()[0]))
            return
        print("%-34s status %2d %-15s in %s" % (what, found.status, status_name(found.status),
                                                 found.function))
        print("%-34s -> %s" % ("", ADVICE.get(found.status, "report it with the whole text")))
    except TypeError as error:
        print("%-34s TypeError: %s" % (what, str(error).splitlines()[0]))
    else:
        print("%-34s succeeded" % what)


def wait_with_retry(board: unit.KTX21, attempts: int) -> bool:
    """Waits for a triggered frame, triggering again after each time-out."""
    for attempt_no in range(1, attempts + 1):
        try:
            board.wait()
            print("%-34s frame in on attempt %d" % ("wait, retrying on status 7", attempt_no))
            return True
        except RuntimeError as error:
            found = library_error(error)
            if found is None or found.status != 7:
                raise
            board.force_trigger()
    return False


def main() -> None:
    bad_file = pathlib.Path("errors-output") / "bad_camera.txt"
    bad_file.parent.mkdir(parents=True, exist_ok=True)
    bad_file.write_text("[KTX21]\nWidth 320\n")

    attempt("camera file missing", lambda: unit.KTX21.from_file("no-such-camera.txt"))
    attempt("camera file malformed", lambda: unit.KTX21.from_file(str(bad_file)))

    first, second = unit.SNR11(), unit.SNR11()
    first.open(0)
    attempt("board open elsewhere", lambda: second.open(0))
    attempt("no such board", lambda: second.open(7))
    attempt("board not opened", lambda: second.read())
    simulate_failure("CxSNR11::Read", status=14)
    attempt("library out of resources", lambda: first.read())
    first.close()

    board = unit.KTX21.from_file(str(CAMERA_FILE))
    param = unit.KTX21Param.from_(board)
    attempt("unknown parameter name", lambda: param.get_param("Exposure"))
    attempt("read-only parameter", lambda: param.set_param("DeviceID", 1))
    # A type checker flags the next call before it runs; at run time:
    attempt("wrong value kind", lambda: param.set_param("Width", 1.5))  # type: ignore[arg-type]
    attempt("wrong argument type", lambda: board.abort(-1))

    param.trigger_mode = 1            # software trigger: no frame without force_trigger
    param.set_param("Timeout", 100)   # ms a wait allows for a frame
    image = vktsim.Image(param.get_param("Width"), param.get_param("Height"))
    board.lock(image)
    board.num = 1
    board.start()
    wait_with_retry(board, attempts=3)
    board.unlock()
    board.close()


if __name__ == "__main__":
    main()
