"""The `vkt` command line: look at boards without writing a program.

Every subcommand exits 0 on success; a failure (a library error, a bad
argument, a file that cannot be written) ends with one line
"vkt: error: ..." on stderr and a non-zero status, never a traceback.
"""
from __future__ import annotations

import argparse
import contextlib
import json
import math
import os
import pathlib
import signal
import struct
import sys
import tempfile
import time
import zlib
from collections.abc import Callable, Iterator, Sequence
from typing import IO, TextIO

import unit

from vkt import boards, recording

# Exit statuses: 1 a failure of the board or library, 2 a bad command line
# (argparse's own), 130 interrupted, 70 a fault of this program (a bug:
# reported in one line too, never as a traceback).
EXIT_FAILURE = 1
EXIT_INTERNAL = 70

# Board ids and channels are probed upward from 0 until the library answers
# "no such board" (NoDevice) or "no such channel"; these caps and a time
# budget bound the probing whatever a library answers.
MAX_IDS = 16
MAX_CHANNELS = 8
NO_DEVICE, INVALID_ARGUMENT, DEVICE_BUSY = 6, 3, 5
IDENTITY_NAMES = ("DeviceType", "DeviceID", "Channel", "Version", "DriverVersion",
                  "FpgaVersion", "DriverVersionName", "FpgaVersionName")
# Identity values some models answer as numbers and others as texts (the
# KTX22's FpgaVersion is "0x0203", the KTX21's the number 258): the listing
# gives them as texts on every model, numbers in hexadecimal, since a text
# holds either without loss and a number cannot hold "2.0.1".
TEXT_IDENTITY = ("DriverVersion", "FpgaVersion")
# The lines a digital-I/O board has; and the bounds of the command line's
# numbers (what the library's 32-bit ids take, a TCP port, seconds).
DIO_LINES = 32
INT32_MAX = 2**31 - 1


class Failure(Exception):
    """A failure reported as "vkt: error: <text>" with exit status 1."""


# ---- list ------------------------------------------------------------------------------

def _identity(board: boards.Board) -> dict[str, boards.Value]:
    readable = {s.name for s in board.settings if s.readable}
    found: dict[str, boards.Value] = {}
    for name in IDENTITY_NAMES:
        if name in readable:
            with contextlib.suppress(RuntimeError):
                found[name] = boards.get_setting(board, name)
    for name in TEXT_IDENTITY:
        value = found.get(name)
        if isinstance(value, int):
            found[name] = _hex(value)
    return found


def _hex(value: int) -> str:
    """A version number as the boards that answer texts write it ("0x0203"):
    an even count of hexadecimal digits, at least four."""
    digits = max(4, len("%X" % value) + len("%X" % value) % 2)
    return "0x%0*X" % (digits, value) if value >= 0 else str(value)


def _probe(model: str, id: int, ch: int | None) -> tuple[str, dict[str, boards.Value]]:
    """What one id (and channel) answers: "ok" with its identity, "busy",
    "error" with the library's error, or what ends the probing ("none" for no
    such board, "no-channel")."""
    try:
        board = boards.open_board(model, id, ch)
    except RuntimeError as error:
        status = boards.library_status(error)
        if status == DEVICE_BUSY:
            return "busy", {}
        if status == NO_DEVICE:
            return "none", {}
        if status == INVALID_ARGUMENT:
            return "no-channel", {}
        return "error", {"error": boards.describe_error(error)}
    with board:
        return "ok", _identity(board)


def find_boards(models: Sequence[str], budget_s: float) -> tuple[list[dict[str, object]], bool]:
    """Every board that answers, per model; and whether the time budget ran out
    before every id and channel was tried."""
    deadline = time.monotonic() + budget_s
    found: list[dict[str, object]] = []
    for model in models:
        channels: list[int | None] = [None] if model in boards.DIO_MODELS \
            else list(range(MAX_CHANNELS))
        for id in range(MAX_IDS):
            answered = False
            for ch in channels:
                if time.monotonic() > deadline:
                    return found, True
                state, identity = _probe(model, id, ch)
                if state in ("none", "no-channel"):
                    break
                answered = True
                entry: dict[str, object] = {"model": model, "id": id}
                if ch is not None:
                    entry["ch"] = ch
                entry["state"] = state
                entry.update(identity)
                found.append(entry)
            if not answered:
                break
    return found, False


