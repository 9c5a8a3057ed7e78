"""The board-independent Video class: factories, the board it drives,
capture, and parameters by name routed to the table of its device type."""
import gc

import numpy as np
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import write_camera_file

CAST_ERROR = "Unable to cast Python instance of type "

# Per model: a small fast camera, a name only its table has, and its table's
# function texts.
MODELS = {
    "KTX21": dict(settings=dict(Width=16, Height=8, BitWidth=8, TriggerCycleTime=1000,
                                ExposureTime=100, Timeout=2000),
                  param="CxKTX21Param", functions=("ktx21_get_param", "ktx21_set_param")),
    "KTX22": dict(settings=dict(Width=16, Height=8, BitWidth=8, TriggerCycleTime=1000,
                                ExposureTime=100, Timeout=2000),
                  param="CxKTX22Param", functions=("ktx22_get_param", "ktx22_set_param")),
    "MR250": dict(settings=dict(Width=16, Height=8, Timeout=2000),
                  param="CxMR250Param", functions=("mr250_get_param", "mr250_set_param")),
}


def camera_file(tmp_path, model):
    return str(write_camera_file(tmp_path, name=model + ".txt", model=model,
                                 **MODELS[model]["settings"]))


@pytest.fixture(params=sorted(MODELS))
def model(request):
    return request.param


# ---- factories -------------------------------------------------------------------------------

def test_from_file_takes_the_narrow_overloads_with_their_defaults(tmp_path):
    path = camera_file(tmp_path, "KTX21")
    unit.Video.from_file(path, 3)
    unit.Video.from_file(path, 0, 1)
    unit.Video.from_file(camerafile=path, option=2)
    unit.Video.from_file(ch=0, camerafile=path, id=1)
    assert calls("CxVideo::FromFile") == [
        (path.encode(), 3), (path.encode(), 0, 1, -1), (path.encode(), 2),
        (path.encode(), 1, 0, -1)]


def test_from_file_opens_the_model_the_file_names(tmp_path, model):
    video = unit.Video.from_file(camera_file(tmp_path, model))
    assert video.device_type == getattr(vktsim.ExDevice, model)
    board = video.controller
    assert type(board) is getattr(unit, model)
    assert video.controller is board       # the same wrapper while it lives
    assert board.is_opened and video.is_valid


@pytest.mark.parametrize("content, status", [(None, "FileError"), ("Width = 4\n", "FormatError"),
                                             ("[KTX99]\n", "FormatError")])
def test_from_file_failures_are_the_librarys(tmp_path, content, status):
    path = tmp_path / "camera.txt"
    if content is not None:
        path.write_text(content)
    gc.collect()   # garbage of earlier tests would otherwise be freed within the count
    before = vktsim.live_objects()
    with pytest.raises(RuntimeError) as caught:
        unit.Video.from_file(str(path))
    assert error_fields(caught.value)[0] == int(getattr(vktsim.ExStatus, status))
    gc.collect()
    assert vktsim.live_objects() == before


def test_copies_equality_and_hash(tmp_path):
    video = unit.Video.from_file(camera_file(tmp_path, "KTX21"))
    copy = unit.Video(video)
    assert copy == video and not (copy != video)
    assert unit.Video() != video
    assert (unit.Video() == 5) is False
    with pytest.raises(TypeError):
        hash(unit.Video())


# ---- parameters by name ----------------------------------------------------------------------

def test_parameters_go_to_the_table_of_the_device_type(tmp_path, model):
    video = unit.Video.from_file(camera_file(tmp_path, model))
    param = MODELS[model]["param"]
    vktsim.clear_journal()
    assert video.get_param("Width") == 16
    assert [op for op, _ in vktsim.journal()] == [
        "CxVideo::DeviceType", param + "::From", param + "::GetParam"]
    assert calls(param + "::From") == [(vktsim.ident(video),)]
    video.set_param("Width", 8)
    assert video.get_param("Width") == 8


def test_unknown_names_raise_the_reached_tables_error(tmp_path, model):
    video = unit.Video.from_file(camera_file(tmp_path, model))
    get_function, set_function = MODELS[model]["functions"]
    for call, function in ((lambda: video.get_param("NoSuchName"), get_function),
                           (lambda: video.set_param("NoSuchName", 1), set_function)):
        with pytest.raises(RuntimeError) as caught:
            call()
        assert error_fields(caught.value)[0::2] == (1, function)


def test_setting_the_device_type_switches_tables(tmp_path):
    video = unit.Video.from_file(camera_file(tmp_path, "KTX21"))
    video.device_type = vktsim.ExDevice.MR250
    with pytest.raises(RuntimeError) as caught:
        video.get_param("NoSuchName")
    assert error_fields(caught.value)[2] == "mr250_get_param"
    # The MR250 table reaches the library, which finds no MR250 behind it.
    with pytest.raises(RuntimeError) as caught:
        video.get_param("VideoOffset")
    assert error_fields(caught.value)[2].startswith("CxMR250Param::GetParam")


def test_the_temporary_companion_is_freed_even_when_the_table_raises(tmp_path, model):
    video = unit.Video.from_file(camera_file(tmp_path, model))
    gc.collect()
    before = vktsim.live_objects()
    for call in (lambda: video.get_param("NoSuchName"), lambda: video.set_param("NoSuchName", 1),
                 lambda: video.set_param("Width", "text")):
        with pytest.raises(RuntimeError):
            call()
        assert vktsim.live_objects() == before
    video.get_param("Width")
    assert vktsim.live_objects() == before


