"""A user's own tests, run against the simulator with the fixture vkt_sim."""
import numpy as np
import pytest

import unit
import vktsim  # on a machine with boards: the maker's image module


def count_parts(board_id):
    """The code under test: how many of the eight sensors see a part."""
    board = unit.SNR11()
    board.open(board_id)
    try:
        return bin(board.read() & 0xFF).count("1")
    finally:
        board.close()


def brightest_frame(board, frames_wanted):
    """The code under test: the mean grey of the brightest of a few frames."""
    param = unit.KTX21Param.from_(board)
    ring = [vktsim.Image(param.get_param("Width"), param.get_param("Height"))
            for _ in range(frames_wanted)]
    board.lock(ring)
    board.num = frames_wanted
    board.start()
    board.wait()
    board.unlock()
    return max(float(np.asarray(image).mean()) for image in ring)


def test_counts_the_parts_on_the_line(vkt_sim):
    vkt_sim.set_inputs("SNR11", 0, 0b1011)
    assert count_parts(0) == 3
    operations = [operation for operation, args in vkt_sim.journal()]
    assert operations[-1] == "CxSNR11::Close"


def test_a_board_in_use_elsewhere_is_reported(vkt_sim):
    vkt_sim.script("CxSNR11::Open", raises=5)
    with pytest.raises(RuntimeError, match=r"^Code:5 "):
        count_parts(0)


def test_finds_the_brightest_of_our_own_frames(vkt_sim, camera_file):
    vkt_sim.set_clock("virtual")
    board = unit.KTX21.from_file(camera_file)
    frames = [np.full((240, 320), level, np.uint8) for level in (10, 200, 30)]
    vkt_sim.set_frames(board, frames)
    assert brightest_frame(board, 3) == 200.0
    assert vkt_sim.now_ms() > 0


@pytest.fixture
def camera_file(vkt_sim, tmp_path):
    path = tmp_path / "camera.txt"
    path.write_text("[KTX21]\nWidth = 320\nHeight = 240\n")
    return str(path)
