"""Python side of the simulated device library: images, interfaces, and the
journal and scripts that let tests see and steer every library call.

It registers what a maker's own Python module would: the image class
(``Image``), the library's interfaces (``IxModule``, ``IxDIO``, ...) and
enumerations (``ExDevice``, ``ExStatus``). The rest is the simulator's
control panel: the journal of calls that reached the library, scripted
answers, the simulated wires, serial lines and encoders, and object
identities. Controls refuse what they cannot do with ValueError (or
TypeError for an object of the wrong kind) and change nothing then.
"""

import contextlib
import enum
import os
from collections.abc import Callable, Mapping, Sequence
from typing import ClassVar, NoReturn, SupportsIndex, TypeAlias, TypeVar

from typing_extensions import Self  # typing has it from 3.11 on

import unit
from vkt.recording import Recording

# The metaclass pybind11 gives every class it registers
# (pybind11_builtins.pybind11_type).
class _pybind11_type(type): ...

_Int: TypeAlias = SupportsIndex

# ---- images -----------------------------------------------------------------------------

class Image(metaclass=_pybind11_type):
    """The library's image buffer, shared with numpy without copying:
    ``numpy.asarray(image)`` is a (height, width) view (height, width,
    channels for more than one channel) of uint8 or uint16 samples."""

    def __init__(self, width: _Int, height: _Int, channels: _Int = 1, depth: _Int = 8) -> None:
        """A zeroed image. Raises ValueError for a width or height below 1,
        channels other than 1 to 4, a depth other than 8 or 16, or more than
        1 GiB."""
    @property
    def width(self) -> int:
        """Pixels per row."""
    @property
    def height(self) -> int:
        """Rows."""
    @property
    def channels(self) -> int:
        """Samples per pixel, 1 to 4."""
    @property
    def depth(self) -> int:
        """Bits per sample, 8 or 16."""
    def __buffer__(self, flags: int, /) -> memoryview:
        """The samples through the buffer protocol (writable, no copy)."""
    def __repr__(self) -> str:
        """``vktsim.Image(width, height, channels=..., depth=...)``."""

# ---- interfaces -------------------------------------------------------------------------

class IxModule(metaclass=_pybind11_type):
    """A library object viewed as a module (``as_interface(obj, IxModule)``)."""
    def __init__(self, *args: object, **kwargs: object) -> None:
        """Always raises TypeError: interfaces are views of library objects
        (``as_interface``) or the simulated objects below."""

class IxDeviceModule(metaclass=_pybind11_type):
    """A library object viewed as a device module."""
    def __init__(self, *args: object, **kwargs: object) -> None:
        """Always raises TypeError: interfaces are views of library objects
        (``as_interface``) or the simulated objects below."""

class IxRegister(metaclass=_pybind11_type):
    """A library object viewed as a register bank."""
    def __init__(self, *args: object, **kwargs: object) -> None:
        """Always raises TypeError: interfaces are views of library objects
        (``as_interface``) or the simulated objects below."""

class IxVideoControl(metaclass=_pybind11_type):
    """A library object viewed as a capture control."""
    def __init__(self, *args: object, **kwargs: object) -> None:
        """Always raises TypeError: interfaces are views of library objects
        (``as_interface``) or the simulated objects below."""

class IxDIO(metaclass=_pybind11_type):
    """A library object viewed as 32 digital lines read and written as a word."""
    def __init__(self, *args: object, **kwargs: object) -> None:
        """Always raises TypeError: interfaces are views of library objects
        (``as_interface``) or the simulated objects below."""

class IxIndexedDIO(metaclass=_pybind11_type):
    """A library object viewed as digital lines read and written one by one."""
    def __init__(self, *args: object, **kwargs: object) -> None:
        """Always raises TypeError: interfaces are views of library objects
        (``as_interface``) or the simulated objects below."""

# ---- enumerations -------------------------------------------------------------------------

class ExDevice(enum.Enum):
    """The library's device types; the grabber types select the parameter table
    of ``unit.Video``. A pybind11 enumeration at run time: ``__members__``
    lists the members; the class cannot be iterated or indexed by name."""

    Unknown = 0
    KTX21 = 1
    MR250 = 2
    KTX22 = 4
    SNR11 = 8
    SN2200 = 16
    TK560 = 32
    __members__: ClassVar[dict[str, Self]]
    @property
    def name(self) -> str:
        """The member's name, as it is written above."""
    @property
    def value(self) -> int:
        """The member's value."""
    def __int__(self) -> int:
        """The member's value."""
    def __index__(self) -> int:
        """The member's value, where an integer is needed."""

