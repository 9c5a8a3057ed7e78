"""The one board the viewer has open, and what the page asks of it.

Every answer is plain JSON data. A refusal of the library never ends the
viewer: it comes back as the library's own text (``describe_error``), next
to the field or in the page's error list, and the board stays as it was.
"""
from __future__ import annotations

import itertools
import pathlib
import threading
import time
from collections import deque
from collections.abc import Callable
from typing import Any

import vktsim

from .. import boards, recording
from .capture import Capture, Frame

MAX_ERRORS = 20
MAX_RECORD_FRAMES = 10000
# The live capture's ring: it lets a recording bridge short stalls of the
# capture thread, and stays allocated while the board is watched.
RING_BYTES = 64 << 20
DIO_LINES = 32
C_INT = range(-2**31, 2**31)
DEVICE_BUSY = int(vktsim.ExStatus.DeviceBusy)


class SessionError(Exception):
    """A request the viewer refuses; its text is shown in the page (with the
    library's status when the library refused it)."""

    status: int | None = None


class FrameSlot:
    """The newest frame, handed from the capture thread to the page's fetches."""

    def __init__(self) -> None:
        self._ready = threading.Condition()
        self._frame: Frame | None = None

    def put(self, frame: Frame) -> None:
        with self._ready:
            self._frame = frame
            self._ready.notify_all()

    def clear(self) -> None:
        with self._ready:
            self._frame = None

    def wait_newer(self, after: int, timeout: float) -> Frame | None:
        """The newest frame once its sequence number is above ``after``; None
        if none comes within ``timeout`` seconds."""
        with self._ready:
            self._ready.wait_for(lambda: self._frame is not None and self._frame.sequence > after,
                                 timeout)
            frame = self._frame
        return frame if frame is not None and frame.sequence > after else None


class Recorder:
    """Streams the next N frames of the capture into a recording file, as
    `vkt grab` does: each frame goes to a writer thread through a bounded
    queue, so neither memory nor the capture thread waits on the disk."""

    def __init__(self, board: boards.Board, count: int, target: pathlib.Path) -> None:
        self.board = board
        self.count = count
        self.target = target
        shape = boards.geometry(board)
        settings = {s.name: v for s, v in boards.read_settings(board)
                    if not isinstance(v, BaseException)}
        self.stream = recording.Stream(recording.Writer(
            target, board.table_model, settings, shape.width, shape.height, shape.depth))
        self.taken = 0
        self.started = time.monotonic()

    @property
    def done(self) -> bool:
        return self.taken >= self.count

    def add(self, frame: Frame) -> None:
        self.taken += 1
        self.stream.put(frame.number, boards.encoder_count(self.board),
                        (frame.time - self.started) * 1000.0, frame.pixels)

    def finish(self, ending: str,
               done: Callable[[str | None, BaseException | None], None]) -> None:
        """Completes the file on the writer's side; `done` gets its path or
        the error."""
        self.stream.finish_later(ending, done)


