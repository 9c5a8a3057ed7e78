"""Boards by model name, their settings by name, and captures into images.

Shared by the command line and the viewer.

The settings tables. `unit` checks every name against its own tables, but
exposes none of them at run time: they are documented in its typed stub, and
the build turns that documentation into plain data (the module
`vkt._settings_tables`, written by tools/settings_tables.py), so the tools,
the type checker and the documentation share one source, and the installed
tools do not depend on any .pyi file or search path. Whether a setting is
writable comes from the same place: probing by writing would change the
board.
"""
from __future__ import annotations

import dataclasses
import functools
import importlib
import re
import time
import types
from collections.abc import Callable, Iterator
from typing import Literal, TypeAlias, Union

import unit
import vktsim

GRABBER_MODELS = ("KTX21", "KTX22", "MR250", "Video")
DIO_MODELS = ("SNR11", "SN2200", "TK560")
MODELS = DIO_MODELS + GRABBER_MODELS

Grabber: TypeAlias = Union[unit.KTX21, unit.KTX22, unit.MR250]
DioBoard: TypeAlias = Union[unit.SNR11, unit.SN2200, unit.TK560]
Device: TypeAlias = Union[Grabber, DioBoard, unit.Video]
Param: TypeAlias = Union[unit.KTX21Param, unit.KTX22Param, unit.MR250Param, unit.Video,
                         unit.SNR11Param, unit.SN2200Param, unit.TK560Param]
Value: TypeAlias = Union[int, str]
Kind: TypeAlias = Literal["int", "text"]


class BoardError(Exception):
    """A request the tools refuse before the library is asked (a model that
    does not exist, a value of the wrong kind)."""


class SettingError(BoardError):
    """A setting that was not written: a name outside the board's table, a
    read-only name, a value of the wrong kind or range, or the library's
    refusal (then the text tells what was put back)."""


@dataclasses.dataclass(frozen=True)
class Setting:
    """One row of a board's settings table. An integer setting's value lies
    from `low` to `high` (the library's signed or unsigned 32 bits); a text
    setting has neither."""
    name: str
    kind: Kind
    readable: bool
    writable: bool
    low: int | None = None
    high: int | None = None


_CODE = re.compile(r"^Code:(\d+) ")


def library_status(error: BaseException) -> int | None:
    """The status of a library error raised through `unit` ("Code:<status>
    Line:..."), or None for any other error."""
    match = _CODE.match(str(error))
    return int(match.group(1)) if isinstance(error, RuntimeError) and match else None


def describe_error(error: BaseException) -> str:
    """One line for a person: a library error with its status name and the
    module's text, anything else as its text."""
    status = library_status(error)
    if status is None:
        return str(error) or type(error).__name__
    names = {int(member): name for name, member in vktsim.ExStatus.__members__.items()}
    if status not in names:
        return "status %d: %s" % (status, error)
    return "%s (%d): %s" % (names[status], status, error)


_FIELDS = re.compile(r"^Code:(\d+) Line:\d+ Function:(.*?) File:.*$", re.DOTALL)


@dataclasses.dataclass(frozen=True)
class LibraryError:
    """A library error raised through `unit`, taken apart: its status (with
    the status's name), the function that raised it and its message (empty
    when the library gave none)."""
    status: int
    status_name: str
    function: str
    message: str

    def __str__(self) -> str:
        head = "%s (%d)" % (self.status_name, self.status)
        if self.message:
            head += ": " + self.message
        return head + (" [%s]" % self.function if self.function else "")


def library_error(error: BaseException) -> LibraryError | None:
    """The parts of a library error raised through `unit`, or None for any
    other error. The library puts its message after the function's name
    ("Function:CxKTX21Param::SetParam: Width 0 is out of range ...")."""
    match = _FIELDS.match(str(error))
    if not isinstance(error, RuntimeError) or match is None:
        return None
    status = int(match.group(1))
    names = {int(member): name for name, member in vktsim.ExStatus.__members__.items()}
    function, _, message = match.group(2).partition(": ")
    return LibraryError(status, names.get(status, "status %d" % status), function,
                        message.strip())


# ---- the name tables, written by the build ----------------------------------------------

def _generated() -> types.ModuleType:
    """The module the build writes beside this one."""
    try:
        return importlib.import_module("vkt._settings_tables")
    except ImportError:
        raise BoardError("the settings tables are missing: this copy of vkt was not built "
                         "(vkt/_settings_tables.py is written by the build)") from None


