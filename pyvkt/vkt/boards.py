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


def allocate_images(board: Board, count: int) -> list[vktsim.Image]:
    """`count` images that fit the board's frames."""
    shape = geometry(board)
    return [vktsim.Image(shape.width, shape.height, 1, shape.depth) for _ in range(count)]


def grabber_of(board: Board) -> Grabber:
    """The grabber object that captures (a Video's board)."""
    device = board.device
    if isinstance(device, unit.Video):
        device = device.controller  # type: ignore[assignment]
    if not isinstance(device, (unit.KTX21, unit.KTX22, unit.MR250)):
        raise BoardError("%s does not capture frames" % board.model)
    return device


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


def _wait_for_frame(board: Board, grabber: Grabber, index: int, triggered: bool) -> int:
    """Waits until frame `index` (from 0) of the running capture is in and
    returns its number; fires the software trigger first if the camera needs
    it. The KTX22 reports single frames as board events only."""
    if triggered:
        grabber.force_trigger()
    if not isinstance(grabber, unit.KTX22):
        grabber.wait_status(index + 1)
        return grabber.query_status(index).last_frame_no
    timeout = get_setting(board, "Timeout")
    timeout = min(max(timeout, 1), 60000) if isinstance(timeout, int) else 60000
    while grabber.query_status().total_frame_count <= index:
        if not grabber.wait_event(0, timeout, 0):
            raise BoardError("KTX22: frame %d did not arrive within %d ms" % (index, timeout))
    if triggered:
        grabber.clear_trigger_mask()
    # The KTX22 tells no image's frame number; frame n goes to image n - 1 of
    # a ring with room for every frame.
    return index + 1


def capture(board: Board, count: int,
            clock: Callable[[], float] = time.monotonic) -> Iterator[Frame]:
    """Captures `count` frames into a ring of as many images and yields each
    frame as it arrives (a camera in software-trigger mode is triggered for
    each). The encoder count is read when the wait for the frame returns:
    with a camera faster than this loop it may be that of a later frame. The board is stopped and the ring unlocked when the iteration
    ends, early or not. Library errors (a time-out, a lost signal) raise
    RuntimeError from `unit`."""
    if count < 1:
        raise BoardError("a capture takes at least one frame, not %d" % count)
    grabber = grabber_of(board)
    triggered = _software_triggered(board)
    ring = allocate_images(board, count)
    grabber.lock(ring)
    try:
        grabber.num = count
        started = clock()
        grabber.start()
        try:
            for index in range(count):
                number = _wait_for_frame(board, grabber, index, triggered)
                arrived = clock()
                yield Frame(number, encoder_count(board), (arrived - started) * 1000.0,
                            bytes(memoryview(ring[index])))
        finally:
            grabber.stop()
    finally:
        grabber.unlock()