def cmd_list(args: argparse.Namespace, out: TextIO) -> int:
    models = [m for m in boards.MODELS if m != "Video"]
    found, cut = find_boards(models, args.timeout)
    if args.json:
        json.dump({"boards": found, "complete": not cut}, out, indent=2)
        out.write("\n")
    elif not found:
        out.write("no boards found\n")
    else:
        rows = [[str(e["model"]), str(e["id"]), str(e.get("ch", "-")), str(e["state"]),
                 " ".join("%s=%s" % (k, v) for k, v in e.items()
                          if k not in ("model", "id", "ch", "state"))] for e in found]
        _table(out, ["MODEL", "ID", "CH", "STATE", "IDENTITY"], rows)
    if cut:
        sys.stderr.write("vkt: probing stopped after %.1f s; the list may be incomplete\n"
                         % args.timeout)
    return 0


# ---- params ------------------------------------------------------------------------------

def _table(out: TextIO, header: list[str], rows: list[list[str]]) -> None:
    widths = [max(len(r[i]) for r in [header] + rows) for i in range(len(header))]
    for row in [header] + rows:
        out.write("  ".join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip() + "\n")


def _open(args: argparse.Namespace) -> boards.Board:
    return boards.open_board(args.model, args.id, getattr(args, "ch", None),
                             getattr(args, "camera_file", None))


def _set_words(parser: argparse.ArgumentParser, args: argparse.Namespace,
               words: list[str]) -> None:
    """`params ... set NAME VALUE` is `--set NAME VALUE` (and may be
    repeated); nothing else may follow."""
    if len(words) % 3 != 0 or any(words[i] != "set" for i in range(0, len(words), 3)):
        parser.error("after the board only 'set NAME VALUE' may follow, not %r"
                     % " ".join(words))
    args.set = (args.set or []) + [words[i + 1:i + 3] for i in range(0, len(words), 3)]


def cmd_params(args: argparse.Namespace, out: TextIO) -> int:
    with _open(args) as board:
        if args.set:
            written = boards.apply_settings(board, [(name, text) for name, text in args.set])
            if args.json:
                json.dump(dict(written), out, ensure_ascii=False)
                out.write("\n")
            else:
                out.writelines("%s = %s\n" % (name, _printable(str(value)))
                               for name, value in written)
            return 0
        rows = boards.read_settings(board)
    if args.json:
        json.dump({"model": board.model, "settings": [
            {"name": s.name, "kind": s.kind, "writable": s.writable,
             **({"error": boards.describe_error(v)} if isinstance(v, BaseException)
                else {"value": v})} for s, v in rows]}, out, indent=2, ensure_ascii=False)
        out.write("\n")
        return 0
    _table(out, ["NAME", "VALUE", "KIND", "ACCESS"], [
        [s.name, ("error: " + boards.describe_error(v)) if isinstance(v, BaseException)
         else _printable(str(v)), s.kind, "rw" if s.writable else "ro"] for s, v in rows])
    return 0


def _printable(text: str) -> str:
    """A value on one line of the table: control characters as escapes."""
    return "".join(c if c.isprintable() else c.encode("unicode_escape").decode("ascii")
                   for c in text)


# ---- grab ----------------------------------------------------------------------------------

def _png_chunk(kind: bytes, data: bytes) -> bytes:
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def _scaled_big_endian(pixels: bytes, bits: int) -> bytes:
    """16-bit little-endian samples of `bits` significant bits as PNG holds
    them: big-endian, scaled to the full 16 bits by repeating their top bits
    below them, so that the camera's white is white (PNG's own rule; `sBIT`
    tells the original depth, and a right shift by 16 - bits gets it back).
    Done on the whole frame as one integer, which is fast in pure Python."""
    lanes = len(pixels) // 2
    value = int.from_bytes(pixels, "little")
    if bits < 16:
        value &= int.from_bytes(((1 << bits) - 1).to_bytes(2, "little") * lanes, "little")
        shift = 16 - bits
        value = (value << shift) | (value >> (bits - shift) if bits >= shift else 0) & \
            int.from_bytes(((1 << shift) - 1).to_bytes(2, "little") * lanes, "little")
    data = value.to_bytes(len(pixels), "little")
    swapped = bytearray(data)
    swapped[0::2], swapped[1::2] = data[1::2], data[0::2]
    return bytes(swapped)