class ExStatus(enum.Enum):
    """The status a library error carries ("Code:<status>" in its text);
    ``ExStatus(status).name`` names it. A pybind11 enumeration at run time, as
    ``ExDevice``."""

    Success = 0
    NotSupported = 1
    """A request or name the callee does not support."""
    MissingObject = 2
    """An object that must exist is missing (null)."""
    InvalidArgument = 3
    """An argument is out of range or malformed."""
    NotOpened = 4
    """The board has not been opened."""
    DeviceBusy = 5
    """The board is open elsewhere, or busy."""
    NoDevice = 6
    """No board with that id exists."""
    Timeout = 7
    """A wait ran out of time."""
    Aborted = 8
    """A wait or capture was aborted."""
    FileError = 9
    """A file could not be read or written."""
    FormatError = 10
    """A file or text is malformed."""
    WrongKind = 11
    """A value was passed with the wrong value kind."""
    ReadOnly = 12
    """The value cannot be written."""
    NotFound = 13
    """A named item does not exist."""
    OutOfResources = 14
    """Memory or another resource is exhausted."""
    NotRunning = 15
    """The operation needs a running capture."""
    __members__: ClassVar[dict[str, Self]]
    @property
    def name(self) -> str:
        """The member's name, as it is written above."""
    @property
    def value(self) -> int:
        """The member's value."""
    def __int__(self) -> int:
        """The member's value."""
    def __index__(self) -> int:
        """The member's value, where an integer is needed."""

# ---- simulated objects with one interface each ----------------------------------------------

class DIO(IxDIO):
    """A simulated ``IxDIO``: a word of inputs set from Python and the outputs
    the library drove."""

    def __init__(self) -> None:
        """Inputs and outputs all 0."""
    @property
    def inputs(self) -> int:
        """The input word the library reads (0 to 4294967295)."""
    @inputs.setter
    def inputs(self, value: _Int, /) -> None: ...
    @property
    def outputs(self) -> int:
        """The output word the library last wrote."""

class IndexedDIO(IxIndexedDIO):
    """A simulated ``IxIndexedDIO``, lines 0 to 31."""

    def __init__(self) -> None:
        """Every line low."""
    @property
    def inputs(self) -> int:
        """The input lines as a word, bit n for line n."""
    @inputs.setter
    def inputs(self, value: _Int, /) -> None: ...
    @property
    def outputs(self) -> int:
        """The output lines as a word."""

class Register(IxRegister):
    """A simulated ``IxRegister`` of 256 registers of 32 bits."""

    def __init__(self) -> None:
        """Every register 0."""
    def value(self, address: _Int, /) -> int:
        """Register ``address``; IndexError beyond 255."""

class Module(IxModule):
    """A simulated library module (made by the library, not from Python)."""

class DeviceModule(IxDeviceModule):
    """A simulated ``IxDeviceModule`` whose ``GetDeviceModule`` answers
    ``module``, or with None its own ``Module``."""

    def __init__(self, module: object = None) -> None:
        """``module``: None, or any object wrapping a library module. With None
        (the default), ``GetDeviceModule`` answers a simulated ``Module`` that
        this object holds (a wrapper of that module keeps this object alive);
        with a module, that module, or no module once it is gone. Raises
        TypeError for an object that is not one."""

class VideoControl(IxVideoControl):
    """A simulated ``IxVideoControl``."""

    def __init__(self) -> None:
        """A control with no capture running."""

class String(metaclass=_pybind11_type):
    """A library narrow string (``CxStringA``), a buffer for the text lookups
    ``unit.get_device_info`` and ``unit.get_xml_item``."""

    def __init__(self, content: bytes = b"") -> None:
        """A string holding ``content``."""
    @property
    def value(self) -> bytes:
        """The bytes it holds."""

# ---- journal and scripts --------------------------------------------------------------------

# A value the library received, as the journal records it: integers, bools,
# narrow texts as bytes, wide texts as str, None for a null pointer, image
# arrays as a list of identities followed by the count.
_JournalValue: TypeAlias = None | bool | int | bytes | str | list[_JournalValue]
# What a scripted call answers: a number, bytes for texts and serial reads, a
# tuple of the fields for a record, None for a void operation.
_ScriptValue: TypeAlias = None | int | bytes | tuple[_ScriptValue, ...]

def journal() -> list[tuple[str, tuple[_JournalValue, ...]]]:
    """The calls that reached the library since ``clear_journal()``, oldest
    first, each ``("Class::Operation", args)``."""
