# test_line_timing.py: a part arrives 1.5 s into the test
import pytest
import unit
from vktsim_pytest import VktSim


@pytest.mark.vkt_sim(clock="virtual")
def test_the_part_arrives_at_1500_ms(vkt_sim: VktSim) -> None:
    board = unit.SNR11()
    board.open(0)
    param = unit.SNR11Param.from_(board)
    param.set_param("Timeout", 5000)
    param.set_param("DIWaitEnable", 0x1)
    vkt_sim.schedule_inputs("SNR11", 0, [(1500, 0x1, -1)])
    assert board.wait() == int(unit.EventStatus.DI)
    assert vkt_sim.now_ms() == 1500.0
    board.close()
