"""The status of one locked image: which frame it holds, and the refusal of an
index past the ring, for the boards that offer it."""
import re

import pytest

import unit
import vktsim

from stress import world

MODELS = ["KTX21", "MR250"]


@pytest.fixture
def board(request, tmp_path):
    model = request.param
    cameras = world.write_camera_files(str(tmp_path))
    made = getattr(unit, model).from_file(cameras[model])
    yield made
    made.dispose()


@pytest.mark.parametrize("board", MODELS, indirect=True)
def test_the_status_of_a_locked_image_names_the_frame_it_holds(board):
    ring = [vktsim.Image(16, 8), vktsim.Image(16, 8)]
    board.lock(ring)
    board.num = 3
    board.start()
    board.wait()
    vktsim.clear_journal()
    # Three frames into a ring of two: frame 3 went back into image 0.
    assert [board.query_status(i).last_frame_no for i in (0, 1)] == [3, 2]
    assert board.query_status(0).total_frame_count == board.query_status().total_frame_count == 3
    name = type(board).__name__
    assert [args[1:] for op, args in vktsim.journal() if op == "Cx%s::QueryStatus" % name][:2] \
        == [(0,), (1,)]
    board.unlock()
    del ring


@pytest.mark.parametrize("board", MODELS, indirect=True)
@pytest.mark.parametrize("index", [2, 7, 2**32 - 1])
def test_an_index_past_the_locked_images_is_refused(board, index):
    ring = [vktsim.Image(16, 8), vktsim.Image(16, 8)]
    board.lock(ring)
    name = type(board).__name__
    with pytest.raises(RuntimeError) as raised:
        board.query_status(index)
    assert re.fullmatch(r"Code:3 Line:\d+ Function:Cx%s::QueryStatus: index %d is beyond the 2 "
                        r"locked images File:\S+" % (name, index), str(raised.value)), \
        str(raised.value)
    board.unlock()
    del ring


# ---- long image lists: more images than the binding keeps on its stack ------------------------

@pytest.mark.parametrize("board", ["KTX21", "KTX22", "MR250"], indirect=True)
@pytest.mark.parametrize("operation", ["Validate", "Lock"])
def test_a_long_image_list_reaches_the_library_whole_and_in_order(board, operation):
    images = [vktsim.Image(16, 8) for _ in range(40)]
    vktsim.clear_journal()
    getattr(board, operation.lower())(images)
    name = "Cx%s::%s" % (type(board).__name__, operation)
    [args] = [args for op, args in vktsim.journal() if op == name]
    assert args[1] == [vktsim.ident(image) for image in images]
    assert args[2] == 40
    if operation == "Lock":
        board.unlock()
    del images


@pytest.mark.parametrize("board", ["KTX21", "KTX22", "MR250"], indirect=True)
@pytest.mark.parametrize("operation", ["validate", "lock"])
def test_a_long_image_list_with_a_stranger_reaches_nothing(board, operation):
    images = [vktsim.Image(16, 8) for _ in range(30)] + ["not an image"]
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match=r"^Unable to cast Python instance of type "
                                           r"<class 'str'> to C\+\+ type 'vkt::CxImage'$"):
        getattr(board, operation)(images)
    assert vktsim.journal() == []
    del images
