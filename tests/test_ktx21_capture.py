"""Captures on the simulated KTX21 and its camera files."""
import gc

import numpy as np
import pytest

import unit
import vktsim
from conftest import error_fields
from grabber_support import KTX21_CAMERA_FILE as CAMERA_FILE, write_camera_file
from grabber_support import ktx21_small_camera as small_camera

IDLE, RUNNING, FINISHED, STOPPED, ABORTED = range(5)
FRAME_DONE, ALL_IN, STOP_EVENT, ABORT_EVENT, IMAGE_LOST = 1, 2, 4, 8, 16


def expected_pattern(frame, width, height, bits):
    y, x = np.mgrid[0:height, 0:width]
    pattern = (x + 2 * y + 3 * frame) & ((1 << bits) - 1)
    pattern[0, :4] = [(frame >> (8 * k)) & 0xFF for k in range(4)]
    return pattern


@pytest.mark.parametrize("bits, depth", [(8, 8), (12, 16), (16, 16)])
def test_capture_fills_the_ring_with_the_test_pattern(tmp_path, bits, depth):
    board = small_camera(tmp_path, BitWidth=bits)
    images = [vktsim.Image(16, 8, depth=depth) for _ in range(3)]
    board.lock(images)
    board.num = 5
    board.start()
    status = board.wait_status()
    assert not board.is_running and board.status() == FINISHED
    assert (status.total_frame_count, status.last_frame_no, status.amount_in_frame) == (5, 5, 8)
    assert status.line_count == 40 and status.dma_schedule_peak >= 1
    assert status.capture_event == FRAME_DONE | ALL_IN
    # Frames 1..5 went round a ring of three: images hold 4, 5 and 3.
    for index, frame in enumerate([4, 5, 3]):
        assert board.query_status(index).last_frame_no == frame
        pixels = np.asarray(images[index])
        assert pixels.dtype == (np.uint8 if depth == 8 else np.uint16)
        np.testing.assert_array_equal(pixels, expected_pattern(frame, 16, 8, bits))


def test_lock_id_chooses_the_first_image(tmp_path):
    board = small_camera(tmp_path)
    images = [vktsim.Image(16, 8) for _ in range(3)]
    board.lock(images)
    board.lock_id = 2
    board.num = 1
    board.start()
    board.wait()
    assert [board.query_status(i).last_frame_no for i in range(3)] == [0, 0, 1]
    board.lock_id = 3
    with pytest.raises(RuntimeError, match="Code:3 .*lock id 3 is beyond the 3 locked images"):
        board.start()


@pytest.mark.parametrize("image", [(15, 8, 1, 8), (16, 9, 1, 8), (16, 8, 3, 8), (16, 8, 1, 16)])
def test_images_must_fit_the_camera(tmp_path, image):
    board = small_camera(tmp_path)
    width, height, channels, depth = image
    wrong = vktsim.Image(width, height, channels=channels, depth=depth)
    for attempt in (lambda: board.lock([vktsim.Image(16, 8), wrong]),
                    lambda: board.validate(wrong), lambda: board.lock(wrong)):
        with pytest.raises(RuntimeError) as caught:
            attempt()
        code, _, function, _ = error_fields(caught.value)
        assert code == 3 and "the camera gives 16x8x1 at 8 bits" in function
    with pytest.raises(RuntimeError, match="no images are locked"):
        board.start()


@pytest.mark.parametrize("images, code, text", [
    ([], 3, "no images to lock"), ([None], 3, "the image is missing"),
])
def test_lock_refusals(tmp_path, images, code, text):
    board = small_camera(tmp_path)
    with pytest.raises(RuntimeError) as caught:
        board.lock(images)
    assert error_fields(caught.value)[0] == code and text in str(caught.value)


