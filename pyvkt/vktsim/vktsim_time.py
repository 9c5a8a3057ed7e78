"""vktsim.patch_time: the code under test's own time on the simulator's clock.

While it is in force, ``time.sleep``, ``time.monotonic``, ``time.perf_counter``
and ``time.time`` (and their ``_ns`` forms) follow the simulated library's
clock in the thread that put it in force, and only there:

- ``sleep(t)`` moves the virtual clock ``t`` forward through
  ``vktsim.advance``, so that everything due on the way is delivered (inputs,
  frames, board events, serial replies); on the real clock it sleeps.
- ``monotonic()`` and ``perf_counter()`` read simulated time, counted on from
  what each read in real time when the patch began (so the thread's time
  never goes back at the start); ``time()`` is the wall-clock time when the
  patch began plus the simulated time since.

Every other thread keeps the real functions and the real clock. A second
thread moving the virtual clock by sleeping would race the test's own
``advance`` calls, and background threads (a server's, a pool's, a watchdog's)
would push time on whenever they poll; the library's own capture threads
never read Python's time at all. So one thread owns the virtual time: the one
that asked for it (the test's thread, under the pytest fixture).

The functions are replaced in the ``time`` module, so the code under test
must call them through it (``time.sleep(...)``); a name taken from it before
(``from time import sleep``) keeps the real function. Waits in C
(``threading.Event.wait``, ``queue.Queue.get`` with a time-out) and
``asyncio``'s event loop stay on the real clock.
"""
from __future__ import annotations

import math
import operator
import threading
import time
from collections.abc import Callable, Iterator
from contextlib import contextmanager
from typing import Any

import vktsim

_NAMES = ("sleep", "monotonic", "monotonic_ns", "perf_counter", "perf_counter_ns", "time",
          "time_ns")
# The real functions, taken once: the replacements fall back on them in
# other threads and after the patch ends.
_REAL: dict[str, Callable[..., Any]] = {name: getattr(time, name) for name in _NAMES}
# advance() takes at most an hour at a time.
_LONGEST_ADVANCE_MS = 3600000


class _Owner:
    """The thread that owns virtual time, how deep its patches are nested,
    and where each of its clocks stood, in ns, when the first one began."""

    def __init__(self) -> None:
        self.thread: int | None = None
        self.depth = 0
        self.bases: dict[str, int] = {}


_owner = _Owner()
_lock = threading.Lock()


def _simulated_ns() -> int:
    # now_ms() is exact to the ns for any time the simulator reaches.
    return round(vktsim.now_ms() * 1000000)


def _owned() -> bool:
    return _owner.thread is not None and _owner.thread == threading.get_ident()


def _seconds(secs: object) -> float:
    """The argument of sleep as time.sleep takes it: a float or an integer."""
    if isinstance(secs, float):
        value = secs
    else:
        try:
            value = float(operator.index(secs))   # type: ignore[arg-type]
        except TypeError:
            raise TypeError("'%s' object cannot be interpreted as an integer"
                            % type(secs).__name__) from None
    if math.isnan(value):
        raise ValueError("Invalid value NaN (not a number)")
    if value < 0:
        raise ValueError("sleep length must be non-negative")
    if math.isinf(value):
        raise OverflowError("sleep length is too large")
    return value


def _sleep(secs: float) -> None:
    if not _owned():
        _REAL["sleep"](secs)
        return
    seconds = _seconds(secs)
    if vktsim.get_clock() != "virtual":
        _REAL["sleep"](seconds)
        return
    # Whole nanoseconds, as the clock counts; longer than advance() takes
    # at once goes in hours.
    left_ms = round(seconds * 1e9) / 1e6
    while True:
        step = min(left_ms, _LONGEST_ADVANCE_MS)
        vktsim.advance(step)
        left_ms -= step
        if left_ms <= 0:
            return


def _reader(name: str, ns: bool) -> Callable[[], Any]:
    real = _REAL[name]

    def read() -> Any:
        if not _owned():
            return real()
        value = _owner.bases[name] + _simulated_ns()
        return value if ns else value / 1e9

    read.__name__ = read.__qualname__ = name
    read.__doc__ = real.__doc__
    return read


def _replacements() -> dict[str, Callable[..., Any]]:
    made: dict[str, Callable[..., Any]] = {"sleep": _sleep}
    for clock in ("monotonic", "perf_counter", "time"):
        made[clock] = _reader(clock, False)
        made[clock + "_ns"] = _reader(clock + "_ns", True)
    made["sleep"].__doc__ = _REAL["sleep"].__doc__
    return made


_PATCHED = _replacements()


def _begin() -> None:
    me = threading.get_ident()
    with _lock:
        if _owner.thread is not None and _owner.thread != me:
            raise RuntimeError("patch_time() is in force in another thread: one thread at a "
                               "time owns the virtual time")
        if _owner.depth == 0:
            now = _simulated_ns()
            _owner.bases = {
                "monotonic": _REAL["monotonic_ns"]() - now,
                "perf_counter": _REAL["perf_counter_ns"]() - now,
                "time": _REAL["time_ns"]() - now,
            }
            for clock in ("monotonic", "perf_counter", "time"):
                _owner.bases[clock + "_ns"] = _owner.bases[clock]
            for name, replacement in _PATCHED.items():
                setattr(time, name, replacement)
            _owner.thread = me
        _owner.depth += 1


def _end() -> None:
    with _lock:
        _owner.depth -= 1
        if _owner.depth > 0:
            return
        _owner.thread = None
        for name, real in _REAL.items():
            # Whatever replaced ours meanwhile (and has not put ours back)
            # is someone else's to give back.
            if getattr(time, name) is _PATCHED[name]:
                setattr(time, name, real)


@contextmanager
def patch_time() -> Iterator[None]:
    """Puts the calling thread's ``time`` functions on the simulator's clock
    until the block ends, however it ends."""
    _begin()
    try:
        yield
    finally:
        _end()
