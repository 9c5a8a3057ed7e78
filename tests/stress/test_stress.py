"""Every part of the stress suite at a small size, and the checks that the
suite itself sees what it must: crashes, hangs, sanitizer reports, errors no
program could expect, operations without a call and calls that miss theirs."""
import argparse
import gc
import os
import signal
import sys

import pytest

import unit
import vktsim

from . import children, fault_calls, fuzz, parts, surface, world


def options(calls, threads=8):
    # The hang bound of a part is 120 s and per_call for each call: a part of
    # 4000 calls takes 1 to 30 s here (faults the longest), so at 0.5 s a
    # call a deadlock still shows, and a loaded sanitizer run is not taken
    # for one.
    return argparse.Namespace(calls=calls, threads=threads, seed=1, per_call=0.5)


# ---- the parts, small -------------------------------------------------------------------------


def test_fuzz_batches_are_clean():
    assert fuzz.run(calls=1200, seed=101, batch=600, jobs=2, per_call_seconds=0.5,
                    out=sys.stdout) == []


@pytest.mark.parametrize("part", ["faults", "leaks", "threads", "lifetimes"])
def test_part_is_clean(part):
    assert parts.run(part, options(calls=4000), out=sys.stdout) == []


def test_every_operation_has_a_call_that_reaches_it(tmp_path):
    cameras = world.write_camera_files(str(tmp_path))
    os.chdir(tmp_path)
    # Each operation counts live objects after two garbage collections; with
    # the test session's heap frozen they look only at what the operation
    # made (60 s -> 1 s), as they do in the stress suite's own small process.
    gc.freeze()
    try:
        problems = [p for op in vktsim.operations() for p in parts.fault_one(op, 6, cameras)]
    finally:
        gc.unfreeze()
    assert problems == []


# ---- the suite notices failures ---------------------------------------------------------------


def outcome_of(code, timeout=30):
    return children.run_one(children.Task([], timeout, "probe",
                                          command=[sys.executable, "-c", code]))


@pytest.mark.parametrize("code, reason", [
    ("import os, signal; os.kill(os.getpid(), signal.SIGKILL)", "killed by SIGKILL"),
    ("import os; os.abort()", "killed by SIGABRT"),
    ("import sys; sys.stderr.write('==1==ERROR: AddressSanitizer: heap-use-after-free')",
     "sanitizer report (ERROR: AddressSanitizer), exit status 0"),
    ("import sys; sys.stderr.write('x.cpp:1:2: runtime error: load of misaligned address')",
     "sanitizer report (runtime error:), exit status 0"),
    ("import sys; sys.exit(3)", "exit status 3"),
    ("pass", None),
])
def test_a_child_failure_is_reported(code, reason):
    assert outcome_of(code).reason == reason


def test_a_hung_child_is_killed_and_reported():
    outcome = outcome_of("import time; time.sleep(60)", timeout=0.5)
    assert outcome.timed_out
    assert outcome.reason.startswith("hang: no exit within")
    assert outcome.seconds < 30


def test_an_error_no_program_expects_stops_the_fuzzer(tmp_path, monkeypatch):
    def broken():
        raise KeyError("from deep inside")

    module = argparse.Namespace(__name__="probe", broken=broken)
    fuzzer = fuzz.Fuzzer(1, str(tmp_path))
    fuzzer.members = [surface.Member(module, "broken", "function", ((),))]
    with pytest.raises(fuzz.Unexpected, match="probe.broken on None raised KeyError"):
        fuzzer.call_one()


def test_the_trace_names_the_last_call():
    trace = "CALL KTX21.wait on x with ()\nCALL SNR11.read on y with ()\n==1==ERROR: AddressSanitizer"
    assert children.last_call(trace) == "SNR11.read on y with ()"
    assert "AddressSanitizer" in children.excerpt(trace)


def test_an_operation_without_a_call_fails_loudly(tmp_path):
    cameras = world.write_camera_files(str(tmp_path))
    assert parts.fault_one("CxKTX21::NoSuchOperation", 5, cameras) == [
        "CxKTX21::NoSuchOperation: no call in the fault table (tests/stress/fault_calls.py)"]


def test_a_call_that_misses_its_operation_fails(tmp_path, monkeypatch):
    cameras = world.write_camera_files(str(tmp_path))
    os.chdir(tmp_path)
    board = dict(fault_calls.CLASSES["CxKTX21"][1], Abort="obj.stop()")
    monkeypatch.setitem(fault_calls.CLASSES, "CxKTX21", ("KTX21", board))
    assert parts.fault_one("CxKTX21::Abort", 5, cameras) == [
        "CxKTX21::Abort: `obj.stop()` raised nothing"]


# ---- the surface it walks ----------------------------------------------------------------------


def test_the_fuzzer_finds_every_class_and_function():
    members = surface.all_members()
    owners = {m.owner for m in members}
    assert set(surface.all_classes()) <= owners
    assert {unit, vktsim} <= owners
    labels = {m.label for m in members}
    assert {"unit.read", "vktsim.script", "KTX21.lock", "Video.controller",
            "SNR11Param.from_", "Image.__init__"} <= labels


def test_signatures_come_from_the_overloads():
    lock = next(m for m in surface.all_members() if m.label == "KTX21.lock")
    assert [[(p.type, p.has_default) for p in o] for o in lock.overloads] == [
        [("vkt::CxImage", False), ("int", True)], [("list", False), ("int", True)]]
    assert surface.python_class("vkt::CxImage") is vktsim.Image
    assert surface.python_class("vkt::Video::TxKTX22CaptureStatus") is unit.TxKTX22CaptureStatus
