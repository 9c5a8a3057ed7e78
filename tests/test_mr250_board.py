"""MR250 board: overloads, image lists, status calls, the record, companions, ownership."""
import gc

import pytest

import unit
import vktsim
from conftest import calls, error_fields
from mr250_support import CAMERA_FILE

PATH = str(CAMERA_FILE)


def test_registration_order():
    names = [n for n in vars(unit.MR250) if not n.startswith("_") or n in ("__eq__", "__ne__")]
    assert names == ["from_file", "__eq__", "__ne__", "dispose", "is_valid", "open", "close",
                     "setup", "save", "save_w", "is_opened", "validate", "lock", "unlock",
                     "start", "stop", "abort", "wait", "is_running", "status", "query_status",
                     "wait_status", "force_trigger", "num", "lock_id"]
    module = list(vars(unit))
    assert module.index("KTX21Sio") < module.index("MR250") < module.index("MR250Param") \
        < module.index("start") < module.index("TxKTX21CaptureStatus") \
        < module.index("TxMR250CaptureStatus") < module.index("Exception")


# ---- from_file and setup ----------------------------------------------------------------

@pytest.mark.parametrize("args, kwargs, recorded", [
    ((PATH,), {}, (PATH.encode(),)),
    ((), {"camerafile": PATH}, (PATH.encode(),)),
    ((PATH, 1, 2), {}, (PATH.encode(), 1, 2)),
    ((), {"ch": 2, "camerafile": PATH, "id": 1}, (PATH.encode(), 1, 2)),
    ((PATH,), {"id": 1, "ch": 2}, (PATH.encode(), 1, 2)),
    ((PATH.encode(),), {}, (PATH.encode(),)),
    ((None,), {}, (None,)),
])
def test_from_file_overloads(args, kwargs, recorded):
    vktsim.script("CxMR250::FromFile", value=None)
    board = unit.MR250.from_file(*args, **kwargs)
    assert isinstance(board, unit.MR250)
    assert calls("CxMR250::FromFile") == [recorded]


@pytest.mark.parametrize("args, kwargs", [
    ((PATH, 3), {}), ((PATH,), {"option": -1}), ((PATH, 1, 2, -1), {}), ((), {}), ((5,), {}),
    ((PATH, 1), {})])
def test_from_file_has_no_option(args, kwargs):
    with pytest.raises(TypeError):
        unit.MR250.from_file(*args, **kwargs)
    assert vktsim.journal() == []


def test_from_file_opens_board_zero_with_the_camera_file():
    board = unit.MR250.from_file(PATH)
    assert board.is_valid and board.is_opened
    param = unit.MR250Param.from_(board)
    assert (param.get_param("Width"), param.get_param("DeviceID")) == (640, 0)
    assert param.get_param("CameraMode") == "EIA"


@pytest.mark.parametrize("content, code, text", [
    ("[KTX21]\nWidth = 16\n", 10, "expected the header [MR250]"),
    ("[MR250]\nBitWidth = 8\n", 10, "'BitWidth' is not a MR250 setting"),
    ("[MR250]\nImageSize = 1\n", 10, "'ImageSize' is read-only"),
    ("[MR250]\nWidth = 769\n", 10, "Width 769 is out of range 1..768"),
])
def test_camera_files_are_checked_against_the_mr250_table(tmp_path, content, code, text):
    path = tmp_path / "bad.txt"
    path.write_text(content)
    with pytest.raises(RuntimeError) as caught:
        unit.MR250.from_file(str(path))
    assert error_fields(caught.value)[0] == code and text in str(caught.value)
    unit.MR250.from_file(PATH)   # the failed file left board 0 closed