class Session:
    """The open board (at most one), its capture and the page's requests."""

    def __init__(self, output_folder: pathlib.Path) -> None:
        self.output_folder = output_folder
        self.frames = FrameSlot()
        self.board: boards.Board | None = None
        self.capturing: Capture | None = None
        self.recorder: Recorder | None = None
        self.last_recording: dict[str, Any] | None = None
        # Recordings whose file is being completed on their writer's thread.
        self._finishing = 0
        self.errors: deque[dict[str, Any]] = deque(maxlen=MAX_ERRORS)
        self._error_numbers = itertools.count(1)
        self._board_serials = itertools.count(1)
        self.board_serial = 0
        self.opened_as: tuple[Any, ...] = ()
        self.bits = 8
        self._lock = threading.RLock()
        # Errors come from the capture thread too, while a request may hold
        # the session's lock waiting for that thread to end: a lock of their own.
        self._errors_lock = threading.Lock()

    # ---- errors ---------------------------------------------------------------------------
    def report(self, text: str) -> None:
        """Adds a board error to the list the page shows."""
        with self._errors_lock:
            self.errors.append({"id": next(self._error_numbers), "text": text,
                                "time": time.strftime("%H:%M:%S")})

    def _library(self, error: BaseException) -> SessionError:
        return SessionError(boards.describe_error(error))

    # ---- opening and closing --------------------------------------------------------------
    def open(self, request: dict[str, Any]) -> dict[str, Any]:
        """Opens the board the page names in place of the one open before.
        The new board is opened first, so that one which cannot open leaves
        the open board (and its capture) as it was; only when the library
        answers that the board is in use, and a board is open, is the open
        one closed to make way (the page may be reopening the same board),
        and reopened as it was if the new one fails all the same."""
        model = _text(request, "model")
        camera_file = request.get("camera_file") or None
        if camera_file is not None and (not isinstance(camera_file, str)
                                        or "\0" in camera_file):
            # The library takes a C string: a NUL would cut the path short.
            raise SessionError("camera_file must be a path")
        id_ = _number(request, "id", 0, C_INT)
        ch = _number(request, "ch", 0, C_INT) if model in boards.GRABBER_MODELS else None
        wanted = (model, id_, ch, camera_file)
        with self._lock:
            try:
                board = _open(*wanted)
            except SessionError as error:
                if self.board is None or error.status != DEVICE_BUSY:
                    raise
                board = self._open_instead(wanted)
            else:
                self.close({})
            self.board, self.opened_as = board, wanted
            self.board_serial = next(self._board_serials)
            return self.state({"settings": True})

    def _open_instead(self, wanted: tuple[Any, ...]) -> boards.Board:
        previous = self.opened_as
        self.close({})
        try:
            return _open(*wanted)
        except SessionError:
            try:
                self.board = _open(*previous)
                self.board_serial = next(self._board_serials)
            except SessionError as again:
                self.report(f"the board open before could not be opened again: {again}")
            raise

    def close(self, request: dict[str, Any]) -> dict[str, Any]:
        """Stops any capture and releases the board."""
        with self._lock:
            if self.capturing is not None:
                self.capture({"run": False})
            if self.board is not None:
                board, self.board = self.board, None
                try:
                    board.close()
                except RuntimeError as error:
                    self.report(boards.describe_error(error))
            self.frames.clear()
            return {"closed": True}

    def _open_board(self) -> boards.Board:
        if self.board is None:
            raise SessionError("no board is open")
        return self.board

    # ---- settings -------------------------------------------------------------------------
    def settings(self) -> list[dict[str, Any]]:
        """Every setting of the board's table with its value or the error
        reading it gave."""
        board = self._open_board()
        values = dict((s.name, v) for s, v in boards.read_settings(board))
        rows = []
        for setting in board.settings:
            row: dict[str, Any] = {"name": setting.name, "kind": setting.kind,
                                   "writable": setting.writable}
            value = values.get(setting.name)
            if isinstance(value, BaseException):
                row["error"] = boards.describe_error(value)
            elif setting.readable:
                row["value"] = value
            rows.append(row)
        return rows

    def set_setting(self, request: dict[str, Any]) -> dict[str, Any]:
        """Writes one setting; the library's refusal comes back as ``error``
        with the value the board keeps."""
        name = _text(request, "name")
        value = request.get("value")
        if not isinstance(value, (str, int)) or isinstance(value, bool):
            raise SessionError("value must be a text or an integer")
        with self._lock:
            board = self._open_board()
            answer: dict[str, Any] = {"name": name}
            try:
                boards.set_setting(board, name, str(value))
            except (RuntimeError, boards.BoardError) as error:
                answer["error"] = boards.describe_error(error)
            try:
                answer["value"] = boards.get_setting(board, name)
            except (RuntimeError, boards.BoardError):
                pass  # a write-only setting or a name outside the table
            return answer

    # ---- capture --------------------------------------------------------------------------
    def capture(self, request: dict[str, Any]) -> dict[str, Any]:
        """Starts (``run`` true) or stops the live capture."""
        run = request.get("run")
        if not isinstance(run, bool):
            raise SessionError("run must be true or false")
        with self._lock:
            if self.capturing is not None and (not run or not self.capturing.running):
                # Stopped on request, or ended by a board error: the ring is
                # released either way before a new capture locks its own.
                self._stop_capture()
            if run and self.capturing is None:
                self._start_capture()
            return self.state({})

    def _stop_capture(self) -> None:
        capturing, self.capturing = self.capturing, None
        recorder, self.recorder = self.recorder, None
        if recorder is not None:
            self.report(f"recording ended with the capture after {recorder.taken} of "
                        f"{recorder.count} frames")
            recorder.finish("capture stopped", self._recorded(recorder))
        if capturing is None:
            return
        try:
            capturing.stop()
        except RuntimeError as error:
            self.report(boards.describe_error(error))

    def _start_capture(self) -> None:
        board = self._open_board()
        try:
            grabber = boards.grabber_of(board)
            shape = boards.geometry(board)
            timeout = boards.get_setting(board, "Timeout")
            capturing = Capture(grabber, shape.width, shape.height, shape.depth,
                                timeout if isinstance(timeout, int) else 2000,
                                boards._software_triggered(board),
                                self._on_frame, self._on_capture_error,
                                boards.ring_size(shape, MAX_RECORD_FRAMES, RING_BYTES))
            capturing.start()
        except (RuntimeError, boards.BoardError) as error:
            raise self._library(error) from None
        self.capturing = capturing
        self.bits = _significant_bits(board)

    def sample_bits(self, sample_bytes: int) -> int:
        """The significant bits of the running capture's samples (a 12-bit
        camera's frames come in 16-bit samples)."""
        if sample_bytes == 2 and 8 < self.bits <= 16:
            return self.bits
        return 8 * sample_bytes

    def _on_frame(self, frame: Frame) -> None:
        self.frames.put(frame)
        recorder = self.recorder
        if recorder is None:
            return
        try:
            recorder.add(frame)
        except RuntimeError as error:
            self.recorder = None
            self._stop_every_frame()
            self.report("recording failed: " + boards.describe_error(error))
            recorder.finish("board error: " + boards.describe_error(error),
                            self._recorded(recorder))
            return
        if recorder.done:
            self.recorder = None
            self._stop_every_frame()
            recorder.finish(recording.ENDED_COMPLETE, self._recorded(recorder))

    def _stop_every_frame(self) -> None:
        capturing = self.capturing
        if capturing is not None:
            capturing.every_frame, capturing.room = False, None

    def _recorded(self, recorder: Recorder) -> Callable[[str | None, BaseException | None],
                                                        None]:
        """What the page learns when a recording's file is complete."""
        with self._errors_lock:
            self._finishing += 1

        def done(path: str | None, error: BaseException | None) -> None:
            try:
                writer = recorder.stream.writer
                if path is None:
                    self.report("recording failed: "
                                + boards.describe_error(error or OSError()))
                    return
                if recorder.stream.error is not None:
                    self.report(f"recording stopped after {writer.frames} frames: "
                                f"{recorder.stream.error.strerror or recorder.stream.error}")
                self.last_recording = {"path": path, "frames": writer.frames,
                                       "lost": recording.lost_between(writer.numbers)}
            finally:
                with self._errors_lock:
                    self._finishing -= 1
        return done

    def _on_capture_error(self, text: str) -> None:
        self.report(text)

    def record(self, request: dict[str, Any]) -> dict[str, Any]:
        """Records the next ``frames`` frames of the running capture into a
        new file in the output folder."""
        count = _number(request, "frames", None)
        if not 1 <= count <= MAX_RECORD_FRAMES:
            raise SessionError(f"frames must be 1 to {MAX_RECORD_FRAMES}")
        with self._lock:
            board = self._open_board()
            if self.capturing is None:
                raise SessionError("start the capture first")
            if self.recorder is not None:
                raise SessionError("a recording is being made")
            self.output_folder.mkdir(parents=True, exist_ok=True)
            target = self.output_folder / time.strftime(
                f"recording-%Y%m%d-%H%M%S-{id(self) % 1000:03d}{recording.SUFFIX}")
            target = _unused(target)
            try:
                self.recorder = Recorder(board, count, target)
            except (RuntimeError, boards.BoardError, OSError) as error:
                raise self._library(error) from None
            self.capturing.room = self.recorder.stream.has_room
            self.capturing.every_frame = True
            return {"recording": str(target), "frames": count}

    # ---- digital I/O ----------------------------------------------------------------------
    def write_output(self, request: dict[str, Any]) -> dict[str, Any]:
        """Switches one output line of a digital-I/O board."""
        line = _number(request, "line", None)
        value = request.get("value")
        if not 0 <= line < DIO_LINES or not isinstance(value, bool):
            raise SessionError(f"line must be 0 to {DIO_LINES - 1} and value true or false")
        with self._lock:
            dio = self._dio()
            try:
                dio.write(line, value)
            except RuntimeError as error:
                raise self._library(error) from None
            return self._io(dio)

    def _dio(self) -> Any:
        board = self._open_board()
        if board.is_grabber:
            raise SessionError(f"{board.model} has no digital I/O lines")
        return board.device

    def _io(self, dio: Any) -> dict[str, Any]:
        return {"inputs": int(dio.read()), "outputs": int(dio.write_status())}

    # ---- the page's view of it all --------------------------------------------------------
    def state(self, request: dict[str, Any]) -> dict[str, Any]:
        """What the page shows: the board, the capture, the I/O lines, the
        errors (and the settings when asked for)."""
        with self._lock:
            board = self.board
            with self._errors_lock:
                errors = list(self.errors)
            answer: dict[str, Any] = {"board": None, "errors": errors,
                                      "recording": self.last_recording,
                                      "recording_now": self.recorder is not None
                                      or self._finishing > 0}
            if board is None:
                return answer
            answer["board"] = {"model": board.model, "table": board.table_model,
                               "grabber": board.is_grabber, "serial": self.board_serial}
            if board.is_grabber:
                answer["capture"] = self._capture_state()
            else:
                try:
                    answer["io"] = self._io(board.device)
                except RuntimeError as error:
                    answer["io_error"] = boards.describe_error(error)
            if request.get("settings"):
                answer["settings"] = self.settings()
            return answer

    def _capture_state(self) -> dict[str, Any]:
        capturing = self.capturing
        if capturing is None:
            return {"running": False, "fps": 0.0, "dropped": 0}
        now = time.monotonic()
        return {"running": capturing.running, "fps": capturing.meter.rate(now),
                "dropped": capturing.meter.dropped}


