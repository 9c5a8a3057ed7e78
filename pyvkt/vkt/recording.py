"""Recordings: the frames of a capture with what is needed to reproduce it.

The format is a numpy ``.npz`` archive (a zip file of ``.npy`` arrays, stored
uncompressed), written and read here with the standard library alone, so that
the tools need no numpy, while ``numpy.load(path)`` reads every member
without pickles::

    format          0-d str    "vkt-recording/1"
    model           0-d str    the board model ("KTX21", "KTX22", "MR250", "Video")
    settings        0-d str    JSON object: the camera settings, name -> int or str
    frames          uint8 or uint16 (N, height, width): the frames, in order
    frame_numbers   int64 (N,)   the library's number of each frame
    encoder_counts  int64 (N,)   the encoder count when each frame arrived
    timestamps_ms   float64 (N,) milliseconds since the capture started

``load`` refuses anything else (a missing or extra member, a wrong type or
shape, arrays of different lengths, truncated data) with a ValueError that
names what is wrong.
"""
from __future__ import annotations

import ast
import dataclasses
import json
import math
import os
import struct
import zipfile
from collections.abc import Sequence
from typing import Union

FORMAT = "vkt-recording/1"
SUFFIX = ".npz"
_MAGIC = b"\x93NUMPY"
# Sample kinds a member may hold, by .npy type string: struct code, size.
_KINDS = {"|u1": ("B", 1), "<u2": ("H", 2), "<i8": ("q", 8), "<f8": ("d", 8)}
_MEMBERS = ("format", "model", "settings", "frames", "frame_numbers", "encoder_counts",
            "timestamps_ms")

Value = Union[int, str]


@dataclasses.dataclass(frozen=True)
class Recording:
    """A recorded capture. `frames` holds each frame's samples as bytes, row
    after row, little-endian for 16-bit frames (`depth` 16)."""
    model: str
    settings: dict[str, Value]
    width: int
    height: int
    depth: int
    frames: list[bytes]
    frame_numbers: list[int]
    encoder_counts: list[int]
    timestamps_ms: list[float]

    def __post_init__(self) -> None:
        _validate(self)

    @property
    def frame_bytes(self) -> int:
        return self.width * self.height * (self.depth // 8)

    def __len__(self) -> int:
        return len(self.frames)


def _refuse(what: str) -> ValueError:
    return ValueError("not a valid recording: " + what)


def _validate(rec: Recording) -> None:
    if not isinstance(rec.model, str) or not rec.model:
        raise _refuse("the model is missing")
    for name, value in rec.settings.items():
        if not isinstance(name, str) or isinstance(value, bool) \
                or not isinstance(value, (int, str)):
            raise _refuse("setting %r has a value of kind %s (int or str expected)"
                          % (name, type(value).__name__))
    if rec.depth not in (8, 16):
        raise _refuse("frames of %r bits per sample (8 or 16 expected)" % (rec.depth,))
    if rec.width < 1 or rec.height < 1:
        raise _refuse("frames of %dx%d pixels" % (rec.width, rec.height))
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


# ---- .npy members --------------------------------------------------------------------

def _npy(descr: str, shape: tuple[int, ...], data: bytes) -> bytes:
    header = "{'descr': %r, 'fortran_order': False, 'shape': %r, }" % (descr, shape)
    # Magic, version 1.0, header length; the header ends in a newline and
    # pads the data to a multiple of 64 bytes, as numpy writes it.
    padding = 64 - (len(_MAGIC) + 4 + len(header) + 1) % 64
    header += " " * (padding % 64) + "\n"
    return _MAGIC + b"\x01\x00" + struct.pack("<H", len(header)) + header.encode("latin-1") \
        + data


def _npy_text(text: str) -> bytes:
    length = max(len(text), 1)
    return _npy("<U%d" % length, (), text.ljust(length, "\0").encode("utf-32-le"))


def _npy_numbers(descr: str, values: Sequence[float]) -> bytes:
    code, _ = _KINDS[descr]
    return _npy(descr, (len(values),), struct.pack("<%d%s" % (len(values), code), *values))


def _parse_npy(member: str, blob: bytes) -> tuple[str, tuple[int, ...], bytes]:
    """Type string, shape and data of a .npy member, refused unless whole."""
    if len(blob) < 10 or blob[:6] != _MAGIC:
        raise _refuse("member %s is not a .npy array" % member)
    major = blob[6]
    size_format, start = ("<H", 10) if major == 1 else ("<I", 12)
    if major not in (1, 2, 3) or len(blob) < start:
        raise _refuse("member %s has an unknown .npy version %d" % (member, major))
    (length,) = struct.unpack(size_format, blob[start - struct.calcsize(size_format):start])
    if len(blob) < start + length:
        raise _refuse("member %s is truncated in its header" % member)
    try:
        header = ast.literal_eval(blob[start:start + length].decode("latin-1"))
    except (ValueError, SyntaxError):
        raise _refuse("member %s has a malformed .npy header" % member) from None
    if not isinstance(header, dict) or not isinstance(header.get("descr"), str) \
            or header.get("fortran_order") is not False \
            or not isinstance(header.get("shape"), tuple) \
            or not all(isinstance(n, int) and n >= 0 for n in header["shape"]):
        raise _refuse("member %s has a malformed .npy header" % member)
    return header["descr"], header["shape"], blob[start + length:]


def _expect_size(member: str, data: bytes, size: int) -> None:
    if len(data) < size:
        raise _refuse("member %s is truncated: %d of %d bytes" % (member, len(data), size))
    if len(data) > size:
        raise _refuse("member %s has %d bytes too many" % (member, len(data) - size))


def _read_text(member: str, blob: bytes) -> str:
    descr, shape, data = _parse_npy(member, blob)
    if shape != () or not descr.startswith("<U") or not descr[2:].isdigit():
        raise _refuse("member %s is not a text (a 0-d str array)" % member)
    _expect_size(member, data, 4 * int(descr[2:]))
    try:
        return data.decode("utf-32-le").rstrip("\0")
    except UnicodeDecodeError:
        raise _refuse("member %s is not valid text" % member) from None


def _read_numbers(member: str, blob: bytes, descr_wanted: str) -> list[float]:
    descr, shape, data = _parse_npy(member, blob)
    if descr != descr_wanted or len(shape) != 1:
        raise _refuse("member %s is %s of shape %s, a 1-d %s array expected"
                      % (member, descr, shape, descr_wanted))
    code, size = _KINDS[descr]
    _expect_size(member, data, shape[0] * size)
    return list(struct.unpack("<%d%s" % (shape[0], code), data))


def _read_frames(blob: bytes) -> tuple[int, int, int, list[bytes]]:
    descr, shape, data = _parse_npy("frames", blob)
    if descr not in ("|u1", "<u2") or len(shape) != 3:
        raise _refuse("member frames is %s of shape %s, a (frames, height, width) array of "
                      "uint8 or uint16 expected" % (descr, shape))
    count, height, width = shape
    size = _KINDS[descr][1]
    _expect_size("frames", data, count * height * width * size)
    step = height * width * size
    frames = [data[i * step:(i + 1) * step] for i in range(count)]
    return width, height, 8 * size, frames


# ---- the archive -------------------------------------------------------------------------

def save(path: str | os.PathLike[str], recording: Recording) -> None:
    """Writes a recording (the file is written whole, then renamed into place,
    so a reader never sees half of one)."""
    descr = "|u1" if recording.depth == 8 else "<u2"
    frames = b"".join(recording.frames)
    members = {
        "format": _npy_text(FORMAT),
        "model": _npy_text(recording.model),
        "settings": _npy_text(json.dumps(recording.settings, ensure_ascii=False)),
        "frames": _npy(descr, (len(recording.frames), recording.height, recording.width),
                       frames),
        "frame_numbers": _npy_numbers("<i8", recording.frame_numbers),
        "encoder_counts": _npy_numbers("<i8", recording.encoder_counts),
        "timestamps_ms": _npy_numbers("<f8", recording.timestamps_ms),
    }
    target = os.fspath(path)
    partial = target + ".partial"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_STORED, allowZip64=True) as archive:
        for name in _MEMBERS:
            archive.writestr(name + ".npy", members[name])
    os.replace(partial, target)


