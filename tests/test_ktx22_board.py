"""KTX22 board: overloads and defaults, image lists and modules, status
records filled in place, event waits, channel commands, companions,
ownership and missing objects."""
import gc

import pytest

import unit
import vktsim
from conftest import calls, error_fields
from ktx21_support import write_camera_file

COMPANIONS = [unit.KTX22Param, unit.KTX22Encoder, unit.KTX22Sio]


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


def test_from_file_opens_board_zero_with_the_camera_file(path):
    board = unit.KTX22.from_file(path)
    assert board.is_valid and board.is_opened
    assert unit.KTX22Param.from_(board).get_param("Width") == 320


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


# ---- constructors, equality, lifetime ----------------------------------------------------------

def test_copies_refer_to_the_same_board(path):
    board = unit.KTX22.from_file(path)
    copy = unit.KTX22(board)
    assert copy == board and not (copy != board) and vktsim.ident(copy) != vktsim.ident(board)
    assert unit.KTX22() != board and unit.KTX22() == unit.KTX22()
    assert (board == 5) is False and (board != unit.KTX21()) is True
    with pytest.raises(TypeError):
        hash(board)
    with pytest.raises(TypeError):
        unit.KTX22(unit.KTX21())


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


def test_every_object_is_freed_exactly_once(path):
    gc.collect()
    before = vktsim.live_objects()
    board = unit.KTX22.from_file(path)
    objects = [board, unit.KTX22(board), unit.KTX22(), unit.TxKTX22CaptureStatus(),
               unit.TxKTX22EncoderStatus(), board.query_status()]
    for companion in COMPANIONS:
        objects += [companion.from_(board), companion(), companion(companion.from_(board))]
    objects.append(unit.KTX22Param.from_(board).controller)
    assert vktsim.live_objects() == before + 12   # records are plain values
    del objects, board
    gc.collect()
    assert vktsim.live_objects() == before


# ---- images: one, a list, a library module -------------------------------------------------

@pytest.mark.parametrize("count", [0, 1, 17])
def test_validate_passes_the_whole_list_once(board, count):
    images = [vktsim.Image(2, 2) for _ in range(count)]
    vktsim.script("CxKTX22::Validate", value=None)
    vktsim.clear_journal()
    board.validate(images)
    assert calls("CxKTX22::Validate") == [
        (vktsim.ident(board), [vktsim.ident(i) for i in images], count)]


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


@pytest.mark.parametrize("method", ["validate", "lock"])
@pytest.mark.parametrize("argument", [(1,), "images", 5])
def test_what_fits_no_overload_is_a_type_error(board, method, argument):
    with pytest.raises(TypeError):
        getattr(board, method)(argument)
    assert vktsim.journal() == []


@pytest.mark.parametrize("method", ["validate", "lock"])
def test_an_element_of_another_type_is_a_cast_error(board, method):
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        getattr(board, method)([vktsim.Image(2, 2), 5])
    assert vktsim.journal() == []


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


def test_record_class():
    record = unit.TxKTX22CaptureStatus()
    assert record == unit.TxKTX22CaptureStatus(0, 0, 0, 0, 0)
    assert record != unit.TxKTX22CaptureStatus(0, 0, 0, 0, 1)
    assert (record == 0) is False
    with pytest.raises(AttributeError):
        record.capture_state = 3
    with pytest.raises(TypeError):
        unit.TxKTX22CaptureStatus(-1, 0, 0, 0, 0)
    with pytest.raises(TypeError):
        unit.TxKTX22CaptureStatus(0, 0, 0, 0, 0, 0)


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


@pytest.mark.parametrize("member, args, operation, value, result", [
    ("cancel_wait_event", (3,), "CxKTX22::CancelWaitEvent", None, None),
    ("pll_reconfig", (), "CxKTX22::PllReconfig", None, None),
    ("status", (), "CxKTX22::Status", -3, -3),
    ("abort", (), "CxKTX22::Abort", None, None),
    ("start", (), "CxKTX22::Start", None, None),
    ("stop", (), "CxKTX22::Stop", None, None),
    ("unlock", (), "CxKTX22::Unlock", None, None),
    ("open", (3, 1), "CxKTX22::Open", None, None),
    ("close", (), "CxKTX22::Close", None, None),
])
def test_methods_reach_their_operation(board, member, args, operation, value, result):
    vktsim.script(operation, value=value)
    assert getattr(board, member)(*args) == result
    assert calls(operation) == [(vktsim.ident(board),) + args]