def clear_journal() -> None:
    """Empties the journal."""
def operations() -> list[str]:
    """The names ``script`` accepts."""
def script(
    operation: str, value: _ScriptValue = ..., raises: ExStatus | int | None = None
) -> None:
    """Queues the answer of the next call of ``operation``: ``value`` is what it
    returns or writes, ``raises=status`` makes it throw the library error with
    that status instead: a status the library defines, as an ``ExStatus``
    member or its number (0 to 15). The call is still journaled and does
    nothing else. Raises ValueError for an unknown operation, a value it
    cannot answer with, both ``value`` and ``raises``, or a number that is no
    status ("raises= takes a status the library defines, 0 to 15, not 99");
    TypeError for a status that is neither an ``ExStatus`` nor an int (bool
    included)."""
def reset(clock: str = "real") -> None:
    """Brings every simulated board, script and the journal back to power-on
    (which removes every ``wire``), with ``now_ms()`` at 0 on the clock named ("real" or "virtual", as
    ``set_clock`` takes): on the virtual clock it stays exactly 0 until the
    test moves it. Raises ValueError for another clock, and changes nothing
    then."""
def ident(obj: object) -> int:
    """The identity number of the library object behind ``obj``, as the journal
    records it. Raises TypeError for an object that wraps none, ValueError
    for one the simulated library did not make."""
def live_objects() -> int:
    """How many library objects exist: made and not yet destroyed."""
def live_idents() -> dict[int, str]:
    """The library objects that exist, oldest first: each identity (as
    ``ident`` tells it) with the name of the library's class of the object
    (``{3: "CxKTX21", 4: "CxImage"}``)."""

_Interface = TypeVar(
    "_Interface", IxModule, IxDeviceModule, IxRegister, IxVideoControl, IxDIO, IxIndexedDIO
)

def as_interface(obj: object, interface: type[_Interface]) -> _Interface:
    """The library object behind ``obj`` viewed as ``interface`` (it keeps
    ``obj`` alive). Raises TypeError if it does not implement it or
    ``interface`` is not one of the interface classes."""
def set_journal(recording: bool) -> None:
    """Switches the journal's recording on or off (on at power-on, and again
    after ``reset()``); scripts answer either way. Raises TypeError for
    anything but a bool."""
def raise_library_error(status: _Int, function: str, file: str, line: _Int) -> NoReturn:
    """Throws the library's exception with these fields, as the library would;
    ``unit`` translates it to RuntimeError."""

# ---- digital-I/O wires ------------------------------------------------------------------------

def set_inputs(model: str, id: _Int, inputs: _Int) -> None:
    """Sets the input word of board ``id`` (0 to 3) of ``model`` ("SNR11",
    "SN2200", "TK560"); an input that a ``wire`` drives keeps following its
    wire. Raises ValueError for another model or id."""
def set_interrupt(model: str, id: _Int, level: bool) -> None:
    """Sets the level of a board's interrupt line."""
def outputs(model: str, id: _Int) -> int:
    """The output word a board drives."""
def schedule_inputs(model: str, id: _Int, changes: Sequence[tuple[_Int, _Int, _Int]]) -> None:
    """Queues changes of a board's wires: (milliseconds from now, 0 to 60000;
    input word; interrupt level 0 or 1, or -1 to leave it); inputs that a
    ``wire`` drives keep following their wires. Raises ValueError for a time
    or level out of range."""

# ---- wires between boards -------------------------------------------------------------------

_DIOBoard: TypeAlias = unit.SNR11 | unit.SN2200 | unit.TK560

def wire(board: _DIOBoard, line: _Int, target: _DIOBoard | _Grabber,
         target_line: _Int | None = None) -> None:
    """Wires output ``line`` (0 to 31) of the open digital-I/O board ``board``
    to the external trigger input of the open grabber ``target`` (a board of
    any model, or a Video driving one; ``target_line`` None) or to input
    ``target_line`` (0 to 31) of the open digital-I/O board ``target``.

    The code under test then drives it with its own calls (``write``, or a
    settings file loaded with the outputs), on either clock, and nothing is
    journaled for the wire itself. A rising edge at t on a grabber's trigger
    input is a trigger for a capture running with ``TriggerMode`` 2, as
    ``force_trigger`` is, so its frame comes at t plus the camera's
    ``ExposureTime``; falling edges, edges while no capture runs and edges in
    other trigger modes are lost. A wired input takes the output's level at
    once when wired and follows it from then on, at the moment of each
    change: ``set_inputs`` and ``schedule_inputs`` set the board's other
    lines only. An output has one wire, an input one wire feeding it. Wires
    belong to the boards, not the objects: they stay when the objects close,
    until ``unwire`` or ``reset()``.

    Raises TypeError for a ``board`` that is no digital-I/O board or a
    ``target`` of another kind; ValueError for a board that is not open, a
    line out of range, a ``target_line`` missing for a digital-I/O board or
    given for a grabber, an output or input already wired, or a wire from a
    board to its own inputs. Nothing changes then."""