def package_version() -> str:
    """The version of the package these tools came with."""
    return str(_generated().PACKAGE_VERSION)


@functools.cache
def settings_table(model: str) -> tuple[Setting, ...]:
    """The settings of a model's table in the library's order: readable
    names first, then the write-only ones. For "Video" pass the model of the
    board it drives (see `table_model`)."""
    tables: dict[str, tuple[tuple[str, Kind, bool, bool, int | None, int | None], ...]] = \
        _generated().TABLES
    if model not in tables:
        raise BoardError("no settings table for %r" % model)
    return tuple(Setting(*row) for row in tables[model])


def find_setting(model: str, name: str) -> Setting | None:
    """The row of `name` in a model's table, or None."""
    return next((s for s in settings_table(model) if s.name == name), None)


# ---- opening boards ---------------------------------------------------------------------

@dataclasses.dataclass
class Board:
    """An open board: its model, the board object and the object its settings
    are read and written through. Close it (or use it as a context manager)."""
    model: str
    device: Device
    param: Param

    @property
    def table_model(self) -> str:
        """The model whose settings table applies (a Video's board model)."""
        if isinstance(self.device, unit.Video):
            return str(self.device.device_type.name)
        return self.model

    @property
    def settings(self) -> tuple[Setting, ...]:
        return settings_table(self.table_model)

    @property
    def is_grabber(self) -> bool:
        return self.model in GRABBER_MODELS

    def close(self) -> None:
        """Ends any capture and releases the board."""
        device = self.device
        if isinstance(device, unit.Video):
            controller = device.controller
            if isinstance(controller, (unit.KTX21, unit.KTX22, unit.MR250)):
                controller.close()
            return
        device.close()

    def __enter__(self) -> Board:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


def canonical_model(model: str, allowed: tuple[str, ...] = MODELS) -> str:
    """The model's own spelling of a name given in any case ("ktx21",
    "Snr11"); BoardError for a name that is none of `allowed`."""
    found = next((name for name in allowed if name.casefold() == model.casefold()), None)
    if found is None:
        raise BoardError("unknown model %r: one of %s" % (model, ", ".join(allowed)))
    return found


def _check_model(model: str, allowed: tuple[str, ...]) -> None:
    if model not in allowed:
        raise BoardError("unknown model %r: one of %s" % (model, ", ".join(allowed)))


def open_dio(model: str, id: int = 0) -> Board:
    """Opens digital-I/O board `id` of a model ("SNR11", "SN2200", "TK560").
    Library errors (no board, busy) raise RuntimeError from `unit`."""
    _check_model(model, DIO_MODELS)
    if model == "SNR11":
        snr11 = unit.SNR11()
        snr11.open(id)
        return Board(model, snr11, unit.SNR11Param.from_(snr11))
    if model == "SN2200":
        sn2200 = unit.SN2200()
        sn2200.open(id)
        return Board(model, sn2200, unit.SN2200Param.from_(sn2200))
    tk560 = unit.TK560()
    tk560.open(id)
    return Board(model, tk560, unit.TK560Param.from_(tk560))


def _grabber_from_file(model: str, path: str, id: int | None, ch: int | None) -> Device:
    openers: dict[str, Callable[..., Device]] = {
        "KTX21": unit.KTX21.from_file, "KTX22": unit.KTX22.from_file,
        "MR250": unit.MR250.from_file, "Video": unit.Video.from_file}
    if id is None and ch is None:
        return openers[model](path)
    return openers[model](path, id or 0, ch or 0)


def _grabber_by_id(model: str, id: int, ch: int) -> Grabber:
    if model == "Video":
        raise BoardError("a Video board opens from a camera file (--camera-file)")
    board: Grabber = {"KTX21": unit.KTX21, "KTX22": unit.KTX22, "MR250": unit.MR250}[model]()
    board.open(id, ch)
    return board


def param_of(device: Device) -> Param:
    if isinstance(device, unit.KTX21):
        return unit.KTX21Param.from_(device)
    if isinstance(device, unit.KTX22):
        return unit.KTX22Param.from_(device)
    if isinstance(device, unit.MR250):
        return unit.MR250Param.from_(device)
    if isinstance(device, unit.Video):
        return device
    raise BoardError("not a grabber: %r" % (device,))


