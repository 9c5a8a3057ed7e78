"""MR250 board: registration, overloads, its camera files, opening and lock forms;
what all three grabbers share is in test_grabbers.py."""

import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import MR250_CAMERA_FILE

PATH = str(MR250_CAMERA_FILE)


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


# ---- opening and closing -----------------------------------------------------------------


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


# ---- image lists ---------------------------------------------------------------------------

@pytest.fixture
def board():
    return unit.MR250()


class ImageList(list):
    pass


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
