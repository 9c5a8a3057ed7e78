"""Frames supplied by the user (vktsim.set_frames) in place of the test pattern."""
import array

import numpy as np
import pytest

import unit
import vktsim
from grabber_support import SMALL_CAMERAS, small_camera, write_camera_file

MODELS = ["KTX21", "KTX22", "MR250"]


def frames_for(count, height=8, width=16, dtype=np.uint8, seed=1):
    rng = np.random.default_rng(seed)
    high = np.iinfo(dtype).max
    return [rng.integers(0, high, size=(height, width), endpoint=True, dtype=dtype) for _ in range(count)]


def capture(board, count, ring=3, height=8, width=16, depth=8):
    """Captures `count` frames into a ring; returns {frame number: pixels} of
    the frames the ring still holds (frame n went to image (n - 1) mod ring)."""
    images = [vktsim.Image(width, height, depth=depth) for _ in range(ring)]
    board.lock(images)
    board.num = count
    board.start()
    board.wait()
    assert board.query_status().last_frame_no == count
    got = {n: np.asarray(images[(n - 1) % ring]).copy() for n in range(max(1, count - ring + 1), count + 1)}
    board.unlock()
    return got


@pytest.mark.parametrize("model", MODELS)
def test_captures_deliver_the_frames_in_order_cycling(tmp_path, model, clock):
    board = small_camera(tmp_path, model)
    frames = frames_for(3)
    vktsim.set_frames(board, frames)
    for first_capture in (True, False):   # every capture starts again at the first frame
        got = capture(board, 5, ring=5)
        for number in range(1, 6):
            np.testing.assert_array_equal(got[number], frames[(number - 1) % 3])


@pytest.mark.parametrize("bits", [9, 12, 16])
def test_wide_frames_arrive_bit_exact(tmp_path, bits):
    board = small_camera(tmp_path, "KTX21", BitWidth=bits)
    frames = frames_for(2, dtype=np.uint16, seed=bits)
    vktsim.set_frames(board, frames)
    got = capture(board, 2, ring=2, depth=16)
    np.testing.assert_array_equal(got[1], frames[0])
    np.testing.assert_array_equal(got[2], frames[1])


def test_frames_are_copied_at_the_call(tmp_path):
    board = small_camera(tmp_path, "KTX21")
    frame = np.full((8, 16), 7, dtype=np.uint8)
    vktsim.set_frames(board, [frame])
    frame[:] = 99
    del frame
    assert (capture(board, 1, ring=1)[1] == 7).all()


@pytest.mark.parametrize("make", [
    lambda f: f,                                                 # C-contiguous
    lambda f: np.asfortranarray(f),                              # column-major
    lambda f: np.ascontiguousarray(f[::-1, ::-1])[::-1, ::-1],   # negative strides
    lambda f: np.repeat(np.repeat(f, 2, axis=0), 3, axis=1)[::2, ::3],   # gaps between samples
    lambda f: memoryview(f),                                     # not numpy at all
])
def test_any_layout_with_the_buffer_protocol(tmp_path, make):
    board = small_camera(tmp_path, "KTX21")
    frame = frames_for(1)[0]
    given = make(frame)
    vktsim.set_frames(board, (given,))
    np.testing.assert_array_equal(capture(board, 1, ring=1)[1], frame)


def test_a_three_dimensional_array_is_a_sequence_of_frames(tmp_path):
    board = small_camera(tmp_path, "KTX21")
    stack = np.stack(frames_for(2))
    vktsim.set_frames(board, stack)
    got = capture(board, 3, ring=3)
    for number, index in [(1, 0), (2, 1), (3, 0)]:
        np.testing.assert_array_equal(got[number], stack[index])


def test_none_and_reset_bring_the_test_pattern_back(tmp_path):
    board = small_camera(tmp_path, "KTX21")
    pattern = capture(board, 2, ring=2)
    vktsim.set_frames(board, frames_for(1))
    assert not np.array_equal(capture(board, 2, ring=2)[2], pattern[2])
    vktsim.set_frames(board, None)
    np.testing.assert_array_equal(capture(board, 2, ring=2)[2], pattern[2])
    vktsim.set_frames(board, frames_for(1))
    vktsim.reset()
    board = small_camera(tmp_path, "KTX21")
    np.testing.assert_array_equal(capture(board, 2, ring=2)[2], pattern[2])


