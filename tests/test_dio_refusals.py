"""Digital-I/O refusals a program meets in use: a Timeout out of range, and a
second board opened on an object that already has one open. Nothing changes
when one is refused."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields

MODELS = ["SNR11", "SN2200", "TK560"]
INVALID_ARGUMENT = int(vktsim.ExStatus.InvalidArgument)
DEVICE_BUSY = int(vktsim.ExStatus.DeviceBusy)


def opened(model, id=0):
    board = getattr(unit, model)()
    board.open(id)
    return board, getattr(unit, model + "Param").from_(board)


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("value", [-1, 3600001, -2**31, 2**31 - 1])
@pytest.mark.parametrize("by_name", [True, False], ids=["set_param", "property"])
def test_a_timeout_outside_0_to_3600000_ms_is_refused(model, value, by_name):
    board, param = opened(model)
    param.timeout = 250
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        if by_name:
            param.set_param("Timeout", value)
        else:
            param.timeout = value
    operation = "Cx%sParam::%s" % (model, "SetParam" if by_name else "SetTimeout")
    assert error_fields(caught.value)[0::2] == (
        INVALID_ARGUMENT, operation + ": Timeout must be 0 to 3600000 ms")
    assert len(calls(operation)) == 1
    assert param.timeout == 250 and param.get_param("Timeout") == 250


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("value", [0, 3600000])
def test_the_timeouts_limits_are_accepted(model, value):
    board, param = opened(model)
    param.set_param("Timeout", value)
    assert param.timeout == value


@pytest.mark.parametrize("model", MODELS)
def test_a_second_board_on_an_open_object_is_refused(model):
    board, _ = opened(model, 0)
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        board.open(1)
    assert error_fields(caught.value)[0::2] == (
        DEVICE_BUSY, "Cx%s::Open: this object already has board 0 open" % model)
    assert calls("Cx%s::Open" % model) == [(vktsim.ident(board), 1)]
    # The object keeps board 0, and board 1 stays free for another object.
    board.write(0x5)
    assert vktsim.outputs(model, 0) == 0x5 and vktsim.outputs(model, 1) == 0
    other = getattr(unit, model)()
    other.open(1)
    assert other.is_opened
    # Opening the board it already has is no change.
    board.open(0)
    assert board.is_opened


# ---- every board member answered by a script --------------------------------------------------

SCRIPTED = [
    ("Dispose", None, lambda board: board.dispose(), None),
    ("IsValid", 0, lambda board: board.is_valid, False),
    ("Open", None, lambda board: board.open(3), None),
    ("Close", None, lambda board: board.close(), None),
    ("IsOpened", 1, lambda board: board.is_opened, True),
    ("Read", 0x1234, lambda board: board.read(), 0x1234),
    ("Write", None, lambda board: board.write(7), None),
    ("WriteStatus", 0x55, lambda board: board.write_status(), 0x55),
    ("Read", 1, lambda board: board.read(4), True),
    ("Write", None, lambda board: board.write(4, True), None),
    ("WriteStatus", 0, lambda board: board.write_status(4), False),
    ("Abort", None, lambda board: board.abort(), None),
]


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("operation, answer, call, result", SCRIPTED,
                         ids=["%s-%d" % (row[0], i) for i, row in enumerate(SCRIPTED)])
def test_a_scripted_board_member_answers_and_leaves_the_wires_alone(model, operation, answer,
                                                                     call, result):
    board = getattr(unit, model)()        # not open: only the script can answer
    vktsim.script("Cx%s::%s" % (model, operation), value=answer)
    vktsim.clear_journal()
    assert call(board) == result
    assert [name for name, _ in vktsim.journal()] == ["Cx%s::%s" % (model, operation)]
    assert vktsim.outputs(model, 0) == 0 and vktsim.outputs(model, 3) == 0