def test_setup_and_save_overloads():
    board = unit.MR250()
    for name in ("Setup", "Setup", "Save", "SaveW"):
        vktsim.script("CxMR250::" + name, value=None)
    board.setup(PATH)
    board.setup(PATH.encode())
    board.save("x.txt")
    board.save_w("caf\u00e9.txt")
    ident = vktsim.ident(board)
    assert calls("CxMR250::Setup") == [(ident, PATH.encode()), (ident, PATH.encode())]
    assert calls("CxMR250::Save") == [(ident, b"x.txt")]
    assert calls("CxMR250::SaveW") == [(ident, "caf\u00e9.txt")]


@pytest.mark.parametrize("args, kwargs", [((PATH, -1), {}), ((), {"camerafile": PATH}), ((), {})])
def test_setup_takes_the_path_only(args, kwargs):
    with pytest.raises(TypeError):
        unit.MR250().setup(*args, **kwargs)
    assert vktsim.journal() == []


def test_save_and_setup_round_trip(tmp_path):
    board = unit.MR250.from_file(PATH)
    param = unit.MR250Param.from_(board)
    param.set_param("VideoOffset", -12)
    param.set_param("CameraName", 'a "quoted" name')
    saved = tmp_path / "saved.txt"
    board.save_w(str(saved))
    assert saved.read_text().splitlines()[:2] == ["# MR250 camera file", "[MR250]"]
    param.set_param("VideoOffset", 0)
    param.set_param("CameraName", "other")
    board.setup(str(saved))
    assert param.get_param("VideoOffset") == -12
    assert param.get_param("CameraName") == 'a "quoted" name'


# ---- constructors, equality, lifetime ----------------------------------------------------

def test_copies_refer_to_the_same_board():
    board = unit.MR250.from_file(PATH)
    copy = unit.MR250(board)
    assert copy == board and not (copy != board)
    assert vktsim.ident(copy) != vktsim.ident(board)
    assert unit.MR250() != board and unit.MR250() == unit.MR250()
    assert (board == 5) is False and (board != 5) is True
    with pytest.raises(TypeError):
        hash(board)
    with pytest.raises(TypeError):
        unit.MR250(unit.KTX21())


def test_open_close_dispose_and_busy_boards():
    board = unit.MR250()
    board.open(3, 3)
    with pytest.raises(RuntimeError, match="Code:5 .*board 3 channel 3 is already in use"):
        unit.MR250().open(3, 3)
    unit.KTX21().open(3, 1)   # a KTX21 with the same numbers is another board
    with pytest.raises(RuntimeError, match="Code:6 .*no MR250 board with id 4"):
        unit.MR250().open(4, 0)
    with pytest.raises(RuntimeError, match="Code:3 .*a MR250 board has no channel 4"):
        unit.MR250().open(0, 4)
    board.close()
    assert board.is_valid and not board.is_opened
    board.dispose()
    assert not board.is_valid
    unit.MR250().open(3, 3)


def test_every_object_is_freed_exactly_once():
    gc.collect()
    before = vktsim.live_objects()
    board = unit.MR250.from_file(PATH)
    param = unit.MR250Param.from_(board)
    objects = [board, unit.MR250(board), unit.MR250(), param, unit.MR250Param(),
               unit.MR250Param(param), param.controller, board.query_status()]
    assert param.controller is board
    assert vktsim.live_objects() == before + 6   # records are plain values
    del objects, board, param
    gc.collect()
    assert vktsim.live_objects() == before


# ---- image lists ---------------------------------------------------------------------------

@pytest.fixture
def board():
    return unit.MR250()


class ImageList(list):
    pass


@pytest.mark.parametrize("count", [0, 1, 17])
def test_validate_passes_the_whole_list_once(board, count):
    images = [vktsim.Image(2, 2) for _ in range(count)]
    vktsim.script("CxMR250::Validate", value=None)
    vktsim.clear_journal()
    board.validate(images)
    assert calls("CxMR250::Validate") == [
        (vktsim.ident(board), [vktsim.ident(i) for i in images], count)]


