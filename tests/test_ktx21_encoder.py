"""KTX21Encoder: start_abs and counting on the simulated board; its nine-name
table, properties and refusals are checked in test_grabbers.py."""
import pytest

import unit
import vktsim
from conftest import calls
from grabber_support import capture
from grabber_support import ktx21_small_camera as small_camera


@pytest.fixture
def encoder():
    return unit.KTX21Encoder()


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


def test_the_encoder_counts_while_a_capture_runs(moving):
    board, encoder = moving
    vktsim.set_encoder_speed(board, 10)
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
    vktsim.move_encoder(board, pulses)
    assert encoder.total_counter() == total and encoder.rel_counter() == 5


def test_sampling_counts_every_nth_pulse(moving):
    board, encoder = moving
    encoder.sampling = 4
    for _ in range(3):
        vktsim.move_encoder(board, 3)
    assert encoder.total_counter() == 2


def test_absolute_counter_overflow_and_underflow(moving):
    board, encoder = moving
    encoder.comp2, encoder.init = 9, 8
    encoder.start_abs(True)
    assert encoder.abs_counter() == 8
    vktsim.move_encoder(board, 3)
    assert encoder.abs_counter() == 1 and encoder.is_abs_overflow and not encoder.is_abs_underflow
    encoder.clear_overflow()
    vktsim.move_encoder(board, -2)
    assert encoder.abs_counter() == 9 and encoder.is_abs_underflow and not encoder.is_abs_overflow
    encoder.clear_underflow()
    encoder.clear_abs_counter()
    assert encoder.abs_counter() == 0 and not encoder.is_abs_underflow
    encoder.start_abs(False)
    vktsim.move_encoder(board, 3)
    assert encoder.abs_counter() == 0


def test_settings_are_shared_with_the_board_table(moving):
    board, encoder = moving
    encoder.comp2 = 2**32 - 2
    assert unit.KTX21Param.from_(board).get_param("ENCComp2") == 2**32 - 2
    encoder.set_param("ENCInputCH", 1)
    assert encoder.get_param("ENCInputCH") == 1
    with pytest.raises(RuntimeError, match="Code:3 .*ENCDir 2 is out of range"):
        encoder.dir = 2
