# test_counts_parts.py: the user's code opens a board, the test plays the line
import unit
from vktsim_pytest import VktSim

def count_parts(board_id: int) -> int:
    board = unit.SNR11()
    board.open(board_id)
    try:
        return bin(board.read() & 0xFF).count("1")
    finally:
        board.close()

def test_counts_the_parts_on_the_line(vkt_sim: VktSim) -> None:
    vkt_sim.set_inputs("SNR11", 0, 0b1011)
    assert count_parts(0) == 3
    assert "CxSNR11::Close" in [operation for operation, args in vkt_sim.journal()]
