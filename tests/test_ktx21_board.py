"""KTX21 board: overloads, image lists, status calls, companions, ownership."""
import gc

import pytest

import unit
import vktsim
from conftest import calls, error_fields
from ktx21_support import CAMERA_FILE

PATH = str(CAMERA_FILE)
COMPANIONS = [unit.KTX21Param, unit.KTX21Encoder, unit.KTX21Sio]


def test_registration_order():
    names = [n for n in vars(unit.KTX21) if not n.startswith("_") or n in ("__eq__", "__ne__")]
    assert names == ["from_file", "__eq__", "__ne__", "dispose", "is_valid", "open", "close",
                     "setup", "save", "save_w", "is_opened", "validate", "lock", "unlock",
                     "start", "stop", "abort", "wait", "is_running", "status", "wait_status",
                     "query_status", "force_trigger", "num", "lock_id"]
    module = list(vars(unit))
    assert module.index("KTX21") < module.index("KTX21Encoder") < module.index("KTX21Param") \
        < module.index("KTX21Sio") < module.index("TxKTX21CaptureStatus") < module.index("Exception")
    assert [n for n in vars(unit.TxKTX21CaptureStatus) if not n.startswith("_")] == [
        "total_frame_count", "amount_in_frame", "last_frame_no", "line_count",
        "dma_schedule_peak", "capture_event"]


# ---- from_file and setup ----------------------------------------------------------------

@pytest.mark.parametrize("args, kwargs, recorded", [
    ((PATH,), {}, (PATH.encode(), -1)),
    ((PATH, 3), {}, (PATH.encode(), 3)),
    ((), {"camerafile": PATH}, (PATH.encode(), -1)),
    ((), {"option": 2, "camerafile": PATH}, (PATH.encode(), 2)),
    ((PATH, 1, 2), {}, (PATH.encode(), 1, 2, -1)),
    ((PATH, 1, 2, 7), {}, (PATH.encode(), 1, 2, 7)),
    ((), {"ch": 2, "camerafile": PATH, "id": 1}, (PATH.encode(), 1, 2, -1)),
    ((), {"id": 1, "option": 0, "ch": 2, "camerafile": PATH}, (PATH.encode(), 1, 2, 0)),
    ((PATH.encode(),), {}, (PATH.encode(), -1)),
    ((None,), {}, (None, -1)),
])
def test_from_file_overloads(args, kwargs, recorded):
    vktsim.script("CxKTX21::FromFile", value=None)
    board = unit.KTX21.from_file(*args, **kwargs)
    assert isinstance(board, unit.KTX21)
    assert calls("CxKTX21::FromFile") == [recorded]


def test_from_file_opens_board_zero_with_the_camera_file():
    board = unit.KTX21.from_file(PATH)
    assert board.is_valid and board.is_opened
    assert unit.KTX21Param.from_(board).get_param("Width") == 320


def test_from_file_with_a_null_path_is_the_library_error():
    with pytest.raises(RuntimeError) as caught:
        unit.KTX21.from_file(None)
    code, _, function, _ = error_fields(caught.value)
    assert code == 2 and function == "CxKTX21::FromFile: no camera file given"


@pytest.mark.parametrize("args", [(), (PATH, "1"), (PATH, 1, 2, 3, 4), (5,)])
def test_from_file_refuses_what_fits_no_overload(args):
    with pytest.raises(TypeError):
        unit.KTX21.from_file(*args)
    assert vktsim.journal() == []


def test_setup_and_save_overloads(tmp_path):
    board = unit.KTX21()
    for name in ("Setup", "Save", "SaveW"):
        vktsim.script("CxKTX21::" + name, value=None)
    vktsim.script("CxKTX21::Setup", value=None)
    board.setup(PATH)
    board.setup(camerafile=PATH, option=4)
    board.save("x.txt")
    board.save_w("caf\u00e9.txt")
    ident = vktsim.ident(board)
    assert calls("CxKTX21::Setup") == [(ident, PATH.encode(), -1), (ident, PATH.encode(), 4)]
    assert calls("CxKTX21::Save") == [(ident, b"x.txt")]
    assert calls("CxKTX21::SaveW") == [(ident, "caf\u00e9.txt")]


