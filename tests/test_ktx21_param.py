"""KTX21Param: the 103-name table in both directions, value kinds and edges."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields

INT32, UINT32, TEXT = 0x100000008, 0x100000004, 0

READ_ONLY = {
    "DeviceID", "DeviceType", "BoardType", "CameraConnect", "DetectTrigger", "Channel",
    "FpgaVersion", "MaskedTrigger", "ExTriggerRef", "TriggerMaskLineNum", "SIOOpenFlag",
    "BayerMode", "ImageWidth", "ImageHeight", "ImageChannels", "ImageDepth", "ImageType",
    "ImagePack", "DriverVersion",
}
TEXTS = ["DriverVersion", "CameraName", "CameraMaker", "CameraMode", "SIOSTX", "SIOETX", "SIORETX"]
NAMES = """DeviceID DeviceType BoardType CameraConnect DetectTrigger Channel Width Height OffsetW
OffsetH OffsetMode OffsetTrgW OffsetTrgH Timeout FpgaVersion Version SendCommandEnable
SendCommandWaitTime Configuration BitWidth RBReverse TapCount Force8 LineSensorEnable EncoderMode
ScanMode DvalEnable PackingMode Alignment16 FormatType XReverse YReverse YStep Arrangement HighSpeed
BlankingTime CC1Enable CC1Mode CC1Positive CC2Enable CC2Mode CC2Positive CC3Enable CC3Mode
CC3Positive CC4Enable CC4Mode CC4Positive EXPEnable EXPMode EXPPositive AutoTrigger ExternalTrigger
InTriggerOrEnable ExTriggerOrEnable ExposureTime TriggerBetaTime TriggerDelayTime TriggerCycleTime
TriggerRetry TriggerMaskTime ExtTriggerSrc MaskedTrigger ExTriggerRef Assert Negate
TriggerMaskTimeMode TriggerMaskLineNum TriggerMode SimTrigger ENCSampling ENCStart ENCComp1 ENCInit
ENCDir ENCSwapAB SIORxMode SIOTxMode SIOBaudRate SIORxBufSize SIOTxBufSize SIOOption SIOSendMode
SIOOpenFlag SIOTimeout BayerMode ImageWidth ImageHeight ImageChannels ImageDepth ImageType ImagePack
ENCInputCH PGRunMode PGStart ENCComp2 DriverVersion CameraName CameraMaker CameraMode SIOSTX SIOETX
SIORETX""".split()


def kind_of(name):
    return UINT32 if name == "ENCComp2" else TEXT if name in TEXTS else INT32


WRITABLE = [n for n in NAMES if n not in READ_ONLY]


def test_table_size():
    assert len(NAMES) == len(set(NAMES)) == 103
    assert len(WRITABLE) == 84
    assert sum(kind_of(n) == INT32 for n in NAMES) == 95
    assert sum(kind_of(n) == INT32 for n in WRITABLE) == 77


@pytest.fixture
def param():
    return unit.KTX21Param()


def scripted_answer(kind):
    return {INT32: (-5, -5), UINT32: (0xFFFFFFFF, 0xFFFFFFFF), TEXT: (b"abc", "abc")}[kind]


@pytest.mark.parametrize("name", NAMES)
def test_every_name_reads_with_its_kind(param, name):
    kind = kind_of(name)
    scripted, expected = scripted_answer(kind)
    vktsim.script("CxKTX21Param::GetParam", value=scripted)
    vktsim.clear_journal()
    result = param.get_param(name)
    assert result == expected and type(result) is type(expected)
    empty = b"" if kind == TEXT else 0
    assert calls("CxKTX21Param::GetParam") == [(vktsim.ident(param), name.encode(), empty, kind)]


@pytest.mark.parametrize("name", WRITABLE)
def test_every_writable_name_writes_with_its_kind(param, name):
    kind = kind_of(name)
    value, seen = {INT32: (-7, -7), UINT32: (4000000000, 4000000000), TEXT: ("abc", b"abc")}[kind]
    vktsim.script("CxKTX21Param::SetParam", value=None)
    vktsim.clear_journal()
    assert param.set_param(name, value) is None
    assert calls("CxKTX21Param::SetParam") == [(vktsim.ident(param), name.encode(), seen, kind)]


def assert_binding_error(caught, function):
    code, line, text, file = error_fields(caught.value)
    assert (code, text) == (1, function)
    assert line > 0 and file.startswith("pyvkt/vkt_unit/") and file.endswith(".cpp")


@pytest.mark.parametrize("name", sorted(READ_ONLY))
def test_read_only_names_are_refused_for_writing(param, name):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        param.set_param(name, object())   # the value is not even converted
    assert_binding_error(caught, "ktx21_set_param")
    assert vktsim.journal() == []


@pytest.mark.parametrize("name", ["width", "WIDTH", "Width ", "", "Width\0", "ENCComp3", "Gain"])
@pytest.mark.parametrize("direction", ["get", "set"])
def test_unknown_names(param, name, direction):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        if direction == "get":
            param.get_param(name)
        else:
            param.set_param(name, 1)
    assert_binding_error(caught, "ktx21_%s_param" % direction)
    assert vktsim.journal() == []


def test_names_may_be_bytes(param):
    vktsim.script("CxKTX21Param::GetParam", value=3)
    assert param.get_param(b"Width") == 3
    with pytest.raises(RuntimeError, match="ktx21_get_param"):
        param.get_param(b"\xffWidth")


@pytest.mark.parametrize("method, args", [("send_command", ("",)), ("send_command", ("Start",))])
def test_send_command_always_refuses(param, method, args):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        getattr(param, method)(*args)
    assert_binding_error(caught, "operator()")
    assert vktsim.journal() == []


@pytest.mark.parametrize("name, value", [
    ("Width", 1.5), ("Width", "5"), ("Width", None), ("Width", 2**31), ("Width", -2**31 - 1),
    ("ENCComp2", -1), ("ENCComp2", 2**32), ("ENCComp2", 0.0),
    ("CameraName", 5), ("CameraName", None), ("CameraName", ["a"]),
])
def test_values_the_kind_refuses_are_cast_errors(param, name, value):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        param.set_param(name, value)
    assert vktsim.journal() == []


@pytest.mark.parametrize("name, value, seen", [
    ("Width", True, 1), ("Width", 2**31 - 1, 2**31 - 1), ("Width", -2**31, -2**31),
    ("ENCComp2", 2**32 - 1, 2**32 - 1), ("ENCComp2", 2**31, 2**31), ("ENCComp2", 0, 0),
    ("CameraName", "caf\u00e9", "caf\u00e9".encode()), ("CameraName", "ab\0cd", b"ab"),
    ("CameraName", b"raw\xff", b"raw\xff"), ("CameraName", "", b""),
])
def test_value_edges_reach_the_library(param, name, value, seen):
    vktsim.script("CxKTX21Param::SetParam", value=None)
    vktsim.clear_journal()
    param.set_param(name, value)
    assert calls("CxKTX21Param::SetParam")[0][2] == seen


@pytest.mark.parametrize("scripted, expected", [
    (2**31, 2**31), (2**32 - 1, 2**32 - 1), (0, 0)])
def test_encc2_reads_unsigned(param, scripted, expected):
    vktsim.script("CxKTX21Param::GetParam", value=scripted)
    assert param.get_param("ENCComp2") == expected


def test_int32_reads_are_sign_extended(param):
    vktsim.script("CxKTX21Param::GetParam", value=0xFFFFFFFF)
    assert param.get_param("ENCComp1") == -1


@pytest.mark.parametrize("scripted, expected", [
    (b"", ""), (b"a\0b", "a\0b"), ("\u00e9".encode(), "\u00e9")])
def test_text_reads_take_every_byte(param, scripted, expected):
    vktsim.script("CxKTX21Param::GetParam", value=scripted)
    assert param.get_param("CameraName") == expected


def test_invalid_utf8_from_the_library_is_a_decode_error(param):
    vktsim.script("CxKTX21Param::GetParam", value=b"\xff\xfe")
    with pytest.raises(UnicodeDecodeError):
        param.get_param("CameraName")


def test_properties_and_registers(tmp_path):
    board = unit.KTX21()
    board.open(0, 0)
    param = unit.KTX21Param.from_(board)
    param.trigger_mode = 1
    param.exposure_time = 1234
    param.trigger_cycle_time = 5000
    assert (param.trigger_mode, param.exposure_time, param.trigger_cycle_time) == (1, 1234, 5000)
    assert param.get_param("ExposureTime") == 1234
    param.set_register(0x40, 0xDEADBEEF)
    vktsim.clear_journal()
    assert param.get_register(0x40) == 0xDEADBEEF
    assert calls("CxKTX21Param::GetRegister") == [(vktsim.ident(param), 0x40, 0)]
    with pytest.raises(TypeError):
        param.set_register(-1, 0)


def test_library_checks_values_and_names_on_a_real_board():
    board = unit.KTX21()
    board.open(1, 0)
    param = unit.KTX21Param.from_(board)
    assert param.get_param("DeviceID") == 1 and param.get_param("DeviceType") == 1
    param.set_param("Width", 100)
    assert param.get_param("ImageWidth") == 100
    param.set_param("CameraName", "x\u00e9")
    assert param.get_param("CameraName") == "x\u00e9"
    with pytest.raises(RuntimeError) as caught:
        param.set_param("Width", 0)
    code, _, function, _ = error_fields(caught.value)
    assert code == 3 and function.startswith("CxKTX21Param::SetParam: Width 0 is out of range")
    closed = unit.KTX21()
    with pytest.raises(RuntimeError, match=r"Code:4 .*not open"):
        unit.KTX21Param.from_(closed).get_param("Width")
    with pytest.raises(RuntimeError, match=r"Code:2 .*no longer exists"):
        unit.KTX21Param.from_(unit.KTX21()).get_param("Width")   # that board is gone at once