def open_grabber(model: str, id: int | None = None, ch: int | None = None,
                 camera_file: str | None = None) -> Board:
    """Opens a grabber ("KTX21", "KTX22", "MR250", "Video") from a camera file
    (board `id` channel `ch` if given, else the library's default board), or
    by `id`/`ch` without one. Library errors raise RuntimeError from `unit`."""
    _check_model(model, GRABBER_MODELS)
    if camera_file is not None:
        try:
            camera_file.encode("utf-8")
        except UnicodeEncodeError:
            # A name of undecodable bytes: the library takes UTF-8 paths only.
            raise BoardError("the camera file's path is not UTF-8: %r" % camera_file) from None
        device = _grabber_from_file(model, camera_file, id, ch)
    else:
        device = _grabber_by_id(model, id or 0, ch or 0)
    return Board(model, device, param_of(device))


def open_board(model: str, id: int | None = None, ch: int | None = None,
               camera_file: str | None = None) -> Board:
    """Either kind of board by model name (`ch` and `camera_file` are for
    grabbers only)."""
    _check_model(model, MODELS)
    if model in DIO_MODELS:
        if ch is not None or camera_file is not None:
            raise BoardError("%s is a digital-I/O board: it has no channel or camera file"
                             % model)
        return open_dio(model, id or 0)
    return open_grabber(model, id, ch, camera_file)


# ---- settings -----------------------------------------------------------------------------

def _checked_name(name: str) -> str:
    """A name the library can be handed (it takes UTF-8 names only)."""
    try:
        name.encode("utf-8")
    except UnicodeEncodeError:
        raise SettingError("%r is no setting's name: it is not UTF-8" % name) from None
    return name


def get_setting(board: Board, name: str) -> Value:
    """A setting's value as the library answers it."""
    value: object = board.param.get_param(_checked_name(name))
    if not isinstance(value, (int, str)):
        raise BoardError("%s answered %r for %s" % (board.model, value, name))
    return value


def _writable_row(board: Board, name: str) -> Setting:
    row = find_setting(board.table_model, name)
    if row is None:
        near = [s.name for s in board.settings if s.name.casefold() == name.casefold()]
        hint = " (did you mean %s?)" % near[0] if near else ""
        raise SettingError("%s has no setting %r%s" % (board.model, name, hint))
    if not row.writable:
        raise SettingError("%s is read-only on %s" % (name, board.model))
    return row


def _checked_text(name: str, text: str) -> str:
    try:
        text.encode("utf-8")
    except UnicodeEncodeError:
        raise SettingError("%s takes UTF-8 text, not %r" % (name, text)) from None
    return text


def convert_value(board: Board, name: str, text: str) -> Value:
    """A value given as text in the kind the board's table gives the setting:
    an integer (decimal, 0x hex, 0b, 0o) within the setting's range, or the
    text itself; SettingError names the setting otherwise. A name outside the
    table passes unchanged (a number if it reads as one), so that the library
    gives its own answer to it (`apply_settings` refuses such names first)."""
    row = find_setting(board.table_model, _checked_name(name))
    if row is not None and row.kind == "text":
        return _checked_text(name, text)
    try:
        value = int(text, 0)
    except ValueError:
        if row is None:
            return text
        raise SettingError("%s takes an integer, not %r" % (name, text)) from None
    if row is not None and row.low is not None and row.high is not None \
            and not row.low <= value <= row.high:
        raise SettingError("%s takes an integer from %d to %d, not %s"
                           % (name, row.low, row.high, text))
    return value


def write_setting(board: Board, name: str, value: Value) -> None:
    """Writes a setting. The digital-I/O boards take integers only. Refusals
    of the library raise RuntimeError from `unit`."""
    param = board.param
    if isinstance(param, (unit.SNR11Param, unit.SN2200Param, unit.TK560Param)):
        if isinstance(value, str):
            raise SettingError("%s takes an integer, not %r" % (name, value))
        param.set_param(name, value)
    else:
        param.set_param(name, value)


def set_setting(board: Board, name: str, text: str) -> Value:
    """Writes one setting from its text form (see `convert_value`); returns
    the value written. Refusals of the library raise RuntimeError from
    `unit`."""
    value = convert_value(board, name, text)
    write_setting(board, name, value)
    return value


def _refusal(board: Board, name: str, value: Value, error: RuntimeError) -> str:
    parts = library_error(error)
    return "%s = %s refused by %s: %s" % (name, _shown(value), board.model,
                                          parts if parts is not None else error)


def _shown(value: Value) -> str:
    return repr(value) if isinstance(value, str) else str(value)