def png_bytes(width: int, height: int, depth: int, pixels: bytes, bits: int | None = None) -> bytes:
    """A grey PNG of 8 or 16 bits per pixel from samples row after row (16-bit
    samples little-endian, as the image class holds them). A 16-bit image of
    a camera of fewer `bits` is scaled to 16 bits and carries an ``sBIT``
    chunk with the camera's depth."""
    significant = min(max(bits or depth, 1), depth)
    if depth == 16:
        pixels = _scaled_big_endian(pixels, significant)
    stride = width * depth // 8
    raw = b"".join(b"\0" + pixels[y * stride:(y + 1) * stride] for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, depth, 0, 0, 0, 0)
    chunks = _png_chunk(b"IHDR", header)
    if significant < depth:
        chunks += _png_chunk(b"sBIT", bytes([significant]))
    return b"\x89PNG\r\n\x1a\n" + chunks + _png_chunk(b"IDAT", zlib.compress(raw, 6)) \
        + _png_chunk(b"IEND", b"")


def camera_bits(settings: dict[str, boards.Value], depth: int) -> int:
    """The camera's bits per sample from its settings ("BitWidth" or
    "ImageDepth"), within the depth the frames are held in."""
    for name in ("BitWidth", "ImageDepth"):
        value = settings.get(name)
        if isinstance(value, int) and 1 <= value <= depth:
            return value
    return depth


class Progress:
    """A progress bar on a terminal; nothing when the stream is not one."""

    def __init__(self, stream: IO[str], total: int) -> None:
        self.stream, self.total = stream, total
        self.shown = stream.isatty()

    def update(self, done: int) -> None:
        if not self.shown:
            return
        width = 30
        filled = width * done // self.total
        self.stream.write("\r[%s%s] %d/%d frames" % ("#" * filled, "." * (width - filled),
                                                      done, self.total))
        if done == self.total:
            self.stream.write("\n")
        self.stream.flush()

    def end(self, done: int) -> None:
        """Ends the bar's line when the capture stopped short of its total."""
        if self.shown and done != self.total:
            self.stream.write("\n")
            self.stream.flush()


RECORDING_NAME = "recording" + recording.SUFFIX
EXIT_INTERRUPTED = 128 + signal.SIGINT
EXIT_TERMINATED = 128 + signal.SIGTERM


class Terminated(BaseException):
    """SIGTERM arrived: the capture ends as with Ctrl-C."""


def _earlier_grab(folder: pathlib.Path) -> list[pathlib.Path]:
    """Files an earlier grab (or export) left in `folder`."""
    return [path for path in folder.iterdir()
            if path.name in (RECORDING_NAME, RECORDING_NAME + recording.PARTIAL)
            or (path.name.startswith("frame_") and path.suffix == ".png")]


def _check_output(folder: pathlib.Path, overwrite: bool) -> None:
    """Refuses, before any board is opened, an output folder the capture
    could not write into, or one holding anything unless `overwrite`."""
    if folder.exists():
        if not folder.is_dir():
            raise Failure("%s is not a folder" % folder)
        if not overwrite and any(folder.iterdir()):
            raise Failure("%s is not empty (--overwrite replaces the recording and frame "
                          "images an earlier grab left there)" % folder)
        probe_in = folder
    else:
        probe_in = folder.parent
        while not probe_in.exists() and probe_in != probe_in.parent:
            probe_in = probe_in.parent
        if not probe_in.is_dir():
            raise Failure("cannot create %s: %s is not a folder" % (folder, probe_in))
    try:
        handle, probe = tempfile.mkstemp(prefix=".vkt-probe-", dir=probe_in)
    except OSError as error:
        raise Failure("cannot write in %s (%s)" % (probe_in, error.strerror or error)) from None
    os.close(handle)
    os.unlink(probe)


def _name_value(text: str) -> tuple[str, str]:
    name, sep, value = text.partition("=")
    if not sep or not name.strip():
        raise argparse.ArgumentTypeError("expected NAME=VALUE, not %r" % text)
    return name.strip(), value


@contextlib.contextmanager
def _signals_end_capture() -> Iterator[None]:
    """SIGTERM raises Terminated in the main thread while the capture runs."""
    def terminate(number: int, frame: object) -> None:
        raise Terminated()
    try:
        previous = signal.signal(signal.SIGTERM, terminate)
    except ValueError:          # not the main thread: nothing to catch there
        yield
        return
    try:
        yield
    finally:
        signal.signal(signal.SIGTERM, previous)