# ---- constructors, equality, lifetime ----------------------------------------------------

def test_copies_refer_to_the_same_board():
    board = unit.KTX21.from_file(PATH)
    copy = unit.KTX21(board)
    assert copy == board and not (copy != board)
    assert copy is not board and vktsim.ident(copy) != vktsim.ident(board)
    assert unit.KTX21() != board
    assert unit.KTX21() == unit.KTX21()   # neither is bound to a board


@pytest.mark.parametrize("other", [None, 5, unit.KTX21Param])
def test_copy_constructor_takes_a_board_only(other):
    with pytest.raises(TypeError):
        unit.KTX21(other() if other is unit.KTX21Param else other)


def test_equality_with_other_types_and_hash():
    board = unit.KTX21()
    assert (board == 5) is False and (board != 5) is True
    with pytest.raises(TypeError):
        hash(board)


def test_dispose_releases_the_board():
    board = unit.KTX21.from_file(PATH)
    board.dispose()
    assert not board.is_valid and not board.is_opened
    unit.KTX21.from_file(PATH)   # board 0 is free again


def test_open_close_and_busy_boards():
    board = unit.KTX21()
    board.open(2, 1)
    assert board.is_opened
    with pytest.raises(RuntimeError, match="Code:5 .*already open"):
        board.open(2, 1)
    with pytest.raises(RuntimeError, match="Code:5 .*already in use"):
        unit.KTX21().open(2, 1)
    with pytest.raises(RuntimeError, match="Code:6 .*no KTX21 board with id 9"):
        unit.KTX21().open(9, 0)
    board.close()
    assert board.is_valid and not board.is_opened
    with pytest.raises(RuntimeError, match="Code:4"):
        board.close()


def test_every_object_is_freed_exactly_once():
    gc.collect()
    before = vktsim.live_objects()
    board = unit.KTX21.from_file(PATH)
    objects = [board, unit.KTX21(board), unit.KTX21()]
    for companion in COMPANIONS:
        objects += [companion.from_(board), companion(), companion(companion.from_(board))]
    objects.append(unit.KTX21Param.from_(board).controller)
    assert vktsim.live_objects() == before + 12
    del objects, board
    gc.collect()
    assert vktsim.live_objects() == before


# ---- image lists ---------------------------------------------------------------------------

@pytest.fixture
def board():
    return unit.KTX21()


class ImageList(list):
    pass


@pytest.mark.parametrize("count", [0, 1, 3, 16, 17, 100])
def test_validate_passes_the_whole_list_once(board, count):
    images = [vktsim.Image(2, 2) for _ in range(count)]
    vktsim.script("CxKTX21::Validate", value=None)
    vktsim.clear_journal()
    board.validate(images)
    assert calls("CxKTX21::Validate") == [
        (vktsim.ident(board), [vktsim.ident(i) for i in images], count)]


def test_lock_list_forms(board):
    images = ImageList([vktsim.Image(2, 2), None, vktsim.Image(2, 2)])
    for _ in range(3):
        vktsim.script("CxKTX21::Lock", value=None)
    board.lock(images)
    board.lock(images, 5)
    board.lock(option=6, images=images)
    idents = [vktsim.ident(images[0]), None, vktsim.ident(images[2])]
    me = vktsim.ident(board)
    assert calls("CxKTX21::Lock") == [(me, idents, 3, 0), (me, idents, 3, 5), (me, idents, 3, 6)]


def test_single_image_forms(board):
    image = vktsim.Image(2, 2)
    vktsim.script("CxKTX21::Lock", value=None)
    vktsim.script("CxKTX21::Lock", value=None)
    vktsim.script("CxKTX21::Validate", value=None)
    board.lock(image)
    board.lock(image=image, option=2)
    board.validate(image)
    me, it = vktsim.ident(board), vktsim.ident(image)
    assert calls("CxKTX21::Lock") == [(me, it, 0), (me, it, 2)]
    assert calls("CxKTX21::Validate") == [(me, it)]