def _put_back(board: Board, written: list[Setting], before: dict[str, Value]) -> str:
    """Writes the settings of `written` back to their earlier values, last
    first; says what it did."""
    said: list[str] = []
    for row in reversed(list(dict.fromkeys(written))):
        if row.name not in before:
            said.append("%s is write-only and could not be put back" % row.name)
            continue
        try:
            write_setting(board, row.name, before[row.name])
        except RuntimeError as error:
            said.append("putting %s back failed: %s" % (
                row.name, _refusal(board, row.name, before[row.name], error)))
        else:
            said.append("%s put back to %s" % (row.name, _shown(before[row.name])))
    return "; ".join(said) if said else "nothing was changed"


def apply_settings(board: Board, texts: list[tuple[str, str]]) -> list[tuple[str, Value]]:
    """Writes settings given as (name, text) in order, all or none; returns
    them as written. Every name and value is checked first (nothing is written
    if one is wrong), and every readable one's value read. If the library then
    refuses one, those already written are put back to the values they had
    (a write-only setting cannot be, and the error says so); SettingError
    names the refused setting, the library's status and message and what was
    put back."""
    plan = [(_writable_row(board, name), convert_value(board, name, text))
            for name, text in texts]
    before: dict[str, Value] = {}
    for row, _ in plan:
        if row.readable and row.name not in before:
            try:
                before[row.name] = get_setting(board, row.name)
            except RuntimeError as error:
                raise SettingError("%s could not be read before changing it, nothing was "
                                   "changed: %s" % (row.name, library_error(error) or error)
                                   ) from None
    written: list[Setting] = []
    for row, value in plan:
        try:
            write_setting(board, row.name, value)
        except RuntimeError as error:
            raise SettingError("%s; %s" % (_refusal(board, row.name, value, error),
                                           _put_back(board, written, before))) from None
        written.append(row)
    return [(row.name, value) for row, value in plan]


def read_settings(board: Board) -> list[tuple[Setting, Value | BaseException]]:
    """Every readable setting with its value, or the error reading it gave."""
    rows: list[tuple[Setting, Value | BaseException]] = []
    for setting in board.settings:
        if not setting.readable:
            continue
        try:
            rows.append((setting, get_setting(board, setting.name)))
        except RuntimeError as error:
            rows.append((setting, error))
    return rows


# ---- images and captures -----------------------------------------------------------------

@dataclasses.dataclass(frozen=True)
class Geometry:
    """What a grabber's frames look like."""
    width: int
    height: int
    depth: int  # bits per sample: 8 or 16


def geometry(board: Board) -> Geometry:
    """Width, height and sample depth of the board's frames (more than 8 bits
    per pixel are captured into 16-bit images)."""
    width, height = get_setting(board, "Width"), get_setting(board, "Height")
    if not isinstance(width, int) or not isinstance(height, int):
        raise BoardError("%s answered a text for its frame size" % board.model)
    names = {s.name for s in board.settings}
    bits: Value = 8
    if "BitWidth" in names:
        bits = get_setting(board, "BitWidth")
    elif "ImageDepth" in names:
        bits = get_setting(board, "ImageDepth")
    return Geometry(width, height, 16 if isinstance(bits, int) and bits > 8 else 8)


# A capture's ring holds this much at most (and at least MIN_RING images):
# frames wait there until they are copied out, so it bridges the moments
# the capturing thread is not scheduled, however many frames are taken.
RING_BYTES = 128 << 20
MIN_RING, MAX_RING = 4, 256


def allocate_images(board: Board, count: int) -> list[vktsim.Image]:
    """`count` images that fit the board's frames."""
    shape = geometry(board)
    return [vktsim.Image(shape.width, shape.height, 1, shape.depth) for _ in range(count)]


def ring_size(shape: Geometry, count: int, budget: int | None = None) -> int:
    """Images in the ring of a capture of `count` frames of this shape, within
    `budget` bytes (`RING_BYTES` by default) unless that is under MIN_RING
    images."""
    frame_bytes = shape.width * shape.height * shape.depth // 8
    room = (RING_BYTES if budget is None else budget) // max(frame_bytes, 1)
    return max(1, min(count, max(MIN_RING, min(MAX_RING, room))))


def grabber_of(board: Board) -> Grabber:
    """The grabber object that captures (a Video's board)."""
    device = board.device
    if isinstance(device, unit.Video):
        device = device.controller  # type: ignore[assignment]
    if not isinstance(device, (unit.KTX21, unit.KTX22, unit.MR250)):
        raise BoardError("%s does not capture frames" % board.model)
    return device