def test_continuous_capture_wait_and_stop(tmp_path):
    board = small_camera(tmp_path)
    image = vktsim.Image(16, 8)
    board.lock([image])
    board.start()
    assert board.is_running and board.status() == RUNNING
    with pytest.raises(RuntimeError, match="Code:5 .*already running"):
        board.start()
    with pytest.raises(RuntimeError, match="Code:5"):
        board.unlock()
    board.wait()   # the next frame
    first = board.query_status().total_frame_count
    assert first >= 1
    assert board.wait_status(first + 3).total_frame_count >= first + 3
    board.stop()
    status = board.query_status()
    assert board.status() == STOPPED and status.capture_event & STOP_EVENT
    assert status.line_count == 8 * status.total_frame_count
    board.wait()   # nothing to wait for
    with pytest.raises(RuntimeError, match="Code:15 .*will not come"):
        board.wait_status(status.total_frame_count + 1)
    board.unlock()


def test_abort_now_and_after_frames(tmp_path):
    board = small_camera(tmp_path)
    image = vktsim.Image(16, 8)
    board.lock([image])
    board.start()
    board.abort()
    assert board.status() == ABORTED and board.query_status().capture_event & ABORT_EVENT
    board.start()
    board.wait()
    before = board.query_status().total_frame_count
    board.abort(2)
    with pytest.raises(RuntimeError, match="Code:8 .*aborted"):
        board.wait()
    assert board.query_status().total_frame_count == before + 2


@pytest.mark.usefixtures("virtual_clock")
def test_software_trigger_and_time_out(tmp_path):
    board = small_camera(tmp_path, TriggerMode=1, Timeout=50)
    image = vktsim.Image(16, 8)
    board.lock([image])
    board.num = 2
    with pytest.raises(RuntimeError, match="Code:15"):
        board.force_trigger()
    board.start()
    with pytest.raises(RuntimeError) as caught:
        board.wait()
    assert error_fields(caught.value)[:1] == (7,)
    assert "no frame within 50 ms" in str(caught.value)
    board.force_trigger()
    assert board.wait_status(1).total_frame_count == 1
    board.force_trigger()
    board.wait()
    assert board.status() == FINISHED


@pytest.mark.usefixtures("virtual_clock")
def test_a_locked_image_destroyed_during_a_capture(tmp_path):
    board = small_camera(tmp_path, TriggerCycleTime=100000)
    images = [vktsim.Image(16, 8)]
    board.lock(images)
    board.start()
    del images   # the board must not write into freed memory
    gc.collect()
    with pytest.raises(RuntimeError, match="Code:8"):
        board.wait()
    assert board.query_status().capture_event & IMAGE_LOST
    with pytest.raises(RuntimeError, match="locked image 0 no longer exists"):
        board.start()


@pytest.mark.usefixtures("virtual_clock")
def test_a_wait_begun_after_the_image_was_lost_still_fails(tmp_path):
    board = small_camera(tmp_path, TriggerCycleTime=1000)
    images = [vktsim.Image(16, 8)]
    board.lock(images)
    board.start()
    del images
    gc.collect()
    vktsim.advance(1)   # the next frame is due: it finds the image gone
    assert not board.is_running
    for _ in range(2):   # every wait on that capture reports it, until a new start
        with pytest.raises(RuntimeError, match="Code:8 .*a locked image was destroyed"):
            board.wait()


def test_no_frame_is_counted_into_a_destroyed_image(tmp_path):
    # A capture thread that wakes late finds several frames due, and frames
    # that later ones overwrite in the ring are counted without being drawn:
    # such a frame must not count either once its image is gone, or a wait
    # for the next frame would return as if the frame had come.
    board = small_camera(tmp_path, TriggerCycleTime=1000, Timeout=5000)
    for _ in range(100):
        images = [vktsim.Image(16, 8)]
        board.lock(images)
        board.start()
        board.wait()
        del images   # the last reference: the image is freed here
        with pytest.raises(RuntimeError, match="Code:8 "):
            board.wait()
        assert board.query_status().capture_event & IMAGE_LOST
        board.unlock()


def test_closing_and_reset_end_a_capture(tmp_path):
    board = small_camera(tmp_path)
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.start()
    board.close()
    assert not board.is_running and not board.is_opened
    board.open(0, 0)
    board.lock(image)
    board.start()
    vktsim.reset()
    assert not board.is_running and not board.is_opened


def test_capture_of_the_example_camera():
    board = unit.KTX21.from_file(str(CAMERA_FILE))
    images = [vktsim.Image(320, 240) for _ in range(2)]
    board.lock(images)
    board.num = 2
    board.start()
    assert board.wait_status().total_frame_count == 2
    assert np.asarray(images[1])[0, 0] == 2