@contextlib.contextmanager
def _signals_held() -> Iterator[None]:
    """Ctrl-C and SIGTERM wait while the recording is completed."""
    try:
        previous = (signal.signal(signal.SIGINT, signal.SIG_IGN),
                    signal.signal(signal.SIGTERM, signal.SIG_IGN))
    except ValueError:
        yield
        return
    try:
        yield
    finally:
        signal.signal(signal.SIGINT, previous[0])
        signal.signal(signal.SIGTERM, previous[1])


def _capture_into(board: boards.Board, count: int,
                  stream: recording.Stream) -> tuple[str, int, str | None]:
    """Runs the capture into the stream: how it ended (the recording's
    ending), the exit status and the error line, if any."""
    progress = Progress(sys.stderr, count)
    done = 0
    try:
        with _signals_end_capture():
            for frame in boards.capture(board, count, room=stream.has_room):
                stream.put(frame.number, frame.encoder_count, frame.timestamp_ms, frame.pixels)
                done = frame.number
                progress.update(done)
                if stream.error is not None:
                    break
    except KeyboardInterrupt:
        progress.end(done)
        return "interrupted (Ctrl-C)", EXIT_INTERRUPTED, None
    except Terminated:
        progress.end(done)
        return "terminated (SIGTERM)", EXIT_TERMINATED, None
    except (RuntimeError, boards.BoardError) as error:
        progress.end(done)
        text = boards.describe_error(error).replace("\n", " ")
        return "board error: " + text, EXIT_FAILURE, text
    progress.end(done)
    return recording.ENDED_COMPLETE, 0, None


def cmd_grab(args: argparse.Namespace, out: TextIO) -> int:
    folder = pathlib.Path(args.output)
    _check_output(folder, args.overwrite)
    created = not folder.exists()
    target = folder / RECORDING_NAME
    with _open(args) as board:
        boards.apply_settings(board, args.set or [])
        shape = boards.geometry(board)
        settings = {s.name: v for s, v in boards.read_settings(board)
                    if not isinstance(v, BaseException)}
        folder.mkdir(parents=True, exist_ok=True)
        for earlier in _earlier_grab(folder):
            earlier.unlink()
        # A Video records the model it drives, whose settings table applies.
        stream = recording.Stream(recording.Writer(
            target, board.table_model, settings, shape.width, shape.height, shape.depth))
        try:
            ending, status, error = _capture_into(board, args.n, stream)
        except BaseException as unexpected:
            # Whatever it was, the frames taken are kept if they can be.
            with contextlib.suppress(Exception):
                stream.finish("failed: %s" % (unexpected or type(unexpected).__name__),
                              first=1)
            raise
    return _complete(args, out, stream, folder, created, ending, status, error, settings)


def _complete(args: argparse.Namespace, out: TextIO, stream: recording.Stream,
              folder: pathlib.Path, created: bool, ending: str, status: int,
              error: str | None, settings: dict[str, boards.Value]) -> int:
    """Completes the recording and says how the capture went."""
    writer = stream.writer
    with _signals_held():
        stream.drain()
        if stream.error is not None:
            error = "writing %s failed after %d frames: %s" % (
                writer.partial, writer.frames, stream.error.strerror or stream.error)
            ending, status = "write error: " + error, EXIT_FAILURE
        try:
            path = stream.finish(ending, first=1)
        except ValueError:
            # Not one frame came: there is nothing to keep.
            if created:
                with contextlib.suppress(OSError):
                    folder.rmdir()
            sys.stderr.write("vkt: %s: no frame was captured, nothing was written\n"
                             % ("error: " + error if error else ending))
            return status or EXIT_FAILURE
    kept = "%d frames of %dx%d, %d bits" % (writer.frames, writer.width, writer.height,
                                             writer.depth)
    lost = recording.lost_between(writer.numbers) + writer.numbers[0] - 1
    if lost:
        sys.stderr.write("vkt: warning: %d frames were lost (gaps in the frame numbers, "
                         "kept in the recording)\n" % lost)
    if status == 0:
        out.write("%s saved in %s\n" % (kept, path))
        if args.png:
            out.flush()
            export_pngs(path, folder, out)
        return 0
    if status == EXIT_FAILURE:
        sys.stderr.write("vkt: error: %s; %s saved in %s\n" % (error, kept, path))
    else:
        sys.stderr.write("vkt: %s after %d of %d frames; %s saved in %s\n"
                         % (ending.split(" ")[0], writer.numbers[-1], args.n, kept, path))
    return status