def test_the_frames_belong_to_the_board_channel(tmp_path):
    first = small_camera(tmp_path, "MR250", 0, 0)
    second = small_camera(tmp_path, "MR250", 0, 1)
    frames = frames_for(1)
    vktsim.set_frames(first, frames)
    np.testing.assert_array_equal(capture(first, 1, ring=1)[1], frames[0])
    assert not np.array_equal(capture(second, 1, ring=1)[1], frames[0])


def test_through_a_video_driving_a_board(tmp_path):
    path = write_camera_file(tmp_path, model="KTX22", Width=16, Height=8, TriggerCycleTime=1000)
    video = unit.Video.from_file(str(path))
    frames = frames_for(2)
    vktsim.set_frames(video, frames)
    image = vktsim.Image(16, 8)
    video.grab(image)
    np.testing.assert_array_equal(np.asarray(image), frames[0])


@pytest.mark.parametrize("change", [{"Width": 17}, {"Height": 4}, {"BitWidth": 10}])
def test_a_camera_file_that_no_longer_fits_drops_the_frames(tmp_path, change):
    board = small_camera(tmp_path, "KTX21")
    pattern = capture(board, 1, ring=1)
    vktsim.set_frames(board, frames_for(1))
    board.setup(str(write_camera_file(tmp_path, "other.txt", **change)))
    board.setup(str(write_camera_file(tmp_path, "back.txt", Width=16, Height=8, BitWidth=8)))
    np.testing.assert_array_equal(capture(board, 1, ring=1)[1], pattern[1])


def test_a_camera_file_that_still_fits_keeps_the_frames(tmp_path):
    board = small_camera(tmp_path, "KTX21")
    frames = frames_for(1)
    vktsim.set_frames(board, frames)
    board.setup(str(write_camera_file(tmp_path, "other.txt", BitWidth=8, ExposureTime=50)))
    np.testing.assert_array_equal(capture(board, 1, ring=1)[1], frames[0])


def test_a_setting_changed_by_name_that_no_longer_fits_drops_the_frames(tmp_path):
    board = small_camera(tmp_path, "KTX21")
    pattern = capture(board, 1, ring=1)
    vktsim.set_frames(board, frames_for(1))
    param = unit.KTX21Param.from_(board)
    param.set_param("Width", 32)
    param.set_param("Width", 16)
    np.testing.assert_array_equal(capture(board, 1, ring=1)[1], pattern[1])


# ---- what does not fit is refused, and changes nothing --------------------------------------

BAD_FRAMES = [
    (lambda: [], ValueError, r"frames is empty; expected at least one frame, or None"),
    (lambda: 5, TypeError, r"frames is a int; expected a sequence of 2-D arrays, or None"),
    (lambda: "frames", TypeError, r"frames is a str; expected a sequence"),
    (lambda: [frames_for(1)[0], 3], TypeError,
     r"frame 1 is a int; expected a 2-D array or another object with the buffer protocol"),
    (lambda: [np.zeros((8, 17), np.uint8)], ValueError,
     r"frame 0 has the shape \(8, 17\); expected \(Height, Width\) = \(8, 16\)"),
    (lambda: [np.zeros((16, 8), np.uint8)], ValueError,
     r"frame 0 has the shape \(16, 8\); expected \(Height, Width\) = \(8, 16\)"),
    (lambda: [np.zeros(128, np.uint8)], ValueError,
     r"frame 0 has 1 dimensions; expected 2, \(Height, Width\) = \(8, 16\)"),
    (lambda: [np.zeros((1, 8, 16), np.uint8)], ValueError, r"frame 0 has 3 dimensions"),
    (lambda: [np.zeros((8, 16), np.uint16)], TypeError,
     r"frame 0 holds samples of format 'H' \(2 bytes each\); expected uint8 for a 8-bit camera"),
    (lambda: [np.zeros((8, 16), np.int8)], TypeError, r"format 'b' \(1 bytes each\); expected uint8"),
    (lambda: [np.zeros((8, 16), np.float32)], TypeError, r"format 'f' \(4 bytes each\)"),
    (lambda: [np.zeros((8, 16), ">u1")], None, None),   # byte order means nothing for one byte
    (lambda: array.array("B", bytes(128)), TypeError, r"frame 0 is a int"),
]