# ---- camera files ------------------------------------------------------------------------------

def settings_of(board):
    param = unit.KTX21Param.from_(board)
    names = ["Width", "Height", "BitWidth", "TapCount", "TriggerMode", "ExposureTime",
             "TriggerCycleTime", "ENCComp2", "CameraName", "SIOETX"]
    return {name: param.get_param(name) for name in names}


@pytest.mark.parametrize("save", ["save", "save_w"])
def test_a_saved_camera_file_loads_back(tmp_path, save):
    board = small_camera(tmp_path)
    param = unit.KTX21Param.from_(board)
    for name, value in [("Width", 100), ("TapCount", 4), ("ENCComp2", 2**32 - 1),
                        ("CameraName", 'odd "name"\\\n\t#\x01 caf\u00e9'), ("TriggerMode", 2)]:
        param.set_param(name, value)
    path = tmp_path / "saved caf\u00e9.txt"
    getattr(board, save)(str(path))
    saved = settings_of(board)
    board.dispose()
    loaded = unit.KTX21.from_file(str(path), 1, 1)
    assert settings_of(loaded) == saved


def test_setup_applies_a_file_to_an_open_board(tmp_path):
    board = small_camera(tmp_path)
    board.setup(str(write_camera_file(tmp_path, "b.txt", Height=4, CameraName="B")))
    assert settings_of(board)["Height"] == 4 and settings_of(board)["CameraName"] == "B"
    image = vktsim.Image(16, 4)
    board.lock(image)
    board.start()
    with pytest.raises(RuntimeError, match="Code:5 .*running"):
        board.setup(str(CAMERA_FILE))
    with pytest.raises(RuntimeError, match="Code:4"):
        unit.KTX21().setup(str(CAMERA_FILE))


@pytest.mark.parametrize("content, code, problem", [
    (None, 9, "cannot open camera file"),
    ("Width = 5\n", 10, "line 1: expected the header [KTX21]"),
    ("# nothing\n\n", 10, "no [KTX21] header"),
    ("[KTX21]\nGain = 5\n", 10, "line 2: 'Gain' is not a KTX21 setting"),
    ("[KTX21]\nWidth = five\n", 10, "'five' is not a number for Width"),
    ("[KTX21]\nWidth = 99999999999999999999\n", 10, "is not a number"),
    ("[KTX21]\nWidth = 0\n", 10, "Width 0 is out of range 1..16384"),
    ("[KTX21]\nDeviceID = 3\n", 10, "'DeviceID' is read-only"),
    ("[KTX21]\nWidth 5\n", 10, "expected 'Name = value'"),
    ('[KTX21]\nCameraName = "open\n', 10, "malformed text for CameraName"),
    ('[KTX21]\nCameraName = "bad \\q"\n', 10, "malformed text"),
])
def test_bad_camera_files_are_refused_and_leave_the_board_closed(tmp_path, content, code, problem):
    path = tmp_path / "bad.txt"
    if content is not None:
        path.write_text(content)
    with pytest.raises(RuntimeError) as caught:
        unit.KTX21.from_file(str(path))
    status, _, function, _ = error_fields(caught.value)
    assert status == code and function.startswith("CxKTX21::FromFile: ") and problem in function
    unit.KTX21.from_file(str(CAMERA_FILE))   # board 0 was left free


def test_a_bad_file_given_to_setup_changes_nothing(tmp_path):
    board = small_camera(tmp_path)
    before = settings_of(board)
    with pytest.raises(RuntimeError, match="Code:10"):
        board.setup(str(write_camera_file(tmp_path, "x.txt", Height=4, Width=0)))
    assert settings_of(board) == before


def test_save_to_an_unwritable_place(tmp_path):
    board = small_camera(tmp_path)
    with pytest.raises(RuntimeError, match="Code:9 .*cannot write camera file"):
        board.save(str(tmp_path / "no such dir" / "x.txt"))
    with pytest.raises(RuntimeError, match="Code:3 .*no camera file given"):
        board.save(None)