# ---- export --------------------------------------------------------------------------------

def export_pngs(path: str | os.PathLike[str], folder: pathlib.Path, out: TextIO) -> int:
    """Writes each frame of a recording as frame_<number>.png into `folder`;
    returns how many."""
    with recording.Reader(path) as reader:
        header = reader.header
        bits = camera_bits(header.settings, header.depth)
        digits = max(6, len(str(max(header.frame_numbers))))
        folder.mkdir(parents=True, exist_ok=True)
        written = 0
        for number, pixels in zip(header.frame_numbers, reader.frames()):
            name = "frame_%0*d.png" % (digits, number)
            (folder / name).write_bytes(png_bytes(header.width, header.height, header.depth,
                                                  pixels, bits))
            written += 1
    out.write("%d frames exported to %s as frame_%s.png\n"
              % (written, folder, "N" * digits))
    return written


def cmd_export(args: argparse.Namespace, out: TextIO) -> int:
    try:
        export_pngs(args.recording, pathlib.Path(args.png), out)
    except ValueError as error:
        raise Failure(str(error)) from None
    return 0


# ---- io ------------------------------------------------------------------------------------

def _dio(board: boards.Board) -> boards.DioBoard:
    device = board.device
    if not isinstance(device, (unit.SNR11, unit.SN2200, unit.TK560)):
        raise Failure("%s has no digital lines" % board.model)
    return device


def _line_setting(text: str) -> tuple[int, bool]:
    line, sep, level = text.partition("=")
    line = line.strip()
    if not sep or not (line.isascii() and line.isdigit()) or level.strip() not in ("0", "1"):
        raise argparse.ArgumentTypeError("expected LINE=0 or LINE=1, not %r" % text)
    if int(line) >= DIO_LINES:
        raise argparse.ArgumentTypeError("LINE is 0 to %d, not %s" % (DIO_LINES - 1, line))
    return int(line), level.strip() == "1"


def _lines(word: int) -> str:
    return " ".join(format(word, "032b")[i:i + 8] for i in range(0, 32, 8))


def cmd_io(args: argparse.Namespace, out: TextIO) -> int:
    with _open(args) as board:
        dio = _dio(board)
        _drive(dio, args.set or [])
        inputs, outputs = dio.read(), dio.write_status()
        if args.json:
            json.dump({"model": board.model, "id": args.id or 0, "inputs": inputs,
                       "outputs": outputs}, out)
            out.write("\n")
        else:
            out.write("inputs  0x%08X  %s\noutputs 0x%08X  %s\n" % (
                inputs, _lines(inputs), outputs, _lines(outputs)))
        out.flush()
        if args.watch:
            _watch(board, dio, inputs, out, args)
    return 0


def _drive(dio: boards.DioBoard, lines: list[tuple[int, bool]]) -> None:
    """Drives the lines in order, all or none: if the library refuses one,
    the outputs go back to the word they were before."""
    if not lines:
        return
    before = dio.write_status()
    for line, level in lines:
        try:
            dio.write(line, level)
        except RuntimeError as error:
            dio.write(before)
            raise Failure("line %d = %d refused: %s; the outputs were put back to 0x%08X"
                          % (line, level, boards.library_error(error) or error, before)
                          ) from None


# What watching changes on the board, and puts back when it ends.
WATCH_SETTINGS = ("Timeout", "DIEdge", "DIWaitEnable")
WATCH_INTERVAL = 0.05
ALL_LINES = 0xFFFFFFFF


def _check_io(parser: argparse.ArgumentParser, args: argparse.Namespace) -> None:
    given = [option for option, value in (("--interval", args.interval),
                                          ("--count", args.count),
                                          ("--duration", args.duration)) if value is not None]
    if given and not args.watch:
        parser.error("%s only apply with --watch" % ", ".join(given))