def _ktx22_encoder(board: Board) -> unit.KTX22Encoder | None:
    grabber = grabber_of(board)
    return unit.KTX22Encoder.from_(grabber) if isinstance(grabber, unit.KTX22) else None


def encoder_counting(board: Board) -> bool:
    """Whether the board's encoder counts now: a KTX22's only between
    ``start_encoder`` and ``stop_encoder``, a KTX21's always; False for a
    model without an encoder."""
    grabber = grabber_of(board)
    if isinstance(grabber, unit.KTX21):
        return True
    encoder = _ktx22_encoder(board)
    if encoder is None:
        return False
    record = unit.TxKTX22EncoderStatus()
    encoder.encoder_status(record)
    return bool(record.encoder_state)


def encoder_count(board: Board) -> int:
    """The board's encoder count now (0 for a model without an encoder)."""
    grabber = grabber_of(board)
    if isinstance(grabber, unit.KTX21):
        return unit.KTX21Encoder.from_(grabber).total_counter()
    if isinstance(grabber, unit.KTX22):
        record = unit.TxKTX22EncoderStatus()
        unit.KTX22Encoder.from_(grabber).encoder_status(record)
        return record.encoder_counter
    return 0


@dataclasses.dataclass(frozen=True)
class Frame:
    """One captured frame: its number, the encoder count read when it arrived,
    milliseconds since the capture started, and its samples (a copy)."""
    number: int
    encoder_count: int
    timestamp_ms: float
    pixels: bytes


def _software_triggered(board: Board) -> bool:
    """Whether the camera takes a frame only on a software trigger (mode 1)."""
    return any(s.name == "TriggerMode" for s in board.settings) \
        and get_setting(board, "TriggerMode") == 1


def _timeout_ms(board: Board) -> int:
    timeout = get_setting(board, "Timeout") if any(s.name == "Timeout" for s in board.settings) \
        else 60000
    return min(max(timeout, 1), 60000) if isinstance(timeout, int) else 60000


# The KTX22 tells its frames by board events only. A frame that completes
# between reading the count and starting the wait raises its event before
# the wait begins, so the wait would miss it: the count is read again after
# every short wait instead of trusting one long one.
KTX22_WAIT_MS = 20


def _newest_frame(grabber: Grabber) -> int:
    """The number of the newest frame of the running capture (0: none yet)."""
    status = grabber.query_status()
    if isinstance(grabber, unit.KTX22):
        return int(status.total_frame_count)
    return int(status.last_frame_no)


class _Pace:
    """How long frames take to come, in wall time, so that the wait for the
    next one can be spent mostly in short sleeps. A library wait keeps the
    interpreter lock for as long as it runs, so a thread that sat in one
    for every frame would leave the thread writing to disk a few instants
    per frame; the sleeps give it the rest of the frame's time. The
    blocking wait comes last, once the frame is later than expected (and at
    once on the simulator's virtual clock, where frames come only within a
    library wait: there the measured period is near zero)."""

    LONGEST_SLEEP = 0.05

    def __init__(self) -> None:
        self.period = 0.0
        self._last: float | None = None
        self._blocked: float | None = None

    def arrived(self, frames: int) -> None:
        """Notes that `frames` frames came. After a blocking wait only the
        wait counts: on the virtual clock the polling before it is no part
        of the camera's period."""
        now = time.monotonic()
        if self._last is not None and frames > 0:
            span = self._blocked if self._blocked is not None else now - self._last
            sample = span / frames
            self.period = sample if not self.period else 0.75 * self.period + 0.25 * sample
        self._last, self._blocked = now, None

    def poll(self, grabber: Grabber, number: int) -> int:
        """The newest frame once frame `number` is in, or what is in when the
        time it was expected by has passed."""
        deadline = time.monotonic() + min(2 * self.period, self.LONGEST_SLEEP)
        nap = min(max(self.period / 10, 0.0002), 0.001)
        newest = _newest_frame(grabber)
        while newest < number and time.monotonic() < deadline:
            time.sleep(nap)
            newest = _newest_frame(grabber)
        return newest

    def block(self, wait: Callable[[], int]) -> int:
        """Runs a blocking wait, timed."""
        started = time.monotonic()
        try:
            return wait()
        finally:
            self._blocked = time.monotonic() - started


