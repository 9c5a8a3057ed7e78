"""A station's own timing, tested on the virtual clock: the code under test
calls time.sleep as usual, and the test owns time."""
import time

import pytest

import unit


def reject(board, gate_line, hold_s=0.010):
    """The code under test: holds the reject gate open for `hold_s` seconds
    and reports whether the part-gone sensor (input 2) saw the part leave."""
    board.write(gate_line, True)
    time.sleep(hold_s)
    board.write(gate_line, False)
    return board.read(2)


@pytest.mark.vkt_sim(clock="virtual", patch_time=True)
def test_the_gate_is_held_10_ms_and_sees_the_part_leave(vkt_sim):
    board = unit.SNR11()
    board.open(0)
    vkt_sim.schedule_inputs("SNR11", 0, [(5, 0x4, -1)])   # the part leaves at 5 ms
    began = time.monotonic()
    assert reject(board, 3) is True
    assert time.monotonic() - began == pytest.approx(0.010, abs=1e-9)
    assert vkt_sim.now_ms() == 10.0
    writes = [args[1:] for operation, args in vkt_sim.journal() if operation == "CxSNR11::Write"]
    assert writes == [(3, True), (3, False)]
    board.close()