def _watch(board: boards.Board, dio: boards.DioBoard, last: int, out: TextIO,
           args: argparse.Namespace) -> None:
    """Prints each change of the inputs until interrupted (Ctrl-C), or
    `--count` changes or `--duration` seconds.

    The board's own wait is used, in waits of `--interval` at most: an edge
    ends it at once, however short the pulse, and Ctrl-C is answered between
    two waits (a wait holds the interpreter). Each line waits for the edge
    away from its level (rising where low, falling where high), so both
    edges of a pulse are seen. The board's time-out, edges and wait mask are
    put back afterwards."""
    param = board.param
    names = WATCH_SETTINGS + (("DIWaitMode",) if isinstance(dio, unit.TK560) else ())
    saved = [(name, boards.get_setting(board, name)) for name in names]
    started = time.monotonic()
    changes = 0
    try:
        interval = WATCH_INTERVAL if args.interval is None else args.interval
        param.set_param("Timeout", max(1, round(interval * 1000)))
        param.set_param("DIWaitEnable", ALL_LINES)
        if isinstance(dio, unit.TK560):
            param.set_param("DIWaitMode", 0)    # each edge ends a wait
        edges = None
        with contextlib.suppress(KeyboardInterrupt):
            while args.count is None or changes < args.count:
                if args.duration is not None and time.monotonic() - started >= args.duration:
                    break
                if edges != ~last & ALL_LINES:
                    edges = ~last & ALL_LINES
                    param.set_param("DIEdge", edges)
                for now in (_wait_inputs(dio), dio.read()):
                    if now is None or now == last or (args.count is not None
                                                      and changes >= args.count):
                        continue
                    _print_change(out, time.monotonic() - started, now, last, args.json)
                    changes, last = changes + 1, now
    finally:
        for name, value in reversed(saved):
            try:
                boards.write_setting(board, name, value)
            except RuntimeError as error:
                sys.stderr.write("vkt: warning: %s could not be put back to %s: %s\n"
                                 % (name, value, boards.library_error(error) or error))


def _wait_inputs(dio: boards.DioBoard) -> int | None:
    """One wait of the board; the lines as they were at the edge that ended
    it, where the board tells them (SN2200, TK560), else None."""
    if isinstance(dio, unit.SNR11):
        dio.wait()
        return None
    record = dio.wait()
    return record.di if record.event_status == int(unit.EventStatus.DI) else None


def _print_change(out: TextIO, at: float, now: int, last: int, as_json: bool) -> None:
    if as_json:
        json.dump({"t": round(at, 3), "inputs": now, "rose": now & ~last,
                   "fell": last & ~now}, out)
        out.write("\n")
    else:
        out.write("%9.3f s  inputs 0x%08X  rose 0x%08X  fell 0x%08X\n" % (
            at, now, now & ~last, last & ~now))
    out.flush()


# ---- view ----------------------------------------------------------------------------------

def cmd_view(args: argparse.Namespace, out: TextIO) -> int:
    try:
        from vkt import viewer  # type: ignore[attr-defined, unused-ignore]
    except ImportError as error:
        raise Failure("the viewer is not installed (%s)" % error) from None
    warning = viewer.reach_warning(args.host)
    if warning:
        sys.stderr.write("vkt: warning: %s\n" % warning)

    def announce(url: str) -> None:
        out.write(url + "\n")
        out.flush()

    with contextlib.suppress(KeyboardInterrupt):
        viewer.serve(args.host, args.port, announce)
    return 0


# ---- the parser -----------------------------------------------------------------------------

def _model(models: tuple[str, ...]) -> Callable[[str], str]:
    """A model name in any case, as the model spells it."""
    def model(text: str) -> str:
        try:
            return boards.canonical_model(text, models)
        except boards.BoardError:
            raise argparse.ArgumentTypeError("invalid choice: %r (choose from %s)"
                                             % (text, ", ".join(models))) from None
    return model


def _integer(low: int, high: int) -> Callable[[str], int]:
    """An integer from `low` to `high` (decimal)."""
    def integer(text: str) -> int:
        try:
            value = int(text)
        except ValueError:
            raise argparse.ArgumentTypeError("invalid integer: %r" % text) from None
        if not low <= value <= high:
            raise argparse.ArgumentTypeError("%s is not from %d to %d" % (text, low, high))
        return value
    return integer


def _seconds(low: float, high: float) -> Callable[[str], float]:
    """A number of seconds from `low` to `high`."""
    def seconds(text: str) -> float:
        try:
            value = float(text)
        except ValueError:
            raise argparse.ArgumentTypeError("invalid number of seconds: %r" % text) from None
        if not (math.isfinite(value) and low <= value <= high):
            raise argparse.ArgumentTypeError("%s is not from %g to %g seconds"
                                             % (text, low, high))
        return value
    return seconds


