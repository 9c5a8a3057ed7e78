"""Recordings: the frames of a capture with what is needed to reproduce it.

The format is a numpy ``.npz`` archive (a zip file of ``.npy`` arrays, every
member stored uncompressed), written and read here with the standard library
alone, so that the tools need no numpy, while ``numpy.load(path)`` reads
every member without pickles::

    format          0-d str    "vkt-recording/2"
    model           0-d str    the board model ("KTX21", "KTX22", "MR250", "Video")
    settings        0-d str    JSON object: the camera settings, name -> int or str
    frames          uint8 or uint16 (N, height, width): the frames, in order
    frame_numbers   int64 (N,)   the library's number of each frame
    encoder_counts  int64 (N,)   the encoder count when each frame arrived
    timestamps_ms   float64 (N,) milliseconds since the capture started
    lost_frames     0-d int64  frames the board took that are not here (the
                               gaps in frame_numbers)
    ending          0-d str    how the capture ended: "complete", or why not

Version 1 ("vkt-recording/1") has the first seven members only, and is read
as a complete recording without lost frames.

A capture streams into the file (`Writer`): the frames member is written
frame after frame, the rest when the capture ends, so memory does not grow
with the number of frames. Until then the file is ``<name>.partial``; it
takes its name when it is whole.

``load`` refuses anything else (a missing or extra member, a wrong type or
shape, arrays of different lengths, truncated data, compressed or encrypted
members, a CRC that does not match) with a ValueError that names what is
wrong, reading no more than the file holds: the frames' shape is checked
against the member's size before anything is read or allocated.
"""
from __future__ import annotations

import array
import ast
import contextlib
import dataclasses
import io
import json
import math
import os
import queue
import re
import struct
import sys
import threading
import time
import zlib
from collections.abc import Callable, Iterator, Sequence
from typing import IO, BinaryIO, Union

FORMAT = "vkt-recording/2"
FORMAT_1 = "vkt-recording/1"
SUFFIX = ".npz"
PARTIAL = ".partial"
ENDED_COMPLETE = "complete"
_MAGIC = b"\x93NUMPY"
# Sample kinds a member may hold, by .npy type string: struct code, size.
_KINDS = {"|u1": ("B", 1), "<u2": ("H", 2), "<i8": ("q", 8), "<f8": ("d", 8)}
_MEMBERS_1 = ("format", "model", "settings", "frames", "frame_numbers", "encoder_counts",
              "timestamps_ms")
_MEMBERS_2 = _MEMBERS_1 + ("lost_frames", "ending")
# numpy writes headers of a few dozen bytes; anything near this is not ours.
MAX_HEADER = 4096
# Encoder counters are 32 bits wide, signed or not depending on the board.
ENCODER_MIN, ENCODER_MAX = -(1 << 32), (1 << 32) - 1

Value = Union[int, str]


