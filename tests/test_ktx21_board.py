"""KTX21 board: registration, overloads, opening and image-list forms; what all
three grabbers share is in test_grabbers.py."""

import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import KTX21_CAMERA_FILE

PATH = str(KTX21_CAMERA_FILE)


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


def test_from_file_with_a_null_path_is_the_library_error():
    with pytest.raises(RuntimeError) as caught:
        unit.KTX21.from_file(None)
    code, _, function, _ = error_fields(caught.value)
    assert code == 3 and function == "CxKTX21::FromFile: no camera file given"


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


# ---- opening and closing -----------------------------------------------------------------

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


# ---- image lists ---------------------------------------------------------------------------

@pytest.fixture
def board():
    return unit.KTX21()


class ImageList(list):
    pass


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