def unwire(board: _DIOBoard, line: _Int) -> None:
    """Removes the wire from output ``line`` of ``board``; an input it drove
    keeps its level until something else sets it. Raises ValueError for a
    line that is not wired, out of range, or a board that is not open,
    TypeError for an object that is no digital-I/O board."""

# ---- simulated grabbers ---------------------------------------------------------------------
# Each control takes the board object a test holds, of any grabber model, or a
# Video driving one, and acts on the board behind it. An object of another
# kind, or a board without the feature, is a TypeError naming what was
# expected and given; a board that is not open, a Video that drives no board
# and values out of range are a ValueError.

_Grabber: TypeAlias = unit.KTX21 | unit.KTX22 | unit.MR250 | unit.Video

def feed_serial(board: _Grabber, data: bytes) -> None:
    """Bytes the camera on the board's serial line sends (KTX21, KTX22); they
    wait to be read. Raises ValueError for more than the receive buffer holds."""
def serial_received(board: _Grabber) -> bytes:
    """The bytes the camera received from the board since the last call
    (KTX21, KTX22)."""
def set_encoder_speed(board: _Grabber, pulses_per_frame: _Int) -> None:
    """Encoder pulses per captured frame, -1000000 to 1000000 (100 at
    power-on; KTX21, KTX22)."""
def set_encoder_steps(board: _Grabber, steps: Sequence[_Int] | None) -> None:
    """Encoder pulses frame by frame instead of a constant speed: frame n of
    a capture moves the encoder by ``steps[(n - 1) % len(steps)]``, each
    -1000000 to 1000000; None or an empty list brings the constant speed
    (``set_encoder_speed``) back (KTX21, KTX22). Raises ValueError for a step
    out of range and changes nothing then."""
def set_encoder_rate(board: _Grabber, pulses_per_ms: float) -> None:
    """Moves the encoder with time on the active clock at ``pulses_per_ms``
    (-1000000 to 1000000; negative: backwards; 0, the power-on rate and the
    rate after ``reset()``, stops it), besides its motion per captured frame
    (``set_encoder_speed``). The rate is kept to 0.001 pulse per ms (rounded
    to the nearest); the part of a pulse carries over, so after t ms exactly
    floor(rate x t) pulses have moved, however often the counters are read:
    on the virtual clock, ``advance(10)`` at 3 pulses/ms moves every counter
    of the encoder by 30 (KTX21, KTX22). Raises ValueError for a rate out of
    range or not finite."""
def on_serial(board: _Grabber,
              responder: Mapping[bytes, bytes | None] | Callable[[bytes], bytes | None] | None,
              delay_ms: _Int = 0) -> None:
    """Puts ``responder`` in place of the built-in camera on the board's
    serial line (KTX21, KTX22). Each request (the bytes the board sent, up
    to and including a CR or LF) is answered by the mapping's reply for it
    (copied at the call; a request it lacks, or None, gets no reply) or by
    the callable's return value (bytes, or None for no reply), called in the
    thread of the write that ended the request. The reply becomes readable
    ``delay_ms`` (0 to 60000) after the request ended, on the active clock.
    Nothing is echoed unless the reply holds it. An exception the callable
    raises reaches that write unchanged (the rest of the written bytes are
    not sent), and the board stays usable; a reply of another type than
    bytes or None is a TypeError there. None, and ``reset()``, bring the
    built-in camera back. A responder that refers to the board (or to
    anything that holds it) keeps the board alive until then. Raises
    TypeError for a responder of another kind
    or a mapping with keys or replies other than bytes, ValueError for a
    delay out of range; nothing changes then."""
def move_encoder(board: _Grabber, pulses: _Int) -> None:
    """Moves the encoder by ``pulses`` now, -1000000 to 1000000 (negative:
    backwards; KTX21, KTX22)."""
def raise_event(board: _Grabber, event: _Int, delay_ms: _Int = 0) -> None:
    """Raises board event ``event`` (0 frame, 1 capture end, 2 trigger, 3
    external input) now or up to 60000 ms later, from a timer of the board,
    so that a waiting ``wait_event`` can end (KTX22)."""