def test_lock_forms(board):
    image = vktsim.Image(2, 2)
    images = ImageList([image, None])
    for _ in range(4):
        vktsim.script("CxMR250::Lock", value=None)
    board.lock(images)
    board.lock(option=6, images=images)
    board.lock(image)
    board.lock(image, 2)
    me, it = vktsim.ident(board), vktsim.ident(image)
    assert calls("CxMR250::Lock") == [(me, [it, None], 2, 0), (me, [it, None], 2, 6),
                                      (me, it, 0), (me, it, 2)]


@pytest.mark.parametrize("method", ["validate", "lock"])
@pytest.mark.parametrize("argument", [(), None, 5])
def test_what_is_not_a_list_fits_no_overload(board, method, argument):
    if argument == ():
        argument = (vktsim.Image(2, 2),)
    with pytest.raises(TypeError):
        getattr(board, method)(argument)
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        getattr(board, method)([vktsim.Image(2, 2), "x"])
    assert vktsim.journal() == []


# ---- capture control and status ------------------------------------------------------------

@pytest.mark.parametrize("method", ["query_status", "wait_status", "abort"])
@pytest.mark.parametrize("value", [-1, 2**32, 1.0])
def test_unsigned_arguments_refuse_what_does_not_fit(board, method, value):
    with pytest.raises(TypeError):
        getattr(board, method)(value)
    assert vktsim.journal() == []


@pytest.mark.parametrize("method, args, operation", [
    ("wait_status", (), "CxMR250::WaitStatus"), ("wait_status", (100,), "CxMR250::WaitStatus"),
    ("query_status", (), "CxMR250::QueryStatus"),
    ("query_status", (2**32 - 1,), "CxMR250::QueryStatus"),
])
def test_status_records(board, method, args, operation):
    vktsim.script(operation, value=(2**32 - 1, 2, 3, -4, 5, 6))
    status = getattr(board, method)(*args)
    assert type(status) is unit.TxMR250CaptureStatus
    assert (status.total_frame_count, status.amount_in_frame, status.last_frame_no,
            status.line_count, status.dma_schedule_peak, status.capture_event) == (
        2**32 - 1, 2, 3, -4, 5, 6)
    assert status == unit.TxMR250CaptureStatus(2**32 - 1, 2, 3, -4, 5, 6)
    assert calls(operation) == [(vktsim.ident(board),) + args]


def test_record_class():
    record = unit.TxMR250CaptureStatus()
    assert record == unit.TxMR250CaptureStatus(0, 0, 0, 0, 0, 0)
    assert record != unit.TxMR250CaptureStatus(0, 0, 0, 0, 1, 0)
    # A KTX21 record is another type: it declines and Python's default applies.
    assert (record == unit.TxKTX21CaptureStatus()) is False
    with pytest.raises(AttributeError):
        record.line_count = 3
    with pytest.raises(TypeError):
        unit.TxMR250CaptureStatus(0, 0, 0, 2**31, 0, 0)
    with pytest.raises(TypeError):
        hash(record)


@pytest.mark.parametrize("member, args, operation, value, result", [
    ("start", (), "CxMR250::Start", None, None),
    ("stop", (), "CxMR250::Stop", None, None),
    ("abort", (), "CxMR250::Abort", None, None),
    ("abort", (5,), "CxMR250::Abort", None, None),
    ("wait", (), "CxMR250::Wait", None, None),
    ("status", (), "CxMR250::Status", -3, -3),
    ("force_trigger", (), "CxMR250::ForceTrigger", None, None),
    ("unlock", (), "CxMR250::Unlock", None, None),
    ("open", (3, 1), "CxMR250::Open", None, None),
    ("close", (), "CxMR250::Close", None, None),
    ("dispose", (), "CxMR250::Dispose", None, None),
])
def test_methods_reach_their_operation(board, member, args, operation, value, result):
    vktsim.script(operation, value=value)
    assert getattr(board, member)(*args) == result
    assert calls(operation) == [(vktsim.ident(board),) + args]