def _text(request: dict[str, Any], key: str) -> str:
    value = request.get(key)
    if not isinstance(value, str) or not value:
        raise SessionError(f"{key} must be a text")
    return value


def _number(request: dict[str, Any], key: str, default: int | None,
            bounds: range | None = None) -> int:
    value = request.get(key, default)
    if value is None or isinstance(value, bool) or not isinstance(value, int):
        raise SessionError(f"{key} must be an integer")
    if bounds is not None and value not in bounds:
        raise SessionError(f"{key} must be {bounds.start} to {bounds.stop - 1}")
    return value


def _significant_bits(board: boards.Board) -> int:
    """The camera's bits per pixel as its board's table names them."""
    names = {s.name for s in board.settings}
    for name in ("BitWidth", "ImageDepth"):
        if name in names:
            value = boards.get_setting(board, name)
            return value if isinstance(value, int) else 8
    return 8


def _open(model: str, id_: int, ch: int | None, camera_file: str | None) -> boards.Board:
    """A board, or the library's refusal as a SessionError carrying its status."""
    try:
        return boards.open_board(model, id_, ch, camera_file)
    except (RuntimeError, boards.BoardError) as error:
        refusal = SessionError(boards.describe_error(error))
        refusal.status = boards.library_status(error)
        raise refusal from None


def _unused(path: pathlib.Path) -> pathlib.Path:
    """``path``, or the same name with a counter when it exists already."""
    candidate = path
    for number in itertools.count(2):
        if not candidate.exists():
            return candidate
        candidate = path.with_name(f"{path.stem}-{number}{path.suffix}")
    raise AssertionError("unreachable")