def cancel_event(board: _Grabber, event: _Int, delay_ms: _Int = 0) -> None:
    """Cancels the waits for ``event`` now or up to 60000 ms later, as
    ``cancel_wait_event`` does (KTX22)."""
def set_signal(board: _Grabber, connected: bool) -> None:
    """Connects or cuts the camera's video signal: without it no frames
    arrive, so waits time out (every model)."""

# ---- the clock, and frames supplied by the user ------------------------------------------

def set_clock(kind: str) -> None:
    """Runs the simulated library on the "real" clock (power-on) or the
    "virtual" one, on which nothing sleeps: a blocking call moves the clock
    at once to the next thing that falls due or to its own time-out. Time
    runs on continuously across a switch. On the virtual clock time moves only
    through ``advance()`` or a blocking call of the calling thread: the
    boards' own threads never move it, whenever the switch comes. Raises
    ValueError for another kind."""
def get_clock() -> str:
    """The clock the simulated library runs on: "real" or "virtual"."""
def now_ms() -> float:
    """Simulated time in milliseconds since the last ``reset()``."""
def advance(ms: float) -> None:
    """Moves the virtual clock ``ms`` (0 to 3600000, to the nearest
    nanosecond) forward, delivering
    everything that falls due on the way in order (scheduled inputs, frames,
    board events, serial bytes). The result is the same as advancing the
    same time in any number of smaller steps; frames that later frames of
    the stretch overwrite in the ring are counted, not drawn, so the cost
    follows the images' count, not the frames': an hour of a 1 us camera
    takes well under 10 ms. Raises ValueError on the real clock or for a
    time out of range."""
def patch_time() -> contextlib.AbstractContextManager[None]:
    """A context manager that puts the calling thread's ``time.sleep``,
    ``time.monotonic``, ``time.perf_counter`` and ``time.time`` (and their
    ``_ns`` forms) on the simulator's clock until the block ends, however it
    ends (the pytest fixture's ``patch_time=True`` does the same for a test).

    In that thread, on the virtual clock, ``sleep(t)`` moves the clock ``t``
    forward as ``advance(t * 1000)`` does (delivering everything due on the
    way) and takes no wall time; on the real clock it sleeps. ``monotonic()``
    and ``perf_counter()`` read simulated time, counted on from what each
    read when the block began; ``time()`` is the wall-clock time when the
    block began plus the simulated time since. So after ``time.sleep(0.010)``
    on the virtual clock, ``monotonic_ns()`` has moved exactly 10000000 and
    ``now_ms()`` exactly 10.

    Every other thread keeps the real functions on the real clock: one
    thread owns the virtual time, as only one may move it. The functions are
    replaced in the ``time`` module: code must call them through it
    (``time.sleep``), not by a name taken before (``from time import
    sleep``); waits in C (``threading.Event.wait``) and asyncio's event loop
    stay on the real clock. Blocks nest in the owning thread. Raises
    RuntimeError when another thread owns the virtual time; ``sleep`` raises
    as ``time.sleep`` does for a negative, NaN or infinite time."""
def set_frames(board: _Grabber, frames: Sequence[object] | None) -> None:
    """Frames the board's captures deliver from now on instead of the test
    pattern: 2-D buffers of (Height, Width), uint8 for 8-bit cameras and
    uint16 above, copied at the call and delivered bit-exact, in order,
    cycling; None (or ``reset()``) brings the test pattern back. Raises
    TypeError or ValueError, naming what was expected and given, for
    anything that does not fit, and changes nothing then."""
def replay(board: _Grabber, recording: Recording | str | os.PathLike[str]) -> None:
    """Makes a simulated grabber play back a recording (``vkt.recording``; a
    path is loaded first): writes the recorded camera settings its table
    lets be written, hands the recorded frames to ``set_frames`` (frame n of
    every later capture is recorded frame n, cycling), and, on a board with
    an encoder, puts the encoder at the first frame's recorded count and sets
    ``set_encoder_steps`` so that each later frame arrives with its recorded
    count; a KTX22 counts only after ``start_encoder()``, and replaying encoder
    counts onto one that does not count gives a RuntimeWarning saying so.
    Raises ValueError ("not a valid recording: ...") for a bad or
    truncated recording or one of another model, TypeError for an object of
    another kind, OSError for a file it cannot read, RuntimeError (the
    library's status) for a setting the board refuses; the board is left as
    it was then."""
