"""The capture thread: frames from a grabber into the page's frame slot.

Every call into the device library holds the interpreter lock for as long as
it runs, a blocking wait included, so a thread that sat in ``wait()`` for the
board's whole time-out would freeze the web server with it. This thread
never makes a blocking library call: it asks the board for its newest frame
number (``query_status`` returns at once) and, when nothing new has come,
sleeps a few milliseconds in Python, which releases the lock and lets the
server answer. The board's own "Timeout" still applies: no frame for that
long is reported as the board's time-out, and the capture keeps watching.
"""
from __future__ import annotations

import itertools
import threading
import time
from collections.abc import Callable
from dataclasses import dataclass, field

import unit
import vktsim

from ..boards import Grabber

RING_SIZE = 4
POLL_SECONDS = 0.002
TIMEOUT_STATUS = 7
# Numbers every frame handed to the page, across captures, so that a page
# asking for "a frame newer than n" never mistakes a restarted capture's
# frame 1 for an old one.
_sequence = itertools.count(1)


@dataclass(frozen=True)
class Frame:
    """One frame as the page gets it: row after row, little-endian samples."""

    sequence: int
    number: int
    width: int
    height: int
    sample_bytes: int
    pixels: bytes
    time: float


@dataclass
class FrameMeter:
    """Frames shown per second (over the last second) and frames never shown."""

    times: list[float] = field(default_factory=list)
    dropped: int = 0

    def count(self, now: float, skipped: int) -> None:
        self.dropped += skipped
        self.times.append(now)
        while now - self.times[0] > 1.0:
            self.times.pop(0)

    def rate(self, now: float) -> float:
        return float(sum(1 for t in list(self.times) if now - t <= 1.0))


class Capture:
    """One continuous capture of ``board`` on a thread of its own.

    ``on_frame`` gets every frame copied out of the ring, ``on_error`` the
    text of a board error (the capture keeps watching after a time-out and
    ends after anything else); both are called on the capture thread. While
    ``every_frame`` is set (a recording is being made) each frame still in
    the ring is copied out, not only the newest.
    """

    def __init__(self, board: Grabber, width: int, height: int, depth: int,
                 timeout_ms: int, triggered: bool, on_frame: Callable[[Frame], None],
                 on_error: Callable[[str], None], ring_size: int = RING_SIZE) -> None:
        self.board = board
        self.width, self.height = width, height
        self.sample_bytes = 1 if depth <= 8 else 2
        self.timeout_ms = max(timeout_ms, 1)
        self.triggered = triggered
        self.on_frame = on_frame
        self.on_error = on_error
        self.meter = FrameMeter()
        self.every_frame = False
        # While recording: whether the recording takes another frame now
        # (frames it has no room for are not copied; the newest always is).
        self.room: Callable[[], bool] | None = None
        self.ring = [vktsim.Image(width, height, 1, 8 * self.sample_bytes)
                     for _ in range(max(ring_size, 2))]
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, name="vkt-viewer-capture",
                                        daemon=True)

    def start(self) -> None:
        """Locks the ring and starts the board; raises the library's error
        (with the ring released) if it refuses."""
        self.board.lock(self.ring)
        try:
            self.board.num = 0
            self.board.start()
            if self.triggered:
                self.board.force_trigger()
        except RuntimeError:
            self.board.unlock()
            raise
        self._thread.start()

    def stop(self) -> None:
        """Ends the thread, stops the board and releases the ring."""
        self._stop.set()
        if self._thread.is_alive():
            self._thread.join()
        try:
            self.board.stop()
        finally:
            self.board.unlock()

    @property
    def running(self) -> bool:
        return self._thread.is_alive()

    def _run(self) -> None:
        try:
            self._watch()
        except RuntimeError as error:
            # Anything but a missing frame ends the capture (the board was
            # closed, the ring refused...): the page shows why.
            self.on_error(str(error))

    def _watch(self) -> None:
        last = 0
        last_time = time.monotonic()
        timed_out = False
        while not self._stop.is_set():
            newest = int(self.board.query_status().last_frame_no)
            now = time.monotonic()
            if newest == last:
                if not timed_out and (now - last_time) * 1000 >= self.timeout_ms:
                    timed_out = True
                    self.on_error(timeout_text(self.timeout_ms))
                time.sleep(POLL_SECONDS)
                continue
            frames = self._copy_since(last, newest)
            self._next_trigger()
            if not frames:
                continue  # overwritten while copied: the next one is newer
            self.meter.count(now, max(newest - last - len(frames), 0))
            last, last_time, timed_out = newest, now, False
            for frame in frames:
                self.on_frame(frame)

    def _copy_since(self, last: int, newest: int) -> list[Frame]:
        """The newest frame, or while ``every_frame`` is set every frame after
        ``last`` that the ring still holds, in order."""
        first = max(last + 1, newest - len(self.ring) + 2) if self.every_frame and last \
            else newest
        room = self.room
        copied = (self._copy(number) for number in range(first, newest + 1)
                  if number == newest or room is None or room())
        return [frame for frame in copied if frame is not None]

    def _next_trigger(self) -> None:
        """Asks a software-triggered camera for its next frame."""
        if not self.triggered:
            return
        if isinstance(self.board, unit.KTX22):
            self.board.clear_trigger_mask()
        self.board.force_trigger()

    def _copy(self, number: int) -> Frame | None:
        """A copy of frame ``number`` out of the ring (frames go round the
        ring in order from the first image); None when the board came round
        to its image again before the copy was done."""
        pixels = bytes(memoryview(self.ring[(number - 1) % len(self.ring)]))
        if int(self.board.query_status().last_frame_no) - number >= len(self.ring) - 1:
            return None
        return Frame(next(_sequence), number, self.width, self.height, self.sample_bytes,
                     pixels, time.monotonic())


def timeout_text(timeout_ms: int) -> str:
    """What the page shows when the board has sent no frame for its time-out."""
    return (f"Code:{TIMEOUT_STATUS} time-out: no frame for {timeout_ms} ms, the board's "
            "Timeout (is the camera connected and sending?)")
