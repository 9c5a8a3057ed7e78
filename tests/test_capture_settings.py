"""A running capture keeps the settings it started with: every grabber
refuses a change of any setting with DeviceBusy while it captures, by name, as
a typed property or through a command, as it refuses a camera file then.
Registers and the channel commands stay usable."""
import numpy as np
import pytest

import ktx21_tables
import ktx22_tables
import mr250_tables
import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import small_camera, small_camera_file

FRAMES = 4


@pytest.fixture(autouse=True)
def _virtual(virtual_clock):
    """Captures cost no time."""


def capturing(tmp_path, model):
    """A board of the model capturing FRAMES frames into one locked image."""
    board = small_camera(tmp_path, model)
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.num = FRAMES
    board.start()
    return board, image


def other_value(current):
    """A value of the same kind that differs from `current`."""
    return current + "x" if isinstance(current, str) else current + 1


def assert_busy(attempt, operation, setting):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        attempt()
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (5, "%s: %s cannot change while a capture runs" % (operation, setting))
    assert [op for op, _ in vktsim.journal()][-1] == operation


def assert_capture_unchanged(board, image):
    """The capture goes on with its own settings and ends with its frames."""
    assert board.is_running
    board.wait()
    assert board.query_status().total_frame_count == FRAMES
    assert np.asarray(image).shape == (8, 16)
    param = getattr(unit, type(board).__name__ + "Param").from_(board)
    assert (param.get_param("Width"), param.get_param("Height")) == (16, 8)


WRITABLE = [("KTX21", name) for name in ktx21_tables.WRITABLE] + \
           [("KTX22", name) for name in ktx22_tables.SET_NAMES] + \
           [("MR250", name) for name in mr250_tables.WRITABLE]


@pytest.mark.parametrize("model, name", WRITABLE, ids=["%s-%s" % c for c in WRITABLE])
def test_no_setting_changes_by_name_while_a_capture_runs(tmp_path, model, name):
    board, image = capturing(tmp_path, model)
    param = getattr(unit, model + "Param").from_(board)
    before = param.get_param(name)
    assert_busy(lambda: param.set_param(name, other_value(before)),
                "Cx%sParam::SetParam" % model, name)
    assert param.get_param(name) == before
    assert_capture_unchanged(board, image)
    # Once the capture is over a change is taken (one a step down where a
    # step up is beyond the setting's range).
    after = other_value(before)
    try:
        param.set_param(name, after)
    except RuntimeError as error:
        assert error_fields(error)[0] == 3
        after = before - 1
        param.set_param(name, after)
    assert param.get_param(name) == after
    del param


# Typed properties of every companion: the setting each names, and the
# library operation its setter reaches.
PROPERTIES = [
    ("KTX21", "KTX21Param", "trigger_mode", "TriggerMode", "SetTriggerMode"),
    ("KTX21", "KTX21Param", "exposure_time", "ExposureTime", "SetExposureTime"),
    ("KTX21", "KTX21Param", "trigger_cycle_time", "TriggerCycleTime", "SetTriggerCycleTime"),
    ("KTX21", "KTX21Encoder", "dir", "ENCDir", "SetDir"),
    ("KTX21", "KTX21Encoder", "comp1", "ENCComp1", "SetComp1"),
    ("KTX21", "KTX21Sio", "timeout", "SIOTimeout", "SetTimeout"),
    ("KTX22", "KTX22Param", "trigger_mode", "TriggerMode", "SetTriggerMode"),
    ("KTX22", "KTX22Param", "exposure_time", "ExposureTime", "SetExposureTime"),
    ("KTX22", "KTX22Encoder", "comp2", "ENCComp2", "SetComp2"),
    ("KTX22", "KTX22Sio", "timeout", "SIOTimeout", "SetTimeout"),
    ("MR250", "MR250Param", "video_offset", "VideoOffset", "SetVideoOffset"),
    ("MR250", "MR250Param", "trigger_mode", "TriggerMode", "SetTriggerMode"),
]


@pytest.mark.parametrize("model, companion, prop, setting, operation", PROPERTIES,
                         ids=["%s.%s" % c[1:3] for c in PROPERTIES])
def test_no_typed_setting_changes_while_a_capture_runs(tmp_path, model, companion, prop, setting,
                                                        operation):
    board, image = capturing(tmp_path, model)
    owner = getattr(unit, companion).from_(board)
    before = getattr(owner, prop)
    assert_busy(lambda: setattr(owner, prop, before + 1), "Cx%s::%s" % (companion, operation),
                setting)
    assert getattr(owner, prop) == before
    assert_capture_unchanged(board, image)
    del owner


@pytest.mark.parametrize("model, setter, setting", [
    ("KTX21", "trigger_mode", "TriggerMode"), ("KTX22", "exposure_time", "ExposureTime"),
    ("MR250", "trigger_mode", "TriggerMode"),
])
def test_a_videos_settings_do_not_change_while_it_captures(tmp_path, model, setter, setting):
    video = unit.Video.from_file(small_camera_file(tmp_path, model))
    image = vktsim.Image(16, 8)
    video.start(image)
    before = getattr(video, setter)
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        setattr(video, setter, before + 1)
    assert error_fields(caught.value)[0] == 5
    assert "%s cannot change while a capture runs" % setting in str(caught.value)
    assert getattr(video, setter) == before
    with pytest.raises(RuntimeError, match="Code:5 .*Width cannot change while a capture runs"):
        video.set_param("Width", 32)
    assert video.get_param("Width") == 16
    video.abort()


# Commands: those that change the camera's settings wait for the capture's
# end; the channel operations (the PG unit, trigger masks) are meant for it.
COMMANDS = [("KTX22", "PLLReconfig", 5), ("KTX22", "ExecutePLLReconfig", 5),
            ("KTX22", "ResetPLLReconfig", None), ("KTX22", "StopPG", None),
            ("KTX22", "ResetPG", None), ("KTX22", "ClearTriggerMask", None),
            ("MR250", "SelfCalibration", 5)]


@pytest.mark.parametrize("model, command, refused", COMMANDS, ids=["%s-%s" % c[:2] for c in COMMANDS])
def test_commands_while_a_capture_runs(tmp_path, model, command, refused):
    board, image = capturing(tmp_path, model)
    param = getattr(unit, model + "Param").from_(board)
    settings = {name: param.get_param(name) for name in ("Width", "Height", "TriggerMode")}
    registers = param.get_register(0x100)
    vktsim.clear_journal()
    if refused:
        with pytest.raises(RuntimeError) as caught:
            param.send_command(command)
        assert error_fields(caught.value)[0] == refused
        assert "a capture is running" in str(caught.value)
        assert param.get_register(0x100) == registers
    else:
        param.send_command(command)
        if command == "StopPG":
            param.send_command("ResetPG")
    assert calls("Cx%sParam::SendCommand" % model)[0][1] == command.encode()
    assert {name: param.get_param(name) for name in settings} == settings
    assert_capture_unchanged(board, image)
    del param


@pytest.mark.parametrize("model", ["KTX21", "KTX22", "MR250"])
def test_registers_may_change_while_a_capture_runs(tmp_path, model):
    board, image = capturing(tmp_path, model)
    param = getattr(unit, model + "Param").from_(board)
    param.set_register(0x200, 7)
    assert param.get_register(0x200) == 7
    assert_capture_unchanged(board, image)
    del param