def _board_options(parser: argparse.ArgumentParser, models: tuple[str, ...],
                   channel: bool) -> None:
    parser.add_argument("model", type=_model(models), metavar="MODEL",
                        help="board model, in any case: %s" % ", ".join(models))
    parser.add_argument("--id", type=_integer(0, INT32_MAX), default=None,
                        help="board id (default 0)")
    if channel:
        parser.add_argument("--ch", type=_integer(0, INT32_MAX), default=None,
                            help="channel of a grabber (default 0)")


class _Version(argparse.Action):
    """--version: the package's version and the device library's file."""

    def __init__(self, option_strings: Sequence[str], dest: str, **kwargs: object) -> None:
        super().__init__(option_strings, dest, nargs=0, default=argparse.SUPPRESS,
                         help="print the versions of vkt and of the device library")

    def __call__(self, parser: argparse.ArgumentParser, namespace: argparse.Namespace,
                 values: object, option_string: str | None = None) -> None:
        sys.stdout.write(version_text())
        parser.exit()


def version_text() -> str:
    """Two lines: this package's version, and the device library this process
    loaded (the simulated one beside the modules, or the maker's)."""
    try:
        package = boards.package_version()
    except boards.BoardError:
        package = "unknown (not built)"
    library = loaded_library()
    if library is None:
        where = "not found in this process"
    else:
        bundled = library.parent.name == "vkt_unit.libs" \
            and library.parent.parent == pathlib.Path(unit.__file__).resolve().parent
        where = "%s (%s, %s)" % (library.name, library,
                                 "the simulated library of this package" if bundled
                                 else "installed on this machine")
    return "vkt %s\ndevice library %s\n" % (package, where)


