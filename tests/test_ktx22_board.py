"""KTX22 board: overloads and defaults, image lists and modules, status
records filled in place, event waits and channel commands; what all three
grabbers share is in test_grabbers.py."""

import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import write_camera_file


@pytest.fixture
def board():
    return unit.KTX22()


@pytest.fixture
def path(tmp_path):
    return str(write_camera_file(tmp_path, model="KTX22", Width=320))


# ---- from_file, setup and save -------------------------------------------------------------

@pytest.mark.parametrize("args, kwargs, recorded", [
    (("f",), {}, (b"f", -1)),
    (("f", 3), {}, (b"f", 3)),
    (("f", 1, 2), {}, (b"f", 1, 2, -1)),
    ((), {"camerafile": "f", "ch": 2, "id": 1}, (b"f", 1, 2, -1)),
    ((), {"id": 1, "option": 0, "ch": 2, "camerafile": "f"}, (b"f", 1, 2, 0)),
    ((None,), {}, (None, -1)),
])
def test_from_file_overloads(args, kwargs, recorded):
    vktsim.script("CxKTX22::FromFile", value=None)
    assert isinstance(unit.KTX22.from_file(*args, **kwargs), unit.KTX22)
    assert calls("CxKTX22::FromFile") == [recorded]


def test_a_ktx21_camera_file_is_refused(tmp_path):
    with pytest.raises(RuntimeError, match="Code:10 .*expected the header \\[KTX22\\]"):
        unit.KTX22.from_file(str(write_camera_file(tmp_path, Width=32)))


def test_setup_and_save_round_trip(path, tmp_path):
    board = unit.KTX22.from_file(path)
    param = unit.KTX22Param.from_(board)
    param.set_param("CameraName", "line \"7\"")
    saved = str(tmp_path / "saved.txt")
    board.save(saved)
    board.save_w(str(tmp_path / "caf\u00e9.txt"))
    param.set_param("CameraName", "other")
    board.setup(saved)
    assert param.get_param("CameraName") == 'line "7"'
    assert (tmp_path / "caf\u00e9.txt").read_text().startswith("# KTX22 camera file\n[KTX22]\n")
    vktsim.clear_journal()
    board.setup(camerafile=saved, option=4)
    assert calls("CxKTX22::Setup") == [(vktsim.ident(board), saved.encode(), 4)]


# ---- opening and disposing ---------------------------------------------------------------------


def test_open_dispose_and_busy_boards():
    board = unit.KTX22()
    board.open(3, 1)
    with pytest.raises(RuntimeError, match="Code:5 .*already in use"):
        unit.KTX22().open(3, 1)
    unit.KTX21().open(3, 1)   # the KTX21 boards are other boards
    with pytest.raises(RuntimeError, match="Code:6 .*no KTX22 board with id 4"):
        unit.KTX22().open(4, 0)
    board.dispose()
    assert not board.is_valid and not board.is_opened
    unit.KTX22().open(3, 1)


# ---- images: one, a list, a library module -------------------------------------------------


def test_lock_forms_and_their_default_option(board):
    image = vktsim.Image(2, 2)
    images = [image, None]
    for _ in range(6):
        vktsim.script("CxKTX22::Lock", value=None)
    board.lock(image)
    board.lock(image=image, option=2)
    board.lock(images)
    board.lock(images, 5)
    me, it = vktsim.ident(board), vktsim.ident(image)
    assert calls("CxKTX22::Lock") == [(me, it, 0), (me, it, 2), (me, [it, None], 2, 0),
                                      (me, [it, None], 2, 5)]


def test_module_forms_reach_their_own_overload(board):
    board.open(0, 0)
    device = vktsim.DeviceModule()
    module = unit.get_device_module(device)   # a library module that is no image
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="Code:1 .*that module is not one"):
        board.validate(module)
    with pytest.raises(RuntimeError, match="Code:1 .*that module is not one"):
        board.lock(module)
    me, it = vktsim.ident(board), vktsim.ident(module)
    assert calls("CxKTX22::Validate") == [(me, it)]
    assert calls("CxKTX22::Lock") == [(me, it, 0)]


# ---- status records -------------------------------------------------------------------------------

FIELDS = ("total_frame_count", "amount_in_frame", "last_frame_no", "line_count", "capture_state")


def fields(record):
    return tuple(getattr(record, name) for name in FIELDS)


