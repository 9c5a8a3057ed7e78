"""What the Param companions of the three grabbers share: every name of a
model's tables read and written with its kind, read-only and unknown names,
values a kind refuses or converts, what reads give back, refused commands.
The name tables are the models' own (ktx21_tables, ktx22_tables,
mr250_tables); commands, properties and the simulated boards stay in the
family files."""
from dataclasses import dataclass

import pytest

import ktx21_tables
import ktx22_tables
import mr250_tables
import unit
import vktsim
from conftest import calls, error_fields

INT32, UINT32, TEXT = 0x100000008, 0x100000004, 0


@dataclass
class Params:
    name: str
    cls: type
    readable: list
    writable: list
    read_only: set
    kind_of: object
    byte_name: str               # a name to read as bytes
    unknown: list                # names the model does not have
    refused_values: list         # (name, value) the kind refuses
    value_edges: list            # (name, value, what the library sees)
    reads: list                  # (name, scripted, what get_param gives back)
    refused_commands: list

    def op(self, operation):
        return "Cx%sParam::%s" % (self.name, operation)

    @property
    def file(self):
        return "pyvkt/vkt_unit/%s.cpp" % self.name.lower()


MODELS = [
    Params("KTX21", unit.KTX21Param, ktx21_tables.NAMES, ktx21_tables.WRITABLE,
           ktx21_tables.READ_ONLY, ktx21_tables.kind_of, "Width",
           ["width", "WIDTH", "Width ", "", "Width\0", "ENCComp3", "Gain"],
           [("Width", 1.5), ("Width", "5"), ("Width", None), ("Width", 2**31),
            ("Width", -2**31 - 1), ("ENCComp2", -1), ("ENCComp2", 2**32), ("ENCComp2", 0.0),
            ("CameraName", 5), ("CameraName", None), ("CameraName", ["a"])],
           [("Width", True, 1), ("Width", 2**31 - 1, 2**31 - 1), ("Width", -2**31, -2**31),
            ("ENCComp2", 2**32 - 1, 2**32 - 1), ("ENCComp2", 2**31, 2**31), ("ENCComp2", 0, 0),
            ("CameraName", "caf\u00e9", "caf\u00e9".encode()), ("CameraName", "ab\0cd", b"ab"),
            ("CameraName", b"raw\xff", b"raw\xff"), ("CameraName", "", b"")],
           [("ENCComp2", 2**31, 2**31), ("ENCComp2", 2**32 - 1, 2**32 - 1), ("ENCComp2", 0, 0),
            ("ENCComp1", 0xFFFFFFFF, -1),
            ("CameraName", b"", ""), ("CameraName", b"a\0b", "a\0b"),
            ("CameraName", "\u00e9".encode(), "\u00e9")],
           ["", "Start"]),   # the KTX21 has no commands at all
    Params("KTX22", unit.KTX22Param, ktx22_tables.GET_NAMES, ktx22_tables.SET_NAMES,
           ktx22_tables.READ_ONLY, ktx22_tables.kind_of, "Width",
           # KTX21-only names and near misses are unknown here.
           ["width", "Width ", "", "ENCComp3", "BoardType", "HighSpeed", "ENCInit",
            "SIORxBufSize", "StopPG", "pllreconfig"],
           [("ExposureTime", "100"), ("Width", 1.5), ("Width", None), ("Width", 2**31),
            ("ENCComp2", -1), ("ENCComp2", 2**32), ("CameraName", 5), ("CameraName", None)],
           [("Width", True, 1), ("ENCComp2", 2**32 - 1, 2**32 - 1), ("ENCComp2", 0, 0),
            ("CameraName", "abc", b"abc"), ("CameraName", "ab\0cd", b"ab"),
            ("SIOETX", b"\r", b"\r")],
           [("ENCComp2", 2**31, 2**31), ("ENCComp2", 2**32 - 1, 2**32 - 1),
            ("ENCComp1", 2**32 - 1, -1), ("FpgaVersion", b"a\0b", "a\0b"),
            ("DriverVersion", b"", "")],
           ["stop_pg", "stopPG", "StopPg", "ResetPg", "PllReconfig", "ClearTriggerMaskMode",
            "PLLReconfigStatus", "", "Width"]),
    Params("MR250", unit.MR250Param, mr250_tables.NAMES, mr250_tables.WRITABLE,
           mr250_tables.READ_ONLY, mr250_tables.kind_of, "HCycle",
           # KTX21 names the MR250 does not have, other cases, padding, nothing.
           ["videooffset", "VIDEOOFFSET", "Width ", "", "Width\0", "TriggerCycleTime",
            "BitWidth", "SIOSTX", "ENCComp2"],
           [("VideoOffset", 1.5), ("VideoOffset", "5"), ("VideoOffset", None),
            ("HCycle", 2**31), ("HCycle", -2**31 - 1), ("CameraName", 5), ("CameraName", None),
            ("CameraMode", ["a"])],
           [("VideoOffset", True, 1), ("VideoOffset", -2**31, -2**31),
            ("VCycle", 2**31 - 1, 2**31 - 1), ("CameraName", "caf\u00e9", "caf\u00e9".encode()),
            ("CameraMode", "ab\0cd", b"ab"), ("CameraMaker", b"raw\xff", b"raw\xff")],
           [("VideoOffset", 0xFFFFFFFF, -1), ("ImageSize", b"a\0b", "a\0b")],
           ["selfcalibration", "SelfCalibration ", "", "ResetPG", "SelfCalibration\0",
            b"SELFCALIBRATION"]),
]