@dataclasses.dataclass(frozen=True)
class Recording:
    """A recorded capture. `frames` holds each frame's samples as bytes, row
    after row, little-endian for 16-bit frames (`depth` 16). `lost_frames`
    counts the frames the board took that the recording lacks; `ending` says
    how the capture ended ("complete", or why it stopped early)."""
    model: str
    settings: dict[str, Value]
    width: int
    height: int
    depth: int
    frames: list[bytes]
    frame_numbers: list[int]
    encoder_counts: list[int]
    timestamps_ms: list[float]
    lost_frames: int = 0
    ending: str = ENDED_COMPLETE

    def __post_init__(self) -> None:
        _validate(self)

    @property
    def frame_bytes(self) -> int:
        return self.width * self.height * (self.depth // 8)

    def __len__(self) -> int:
        return len(self.frames)


def _refuse(what: str) -> ValueError:
    return ValueError("not a valid recording: " + what)


def _validate_settings(settings: object) -> None:
    if not isinstance(settings, dict):
        raise _refuse("member settings is not a JSON object")
    for name, value in settings.items():
        if not isinstance(name, str) or isinstance(value, bool) \
                or not isinstance(value, (int, str)):
            raise _refuse("setting %r has a value of kind %s (int or str expected)"
                          % (name, type(value).__name__))


def _validate_shape(width: int, height: int, depth: int) -> None:
    if depth not in (8, 16):
        raise _refuse("frames of %r bits per sample (8 or 16 expected)" % (depth,))
    if width < 1 or height < 1:
        raise _refuse("frames of %dx%d pixels" % (width, height))


def _validate_counts(counts: Sequence[int]) -> None:
    for index, count in enumerate(counts):
        if not ENCODER_MIN <= count <= ENCODER_MAX:
            raise _refuse("encoder count %d of frame %d is outside %d to %d"
                          % (count, index, ENCODER_MIN, ENCODER_MAX))


def _validate(rec: Recording) -> None:
    if not isinstance(rec.model, str) or not rec.model:
        raise _refuse("the model is missing")
    _validate_settings(rec.settings)
    _validate_shape(rec.width, rec.height, rec.depth)
    if not rec.frames:
        raise _refuse("it holds no frames")
    for column in ("frame_numbers", "encoder_counts", "timestamps_ms"):
        if len(getattr(rec, column)) != len(rec.frames):
            raise _refuse("%d frames but %d %s" % (len(rec.frames), len(getattr(rec, column)),
                                                   column.replace("_", " ")))
    for index, frame in enumerate(rec.frames):
        if len(frame) != rec.frame_bytes:
            raise _refuse("frame %d holds %d bytes, %dx%d at %d bits takes %d" % (
                index, len(frame), rec.width, rec.height, rec.depth, rec.frame_bytes))
    if not all(math.isfinite(t) for t in rec.timestamps_ms):
        raise _refuse("a timestamp is not a finite number")
    _validate_counts(rec.encoder_counts)
    if any(n < 0 for n in rec.frame_numbers):
        raise _refuse("a frame number is negative")
    if isinstance(rec.lost_frames, bool) or not isinstance(rec.lost_frames, int) \
            or rec.lost_frames < 0:
        raise _refuse("lost frames %r (a count from 0 expected)" % (rec.lost_frames,))
    if not isinstance(rec.ending, str) or not rec.ending:
        raise _refuse("the ending is missing")


def lost_between(numbers: Sequence[int]) -> int:
    """Frames missing between consecutive frame numbers (the gaps)."""
    return sum(max(b - a - 1, 0) for a, b in zip(numbers, numbers[1:]))


# ---- .npy members --------------------------------------------------------------------

def _npy_header(descr: str, shape: tuple[int, ...], room: int = 0) -> bytes:
    """A .npy version 1.0 header; `room` pads it to that many bytes at least,
    so that a header written before the frame count is known can be
    rewritten in place."""
    header = "{'descr': %r, 'fortran_order': False, 'shape': %r, }" % (descr, shape)
    # Magic, version 1.0, header length; the header ends in a newline and
    # pads the data to a multiple of 64 bytes, as numpy writes it.
    used = len(_MAGIC) + 4 + len(header) + 1
    total = max(used + (-used) % 64, room)
    header += " " * (total - used) + "\n"
    return _MAGIC + b"\x01\x00" + struct.pack("<H", len(header)) + header.encode("latin-1")


def _npy(descr: str, shape: tuple[int, ...], data: bytes) -> bytes:
    return _npy_header(descr, shape) + data


def _npy_text(text: str) -> bytes:
    length = max(len(text), 1)
    return _npy("<U%d" % length, (), text.ljust(length, "\0").encode("utf-32-le"))


def _npy_numbers(descr: str, values: array.array) -> bytes:  # type: ignore[type-arg]
    if sys.byteorder != "little":
        values = array.array(values.typecode, values)
        values.byteswap()
    return _npy(descr, (len(values),), values.tobytes())


def _parse_header(member: str, head: bytes) -> tuple[str, tuple[int, ...], int]:
    """Type string, shape and data offset of a .npy member from its first
    bytes, refused unless whole and of a size this format uses."""
    if len(head) < 10 or head[:6] != _MAGIC:
        raise _refuse("member %s is not a .npy array" % member)
    major = head[6]
    if major not in (1, 2, 3):
        raise _refuse("member %s has an unknown .npy version %d" % (member, major))
    size_format, start = ("<H", 10) if major == 1 else ("<I", 12)
    if len(head) < start:
        raise _refuse("member %s is truncated in its header" % member)
    (length,) = struct.unpack(size_format, head[start - struct.calcsize(size_format):start])
    if length > MAX_HEADER:
        raise _refuse("member %s has a .npy header of %d bytes (at most %d)"
                      % (member, length, MAX_HEADER))
    if len(head) < start + length:
        raise _refuse("member %s is truncated in its header" % member)
    try:
        header = ast.literal_eval(head[start:start + length].decode("latin-1"))
    except (ValueError, SyntaxError, TypeError, MemoryError, RecursionError):
        raise _refuse("member %s has a malformed .npy header" % member) from None
    if not isinstance(header, dict) or not isinstance(header.get("descr"), str) \
            or header.get("fortran_order") is not False \
            or not isinstance(header.get("shape"), tuple) \
            or not all(isinstance(n, int) and not isinstance(n, bool) and n >= 0
                       for n in header["shape"]):
        raise _refuse("member %s has a malformed .npy header" % member)
    return header["descr"], header["shape"], start + length


def _expect_size(member: str, have: int, size: int) -> None:
    if have < size:
        raise _refuse("member %s is truncated: %d of %d bytes" % (member, have, size))
    if have > size:
        raise _refuse("member %s has %d bytes too many" % (member, have - size))


def _read_text(member: str, blob: bytes) -> str:
    descr, shape, offset = _parse_header(member, blob[:MAX_HEADER + 12])
    if shape != () or not descr.startswith("<U") or not descr[2:].isdigit():
        raise _refuse("member %s is not a text (a 0-d str array)" % member)
    _expect_size(member, len(blob) - offset, 4 * int(descr[2:]))
    try:
        return blob[offset:].decode("utf-32-le").rstrip("\0")
    except UnicodeDecodeError:
        raise _refuse("member %s is not valid text" % member) from None


def _read_numbers(member: str, blob: bytes, descr_wanted: str,
                  shape_wanted: int = 1) -> list[float]:
    descr, shape, offset = _parse_header(member, blob[:MAX_HEADER + 12])
    if descr != descr_wanted or len(shape) != shape_wanted:
        raise _refuse("member %s is %s of shape %s, a %d-d %s array expected"
                      % (member, descr, shape, shape_wanted, descr_wanted))
    count = shape[0] if shape else 1
    code, size = _KINDS[descr]
    _expect_size(member, len(blob) - offset, count * size)
    values = array.array(code)
    values.frombytes(blob[offset:])
    if sys.byteorder != "little":
        values.byteswap()
    return [float(v) if code == "d" else v for v in values]


_STRINGS = re.compile(r'"(?:[^"\\]|\\.)*"')


def _read_settings(text: str) -> dict[str, Value]:
    # The settings are one flat object: anything nested is refused before
    # the parser sees it, so no depth of nesting can exhaust the stack.
    bare = _STRINGS.sub('""', text)
    if bare.count("{") > 1 or "[" in bare:
        raise _refuse("member settings nests objects or lists (a flat JSON object expected)")
    try:
        settings = json.loads(text)
    except (ValueError, RecursionError):
        raise _refuse("member settings is not JSON") from None
    _validate_settings(settings)
    return settings  # type: ignore[no-any-return]


# ---- writing -----------------------------------------------------------------------------

_LOCAL = struct.Struct("<IHHHHHIIIHH")
_CENTRAL = struct.Struct("<IHHHHHHIIIHHHHHII")
_END = struct.Struct("<IHHHHIIH")
_END64 = struct.Struct("<IQHHIIQQQQ")
_LOCATOR64 = struct.Struct("<IIQI")
_ZIP64_FLOOR = 0xFFFFFFFF
_FRAMES_HEADER_ROOM = 128


def crc32_combine(crc1: int, crc2: int, length2: int) -> int:
    """The CRC-32 of A + B from the CRC-32 of A, that of B and B's length:
    the CRC of the frames member is known only once its header is final."""
    def times(matrix: list[int], vector: int) -> int:
        total, row = 0, 0
        while vector:
            if vector & 1:
                total ^= matrix[row]
            vector >>= 1
            row += 1
        return total

    def square(matrix: list[int]) -> list[int]:
        return [times(matrix, matrix[n]) for n in range(32)]

    if length2 <= 0:
        return crc1
    one_zero_bit = [0xEDB88320] + [1 << n for n in range(31)]
    zeros = square(square(one_zero_bit))                # four zero bits
    # crc1 is carried over B's length of zero bytes: squaring the operator
    # doubles what it carries over (1, 2, 4, ... bytes), applied for each bit
    # of the length that is set.
    while length2:
        zeros = square(zeros)
        if length2 & 1:
            crc1 = times(zeros, crc1)
        length2 >>= 1
    return crc1 ^ crc2


@dataclasses.dataclass
class _Entry:
    name: bytes
    offset: int
    size: int = 0
    crc: int = 0


def _dos_time(now: float) -> tuple[int, int]:
    t = time.localtime(now)
    return (t.tm_hour << 11 | t.tm_min << 5 | t.tm_sec // 2,
            max(t.tm_year - 1980, 0) << 9 | t.tm_mon << 5 | t.tm_mday)


def _write_all(fd: int, data: bytes | memoryview) -> None:
    view = memoryview(data)
    while view:
        written = os.write(fd, view)
        view = view[written:]


class Writer:
    """Writes a recording frame after frame into ``<path>.partial`` and, when
    `close` is called, the rest of it, then renames it to `path`. Frames go
    straight to the file (nothing is kept but 24 bytes of numbers per frame).

    `add` and `close` raise OSError when the file cannot be written (a full
    disk): `close` still makes a whole recording of the frames the file
    holds, dropping frames from the end to make room for the rest if it
    must; `frames` tells how many it holds then."""

    def __init__(self, path: str | os.PathLike[str], model: str,
                 settings: dict[str, Value], width: int, height: int, depth: int) -> None:
        _validate_shape(width, height, depth)
        _validate_settings(settings)
        self.path = os.fspath(path)
        self.partial = self.path + PARTIAL
        self.width, self.height, self.depth = width, height, depth
        self.frame_bytes = width * height * depth // 8
        self._descr = "|u1" if depth == 8 else "<u2"
        self.numbers = array.array("q")
        self.counts = array.array("q")
        self.times = array.array("d")
        self._time, self._date = _dos_time(time.time())
        self._entries: list[_Entry] = []
        self._fd = os.open(self.partial, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o666)
        self._at = 0
        self._data_crc = 0
        try:
            for name, blob in (("format", _npy_text(FORMAT)), ("model", _npy_text(model)),
                               ("settings", _npy_text(json.dumps(settings,
                                                                 ensure_ascii=False)))):
                self._member(name, blob)
            self._frames = self._begin("frames", zip64=True)
            self._header_at = self._at
            self._put(self._frames_header(0))
            self._data_at = self._at
        except BaseException:
            self.discard()
            raise

    @property
    def frames(self) -> int:
        return len(self.numbers)

    def _frames_header(self, count: int) -> bytes:
        return _npy_header(self._descr, (count, self.height, self.width), _FRAMES_HEADER_ROOM)

    def _put(self, data: bytes | memoryview) -> None:
        _write_all(self._fd, data)
        self._at += len(data)

    def _local_header(self, entry: _Entry, zip64: bool) -> bytes:
        extra = struct.pack("<HHQQ", 1, 16, entry.size, entry.size) if zip64 else b""
        size = _ZIP64_FLOOR if zip64 else entry.size
        return _LOCAL.pack(0x04034B50, 45 if zip64 else 20, 0, 0, self._time, self._date,
                           entry.crc, size, size, len(entry.name), len(extra)) \
            + entry.name + extra

    def _begin(self, name: str, zip64: bool = False) -> _Entry:
        entry = _Entry((name + ".npy").encode("ascii"), self._at)
        self._entries.append(entry)
        self._put(self._local_header(entry, zip64))
        return entry

    def _member(self, name: str, blob: bytes) -> None:
        entry = _Entry((name + ".npy").encode("ascii"), self._at, len(blob), zlib.crc32(blob))
        self._entries.append(entry)
        self._put(self._local_header(entry, False) + blob)

    def add(self, number: int, encoder_count: int, timestamp_ms: float,
            pixels: bytes | memoryview) -> None:
        """Appends one frame (`frame_bytes` bytes of samples)."""
        if len(pixels) != self.frame_bytes:
            raise ValueError("a frame of %d bytes, %d expected" % (len(pixels), self.frame_bytes))
        try:
            self._put(pixels)
        except OSError:
            self._at = self._data_at + self.frames * self.frame_bytes
            raise
        self._data_crc = zlib.crc32(pixels, self._data_crc)
        self.numbers.append(number)
        self.counts.append(encoder_count)
        self.times.append(timestamp_ms)

    def _drop_last(self) -> None:
        """Forgets the newest frame (to make room for the rest of the file)."""
        self.numbers.pop()
        self.counts.pop()
        self.times.pop()
        # Its CRC is recomputed from the file: this only happens on a full disk.
        self._data_crc = 0
        end = self._data_at + self.frames * self.frame_bytes
        with open(self.partial, "rb") as source:
            source.seek(self._data_at)
            while source.tell() < end:
                chunk = source.read(min(1 << 22, end - source.tell()))
                if not chunk:
                    break
                self._data_crc = zlib.crc32(chunk, self._data_crc)

    def _finish(self, ending: str, lost: int) -> None:
        end = self._data_at + self.frames * self.frame_bytes
        os.ftruncate(self._fd, end)
        header = self._frames_header(self.frames)
        frames = self._frames
        frames.size = len(header) + self.frames * self.frame_bytes
        frames.crc = crc32_combine(zlib.crc32(header), self._data_crc,
                                   self.frames * self.frame_bytes)
        os.pwrite(self._fd, self._local_header(frames, True), frames.offset)
        os.pwrite(self._fd, header, self._header_at)
        os.lseek(self._fd, end, os.SEEK_SET)
        self._at = end
        del self._entries[4:]
        for name, blob in (
                ("frame_numbers", _npy_numbers("<i8", self.numbers)),
                ("encoder_counts", _npy_numbers("<i8", self.counts)),
                ("timestamps_ms", _npy_numbers("<f8", self.times)),
                ("lost_frames", _npy("<i8", (), struct.pack("<q", lost))),
                ("ending", _npy_text(ending))):
            self._member(name, blob)
        self._directory()

    def _directory(self) -> None:
        start = self._at
        table = b""
        for entry in self._entries:
            big = entry.size >= _ZIP64_FLOOR or entry.offset >= _ZIP64_FLOOR
            extra = struct.pack("<HHQQQ", 1, 24, entry.size, entry.size, entry.offset) \
                if big else b""
            small = _ZIP64_FLOOR if big else entry.size
            table += _CENTRAL.pack(0x02014B50, 45, 45 if big else 20, 0, 0, self._time,
                                   self._date, entry.crc, small, small, len(entry.name),
                                   len(extra), 0, 0, 0, 0o644 << 16,
                                   _ZIP64_FLOOR if big else entry.offset) \
                + entry.name + extra
        count = len(self._entries)
        end = b""
        if start + len(table) >= _ZIP64_FLOOR:
            end_at = start + len(table)
            end += _END64.pack(0x06064B50, 44, 45, 45, 0, 0, count, count, len(table), start)
            end += _LOCATOR64.pack(0x07064B50, 0, end_at, 1)
            end += _END.pack(0x06054B50, 0, 0, count, count, _ZIP64_FLOOR, _ZIP64_FLOOR, 0)
        else:
            end += _END.pack(0x06054B50, 0, 0, count, count, len(table), start, 0)
        self._put(table + end)

    def close(self, ending: str = ENDED_COMPLETE, lost: int = 0) -> str:
        """Completes the file and gives it its name (returned). A recording
        without a frame cannot be made: the partial file is removed and
        ValueError raised. When the disk is full, frames are dropped from the
        end until the rest fits; OSError if not even one frame fits."""
        try:
            while True:
                if not self.frames:
                    raise _refuse("it holds no frames")
                try:
                    self._finish(ending, lost)
                    break
                except OSError:
                    if self.frames <= 1:
                        raise
                    self._drop_last()
            # The file is whole as far as this process can tell; a failing
            # flush to the device is no reason to throw it away.
            with contextlib.suppress(OSError):
                os.fsync(self._fd)
            os.close(self._fd)
            self._fd = -1
            os.replace(self.partial, self.path)
            return self.path
        except BaseException:
            self.discard()
            raise

    def discard(self) -> None:
        """Removes the partial file."""
        if self._fd >= 0:
            os.close(self._fd)
            self._fd = -1
        try:
            os.unlink(self.partial)
        except FileNotFoundError:
            pass


# Frames waiting for the disk, at most: beyond it a frame is dropped (and
# shows as a gap in the frame numbers) rather than hold up the capture.
QUEUE_BYTES = 128 << 20


class Stream:
    """A `Writer` fed from a capture: `put` hands a frame to a thread of its
    own that writes it, and never waits; a frame that finds `QUEUE_BYTES`
    of frames still waiting is dropped (counted in `dropped`). A failure to
    write (a full disk) is kept in `error`, and later frames are dropped.
    `finish` (or `finish_later`) completes the recording."""

    def __init__(self, writer: Writer, queue_bytes: int = QUEUE_BYTES) -> None:
        self.writer = writer
        self.capacity = max(2, queue_bytes // max(writer.frame_bytes, 1))
        self.dropped = 0
        self.error: OSError | None = None
        self._queue: queue.SimpleQueue[tuple[int, int, float, bytes] | None] = \
            queue.SimpleQueue()
        self._waiting = 0
        self._count_lock = threading.Lock()
        self._thread = threading.Thread(target=self._run, name="vkt-recording-writer",
                                        daemon=True)
        self._thread.start()

    def has_room(self) -> bool:
        """Whether `put` would take a frame now."""
        return self.error is None and self._waiting < self.capacity

    def put(self, number: int, encoder_count: int, timestamp_ms: float,
            pixels: bytes) -> bool:
        """Queues a frame for the disk; False if it was dropped."""
        with self._count_lock:
            if self.error is not None or self._waiting >= self.capacity:
                self.dropped += 1
                return False
            self._waiting += 1
        self._queue.put((number, encoder_count, timestamp_ms, pixels))
        return True

    def _run(self) -> None:
        while (item := self._queue.get()) is not None:
            if self.error is None:
                try:
                    self.writer.add(*item)
                except OSError as error:
                    self.error = error
            with self._count_lock:
                self._waiting -= 1

    def drain(self) -> None:
        """Waits until every queued frame is written (or failed to be); later
        frames are dropped."""
        if self._thread.is_alive():
            with self._count_lock:
                self._waiting = self.capacity     # nothing more is queued
            self._queue.put(None)
            self._thread.join()

    def finish(self, ending: str, first: int | None = None) -> str:
        """Writes what is queued, completes the file and returns its path.
        Lost frames are the gaps in the frame numbers, and, with `first`, the
        frames before the first one written. Raises as `Writer.close`."""
        self.drain()
        numbers = self.writer.numbers
        lost = lost_between(numbers) + (max(numbers[0] - first, 0)
                                         if numbers and first is not None else 0)
        return self.writer.close(ending, lost)

    def finish_later(self, ending: str,
                     done: Callable[[str | None, BaseException | None], None]) -> None:
        """`finish` on a thread of its own (the caller does not wait); `done`
        gets the path, or the error."""
        def run() -> None:
            try:
                path = self.finish(ending)
            except Exception as error:  # noqa: BLE001 - whatever it is, `done` hears of it
                done(None, error)
            else:
                done(path, None)
        threading.Thread(target=run, name="vkt-recording-finish", daemon=True).start()


def save(path: str | os.PathLike[str], recording: Recording) -> None:
    """Writes a recording (written whole as ``<path>.partial``, then renamed
    into place, so a reader never sees half of one)."""
    writer = Writer(path, recording.model, recording.settings, recording.width,
                    recording.height, recording.depth)
    try:
        for number, count, at, pixels in zip(recording.frame_numbers, recording.encoder_counts,
                                             recording.timestamps_ms, recording.frames):
            writer.add(number, count, at, pixels)
    except BaseException:
        writer.discard()
        raise
    writer.close(recording.ending, recording.lost_frames)


# ---- reading -----------------------------------------------------------------------------

_MAX_MEMBERS = 64
_ALLOWED_FLAGS = 0x0002 | 0x0004 | 0x0008 | 0x0800
_ENCRYPTED_FLAGS = 0x0001 | 0x0040 | 0x2000


@dataclasses.dataclass(frozen=True)
class _Member:
    name: str
    offset: int     # of its data
    size: int
    crc: int


def _zip64_fields(extra: bytes, wanted: int, what: str) -> list[int]:
    """The first `wanted` 64-bit values of the zip64 field of `extra`."""
    at = 0
    while at + 4 <= len(extra):
        kind, length = struct.unpack_from("<HH", extra, at)
        body = extra[at + 4:at + 4 + length]
        if kind == 1:
            if len(body) < 8 * wanted:
                break
            return list(struct.unpack_from("<%dQ" % wanted, body))
        at += 4 + length
    raise _refuse("%s lacks the zip64 sizes it announces" % what)


class _Archive:
    """The members of a zip archive, checked without reading their data:
    stored (not compressed), not encrypted, within the file and apart."""

    def __init__(self, source: BinaryIO, label: str) -> None:
        self.source = source
        self.label = label
        source.seek(0, io.SEEK_END)
        self.size = source.tell()
        self.members = self._directory()

    def _bad(self, why: str) -> ValueError:
        return _refuse("%s is not a whole .npz archive (%s)" % (self.label, why))

    def _read(self, offset: int, size: int) -> bytes:
        self.source.seek(offset)
        data = self.source.read(size)
        if len(data) != size:
            raise self._bad("it ends early")
        return data

    def _end(self) -> tuple[int, int, int, int]:
        """Entries, directory size and offset, and where the end record is."""
        tail_size = min(self.size, _END.size + 0xFFFF)
        tail = self._read(self.size - tail_size, tail_size)
        at = tail.rfind(b"PK\x05\x06")
        if at < 0 or len(tail) - at < _END.size:
            raise self._bad("no end of central directory")
        end_at = self.size - tail_size + at
        _, disk, first, here, entries, size, offset, _ = _END.unpack_from(tail, at)
        if disk or first or here != entries:
            raise self._bad("it spans several disks")
        if _ZIP64_FLOOR not in (size, offset) and entries != 0xFFFF:
            return entries, size, offset, end_at
        if end_at < _LOCATOR64.size:
            raise self._bad("no zip64 end record")
        sign, _, end64_at, _ = _LOCATOR64.unpack(self._read(end_at - _LOCATOR64.size,
                                                            _LOCATOR64.size))
        if sign != 0x07064B50 or end64_at + _END64.size > end_at:
            raise self._bad("no zip64 end record")
        fields = _END64.unpack(self._read(end64_at, _END64.size))
        if fields[0] != 0x06064B50:
            raise self._bad("no zip64 end record")
        return fields[7], fields[8], fields[9], end64_at

    def _directory(self) -> dict[str, _Member]:
        entries, size, offset, end_at = self._end()
        if entries > _MAX_MEMBERS:
            raise _refuse("%s has %d members" % (self.label, entries))
        if offset + size > end_at:
            raise self._bad("its central directory lies beyond its end")
        table = self._read(offset, size)
        members: dict[str, _Member] = {}
        at = 0
        for _ in range(entries):
            member = self._entry(table, at, offset)
            at = member[1]
            if member[0].name in members:
                raise _refuse("member %s appears twice" % member[0].name)
            members[member[0].name] = member[0]
        spans = sorted((m.offset, m.offset + m.size, m.name) for m in members.values())
        for (_, end, name), (start, _, other) in zip(spans, spans[1:]):
            if start < end:
                raise _refuse("members %s and %s overlap" % (name, other))
        return members

    def _entry(self, table: bytes, at: int, directory_at: int) -> tuple[_Member, int]:
        if at + _CENTRAL.size > len(table):
            raise self._bad("its central directory is cut short")
        (sign, _, _, flags, method, _, _, crc, packed, size, name_length, extra_length,
         comment_length, _, _, _, local) = _CENTRAL.unpack_from(table, at)
        if sign != 0x02014B50:
            raise self._bad("a central directory entry is damaged")
        start = at + _CENTRAL.size
        name_bytes = table[start:start + name_length]
        extra = table[start + name_length:start + name_length + extra_length]
        next_at = start + name_length + extra_length + comment_length
        if next_at > len(table):
            raise self._bad("its central directory is cut short")
        name = name_bytes.decode("utf-8" if flags & 0x800 else "cp437", "replace")
        if flags & _ENCRYPTED_FLAGS:
            raise _refuse("member %s is encrypted" % name)
        if flags & ~_ALLOWED_FLAGS:
            raise _refuse("member %s has unknown flags 0x%04x" % (name, flags))
        if method != 0:
            raise _refuse("member %s is compressed (method %d): recordings hold stored "
                          "members only" % (name, method))
        wide = [v for v in (size, packed, local) if v == _ZIP64_FLOOR]
        if wide:
            values = iter(_zip64_fields(extra, len(wide), "member " + name))
            size = next(values) if size == _ZIP64_FLOOR else size
            packed = next(values) if packed == _ZIP64_FLOOR else packed
            local = next(values) if local == _ZIP64_FLOOR else local
        if packed != size:
            raise _refuse("member %s declares %d bytes stored as %d" % (name, size, packed))
        data_at = self._local(name, name_bytes, local, method, flags)
        if data_at + size > directory_at:
            raise _refuse("member %s declares %d bytes, more than the file holds"
                          % (name, size))
        return _Member(name, data_at, size, crc), next_at

    def _local(self, name: str, name_bytes: bytes, at: int, method: int, flags: int) -> int:
        if at + _LOCAL.size > self.size:
            raise self._bad("member %s lies beyond its end" % name)
        fields = _LOCAL.unpack(self._read(at, _LOCAL.size))
        if fields[0] != 0x04034B50:
            raise self._bad("the local header of member %s is damaged" % name)
        if fields[2] & _ENCRYPTED_FLAGS:
            raise _refuse("member %s is encrypted" % name)
        if fields[3] != method:
            raise _refuse("member %s is compressed (method %d): recordings hold stored "
                          "members only" % (name, fields[3]))
        if self._read(at + _LOCAL.size, fields[9]) != name_bytes:
            raise self._bad("member %s has another name in its local header" % name)
        return int(at + _LOCAL.size + fields[9] + fields[10])

    def read(self, name: str) -> bytes:
        member = self.members[name]
        data = self._read(member.offset, member.size)
        if zlib.crc32(data) != member.crc:
            raise _refuse("member %s fails its CRC check" % name.removesuffix(".npy"))
        return data


def _open_archive(source: BinaryIO, label: str) -> tuple[_Archive, str]:
    archive = _Archive(source, label)
    names = set(archive.members)
    if "format.npy" not in names:
        raise _refuse("member format is missing")
    form = _read_text("format", archive.read("format.npy"))
    if form not in (FORMAT, FORMAT_1):
        raise _refuse("format %r (%r expected)" % (form, FORMAT))
    wanted = {name + ".npy" for name in (_MEMBERS_2 if form == FORMAT else _MEMBERS_1)}
    missing = sorted(wanted - names)
    if missing:
        raise _refuse("member %s is missing" % missing[0][:-4])
    extra = sorted(names - wanted)
    if extra:
        raise _refuse("unexpected member %s" % extra[0])
    return archive, form


@dataclasses.dataclass(frozen=True)
class _FramesMember:
    width: int
    height: int
    depth: int
    count: int
    offset: int

    @property
    def frame_bytes(self) -> int:
        return self.width * self.height * self.depth // 8


def _frames_member(archive: _Archive) -> _FramesMember:
    member = archive.members["frames.npy"]
    head = archive._read(member.offset, min(member.size, MAX_HEADER + 12))
    descr, shape, offset = _parse_header("frames", head)
    if descr not in ("|u1", "<u2") or len(shape) != 3:
        raise _refuse("member frames is %s of shape %s, a (frames, height, width) array of "
                      "uint8 or uint16 expected" % (descr, shape))
    count, height, width = shape
    size = _KINDS[descr][1]
    # Checked before anything is read or allocated: the declared frames
    # must be what the member holds.
    _validate_shape(width, height, 8 * size)
    if count < 1:
        raise _refuse("it holds no frames")
    _expect_size("frames", member.size - offset, count * height * width * size)
    return _FramesMember(width, height, 8 * size, count, member.offset + offset)


@dataclasses.dataclass(frozen=True)
class Header:
    """Everything of a recording but its frames."""
    form: str
    model: str
    settings: dict[str, Value]
    width: int
    height: int
    depth: int
    frame_numbers: list[int]
    encoder_counts: list[int]
    timestamps_ms: list[float]
    lost_frames: int
    ending: str


def _header(archive: _Archive, form: str) -> tuple[Header, _FramesMember]:
    frames = _frames_member(archive)
    numbers = [int(n) for n in _read_numbers("frame_numbers", archive.read("frame_numbers.npy"),
                                             "<i8")]
    counts = [int(n) for n in _read_numbers("encoder_counts", archive.read("encoder_counts.npy"),
                                            "<i8")]
    times = _read_numbers("timestamps_ms", archive.read("timestamps_ms.npy"), "<f8")
    for column, values in (("frame numbers", numbers), ("encoder counts", counts),
                           ("timestamps ms", times)):
        if len(values) != frames.count:
            raise _refuse("%d frames but %d %s" % (frames.count, len(values), column))
    _validate_counts(counts)
    lost, ending = 0, ENDED_COMPLETE
    if form == FORMAT:
        lost = int(_read_numbers("lost_frames", archive.read("lost_frames.npy"), "<i8", 0)[0])
        ending = _read_text("ending", archive.read("ending.npy"))
    header = Header(form, _read_text("model", archive.read("model.npy")),
                    _read_settings(_read_text("settings", archive.read("settings.npy"))),
                    frames.width, frames.height, frames.depth, numbers, counts, times,
                    lost, ending)
    return header, frames


def _frame_chunks(archive: _Archive, frames: _FramesMember) -> Iterator[bytes]:
    """Each frame's bytes in order; the member's CRC is checked at the end."""
    member = archive.members["frames.npy"]
    head = archive._read(member.offset, frames.offset - member.offset)
    crc = zlib.crc32(head)
    archive.source.seek(frames.offset)
    for _ in range(frames.count):
        chunk = archive.source.read(frames.frame_bytes)
        if len(chunk) != frames.frame_bytes:
            raise archive._bad("it ends early")
        crc = zlib.crc32(chunk, crc)
        yield chunk
    if crc != member.crc:
        raise _refuse("member frames fails its CRC check")


def _label(path: str | os.PathLike[str]) -> str:
    return os.fspath(path)


def load(path: str | os.PathLike[str]) -> Recording:
    """Reads a recording. Raises ValueError naming what is wrong for anything
    that is not a whole recording of this format, OSError if the file cannot
    be read."""
    with open(path, "rb") as source:
        archive, form = _open_archive(source, _label(path))
        header, frames = _header(archive, form)
        pixels = list(_frame_chunks(archive, frames))
    return Recording(model=header.model, settings=header.settings, width=header.width,
                     height=header.height, depth=header.depth, frames=pixels,
                     frame_numbers=header.frame_numbers,
                     encoder_counts=header.encoder_counts,
                     timestamps_ms=header.timestamps_ms, lost_frames=header.lost_frames,
                     ending=header.ending)


class Reader:
    """A recording read frame by frame (for files larger than memory): its
    `header` at once, then `frames()` one after the other. Refuses what
    `load` refuses; a CRC mismatch of the frames shows at their end."""

    def __init__(self, path: str | os.PathLike[str]) -> None:
        self._source: IO[bytes] = open(path, "rb")
        try:
            self._archive, form = _open_archive(self._source, _label(path))
            self.header, self._frames = _header(self._archive, form)
        except BaseException:
            self._source.close()
            raise
        if not all(math.isfinite(t) for t in self.header.timestamps_ms):
            self._source.close()
            raise _refuse("a timestamp is not a finite number")

    def frames(self) -> Iterator[bytes]:
        return _frame_chunks(self._archive, self._frames)

    def close(self) -> None:
        self._source.close()

    def __enter__(self) -> Reader:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()
