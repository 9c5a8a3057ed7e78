"""Param companions of the digital-I/O boards: name tables, value kinds and
conversions, registers, properties, attachment to boards."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from dio_tables import EMPTY_BUFFER, MODEL_VALUE, names, refused

MODELS = ["SNR11", "SN2200", "TK560"]
CAST_ERROR = "Unable to cast Python instance of type "


def opened(model, id=0):
    board = getattr(unit, model)()
    board.open(id)
    param = getattr(unit, model + "Param").from_(board)
    return board, param


def case(model, direction):
    return [(model, name, kind) for name, kind in names(model, direction)]


def refused_case(model, direction):
    return [(model, direction, name) for name in refused(model, direction)]


@pytest.mark.parametrize("model, name, kind",
                         [c for m in MODELS for c in case(m, "get")])
def test_get_param_reaches_the_library_with_name_and_kind(model, name, kind):
    board, param = opened(model)
    vktsim.clear_journal()
    value = param.get_param(name)
    assert calls("Cx%sParam::GetParam" % model) == [
        (vktsim.ident(param), name.encode(), EMPTY_BUFFER[kind], MODEL_VALUE[kind])]
    assert isinstance(value, str if kind == "s" else int)


@pytest.mark.parametrize("model, name, kind",
                         [c for m in MODELS for c in case(m, "set")])
def test_set_param_reaches_the_library_with_name_kind_and_value(model, name, kind):
    board, param = opened(model)
    vktsim.clear_journal()
    param.set_param(name, 7)
    assert calls("Cx%sParam::SetParam" % model) == [
        (vktsim.ident(param), name.encode(), 7, MODEL_VALUE[kind])]


@pytest.mark.parametrize("model, direction, name",
                         [c for m in MODELS for d in ("get", "set") for c in refused_case(m, d)])
def test_names_outside_a_direction_raise_status_1_and_call_nothing(model, direction, name):
    board, param = opened(model)
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        if direction == "get":
            param.get_param(name)
        else:
            # The name is refused before the value is looked at.
            param.set_param(name, 1.5)
    code, line, function, file = error_fields(caught.value)
    assert (code, function) == (1, "operator()")
    assert file == "pyvkt/vkt_unit/digital_io.cpp" and line > 0
    assert vktsim.journal() == []


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("name", ["", "Timeout", "DIEdge", "x"])
def test_send_command_always_refuses(model, name):
    board, param = opened(model)
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        param.send_command(name)
    assert error_fields(caught.value)[0::2] == (1, "operator()")
    assert vktsim.journal() == []


def test_the_three_refusals_throw_from_their_own_statements():
    board, param = opened("SNR11")
    lines = set()
    for call in (lambda: param.get_param("x"), lambda: param.set_param("x", 1),
                 lambda: param.send_command("x")):
        with pytest.raises(RuntimeError) as caught:
            call()
        lines.add(error_fields(caught.value)[1])
    assert len(lines) == 3


# ---- value conversions ----------------------------------------------------------------

SIGNED_NAME = {"SNR11": "Version", "SN2200": "Version", "TK560": "Version"}
UNSIGNED_NAME = "DIEnable"


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("value, sent", [(-2147483648, -2147483648), (2147483647, 2147483647),
                                         (0, 0), (-1, -1), (True, 1)])
def test_signed_values_reach_the_library(model, value, sent):
    board, param = opened(model)
    vktsim.script("Cx%sParam::SetParam" % model, value=None)
    param.set_param(SIGNED_NAME[model], value)
    assert calls("Cx%sParam::SetParam" % model)[-1][2:] == (sent, 0x100000008)


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("value, sent", [(0, 0), (0xFFFFFFFF, 0xFFFFFFFF),
                                         (0x80000000, 0x80000000), (True, 1)])
def test_unsigned_values_reach_the_library(model, value, sent):
    board, param = opened(model)
    param.set_param(UNSIGNED_NAME, value)
    assert calls("Cx%sParam::SetParam" % model)[-1][2:] == (sent, 0x100000004)
    assert param.get_param(UNSIGNED_NAME) == sent


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("name, value", [
    ("Version", 2147483648), ("Version", -2147483649), ("Version", 1.5), ("Version", "1"),
    ("Version", None), ("DIEnable", -1), ("DIEnable", 0x100000000), ("DIEnable", 2.0),
    ("DIEnable", b"1"),
])
def test_values_a_kind_refuses_raise_the_cast_error_and_call_nothing(model, name, value):
    board, param = opened(model)
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^" + CAST_ERROR):
        param.set_param(name, value)
    assert vktsim.journal() == []


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("scripted, name, result", [
    (-1, "DeviceID", -1), (0x80000000, "DeviceID", -2147483648),
    (0xFFFFFFFF, "DIEnable", 4294967295), (-1, "DIEnable", 4294967295),
    (0x80000000, "DIEnable", 2147483648),
])
def test_results_keep_their_sign_by_kind(model, scripted, name, result):
    board, param = opened(model)
    vktsim.script("Cx%sParam::GetParam" % model, value=scripted)
    assert param.get_param(name) == result


@pytest.mark.parametrize("scripted, text", [
    (b"", ""), (b"1.2.0", "1.2.0"), (b"caf\xc3\xa9", "caf\u00e9"), (b"a\x00b", "a\x00b"),
])
def test_text_values_are_decoded_as_utf8(scripted, text):
    board, param = opened("SN2200")
    vktsim.script("CxSN2200Param::GetParam", value=scripted)
    assert param.get_param("FpgaVersionName") == text


def test_invalid_utf8_from_the_library_raises_the_decoding_error():
    board, param = opened("SN2200")
    vktsim.script("CxSN2200Param::GetParam", value=b"\xff\xfe")
    with pytest.raises(UnicodeDecodeError):
        param.get_param("DriverVersionName")


def test_version_texts_come_from_the_board():
    board, param = opened("SN2200")
    assert param.get_param("DriverVersionName") == "1.2.0"
    assert param.get_param("DriverVersion") == 0x010200


@pytest.mark.parametrize("model", MODELS)
def test_library_failures_pass_through(model):
    board, param = opened(model)
    vktsim.script("Cx%sParam::GetParam" % model, raises=13)
    with pytest.raises(RuntimeError) as caught:
        param.get_param("DeviceID")
    code, _, function, file = error_fields(caught.value)
    assert (code, function) == (13, "Cx%sParam::GetParam" % model)
    assert file.startswith("sim/")


@pytest.mark.parametrize("model", MODELS)
def test_identity_values_are_read_only_in_the_library_too(model):
    board, param = opened(model, 2)
    assert param.get_param("DeviceID") == 2
    assert param.get_param("DeviceType") == int(getattr(vktsim.ExDevice, model))
    # The by-name path refuses them; the library refuses them as well.
    with pytest.raises(RuntimeError):
        param.set_param("DeviceID", 1)


# ---- properties and registers ----------------------------------------------------------

PROPERTIES = {
    "SNR11": [("timeout", "Timeout", "i"), ("int_edge", "IntEdge", "i")],
    "SN2200": [("timeout", "Timeout", "i"), ("di_enable", "DiEnable", "u"),
               ("di_edge", "DiEdge", "u"), ("di_wait_enable", "DiWaitEnable", "u")],
    "TK560": [("timeout", "Timeout", "i"), ("int_enable", "IntEnable", "i"),
              ("int_edge", "IntEdge", "i"), ("int_wait_enable", "IntWaitEnable", "i"),
              ("di_enable", "DiEnable", "u"), ("di_edge", "DiEdge", "u"),
              ("di_wait_enable", "DiWaitEnable", "u"), ("di_wait_mode", "DiWaitMode", "i")],
}


@pytest.mark.parametrize("model, prop, op, kind",
                         [(m, *p) for m in MODELS for p in PROPERTIES[m]])
def test_properties_reach_their_setter_and_getter(model, prop, op, kind):
    board, param = opened(model)
    value = 0xFFFFFFFF if kind == "u" else 250
    setattr(param, prop, value)
    assert getattr(param, prop) == value
    cls = "Cx%sParam" % model
    assert calls(cls + "::Set" + op) == [(vktsim.ident(param), value)]
    assert calls(cls + "::Get" + op) == [(vktsim.ident(param),)]
    if kind == "u":
        with pytest.raises(TypeError):
            setattr(param, prop, -1)
    else:
        vktsim.script(cls + "::Set" + op, value=None)
        setattr(param, prop, -1)
        assert calls(cls + "::Set" + op)[-1] == (vktsim.ident(param), -1)


@pytest.mark.parametrize("model", MODELS)
def test_registers(model):
    board, param = opened(model)
    param.set_register(3, 0xFFFFFFFF)
    assert param.get_register(3) == 0xFFFFFFFF
    cls = "Cx%sParam" % model
    assert calls(cls + "::SetRegister") == [(vktsim.ident(param), 3, 0xFFFFFFFF)]
    assert calls(cls + "::GetRegister") == [(vktsim.ident(param), 3, 0)]
    vktsim.script(cls + "::GetRegister", value=-1)
    assert param.get_register(0) == 4294967295
    with pytest.raises(TypeError):
        param.get_register(-1)
    with pytest.raises(RuntimeError):
        param.get_register(4096)   # the board has 256 registers


# ---- attachment ----------------------------------------------------------------------------

@pytest.mark.parametrize("model", MODELS)
def test_controller_is_the_board_object(model):
    board, param = opened(model)
    assert param.controller is board
    other = getattr(unit, model + "Param")()
    assert other.controller is None and not other.is_valid
    other.controller = board
    assert other.controller is board and other.is_valid
    assert other == param
    other.controller = None
    assert other.controller is None
    assert (vktsim.ident(other), None) in calls("Cx%sParam::Controller" % model)


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("wrong", ["board of another model", "int", "param"])
def test_companions_refuse_other_objects_with_the_cast_error(model, wrong):
    others = [m for m in MODELS if m != model]
    obj = {"board of another model": getattr(unit, others[0])(), "int": 5,
           "param": getattr(unit, model + "Param")()}[wrong]
    param = getattr(unit, model + "Param")()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^" + CAST_ERROR):
        getattr(unit, model + "Param").from_(obj)
    with pytest.raises(RuntimeError, match="^" + CAST_ERROR):
        param.controller = obj
    assert vktsim.journal() == []


@pytest.mark.parametrize("model", MODELS)
def test_from_none_makes_an_unattached_companion(model):
    param = getattr(unit, model + "Param").from_(None)
    assert calls("Cx%sParam::From" % model) == [(None,)]
    assert param.controller is None
    with pytest.raises(RuntimeError) as caught:
        param.get_param("DeviceID")
    assert error_fields(caught.value)[0] == int(vktsim.ExStatus.NotOpened)


@pytest.mark.parametrize("model", MODELS)
def test_a_companion_outliving_its_board_gets_a_library_error(model):
    board, param = opened(model)
    del board
    assert param.controller is None
    assert not param.is_valid
    for call in (lambda: param.get_param("DeviceID"), lambda: param.get_register(0),
                 lambda: param.timeout):
        with pytest.raises(RuntimeError) as caught:
            call()
        assert error_fields(caught.value)[0] == int(vktsim.ExStatus.NotOpened)


@pytest.mark.parametrize("model", MODELS)
def test_a_companion_of_a_disposed_board_gets_a_library_error(model):
    board, param = opened(model)
    board.dispose()
    assert not board.is_valid and not param.is_valid
    with pytest.raises(RuntimeError) as caught:
        param.get_param("DeviceID")
    assert error_fields(caught.value)[0] == int(vktsim.ExStatus.NotOpened)
