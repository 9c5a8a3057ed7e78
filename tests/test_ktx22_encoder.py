"""KTX22Encoder: start/stop/reset, the counters and the status record it
fills; its ten-name table, typed settings and refusals are checked in
test_grabbers.py."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import ktx22_small_camera as small_camera


@pytest.fixture
def encoder():
    return unit.KTX22Encoder()


def test_status_record_fields_in_their_order():
    record = unit.TxKTX22EncoderStatus(True, False, 1, 0, 1, 2, -5, 7, 9)
    assert (record.is_abs_overflow, record.is_abs_underflow, record.a_state, record.b_state,
            record.z_state, record.encoder_state, record.encoder_counter, record.rel_counter,
            record.match_counter) == (True, False, 1, 0, 1, 2, -5, 7, 9)
    assert record != unit.TxKTX22EncoderStatus() and record == unit.TxKTX22EncoderStatus(
        True, False, 1, 0, 1, 2, -5, 7, 9)
    with pytest.raises(TypeError):
        unit.TxKTX22EncoderStatus(True, False, 1, 0, 1, 2, -5, -7, 9)
    with pytest.raises(AttributeError):
        record.rel_counter = 1


def test_encoder_status_fills_the_callers_record(encoder):
    record = unit.TxKTX22EncoderStatus()
    vktsim.script("CxKTX22Encoder::EncoderStatus", value=(False, True, 0, 1, 0, 1, -3, 4, 5))
    assert encoder.encoder_status(record) is None
    assert record == unit.TxKTX22EncoderStatus(False, True, 0, 1, 0, 1, -3, 4, 5)
    assert calls("CxKTX22Encoder::EncoderStatus") == [
        (vktsim.ident(encoder), [False, False, 0, 0, 0, 0, 0, 0, 0])]
    with pytest.raises(TypeError):
        encoder.encoder_status()
    with pytest.raises(TypeError):
        encoder.encoder_status(unit.TxKTX22CaptureStatus())


def test_none_as_the_record_is_refused_before_the_library(encoder):
    with pytest.raises(RuntimeError) as caught:
        encoder.encoder_status(None)
    assert error_fields(caught.value)[0::2] == (2, "operator()")
    assert vktsim.journal() == []


@pytest.mark.parametrize("method, operation, value", [
    ("encoder_counter", "CxKTX22Encoder::EncoderCounter", -4),
    ("match_counter", "CxKTX22Encoder::MatchCounter", 2**32 - 1),
    ("rel_counter", "CxKTX22Encoder::RelCounter", 2**31),
    ("start_encoder", "CxKTX22Encoder::StartEncoder", None),
    ("stop_encoder", "CxKTX22Encoder::StopEncoder", None),
    ("reset_encoder", "CxKTX22Encoder::ResetEncoder", None),
])
def test_methods_reach_their_operation(encoder, method, operation, value):
    vktsim.script(operation, value=value)
    assert getattr(encoder, method)() == value
    assert calls(operation) == [(vktsim.ident(encoder),)]


def status_of(encoder):
    record = unit.TxKTX22EncoderStatus()
    encoder.encoder_status(record)
    return record


def test_an_encoder_counts_while_started(tmp_path):
    board = small_camera(tmp_path)
    encoder = unit.KTX22Encoder.from_(board)
    vktsim.move_encoder(board, 50)
    assert encoder.encoder_counter() == 0 and status_of(encoder).encoder_state == 0
    encoder.comp1 = 30
    encoder.start_encoder()
    vktsim.move_encoder(board, 61)
    status = status_of(encoder)
    assert (status.encoder_state, status.encoder_counter, status.rel_counter,
            status.match_counter) == (1, 61, 61, 2)
    assert (status.a_state, status.b_state) == (0, 1)      # 111 edges: quadrature phase 3
    assert (encoder.encoder_counter(), encoder.rel_counter(), encoder.match_counter()) == (61, 61, 2)
    encoder.dir = 1
    vktsim.move_encoder(board, 11)
    assert encoder.encoder_counter() == 50
    encoder.stop_encoder()
    vktsim.move_encoder(board, 100)
    assert encoder.encoder_counter() == 50
    encoder.reset_encoder()
    assert status_of(encoder) == unit.TxKTX22EncoderStatus(False, False, 1, 1, 0, 0, 0, 0, 0)


def test_the_encoder_counter_wraps_at_comp2(tmp_path):
    board = small_camera(tmp_path)
    encoder = unit.KTX22Encoder.from_(board)
    encoder.set_param("ENCComp2", 99)
    encoder.start_encoder()
    vktsim.move_encoder(board, 130)
    status = status_of(encoder)
    assert status.encoder_counter == 30 and status.is_abs_overflow and not status.is_abs_underflow
    vktsim.move_encoder(board, -40)
    assert status_of(encoder).is_abs_underflow and encoder.encoder_counter() == 90


def test_captured_frames_move_the_encoder(tmp_path):
    board = small_camera(tmp_path)
    images = [vktsim.Image(16, 8)]
    board.lock(images)
    encoder = unit.KTX22Encoder.from_(board)
    vktsim.set_encoder_speed(board, 25)
    encoder.start_encoder()
    board.num = 4
    board.start()
    board.wait()
    assert encoder.encoder_counter() == 100 and encoder.rel_counter() == 100