@pytest.mark.parametrize("method", ["validate", "lock"])
@pytest.mark.parametrize("argument", [(), None, "images", 5])
def test_what_is_not_a_list_fits_no_overload(board, method, argument):
    if argument == ():
        argument = (vktsim.Image(2, 2),)   # a tuple of images
    with pytest.raises(TypeError):
        getattr(board, method)(argument)
    assert vktsim.journal() == []


@pytest.mark.parametrize("method", ["validate", "lock"])
@pytest.mark.parametrize("bad", [5, "x", unit.KTX21])
def test_an_element_of_another_type_is_a_cast_error(board, method, bad):
    element = bad() if bad is unit.KTX21 else bad
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        getattr(board, method)([vktsim.Image(2, 2), element])
    assert vktsim.journal() == []


# ---- capture control and status ------------------------------------------------------------

def test_abort_overloads(board):
    vktsim.script("CxKTX21::Abort", value=None)
    vktsim.script("CxKTX21::Abort", value=None)
    board.abort()
    board.abort(5)
    assert calls("CxKTX21::Abort") == [(vktsim.ident(board),), (vktsim.ident(board), 5)]
    with pytest.raises(TypeError):
        board.abort(-1)


@pytest.mark.parametrize("method", ["query_status", "wait_status", "abort"])
@pytest.mark.parametrize("value", [-1, 2**32, 1.0])
def test_unsigned_arguments_refuse_what_does_not_fit(board, method, value):
    with pytest.raises(TypeError):
        getattr(board, method)(value)
    assert vktsim.journal() == []


@pytest.mark.parametrize("method, args, operation, recorded", [
    ("wait_status", (), "CxKTX21::WaitStatus", ()),
    ("wait_status", (7,), "CxKTX21::WaitStatus", (7,)),
    ("query_status", (), "CxKTX21::QueryStatus", ()),
    ("query_status", (2**32 - 1,), "CxKTX21::QueryStatus", (2**32 - 1,)),
])
def test_status_records(board, method, args, operation, recorded):
    vktsim.script(operation, value=(2**32 - 1, 2, 3, -4, 5, 6))
    status = getattr(board, method)(*args)
    assert isinstance(status, unit.TxKTX21CaptureStatus)
    assert (status.total_frame_count, status.amount_in_frame, status.last_frame_no,
            status.line_count, status.dma_schedule_peak, status.capture_event) == (
        2**32 - 1, 2, 3, -4, 5, 6)
    assert status == unit.TxKTX21CaptureStatus(2**32 - 1, 2, 3, -4, 5, 6)
    assert calls(operation) == [(vktsim.ident(board),) + recorded]


def test_record_class():
    record = unit.TxKTX21CaptureStatus()
    assert record == unit.TxKTX21CaptureStatus(0, 0, 0, 0, 0, 0)
    assert record != unit.TxKTX21CaptureStatus(0, 0, 0, 0, 0, 1)
    assert (record == 0) is False
    with pytest.raises(AttributeError):
        record.line_count = 3
    with pytest.raises(TypeError):
        unit.TxKTX21CaptureStatus(-1, 0, 0, 0, 0, 0)
    with pytest.raises(TypeError):
        hash(record)


@pytest.mark.parametrize("member, args, operation, value, result", [
    ("start", (), "CxKTX21::Start", None, None),
    ("stop", (), "CxKTX21::Stop", None, None),
    ("wait", (), "CxKTX21::Wait", None, None),
    ("status", (), "CxKTX21::Status", -3, -3),
    ("force_trigger", (), "CxKTX21::ForceTrigger", None, None),
    ("unlock", (), "CxKTX21::Unlock", None, None),
    ("open", (3, 1), "CxKTX21::Open", None, None),
    ("close", (), "CxKTX21::Close", None, None),
    ("dispose", (), "CxKTX21::Dispose", None, None),
])
def test_methods_reach_their_operation(board, member, args, operation, value, result):
    vktsim.script(operation, value=value)
    assert getattr(board, member)(*args) == result
    assert calls(operation) == [(vktsim.ident(board),) + args]