@pytest.mark.parametrize("device", [0, 3, 8, 5])
def test_other_device_types_raise_status_1_without_a_companion(tmp_path, device):
    video = unit.Video.from_file(camera_file(tmp_path, "KTX21"))
    video.device_type = vktsim.ExDevice(device)
    vktsim.clear_journal()
    for call in (lambda: video.get_param("Width"), lambda: video.set_param("Width", 1)):
        with pytest.raises(RuntimeError) as caught:
            call()
        assert error_fields(caught.value)[0::2] == (1, "operator()")
    assert [op for op, _ in vktsim.journal()] == ["CxVideo::DeviceType"] * 2


@pytest.mark.parametrize("call", [
    lambda: unit.Video.get_param(None, "x"), lambda: unit.Video.set_param(None, "x", 1),
    lambda: unit.Video.send_command(None, "ResetPG"), lambda: unit.Video.dispose(None),
    lambda: unit.Video.is_valid.fget(None), lambda: unit.Video.device_type.fget(None),
    lambda: unit.Video.controller.fset(None, None), lambda: unit.Video.trigger_mode.fset(None, 1),
])
def test_a_missing_object_raises_status_2(call):
    with pytest.raises(RuntimeError) as caught:
        call()
    assert error_fields(caught.value)[0::2] == (2, "operator()")
    assert vktsim.journal() == []


# ---- commands --------------------------------------------------------------------------------

COMMANDS = ["SelfCalibration", "ClearTriggerMask", "ResetPG", "StopPG", "ResetPLLReconfig",
            "ExecutePLLReconfig", "PLLReconfig"]


@pytest.mark.parametrize("name", COMMANDS)
def test_commands_reach_send_command_with_the_command_kind(name):
    video = unit.Video()
    vktsim.script("CxVideo::SendCommand", value=None)
    video.send_command(name)
    assert calls("CxVideo::SendCommand") == [(vktsim.ident(video), name.encode(), None, 0x100000006)]


@pytest.mark.parametrize("name", ["resetpg", "ResetPg", "reset_pg", "ResetPG ", "", "Width"])
def test_other_commands_raise_status_1_and_call_nothing(name):
    video = unit.Video()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        video.send_command(name)
    assert error_fields(caught.value)[0::2] == (1, "operator()")
    assert vktsim.journal() == []


def test_commands_run_on_the_board_of_the_model(tmp_path):
    video = unit.Video.from_file(camera_file(tmp_path, "KTX22"))
    video.send_command("ResetPG")
    assert calls("CxKTX22Param::SendCommand")[-1][1:] == (b"ResetPG", None, 0x100000006)
    ktx21 = unit.Video.from_file(camera_file(tmp_path, "KTX21"))
    with pytest.raises(RuntimeError) as caught:
        ktx21.send_command("ResetPG")
    assert error_fields(caught.value)[0] == int(vktsim.ExStatus.NotSupported)


# ---- the board it drives ---------------------------------------------------------------------

def test_controller_set_to_a_board(tmp_path):
    board = unit.KTX21.from_file(camera_file(tmp_path, "KTX21"))
    video = unit.Video()
    assert video.controller is None and video.device_type == vktsim.ExDevice.Unknown
    video.controller = vktsim.as_interface(board, vktsim.IxModule)
    assert video.controller is board
    assert video.device_type == vktsim.ExDevice.KTX21
    assert video.get_param("Width") == 16
    video.controller = None
    assert video.controller is None
    with pytest.raises(TypeError):
        video.controller = board          # a KTX21 is no IxModule for the binding


def test_a_board_that_is_gone_is_not_driven(tmp_path):
    board = unit.KTX21.from_file(camera_file(tmp_path, "KTX21"))
    video = unit.Video()
    video.controller = vktsim.as_interface(board, vktsim.IxModule)
    del board
    gc.collect()
    assert video.controller is None and not video.is_valid
    with pytest.raises(RuntimeError) as caught:
        video.wait()
    assert error_fields(caught.value)[0] == int(vktsim.ExStatus.NotOpened)


def test_grab_captures_one_frame(tmp_path, model):
    video = unit.Video.from_file(camera_file(tmp_path, model))
    image = vktsim.Image(16, 8)
    video.validate(image)
    video.grab(image)
    assert not video.is_running
    assert np.asarray(image).any()


def test_start_wait_abort_and_status(tmp_path):
    video = unit.Video.from_file(camera_file(tmp_path, "KTX21"))
    image = vktsim.Image(16, 8)
    video.start(image)
    assert video.is_running
    video.abort()
    assert not video.is_running
    assert isinstance(video.status(), int)


def test_settings_properties(tmp_path, model):
    video = unit.Video.from_file(camera_file(tmp_path, model))
    video.exposure_time = 250
    assert video.exposure_time == 250
    video.trigger_mode = 0
    assert video.trigger_mode == 0
    if model == "MR250":
        with pytest.raises(RuntimeError):
            video.trigger_cycle_time = 2000
    else:
        video.trigger_cycle_time = 2000
        assert video.trigger_cycle_time == 2000


def test_the_module_functions_do_not_take_a_video():
    for function in (unit.start, unit.stop, unit.abort, unit.wait, unit.is_running):
        with pytest.raises(TypeError):
            function(unit.Video())


@pytest.mark.parametrize("companion", ["KTX21Param", "KTX21Encoder", "KTX22Param", "MR250Param"])
def test_companions_refuse_a_video(companion):
    with pytest.raises(RuntimeError, match="^" + CAST_ERROR):
        getattr(unit, companion).from_(unit.Video())


def test_dispose_and_ownership(tmp_path, model):
    gc.collect()
    before = vktsim.live_objects()
    video = unit.Video.from_file(camera_file(tmp_path, model))
    copy = unit.Video(video)
    video.dispose()
    assert not video.is_valid and not copy.is_valid
    del video, copy
    gc.collect()
    assert vktsim.live_objects() == before