def each(rows):
    """(model, *row) for every model and every row, with readable ids."""
    return [pytest.param(m, *row, id="%s-%d" % (m.name, i))
            for m in MODELS for i, row in enumerate(rows(m))]


def assert_binding_error(model, caught, function):
    code, line, text, file = error_fields(caught.value)
    assert (code, text) == (1, function)
    assert line > 0 and file == model.file


@pytest.mark.parametrize("model, name", each(lambda m: [(n,) for n in m.readable]))
def test_every_readable_name_reads_with_its_kind(model, name):
    param = model.cls()
    kind = model.kind_of(name)
    scripted, expected = {INT32: (-5, -5), UINT32: (2**32 - 1, 2**32 - 1),
                          TEXT: (b"abc", "abc")}[kind]
    vktsim.script(model.op("GetParam"), value=scripted)
    vktsim.clear_journal()
    result = param.get_param(name)
    assert result == expected and type(result) is type(expected)
    empty = b"" if kind == TEXT else 0
    assert calls(model.op("GetParam")) == [(vktsim.ident(param), name.encode(), empty, kind)]


@pytest.mark.parametrize("model, name", each(lambda m: [(n,) for n in m.writable]))
def test_every_writable_name_writes_with_its_kind(model, name):
    param = model.cls()
    kind = model.kind_of(name)
    value, seen = {INT32: (-7, -7), UINT32: (4000000000, 4000000000), TEXT: ("abc", b"abc")}[kind]
    vktsim.script(model.op("SetParam"), value=None)
    vktsim.clear_journal()
    assert param.set_param(name, value) is None
    assert calls(model.op("SetParam")) == [(vktsim.ident(param), name.encode(), seen, kind)]


@pytest.mark.parametrize("model, name", each(lambda m: [(n,) for n in sorted(m.read_only)]))
def test_read_only_names_are_refused_for_writing(model, name):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        model.cls().set_param(name, object())   # the value is not even converted
    assert_binding_error(model, caught, "%s_set_param" % model.name.lower())
    assert vktsim.journal() == []


@pytest.mark.parametrize("direction", ["get", "set"])
@pytest.mark.parametrize("model, name", each(lambda m: [(n,) for n in m.unknown]))
def test_unknown_names(model, name, direction):
    param = model.cls()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        if direction == "get":
            param.get_param(name)
        else:
            param.set_param(name, 1)
    assert_binding_error(model, caught, "%s_%s_param" % (model.name.lower(), direction))
    assert vktsim.journal() == []


@pytest.mark.parametrize("model", MODELS, ids=[m.name for m in MODELS])
def test_names_may_be_bytes(model):
    param = model.cls()
    vktsim.script(model.op("GetParam"), value=3)
    assert param.get_param(model.byte_name.encode()) == 3
    with pytest.raises(RuntimeError, match="%s_get_param" % model.name.lower()):
        param.get_param(b"\xff" + model.byte_name.encode())


@pytest.mark.parametrize("model, name, value", each(lambda m: m.refused_values))
def test_values_the_kind_refuses_are_cast_errors(model, name, value):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        model.cls().set_param(name, value)
    assert vktsim.journal() == []


@pytest.mark.parametrize("model, name, value, seen", each(lambda m: m.value_edges))
def test_value_edges_reach_the_library(model, name, value, seen):
    vktsim.script(model.op("SetParam"), value=None)
    vktsim.clear_journal()
    model.cls().set_param(name, value)
    assert calls(model.op("SetParam"))[0][2] == seen


@pytest.mark.parametrize("model, name, scripted, expected", each(lambda m: m.reads))
def test_reads_keep_sign_and_every_byte(model, name, scripted, expected):
    vktsim.script(model.op("GetParam"), value=scripted)
    assert model.cls().get_param(name) == expected


@pytest.mark.parametrize("model", MODELS, ids=[m.name for m in MODELS])
@pytest.mark.parametrize("scripted", [b"\xff", b"\xff\xfe"])
def test_invalid_utf8_from_the_library_is_a_decode_error(model, scripted):
    vktsim.script(model.op("GetParam"), value=scripted)
    with pytest.raises(UnicodeDecodeError):
        model.cls().get_param("CameraName")


@pytest.mark.parametrize("model, name", each(lambda m: [(n,) for n in m.refused_commands]))
def test_other_commands_are_refused(model, name):
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        model.cls().send_command(name)
    assert_binding_error(model, caught, "operator()")
    assert vktsim.journal() == []
