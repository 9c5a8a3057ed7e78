"""KTX21Encoder: its nine-name table, properties and counters."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import ktx21_small_camera as small_camera

INT32, UINT32 = 0x100000008, 0x100000004
TABLE = [("EncoderMode", INT32), ("ENCSampling", INT32), ("ENCStart", INT32), ("ENCComp1", INT32),
         ("ENCInit", INT32), ("ENCDir", INT32), ("ENCSwapAB", INT32), ("ENCInputCH", INT32),
         ("ENCComp2", UINT32)]


@pytest.fixture
def encoder():
    return unit.KTX21Encoder()


@pytest.mark.parametrize("name, kind", TABLE)
def test_table_in_both_directions(encoder, name, kind):
    vktsim.script("CxKTX21Encoder::GetParam", value=0xFFFFFFFF)
    vktsim.script("CxKTX21Encoder::SetParam", value=None)
    assert encoder.get_param(name) == (2**32 - 1 if kind == UINT32 else -1)
    encoder.set_param(name, 7)
    me = vktsim.ident(encoder)
    assert calls("CxKTX21Encoder::GetParam") == [(me, name.encode(), 0, kind)]
    assert calls("CxKTX21Encoder::SetParam") == [(me, name.encode(), 7, kind)]


@pytest.mark.parametrize("call", [
    lambda e: e.get_param("Width"), lambda e: e.set_param("Width", 1),
    lambda e: e.get_param("encodermode"), lambda e: e.set_param("ENCComp3", object()),
    lambda e: e.send_command(""), lambda e: e.send_command("Reset"),
])
def test_binding_errors(encoder, call):
    with pytest.raises(RuntimeError) as caught:
        call(encoder)
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (1, "operator()")
    assert vktsim.journal() == []


@pytest.mark.parametrize("name, value", [("ENCComp2", -1), ("ENCComp2", 2**32), ("ENCDir", 1.0),
                                         ("ENCComp1", 2**31), ("ENCInit", "1")])
def test_values_refused_by_the_conversion(encoder, name, value):
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        encoder.set_param(name, value)
    assert vktsim.journal() == []


PROPERTIES = [("encoder_mode", "EncoderMode"), ("sampling", "Sampling"), ("start", "Start"),
              ("dir", "Dir"), ("comp1", "Comp1"), ("comp2", "Comp2"), ("init", "Init"),
              ("swap_ab", "SwapAb")]


@pytest.mark.parametrize("prop, operation", PROPERTIES)
def test_properties_reach_their_operations(encoder, prop, operation):
    vktsim.script("CxKTX21Encoder::Get" + operation, value=1)
    vktsim.script("CxKTX21Encoder::Set" + operation, value=None)
    assert getattr(encoder, prop) == 1
    setattr(encoder, prop, 0)
    assert calls("CxKTX21Encoder::Set" + operation) == [(vktsim.ident(encoder), 0)]


def test_comp2_is_unsigned(encoder):
    vktsim.script("CxKTX21Encoder::GetComp2", value=2**32 - 1)
    assert encoder.comp2 == 2**32 - 1
    with pytest.raises(TypeError):
        encoder.comp2 = -1
    assert vktsim.journal() == [("CxKTX21Encoder::GetComp2", (vktsim.ident(encoder),))]


@pytest.mark.parametrize("argument, passed", [(1, True), (None, False), (0, False), (True, True)])
def test_start_abs_converts_to_bool(encoder, argument, passed):
    vktsim.script("CxKTX21Encoder::StartAbs", value=None)
    encoder.start_abs(argument)
    assert calls("CxKTX21Encoder::StartAbs") == [(vktsim.ident(encoder), passed)]


# ---- counting on the simulated board -------------------------------------------------------------

@pytest.fixture
def moving(tmp_path):
    board = small_camera(tmp_path)
    return board, unit.KTX21Encoder.from_(board)


def capture(board, frames):
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.num = frames
    board.start()
    board.wait()


def test_the_encoder_counts_while_a_capture_runs(moving):
    board, encoder = moving
    vktsim.ktx21_set_encoder_speed(board, 10)
    encoder.comp1 = 15
    capture(board, 6)
    assert (encoder.total_counter(), encoder.rel_counter(), encoder.match_counter()) == (60, 60, 4)
    encoder.clear_rel_counter()
    assert encoder.rel_counter() == 0 and encoder.total_counter() == 60
    encoder.clear_all_counter()
    assert (encoder.total_counter(), encoder.match_counter()) == (0, 0)


@pytest.mark.parametrize("direction, swap, pulses, total", [
    (0, 0, 5, 5), (1, 0, 5, -5), (0, 1, 5, -5), (1, 1, 5, 5), (0, 0, -5, -5)])
def test_direction_and_swap(moving, direction, swap, pulses, total):
    board, encoder = moving
    encoder.dir, encoder.swap_ab = direction, swap
    vktsim.ktx21_move_encoder(board, pulses)
    assert encoder.total_counter() == total and encoder.rel_counter() == 5


def test_sampling_counts_every_nth_pulse(moving):
    board, encoder = moving
    encoder.sampling = 4
    for _ in range(3):
        vktsim.ktx21_move_encoder(board, 3)
    assert encoder.total_counter() == 2


def test_absolute_counter_overflow_and_underflow(moving):
    board, encoder = moving
    encoder.comp2, encoder.init = 9, 8
    encoder.start_abs(True)
    assert encoder.abs_counter() == 8
    vktsim.ktx21_move_encoder(board, 3)
    assert encoder.abs_counter() == 1 and encoder.is_abs_overflow and not encoder.is_abs_underflow
    encoder.clear_overflow()
    vktsim.ktx21_move_encoder(board, -2)
    assert encoder.abs_counter() == 9 and encoder.is_abs_underflow and not encoder.is_abs_overflow
    encoder.clear_underflow()
    encoder.clear_abs_counter()
    assert encoder.abs_counter() == 0 and not encoder.is_abs_underflow
    encoder.start_abs(False)
    vktsim.ktx21_move_encoder(board, 3)
    assert encoder.abs_counter() == 0


def test_settings_are_shared_with_the_board_table(moving):
    board, encoder = moving
    encoder.comp2 = 2**32 - 2
    assert unit.KTX21Param.from_(board).get_param("ENCComp2") == 2**32 - 2
    encoder.set_param("ENCInputCH", 1)
    assert encoder.get_param("ENCInputCH") == 1
    with pytest.raises(RuntimeError, match="Code:3 .*ENCDir 2 is out of range"):
        encoder.dir = 2


@pytest.mark.parametrize("control, args", [
    (vktsim.ktx21_move_encoder, (1000001,)), (vktsim.ktx21_set_encoder_speed, (-1000001,))])
def test_encoder_controls_refuse_bad_input(moving, control, args):
    board, encoder = moving
    with pytest.raises(ValueError, match="within"):
        control(board, *args)
    with pytest.raises(ValueError, match="not a KTX21 board"):
        control(encoder, 1)
    with pytest.raises(ValueError, match="not open"):
        control(unit.KTX21(), 1)
    assert encoder.total_counter() == 0