def _members(path: str | os.PathLike[str]) -> dict[str, bytes]:
    try:
        with zipfile.ZipFile(path) as archive:
            names = archive.namelist()
            wanted = {name + ".npy" for name in _MEMBERS}
            missing = sorted(wanted - set(names))
            if missing:
                raise _refuse("member %s is missing" % missing[0][:-4])
            extra = sorted(set(names) - wanted)
            if extra:
                raise _refuse("unexpected member %s" % extra[0])
            return {name[:-4]: archive.read(name) for name in names}
    except (zipfile.BadZipFile, EOFError, zipfile.LargeZipFile) as error:
        raise _refuse("%s is not a whole .npz archive (%s)" % (os.fspath(path), error)) from None


def load(path: str | os.PathLike[str]) -> Recording:
    """Reads a recording. Raises ValueError naming what is wrong for anything
    that is not a whole recording of this format, OSError if the file cannot
    be read."""
    members = _members(path)
    form = _read_text("format", members["format"])
    if form != FORMAT:
        raise _refuse("format %r (%r expected)" % (form, FORMAT))
    try:
        settings = json.loads(_read_text("settings", members["settings"]))
    except json.JSONDecodeError:
        raise _refuse("member settings is not JSON") from None
    if not isinstance(settings, dict):
        raise _refuse("member settings is not a JSON object")
    width, height, depth, frames = _read_frames(members["frames"])
    return Recording(
        model=_read_text("model", members["model"]),
        settings=settings,
        width=width, height=height, depth=depth, frames=frames,
        frame_numbers=[int(n) for n in _read_numbers("frame_numbers",
                                                     members["frame_numbers"], "<i8")],
        encoder_counts=[int(n) for n in _read_numbers("encoder_counts",
                                                      members["encoder_counts"], "<i8")],
        timestamps_ms=_read_numbers("timestamps_ms", members["timestamps_ms"], "<f8"))