@pytest.mark.parametrize("prop, getter, setter", [
    ("num", "CxKTX21::GetNum", "CxKTX21::SetNum"),
    ("lock_id", "CxKTX21::GetLockId", "CxKTX21::SetLockId"),
])
def test_int_properties(board, prop, getter, setter):
    vktsim.script(getter, value=-9)
    vktsim.script(setter, value=None)
    assert getattr(board, prop) == -9
    setattr(board, prop, 12)
    assert calls(setter) == [(vktsim.ident(board), 12)]
    with pytest.raises(TypeError):
        setattr(board, prop, 2**31)


@pytest.mark.parametrize("prop, operation", [
    ("is_valid", "CxKTX21::IsValid"), ("is_opened", "CxKTX21::IsOpened"),
    ("is_running", "CxKTX21::IsRunning")])
def test_bool_properties(board, prop, operation):
    vktsim.script(operation, value=True)
    assert getattr(board, prop) is True
    assert getattr(board, prop) is False


# ---- companions ----------------------------------------------------------------------------------

@pytest.mark.parametrize("companion", COMPANIONS)
def test_companions_attach_by_from_and_controller(companion):
    board = unit.KTX21.from_file(PATH)
    attached = companion.from_(board)
    assert attached.controller is board and attached.is_valid
    assert calls(companion.__name__.replace("KTX21", "CxKTX21", 1) + "::From") == [
        (vktsim.ident(board),)]
    other = companion()
    assert other.controller is None and not other.is_valid and other != attached
    other.controller = board
    assert other.controller is board and other == attached
    assert companion(other) == other
    other.controller = None
    assert other.controller is None
    nothing = companion.from_(None)
    assert nothing.controller is None


@pytest.mark.parametrize("companion", COMPANIONS)
@pytest.mark.parametrize("wrong", [5, "board", unit.KTX21Param, unit.KTX21Sio])
def test_companions_refuse_other_objects(companion, wrong):
    # The generic Video class does not exist yet; any non-KTX21 object is refused.
    obj = wrong() if isinstance(wrong, type) else wrong
    holder = companion()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        companion.from_(obj)
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        holder.controller = obj
    assert vktsim.journal() == []


@pytest.mark.parametrize("companion, method, args", [
    (unit.KTX21Param, "get_param", ("Width",)),
    (unit.KTX21Encoder, "total_counter", ()),
    (unit.KTX21Sio, "open", ()),
])
def test_a_companion_whose_board_is_gone_gets_a_library_error(companion, method, args):
    board = unit.KTX21.from_file(PATH)
    attached = companion.from_(board)
    del board
    gc.collect()
    assert attached.controller is None and not attached.is_valid
    with pytest.raises(RuntimeError) as caught:
        getattr(attached, method)(*args)
    code, _, function, _ = error_fields(caught.value)
    assert code == 2 and function.endswith("the attached board no longer exists")


# ---- missing objects ------------------------------------------------------------------------------

@pytest.mark.parametrize("call", [
    lambda: unit.KTX21.dispose(None),
    lambda: unit.KTX21.is_valid.fget(None),
    lambda: unit.KTX21.start(None),
    lambda: unit.KTX21.validate(None, []),
    lambda: unit.KTX21.num.fset(None, 1),
    lambda: unit.KTX21Param.get_param(None, "Width"),
    lambda: unit.KTX21Param.get_register(None, 0),
    lambda: unit.KTX21Param.controller.fget(None),
    lambda: unit.KTX21Encoder.set_param(None, "ENCDir", 1),
    lambda: unit.KTX21Encoder.comp2.fget(None),
    lambda: unit.KTX21Sio.read(None, 4),
    lambda: unit.KTX21Sio.read_byte(None),
    lambda: unit.TxKTX21CaptureStatus.line_count.fget(None),
])
def test_missing_objects_are_never_touched(call):
    with pytest.raises(RuntimeError) as caught:
        call()
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (2, "operator()")
    assert vktsim.journal() == []