def test_there_is_no_abort_with_a_frame_count(board):
    with pytest.raises(TypeError):
        board.abort(5)


@pytest.mark.parametrize("prop, getter, setter", [
    ("num", "CxKTX22::GetNum", "CxKTX22::SetNum"),
    ("lock_id", "CxKTX22::GetLockId", "CxKTX22::SetLockId"),
])
def test_int_properties(board, prop, getter, setter):
    vktsim.script(getter, value=-9)
    vktsim.script(setter, value=None)
    assert getattr(board, prop) == -9
    setattr(board, prop, 12)
    assert calls(setter) == [(vktsim.ident(board), 12)]


# ---- companions ---------------------------------------------------------------------------------------

@pytest.mark.parametrize("companion", COMPANIONS)
def test_companions_attach_by_from_and_controller(companion, path):
    board = unit.KTX22.from_file(path)
    attached = companion.from_(board)
    assert attached.controller is board and attached.is_valid
    other = companion()
    assert other.controller is None and not other.is_valid and other != attached
    other.controller = board
    assert other.controller is board and other == attached and companion(other) == other
    other.controller = None
    assert other.controller is None


@pytest.mark.parametrize("companion", COMPANIONS)
@pytest.mark.parametrize("wrong", [5, unit.KTX21, unit.KTX22Param])
def test_companions_take_a_ktx22_only(companion, wrong):
    obj = wrong() if isinstance(wrong, type) else wrong
    holder = companion()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        companion.from_(obj)
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        holder.controller = obj
    assert vktsim.journal() == []


@pytest.mark.parametrize("companion, method, args", [
    (unit.KTX22Param, "send_command", ("StopPG",)),
    (unit.KTX22Encoder, "encoder_counter", ()),
    (unit.KTX22Sio, "open", ()),
])
def test_a_companion_whose_board_is_gone_gets_a_library_error(companion, method, args, path):
    board = unit.KTX22.from_file(path)
    attached = companion.from_(board)
    del board
    gc.collect()
    assert attached.controller is None and not attached.is_valid
    with pytest.raises(RuntimeError) as caught:
        getattr(attached, method)(*args)
    code, _, function, _ = error_fields(caught.value)
    assert code == 2 and function.endswith("the attached board no longer exists")


# ---- missing objects ------------------------------------------------------------------------------------

@pytest.mark.parametrize("call", [
    lambda: unit.KTX22.dispose(None),
    lambda: unit.KTX22.is_valid.fget(None),
    lambda: unit.KTX22.validate(None, []),
    lambda: unit.KTX22.wait(None, 5),
    lambda: unit.KTX22.wait_event(None, 0, 0, 0),
    lambda: unit.KTX22.pll_reconfig(None),
    lambda: unit.KTX22.lock_id.fset(None, 1),
    lambda: unit.KTX22Param.send_command(None, "StopPG"),
    lambda: unit.KTX22Param.get_param(None, "Width"),
    lambda: unit.KTX22Param.controller.fget(None),
    lambda: unit.KTX22Encoder.encoder_status(None, unit.TxKTX22EncoderStatus()),
    lambda: unit.KTX22Encoder.comp2.fset(None, 1),
    lambda: unit.KTX22Sio.read(None, 4),
    lambda: unit.TxKTX22CaptureStatus.capture_state.fget(None),
    lambda: unit.TxKTX22EncoderStatus.match_counter.fget(None),
])
def test_missing_objects_are_never_touched(call):
    with pytest.raises(RuntimeError) as caught:
        call()
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (2, "operator()")
    assert vktsim.journal() == []


# Members with named arguments do not take None for their object at all.
@pytest.mark.parametrize("call", [
    lambda: unit.KTX22.query_status(None, unit.TxKTX22CaptureStatus()),
    lambda: unit.KTX22.wait_status(None, unit.TxKTX22CaptureStatus()),
    lambda: unit.KTX22.force_trigger(None),
    lambda: unit.KTX22.wait_status(None),
    lambda: unit.KTX22.lock(None, []),
])
def test_members_with_named_arguments_refuse_a_missing_object_as_a_type_error(call):
    with pytest.raises(TypeError):
        call()
    assert vktsim.journal() == []
