"""vktsim.replay: a simulated grabber plays a recording back.

The board gets the recorded camera settings, then delivers exactly the
recorded frames (through `vktsim.set_frames`, so frame n of every later
capture is recorded frame n) and moves its encoder so that, at frame n, its
count is the recorded count of frame n (`vktsim.set_encoder_steps`).

Everything is checked before the board is touched; a setting the library
refuses on the way puts back the settings already written, so a refused
recording leaves the board as it was.
"""
from __future__ import annotations

import os
import sys
import warnings
from collections.abc import Sequence
from typing import Union

import unit
import vktsim
from vkt import boards, recording

_Grabber = Union[unit.KTX21, unit.KTX22, unit.MR250, unit.Video]
_ENCODER_LIMIT = 1000000


def _board(board: object) -> boards.Board:
    if isinstance(board, unit.Video):
        return boards.Board("Video", board, board)
    for model, cls in (("KTX21", unit.KTX21), ("KTX22", unit.KTX22), ("MR250", unit.MR250)):
        if isinstance(board, cls):
            return boards.Board(model, board, boards.param_of(board))
    raise TypeError("board is a %s; expected a unit.KTX21, unit.KTX22, unit.MR250 or "
                    "unit.Video" % type(board).__name__)


def _recording(given: object) -> recording.Recording:
    if isinstance(given, recording.Recording):
        return given
    if isinstance(given, (str, os.PathLike)):
        return recording.load(given)
    raise TypeError("recording is a %s; expected a vkt.recording.Recording or a path"
                    % type(given).__name__)


def _settings_to_write(target: boards.Board,
                       rec: recording.Recording) -> dict[str, boards.Value]:
    writable = {s.name: s.kind for s in target.settings if s.writable}
    chosen: dict[str, boards.Value] = {}
    for name, value in rec.settings.items():
        if name not in writable:
            continue
        if (writable[name] == "text") != isinstance(value, str):
            raise ValueError("not a valid recording: setting %s holds a %s, the %s table "
                             "gives it %s" % (name, type(value).__name__, target.table_model,
                                              writable[name]))
        chosen[name] = value
    for name, size in (("Width", rec.width), ("Height", rec.height)):
        if chosen.get(name, size) != size:
            raise ValueError("not a valid recording: %s is %s but its frames have %d"
                             % (name, chosen[name], size))
    return chosen


def _encoder_steps(rec: recording.Recording) -> list[int]:
    """Pulses per frame: none before the first frame (the encoder is put at
    its count beforehand), then the recorded differences."""
    counts = rec.encoder_counts
    steps = [0] + [b - a for a, b in zip(counts, counts[1:])]
    for index, step in enumerate(steps):
        if abs(step) > _ENCODER_LIMIT:
            raise ValueError("not replayable: the encoder moved %d pulses at frame %d; the "
                             "simulator moves at most %d per frame" % (step, index, _ENCODER_LIMIT))
    return steps


def _frames(rec: recording.Recording) -> list[memoryview]:
    shape = (rec.height, rec.width)
    if rec.depth == 8:
        return [memoryview(frame).cast("B", shape) for frame in rec.frames]
    if sys.byteorder != "little":
        raise ValueError("16-bit recordings are replayed on little-endian machines only")
    return [memoryview(frame).cast("H", shape) for frame in rec.frames]


def _play(board: _Grabber, target: boards.Board, settings: dict[str, boards.Value],
          frames: list[memoryview]) -> None:
    """Writes the settings, then hands over the frames; if the library or the
    simulator refuses either, puts back the settings already written and
    raises the refusal (set_frames itself changes nothing when it refuses)."""
    readable = {s.name for s in target.settings if s.readable}
    before = {name: boards.get_setting(target, name) for name in settings if name in readable}
    written: list[str] = []
    try:
        for name, value in settings.items():
            boards.write_setting(target, name, value)
            written.append(name)
        vktsim.set_frames(board, frames)
    except BaseException:
        for name in reversed(written):
            if name in before:
                boards.write_setting(target, name, before[name])
        raise


def _move_encoder_to(board: _Grabber, target: boards.Board, count: int) -> None:
    pulses = count - boards.encoder_count(target)
    while pulses:
        step = max(-_ENCODER_LIMIT, min(_ENCODER_LIMIT, pulses))
        vktsim.move_encoder(board, step)
        pulses -= step


def replay(board: _Grabber, recorded: Union[recording.Recording, str, os.PathLike[str]],
           ) -> None:
    """See the stub of `vktsim.replay`."""
    target = _board(board)
    rec = _recording(recorded)
    if rec.model != target.table_model:
        raise ValueError("recording of a %s cannot be replayed on a %s"
                         % (rec.model, target.table_model))
    settings = _settings_to_write(target, rec)
    steps = _encoder_steps(rec)
    frames = _frames(rec)
    _play(board, target, settings, frames)
    if rec.model in ("KTX21", "KTX22"):
        vktsim.set_encoder_steps(board, steps)
        _move_encoder_to(board, target, rec.encoder_counts[0])
        if any(rec.encoder_counts) and not boards.encoder_counting(target):
            warnings.warn("the recording holds encoder counts (%d to %d) but the %s's encoder "
                          "is not counting: start it (start_encoder) before the replay for "
                          "its frames to carry them"
                          % (min(rec.encoder_counts), max(rec.encoder_counts), rec.model),
                          RuntimeWarning, stacklevel=2)


__all__: Sequence[str] = ["replay"]