@pytest.mark.parametrize("prop, getter, setter", [
    ("num", "CxMR250::GetNum", "CxMR250::SetNum"),
    ("lock_id", "CxMR250::GetLockId", "CxMR250::SetLockId"),
])
def test_int_properties(board, prop, getter, setter):
    vktsim.script(getter, value=-9)
    vktsim.script(setter, value=None)
    assert getattr(board, prop) == -9
    setattr(board, prop, 12)
    assert calls(setter) == [(vktsim.ident(board), 12)]


@pytest.mark.parametrize("prop, operation", [
    ("is_valid", "CxMR250::IsValid"), ("is_opened", "CxMR250::IsOpened"),
    ("is_running", "CxMR250::IsRunning")])
def test_bool_properties(board, prop, operation):
    vktsim.script(operation, value=True)
    assert getattr(board, prop) is True
    assert getattr(board, prop) is False


# ---- the companion ---------------------------------------------------------------------------

def test_param_attaches_by_from_and_controller():
    board = unit.MR250.from_file(PATH)
    attached = unit.MR250Param.from_(board)
    assert attached.controller is board and attached.is_valid
    assert calls("CxMR250Param::From") == [(vktsim.ident(board),)]
    other = unit.MR250Param()
    assert other.controller is None and not other.is_valid and other != attached
    other.controller = board
    assert other.controller is board and other == attached
    other.controller = None
    assert other.controller is None
    assert unit.MR250Param.from_(None).controller is None


@pytest.mark.parametrize("wrong", [5, "board", unit.KTX21, unit.KTX21Param, unit.MR250Param])
def test_param_refuses_other_objects(wrong):
    obj = wrong() if isinstance(wrong, type) else wrong
    holder = unit.MR250Param()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        unit.MR250Param.from_(obj)
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        holder.controller = obj
    assert vktsim.journal() == []


@pytest.mark.parametrize("method, args", [
    ("get_param", ("Width",)), ("send_command", ("SelfCalibration",)), ("get_register", (0,))])
def test_a_param_whose_board_is_gone_gets_a_library_error(method, args):
    board = unit.MR250.from_file(PATH)
    attached = unit.MR250Param.from_(board)
    del board
    gc.collect()
    assert attached.controller is None and not attached.is_valid
    with pytest.raises(RuntimeError) as caught:
        getattr(attached, method)(*args)
    code, _, function, _ = error_fields(caught.value)
    assert code == 2 and function.endswith("the attached board no longer exists")


# ---- missing objects ------------------------------------------------------------------------------

@pytest.mark.parametrize("call", [
    lambda: unit.MR250.dispose(None),
    lambda: unit.MR250.is_valid.fget(None),
    lambda: unit.MR250.setup(None, "x"),
    lambda: unit.MR250.validate(None, []),
    lambda: unit.MR250.query_status(None, 1),
    lambda: unit.MR250.lock_id.fset(None, 1),
    lambda: unit.MR250.__eq__(None, unit.MR250()),
    lambda: unit.MR250Param.get_param(None, "Width"),
    lambda: unit.MR250Param.set_param(None, "Width", 1),
    lambda: unit.MR250Param.send_command(None, "SelfCalibration"),
    lambda: unit.MR250Param.video_offset.fget(None),
    lambda: unit.MR250Param.get_register(None, 0),
    lambda: unit.MR250Param.controller.fset(None, None),
    lambda: unit.TxMR250CaptureStatus.capture_event.fget(None),
])
def test_missing_objects_are_never_touched(call):
    with pytest.raises(RuntimeError) as caught:
        call()
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (2, "operator()")
    assert vktsim.journal() == []


def test_members_with_named_arguments_refuse_none_as_their_object():
    # pybind11 itself refuses None as the object where arguments are named.
    for call in (lambda: unit.MR250.lock(None, []), lambda: unit.MR250.lock(None, None)):
        with pytest.raises(TypeError):
            call()
    assert vktsim.journal() == []