@pytest.mark.parametrize("make, error, text", BAD_FRAMES)
def test_frames_that_do_not_fit_are_refused(tmp_path, make, error, text):
    board = small_camera(tmp_path, "KTX21")
    frames = frames_for(1)
    vktsim.set_frames(board, frames)
    if error is None:
        vktsim.set_frames(board, make())
        return
    with pytest.raises(error, match=text):
        vktsim.set_frames(board, make())
    np.testing.assert_array_equal(capture(board, 1, ring=1)[1], frames[0])   # unchanged


@pytest.mark.parametrize("dtype, text", [
    (np.uint8, r"format 'B' \(1 bytes each\); expected uint16 for a 16-bit camera"),
    (np.dtype(">u2"), r"format '>H' \(2 bytes each\); expected uint16"),
    (np.int16, r"format 'h'"),
])
def test_wide_cameras_take_uint16_in_this_machines_order(tmp_path, dtype, text):
    board = small_camera(tmp_path, "KTX22", BitWidth=12)
    with pytest.raises(TypeError, match=text):
        vktsim.set_frames(board, [np.zeros((8, 16), dtype)])
    vktsim.set_frames(board, [np.zeros((8, 16), np.dtype("<u2"))])


@pytest.mark.parametrize("target, error, text", [
    (lambda: None, TypeError, r"expected a KTX21, KTX22 or MR250 board or a Video driving one, got NoneType"),
    (lambda: 3, TypeError, r"got int$"),
    (lambda: vktsim.Image(16, 8), TypeError, r"or a Video driving one, got vktsim\.Image$"),
    (lambda: board_of("SNR11"), TypeError, r"or a Video driving one, got unit\.SNR11$"),
    (lambda: unit.KTX21(), ValueError, r"the KTX21 board is not open"),
    (lambda: unit.Video(), ValueError, r"the Video drives no board"),
])
def test_only_open_grabber_boards_take_frames(target, error, text):
    obj = target()
    with pytest.raises(error, match=text):
        vktsim.set_frames(obj, frames_for(1))
    with pytest.raises(error, match=text):
        vktsim.set_frames(obj, None)


def board_of(model):
    board = getattr(unit, model)()
    board.open(0)
    return board


def test_a_closed_board_refuses_frames(tmp_path):
    board = small_camera(tmp_path, "MR250", 0, 0)
    board.close()
    with pytest.raises(ValueError, match="the MR250 board is not open"):
        vktsim.set_frames(board, frames_for(1))


# ---- a camera that changes while the frames are read ------------------------------------------

@pytest.mark.parametrize("model, setting, value, camera", [
    ("KTX21", "Width", 8, "8x8 at 8 bits"), ("KTX22", "Height", 4, "16x4 at 8 bits"),
    ("KTX21", "BitWidth", 12, "16x8 at 16 bits"), ("MR250", "Width", 32, "32x8 at 8 bits"),
])
def test_frames_that_no_longer_fit_when_they_are_handed_over_are_refused(
        tmp_path, model, setting, value, camera):
    # The frames are read from Python before they reach the board; a program
    # whose frame sequence reconfigures the camera meanwhile gets them refused
    # against the camera as it is then, not taken at the old size.
    board = small_camera(tmp_path, model, *((0, 0) if model == "MR250" else ()))
    pattern = capture(board, 1, ring=1)
    param = getattr(unit, model + "Param").from_(board)
    frames = frames_for(2)

    class Reconfiguring:
        def __len__(self):
            return len(frames)

        def __getitem__(self, index):
            if index == len(frames) - 1:
                param.set_param(setting, value)
            return frames[index]

    with pytest.raises(ValueError, match="^the frames are 16x8 at 8 bits; the camera gives %s$"
                       % camera):
        vktsim.set_frames(board, Reconfiguring())
    # Nothing was taken: back at the old size the camera gives its test pattern.
    param.set_param(setting, SMALL_CAMERAS[model].get(setting, 8))
    np.testing.assert_array_equal(capture(board, 1, ring=1)[1], pattern[1])