def _wait_for_frame(grabber: Grabber, number: int, timeout_ms: int,
                    pace: _Pace | None = None) -> int:
    """Waits until frame `number` (from 1) of the running capture is in and
    returns the number of the newest frame. Raises the library's time-out
    error, or for a KTX22 BoardError, when it does not come within
    `timeout_ms`."""
    if pace is None:
        return _block_for_frame(grabber, number, timeout_ms)
    newest = pace.poll(grabber, number)
    if newest >= number:
        return newest
    return pace.block(lambda: _block_for_frame(grabber, number, timeout_ms))


def _block_for_frame(grabber: Grabber, number: int, timeout_ms: int) -> int:
    if not isinstance(grabber, unit.KTX22):
        grabber.wait_status(number)
        return _newest_frame(grabber)
    waited = 0
    while (newest := _newest_frame(grabber)) < number:
        if waited >= timeout_ms:
            raise BoardError("KTX22: frame %d did not arrive within %d ms" % (number, timeout_ms))
        step = min(KTX22_WAIT_MS, timeout_ms - waited)
        grabber.wait_event(0, step, 0)
        waited += step
    return newest


def capture(board: Board, count: int, clock: Callable[[], float] = time.monotonic,
            ring: int | None = None, room: Callable[[], bool] | None = None
            ) -> Iterator[Frame]:
    """Captures `count` frames and yields each frame as it arrives (a camera
    in software-trigger mode is triggered for each, its trigger mask cleared
    after each and whenever the capture ends). Frames go round a ring of a
    few images (`ring_size`, or `ring`), so memory does not grow with
    `count`: a frame the board overwrote before it was copied out is lost,
    and shows as a gap in the frame numbers. A KTX22's encoder is started
    for the capture if it was not counting, and stopped again after. The
    encoder count is read when the wait for a frame returns: for frames that
    came together it is that of the newest. The board is stopped and the
    ring unlocked when the iteration ends, early or not. Library errors (a
    time-out, a lost signal) raise RuntimeError from `unit`. With `room`, a
    frame is copied out only while it answers True (the consumer has room
    for it): the others are lost as above, without the cost of a copy."""
    if count < 1:
        raise BoardError("a capture takes at least one frame, not %d" % count)
    grabber = grabber_of(board)
    triggered = _software_triggered(board)
    timeout_ms = _timeout_ms(board)
    images = allocate_images(board, ring or ring_size(geometry(board), count))
    encoder = _ktx22_encoder(board)
    started_encoder = encoder is not None and not encoder_counting(board)
    grabber.lock(images)
    try:
        if started_encoder:
            encoder.start_encoder()  # type: ignore[union-attr]
        grabber.num = count
        started = clock()
        grabber.start()
        try:
            yield from _frames(board, grabber, images, count, triggered, timeout_ms,
                               started, clock, room)
        finally:
            try:
                if triggered and isinstance(grabber, unit.KTX22):
                    grabber.clear_trigger_mask()
            finally:
                grabber.stop()
    finally:
        try:
            if started_encoder:
                encoder.stop_encoder()  # type: ignore[union-attr]
        finally:
            grabber.unlock()


def _intact(newest: int, taken: int, size: int, count: int) -> bool:
    """Whether the image of frame `taken` still holds it when `newest` is in:
    frame newest + 1, if the capture goes on, is being written over frame
    newest + 1 - size."""
    return newest - taken <= (size - 1 if newest >= count else size - 2)


def _frames(board: Board, grabber: Grabber, images: list[vktsim.Image], count: int,
            triggered: bool, timeout_ms: int, started: float,
            clock: Callable[[], float], room: Callable[[], bool] | None) -> Iterator[Frame]:
    size = len(images)
    number = 1
    pace = _Pace()
    while number <= count:
        if triggered:
            grabber.force_trigger()
        newest = min(_wait_for_frame(grabber, number, timeout_ms, pace), count)
        pace.arrived(newest - number + 1)
        if triggered and isinstance(grabber, unit.KTX22):
            grabber.clear_trigger_mask()
        arrived = (clock() - started) * 1000.0
        counted = encoder_count(board)
        for taken in range(number, newest + 1):
            if not _intact(newest, taken, size, count) or room is not None and not room():
                continue
            pixels = bytes(memoryview(images[(taken - 1) % size]))
            # The board goes on filling the ring while frames are copied.
            if _intact(min(_newest_frame(grabber), count), taken, size, count):
                yield Frame(taken, counted, arrived, pixels)
        number = newest + 1