@pytest.mark.parametrize("method, operation", [("query_status", "CxKTX22::QueryStatus"),
                                               ("wait_status", "CxKTX22::WaitStatus")])
def test_status_without_arguments_returns_a_new_record(board, method, operation):
    vktsim.script(operation, value=(2**32 - 1, 2, 3, -4, 5))
    status = getattr(board, method)()
    assert isinstance(status, unit.TxKTX22CaptureStatus)
    assert fields(status) == (2**32 - 1, 2, 3, -4, 5)
    assert calls(operation) == [(vktsim.ident(board),)]


def test_query_status_fills_the_callers_record_in_place(board):
    record = unit.TxKTX22CaptureStatus(1, 2, 3, 4, 5)
    vktsim.script("CxKTX22::QueryStatus", value=(6, 7, 8, -9, 10))
    assert board.query_status(record) is None
    assert fields(record) == (6, 7, 8, -9, 10)
    assert calls("CxKTX22::QueryStatus") == [(vktsim.ident(board), [1, 2, 3, 4, 5])]
    vktsim.script("CxKTX22::QueryStatus", value=(0, 0, 0, 0, 1))
    board.query_status(result=record)
    assert record == unit.TxKTX22CaptureStatus(0, 0, 0, 0, 1)


def test_wait_status_fills_the_record_and_returns_the_librarys_bool(board):
    record = unit.TxKTX22CaptureStatus()
    vktsim.script("CxKTX22::WaitStatus", value=(1, 8, 1, 8, 2))
    vktsim.script("CxKTX22::WaitStatus", value=False)
    assert board.wait_status(record) is True
    assert fields(record) == (1, 8, 1, 8, 2)
    assert board.wait_status(record, timeout=7) is False
    me = vktsim.ident(board)
    assert calls("CxKTX22::WaitStatus") == [(me, [0, 0, 0, 0, 0], 5000), (me, [1, 8, 1, 8, 2], 7)]


@pytest.mark.parametrize("call", [
    lambda b: b.query_status(None), lambda b: b.wait_status(None), lambda b: b.wait_status(None, 5),
    lambda b: b.query_status(result=None),
])
def test_none_as_the_record_to_fill_is_refused_before_the_library(board, call):
    with pytest.raises(RuntimeError) as caught:
        call(board)
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (2, "operator()")
    assert vktsim.journal() == []


@pytest.mark.parametrize("call", [
    lambda b: b.query_status(unit.TxKTX21CaptureStatus()), lambda b: b.wait_status(5),
    lambda b: b.query_status(0), lambda b: b.wait_status(unit.TxKTX22CaptureStatus(), "1"),
])
def test_records_of_other_types_fit_no_overload(board, call):
    with pytest.raises(TypeError):
        call(board)
    assert vktsim.journal() == []


# ---- waits, events, channels ---------------------------------------------------------------------

def test_wait_without_and_with_a_time_out(board):
    vktsim.script("CxKTX22::Wait", value=None)
    vktsim.script("CxKTX22::Wait", value=True)
    assert board.wait() is None
    assert board.wait(100) is True
    assert calls("CxKTX22::Wait") == [(vktsim.ident(board),), (vktsim.ident(board), 100)]


def test_wait_event_passes_the_third_value_only_as_the_pointed_to_integer(board):
    vktsim.script("CxKTX22::WaitEvent", value=True)
    vktsim.script("CxKTX22::WaitEvent", value=False)
    assert board.wait_event(1, 200, 42) is True
    assert board.wait_event(-1, 0, -7) is False
    me = vktsim.ident(board)
    assert calls("CxKTX22::WaitEvent") == [(me, 1, 200, 42), (me, -1, 0, -7)]
    with pytest.raises(TypeError):
        board.wait_event(1, 200)
    with pytest.raises(TypeError):
        board.wait_event(1, 200, 2**31)


@pytest.mark.parametrize("member, operation", [
    ("force_trigger", "CxKTX22::ForceTrigger"), ("stop_pg", "CxKTX22::StopPg"),
    ("reset_pg", "CxKTX22::ResetPg"), ("clear_trigger_mask", "CxKTX22::ClearTriggerMask"),
])
def test_channel_commands_default_to_channel_minus_one(board, member, operation):
    for _ in range(3):
        vktsim.script(operation, value=None)
    getattr(board, member)()
    getattr(board, member)(ch=1)
    getattr(board, member)(0)
    me = vktsim.ident(board)
    assert calls(operation) == [(me, -1), (me, 1), (me, 0)]
