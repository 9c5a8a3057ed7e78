"""MR250Param: the 61-name table in both directions, value kinds, the one command."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import MR250_CALIBRATION_REGISTER as CALIBRATION_REGISTER
from grabber_support import mr250_small_camera as small_camera

INT32, TEXT, COMMAND = 0x100000008, 0, 0x100000006

NAMES = """TriggerMode VideoOffset FieldDetection ExposureTime ShutterPrecision DeviceID DeviceType
Channel Width Height OffsetW OffsetH OffsetTrgW OffsetTrgH Timeout FpgaVersion Version
NormalModeWaitTime CameraTriggerSyncMode TriggerSharingMode TriggerSharingChannel SyncMode HCycle
VCycle VCycleTrg HDWidth VDWidth ClampStart ClampEnd VideoDelay SyncPhase SyncTerminate PllVDW
PllRDW PllOD TriggerSyncMode TriggerLogic TriggerIndexLogic TriggerInputPin TriggerReadyWait
TriggerVDDelay TriggerIndexTimeout TriggerDelay TriggerDelaySelect ExtTriggerEnabled ExpEnable
ExpLogic ExpStop SimTriggerIn SimTriggerEx ImageWidth ImageHeight FormatType ImageType ImagePack
ImageDepth DriverVersion CameraName CameraMaker CameraMode ImageSize""".split()
TEXTS = {"DriverVersion", "CameraName", "CameraMaker", "CameraMode", "ImageSize"}
READ_ONLY = {"DeviceID", "DeviceType", "Channel", "FpgaVersion", "ExtTriggerEnabled", "ImageWidth",
             "ImageHeight", "FormatType", "ImageType", "ImagePack", "ImageDepth", "DriverVersion",
             "ImageSize"}
WRITABLE = [n for n in NAMES if n not in READ_ONLY]


def kind_of(name):
    return TEXT if name in TEXTS else INT32


def test_table_size():
    assert len(NAMES) == len(set(NAMES)) == 61
    assert sum(kind_of(n) == INT32 for n in NAMES) == 56
    assert sum(kind_of(n) == INT32 for n in WRITABLE) == 45
    assert sum(kind_of(n) == TEXT for n in WRITABLE) == 3


@pytest.fixture
def param():
    return unit.MR250Param()


@pytest.mark.parametrize("name", NAMES)
def test_every_name_reads_with_its_kind(param, name):
    scripted, expected = (b"abc", "abc") if kind_of(name) == TEXT else (-5, -5)
    vktsim.script("CxMR250Param::GetParam", value=scripted)
    vktsim.clear_journal()
    result = param.get_param(name)
    assert result == expected and type(result) is type(expected)
    empty = b"" if kind_of(name) == TEXT else 0
    assert calls("CxMR250Param::GetParam") == [(vktsim.ident(param), name.encode(), empty,
                                                kind_of(name))]


@pytest.mark.parametrize("name", WRITABLE)
def test_every_writable_name_writes_with_its_kind(param, name):
    value, seen = ("abc", b"abc") if kind_of(name) == TEXT else (-7, -7)
    vktsim.script("CxMR250Param::SetParam", value=None)
    vktsim.clear_journal()
    assert param.set_param(name, value) is None
    assert calls("CxMR250Param::SetParam") == [(vktsim.ident(param), name.encode(), seen,
                                                kind_of(name))]


def assert_binding_error(caught, function):
    code, line, text, file = error_fields(caught.value)
    assert (code, text) == (1, function)
    assert line > 0 and file == "pyvkt/vkt_unit/mr250.cpp"


@pytest.mark.parametrize("name", sorted(READ_ONLY))
def test_read_only_names_are_refused_for_writing(param, name):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        param.set_param(name, object())   # the value is not even converted
    assert_binding_error(caught, "mr250_set_param")
    assert vktsim.journal() == []


# KTX21 names the MR250 does not have, other cases, padding, nothing.
@pytest.mark.parametrize("name", ["videooffset", "VIDEOOFFSET", "Width ", "", "Width\0",
                                  "TriggerCycleTime", "BitWidth", "SIOSTX", "ENCComp2"])
@pytest.mark.parametrize("direction", ["get", "set"])
def test_unknown_names(param, name, direction):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        if direction == "get":
            param.get_param(name)
        else:
            param.set_param(name, 1)
    assert_binding_error(caught, "mr250_%s_param" % direction)
    assert vktsim.journal() == []


def test_names_may_be_bytes(param):
    vktsim.script("CxMR250Param::GetParam", value=3)
    assert param.get_param(b"HCycle") == 3
    with pytest.raises(RuntimeError, match="mr250_get_param"):
        param.get_param(b"\xffHCycle")


@pytest.mark.parametrize("name, value", [
    ("VideoOffset", 1.5), ("VideoOffset", "5"), ("VideoOffset", None), ("HCycle", 2**31),
    ("HCycle", -2**31 - 1), ("CameraName", 5), ("CameraName", None), ("CameraMode", ["a"]),
])
def test_values_the_kind_refuses_are_cast_errors(param, name, value):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        param.set_param(name, value)
    assert vktsim.journal() == []


@pytest.mark.parametrize("name, value, seen", [
    ("VideoOffset", True, 1), ("VideoOffset", -2**31, -2**31), ("VCycle", 2**31 - 1, 2**31 - 1),
    ("CameraName", "caf\u00e9", "caf\u00e9".encode()), ("CameraMode", "ab\0cd", b"ab"),
    ("CameraMaker", b"raw\xff", b"raw\xff"),
])
def test_value_edges_reach_the_library(param, name, value, seen):
    vktsim.script("CxMR250Param::SetParam", value=None)
    vktsim.clear_journal()
    param.set_param(name, value)
    assert calls("CxMR250Param::SetParam")[0][2] == seen


def test_int32_reads_are_sign_extended_and_text_reads_take_every_byte(param):
    vktsim.script("CxMR250Param::GetParam", value=0xFFFFFFFF)
    assert param.get_param("VideoOffset") == -1
    vktsim.script("CxMR250Param::GetParam", value=b"a\0b")
    assert param.get_param("ImageSize") == "a\0b"
    vktsim.script("CxMR250Param::GetParam", value=b"\xff")
    with pytest.raises(UnicodeDecodeError):
        param.get_param("CameraName")


# ---- the command --------------------------------------------------------------------------

def test_self_calibration_reaches_send_command(param):
    vktsim.script("CxMR250Param::SendCommand", value=None)
    vktsim.clear_journal()
    assert param.send_command("SelfCalibration") is None
    # The scratch byte is neither set by the module nor read by the library.
    assert calls("CxMR250Param::SendCommand") == [
        (vktsim.ident(param), b"SelfCalibration", None, COMMAND)]


@pytest.mark.parametrize("name", ["selfcalibration", "SelfCalibration ", "", "ResetPG",
                                  "SelfCalibration\0", b"SELFCALIBRATION"])
def test_other_commands_are_refused(param, name):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        param.send_command(name)
    assert_binding_error(caught, "operator()")
    assert vktsim.journal() == []


def test_self_calibration_cancels_the_input_offset_error(tmp_path):
    board = small_camera(tmp_path, board_id=1, ch=1)
    param = unit.MR250Param.from_(board)
    assert param.get_register(CALIBRATION_REGISTER) == 0
    param.send_command("SelfCalibration")
    # Board 1, channel 1 is 3 levels low; the correction is that error.
    assert param.get_register(CALIBRATION_REGISTER) == 2**32 - 3
    param.set_register(CALIBRATION_REGISTER, 0)   # a manual correction is allowed
    assert param.get_register(CALIBRATION_REGISTER) == 0


def test_self_calibration_needs_an_open_idle_board(tmp_path):
    with pytest.raises(RuntimeError, match=r"^Code:2 .*no board is attached"):
        unit.MR250Param().send_command("SelfCalibration")
    board = small_camera(tmp_path)
    param = unit.MR250Param.from_(board)
    image = vktsim.Image(16, 8)
    board.lock([image])
    board.start()
    with pytest.raises(RuntimeError, match=r"^Code:5 .*a capture is running"):
        param.send_command("SelfCalibration")
    board.stop()
    board.close()
    with pytest.raises(RuntimeError, match=r"^Code:4 .*not open"):
        param.send_command("SelfCalibration")


# ---- properties and the simulated board -----------------------------------------------------

@pytest.mark.parametrize("prop, name", [
    ("trigger_mode", "TriggerMode"), ("exposure_time", "ExposureTime"),
    ("video_offset", "VideoOffset")])
def test_properties_are_the_settings_of_the_same_name(tmp_path, prop, name):
    board = small_camera(tmp_path)
    param = unit.MR250Param.from_(board)
    vktsim.clear_journal()
    setattr(param, prop, 1)
    assert getattr(param, prop) == 1 == param.get_param(name)
    setter = "Set" + name
    assert calls("CxMR250Param::" + setter) == [(vktsim.ident(param), 1)]


def test_library_checks_values_and_names_on_a_real_board(tmp_path):
    board = unit.MR250()
    board.open(3, 2)
    param = unit.MR250Param.from_(board)
    assert (param.get_param("DeviceID"), param.get_param("Channel")) == (3, 2)
    assert param.get_param("DeviceType") == 2 and param.get_param("ImageDepth") == 8
    param.set_param("Width", 320)
    param.set_param("Height", 240)
    assert param.get_param("ImageSize") == "320x240" and param.get_param("ImageWidth") == 320
    param.set_param("CameraMode", "CCIR")
    assert param.get_param("CameraMode") == "CCIR"
    with pytest.raises(RuntimeError) as caught:
        param.video_offset = 200
    code, _, function, _ = error_fields(caught.value)
    assert code == 3 and "VideoOffset 200 is out of range -128..127" in function
    closed = unit.MR250()
    with pytest.raises(RuntimeError, match=r"^Code:4 .*not open"):
        unit.MR250Param.from_(closed).get_param("Width")


def test_a_ktx21_board_is_not_an_mr250_board():
    param = unit.MR250Param()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        param.controller = unit.KTX21()
    assert calls("CxMR250Param::Controller") == []