def loaded_library() -> pathlib.Path | None:
    """The device library file behind `unit` in this process (its real file,
    whose name carries the library's version), from the process's map."""
    with contextlib.suppress(OSError), open("/proc/self/maps", encoding="utf-8",
                                            errors="replace") as maps:
        for line in maps:
            fields = line.split(None, 5)
            if len(fields) == 6 and pathlib.Path(fields[5].strip()).name.startswith(
                    "libvkt_unit.so"):
                return pathlib.Path(fields[5].strip()).resolve()
    return None


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="vkt", description="Look at frame grabbers and digital-I/O boards.")
    parser.add_argument("--version", action=_Version)
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")

    listing = commands.add_parser("list", help="list the boards that answer",
                                  description="Lists every board that answers, per model, "
                                  "with its device type, id and versions.")
    listing.add_argument("--json", action="store_true", help="print JSON")
    listing.add_argument("--timeout", type=_seconds(0, 3600), default=10.0,
                         help="seconds the probing may take at most (0 to 3600, default 10)")
    listing.set_defaults(run=cmd_list)

    params = commands.add_parser("params", help="show or change a board's settings",
                                 usage="vkt params [-h] [--id ID] [--ch CH] [--camera-file "
                                 "CAMERA_FILE] [--json] MODEL [set NAME VALUE | --set NAME VALUE]"
                                 " ...",
                                 description="Prints every readable setting of a board, "
                                 "or writes settings with set NAME VALUE (or --set NAME VALUE), "
                                 "repeated for several: all are checked first and written in "
                                 "order; if the board refuses one, those written before it "
                                 "are put back.")
    _board_options(params, boards.MODELS, channel=True)
    params.add_argument("--camera-file", help="open a grabber with this camera file")
    params.add_argument("--set", nargs=2, action="append", metavar=("NAME", "VALUE"),
                        help="write a setting (an integer or a text, as the table says); "
                        "may be repeated")
    params.add_argument("--json", action="store_true", help="print JSON")
    params.set_defaults(run=cmd_params, words=_set_words)

    grab = commands.add_parser("grab", help="capture frames into a recording",
                               description="Captures N frames into DIR/recording.npz, "
                               "writing each frame as it arrives. DIR must be empty (or "
                               "--overwrite). Ctrl-C, SIGTERM or a board error end the "
                               "capture early and keep the frames taken so far.")
    _board_options(grab, boards.GRABBER_MODELS, channel=True)
    grab.add_argument("--camera-file", required=True, help="camera file to apply")
    grab.add_argument("-n", type=_integer(1, INT32_MAX), default=1,
                      help="number of frames (default 1)")
    grab.add_argument("-o", "--output", required=True, metavar="DIR", help="output folder")
    grab.add_argument("--set", action="append", type=_name_value, metavar="NAME=VALUE",
                      help="write a setting before the capture; may be repeated")
    grab.add_argument("--overwrite", action="store_true",
                      help="replace what an earlier grab left in DIR")
    grab.add_argument("--png", action="store_true",
                      help="then export the frames as PNG images into DIR (vkt export)")
    grab.set_defaults(run=cmd_grab)

    export = commands.add_parser("export", help="write a recording's frames as images",
                                 description="Writes each frame of RECORDING into DIR as "
                                 "frame_<frame number>.png (16-bit PNG with an sBIT chunk "
                                 "for cameras of more than 8 bits).")
    export.add_argument("recording", metavar="RECORDING", help="a recording (.npz)")
    export.add_argument("--png", required=True, metavar="DIR", help="folder for the images")
    export.set_defaults(run=cmd_export)

    io = commands.add_parser("io", help="read and drive digital lines",
                             description="Prints the inputs and outputs of a digital-I/O "
                             "board; --set drives output lines, --watch prints input "
                             "changes until Ctrl-C.")
    _board_options(io, boards.DIO_MODELS, channel=False)
    io.add_argument("--set", action="append", type=_line_setting, metavar="LINE=0|1",
                    help="drive output LINE (0 to 31) low or high; may be repeated")
    io.add_argument("--watch", action="store_true", help="print input changes until Ctrl-C")
    io.add_argument("--interval", type=_seconds(0.001, 60), default=None,
                    help="while watching, the longest one wait on the board lasts: Ctrl-C "
                    "is answered within it (0.001 to 60 s, default %g)" % WATCH_INTERVAL)
    io.add_argument("--count", type=_integer(1, INT32_MAX), default=None,
                    help="while watching, stop after this many changes")
    io.add_argument("--duration", type=_seconds(0, 31 * 24 * 3600), default=None,
                    help="while watching, stop after this many seconds")
    io.add_argument("--json", action="store_true", help="print JSON")
    io.set_defaults(run=cmd_io, check=_check_io)

    view = commands.add_parser("view", help="start the live viewer",
                               description="Serves the live viewer and prints its address "
                               "(with its access token) on one line.")
    view.add_argument("--port", type=_integer(0, 65535), default=0,
                      help="port, 0 to 65535 (default 0: a free one)")
    view.add_argument("--host", default="127.0.0.1",
                      help="address to listen on (default 127.0.0.1; anything else exposes "
                      "the viewer to the network)")
    view.set_defaults(run=cmd_view)
    return parser


def main(argv: Sequence[str] | None = None, out: TextIO | None = None) -> int:
    """Runs the command line; returns the exit status."""
    parser = build_parser()
    # Words argparse leaves over: `params` takes `set NAME VALUE` after the
    # board and its options; anything else is refused as argparse would.
    args, words = parser.parse_known_args(argv)
    if words:
        if not hasattr(args, "words"):
            parser.error("unrecognized arguments: %s" % " ".join(words))
        args.words(parser, args, words)
    if hasattr(args, "check"):
        args.check(parser, args)
    stream = out if out is not None else sys.stdout
    try:
        status: int = args.run(args, stream)
        stream.flush()
        return status
    except BrokenPipeError:
        # The reader went away (`vkt list | head`): nothing more to say, and
        # nothing left for the interpreter to flush at exit either.
        with contextlib.suppress(OSError):
            os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return EXIT_FAILURE
    except (RuntimeError, boards.BoardError, OSError, Failure) as error:
        sys.stderr.write("vkt: error: %s\n" % _one_line(boards.describe_error(error)))
        return EXIT_FAILURE
    except KeyboardInterrupt:
        sys.stderr.write("vkt: interrupted\n")
        return 128 + signal.SIGINT
    except Exception as error:  # noqa: BLE001 - a fault of ours, still one line
        sys.stderr.write("vkt: internal error (please report it): %s: %s\n"
                         % (type(error).__name__, _one_line(str(error))))
        return EXIT_INTERNAL


def _one_line(text: str) -> str:
    return _printable(text.replace("\n", " "))

