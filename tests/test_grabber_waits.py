"""What every grabber's waits report in each state of a capture: never
started, running, finished, stopped, aborted, and after the board was
disposed or closed. A wait that cannot end well says so (NotRunning, Aborted,
NotOpened); one on a capture that took its frames or was stopped succeeds."""
import pytest

import unit
import vktsim
from conftest import error_fields
from grabber_support import small_camera, small_camera_file

FRAMES = 3   # frames a capture of the tests takes (one per ms on the virtual clock)
OK = object()


@pytest.fixture(autouse=True)
def _virtual(virtual_clock):
    """Waits and their time-outs cost no time."""


def into_state(board, state):
    """Takes a board with a locked image and `num` FRAMES into `state`."""
    if state == "never started":
        return
    if state == "stopped":
        board.num = 0
    board.start()
    if state == "finished":
        board.wait()
        assert board.status() == 2
    elif state == "stopped":
        board.stop()
    elif state == "aborted":
        board.abort()
    elif state == "disposed":
        board.dispose()
    elif state == "closed":
        board.close()


def board_in(tmp_path, model, state):
    board = small_camera(tmp_path, model)
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.num = FRAMES
    into_state(board, state)
    return board, image


def ktx22_record_wait(board):
    record = unit.TxKTX22CaptureStatus()
    ended = board.wait_status(record, 50)
    return ended, record.total_frame_count


# Each wait form: its name, the library operation it reaches, and how it is
# called (its result summed up as a plain value).
WAIT = ("wait()", "Wait", lambda b: b.wait())
WAIT_STATUS = ("wait_status()", "WaitStatus", lambda b: b.wait_status().total_frame_count)
WAIT_FRAME = ("wait_status(2)", "WaitStatus", lambda b: b.wait_status(2).total_frame_count)
TIMED_WAIT = ("wait(50)", "Wait", lambda b: b.wait(50))
RECORD_WAIT = ("wait_status(record, 50)", "WaitStatus", ktx22_record_wait)
EVENT_WAIT = ("wait_event(0, 50, 0)", "WaitEvent", lambda b: b.wait_event(0, 50, 0))

FORMS = {"KTX21": [WAIT, WAIT_STATUS, WAIT_FRAME],
         "MR250": [WAIT, WAIT_STATUS, WAIT_FRAME],
         "KTX22": [WAIT, TIMED_WAIT, WAIT_STATUS, RECORD_WAIT, EVENT_WAIT]}

NOT_STARTED = (15, "no capture was started")
ABORTED = (8, "the capture was aborted")
NOT_OPEN = (4, "the board is not open")

# What each form reports in each state: a result, or (status, text).
EXPECTED = {
    "never started": {"wait()": NOT_STARTED, "wait_status()": NOT_STARTED,
                      "wait_status(2)": (15, "frame 2 will not come: no capture is running"),
                      "wait(50)": NOT_STARTED, "wait_status(record, 50)": NOT_STARTED,
                      "wait_event(0, 50, 0)": False},
    "running": {"wait()": None, "wait_status()": FRAMES, "wait_status(2)": 2, "wait(50)": True,
                "wait_status(record, 50)": (True, FRAMES), "wait_event(0, 50, 0)": True},
    "finished": {"wait()": None, "wait_status()": FRAMES, "wait_status(2)": FRAMES,
                 "wait(50)": True, "wait_status(record, 50)": (True, FRAMES),
                 "wait_event(0, 50, 0)": False},
    "stopped": {"wait()": None, "wait_status()": 0,
                "wait_status(2)": (15, "frame 2 will not come: no capture is running"),
                "wait(50)": True, "wait_status(record, 50)": (True, 0),
                "wait_event(0, 50, 0)": False},
    "aborted": {"wait()": ABORTED, "wait_status()": ABORTED, "wait_status(2)": ABORTED,
                "wait(50)": ABORTED, "wait_status(record, 50)": ABORTED,
                "wait_event(0, 50, 0)": False},
    "disposed": {"wait()": NOT_OPEN, "wait_status()": NOT_OPEN, "wait_status(2)": NOT_OPEN,
                 "wait(50)": NOT_OPEN, "wait_status(record, 50)": NOT_OPEN,
                 "wait_event(0, 50, 0)": NOT_OPEN},
}
EXPECTED["closed"] = EXPECTED["disposed"]
STATES = list(EXPECTED)


def outcome(call):
    """What a call reports: its result, or the status and text it raised."""
    try:
        return call()
    except RuntimeError as error:
        code, _, function, _ = error_fields(error)
        return code, function


def expected_outcome(expected, operation):
    if isinstance(expected, tuple) and isinstance(expected[0], int) and isinstance(expected[1], str):
        return expected[0], "%s: %s" % (operation, expected[1])
    return expected


@pytest.mark.parametrize("state", STATES)
@pytest.mark.parametrize("model, form", [(m, f) for m, forms in FORMS.items() for f in forms],
                         ids=lambda v: v if isinstance(v, str) else v[0])
def test_a_boards_wait_reports_the_state_of_its_capture(tmp_path, model, form, state):
    name, operation, call = form
    board, _image = board_in(tmp_path, model, state)
    vktsim.clear_journal()
    qualified = "Cx%s::%s" % (model, operation)
    assert outcome(lambda: call(board)) == expected_outcome(EXPECTED[state][name], qualified)
    assert [op for op, _ in vktsim.journal()][0] == qualified


def test_a_wait_that_failed_changed_nothing(tmp_path):
    board, _image = board_in(tmp_path, "KTX21", "never started")
    before = board.query_status()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="Code:15 "):
        board.wait()
    assert board.status() == 0 and board.query_status() == before
    board.start()
    board.wait()
    assert board.query_status().total_frame_count == FRAMES


def test_a_ktx22_timed_wait_gives_up_on_a_running_capture(tmp_path):
    board, _image = board_in(tmp_path, "KTX22", "running")
    board.num = 0
    assert board.wait(0) is False and board.is_running
    record = unit.TxKTX22CaptureStatus()
    assert board.wait_status(record, 0) is False and record.capture_state == 1
    board.abort()
    with pytest.raises(RuntimeError) as caught:
        board.wait(0)
    assert error_fields(caught.value)[:3:2] == (8, "CxKTX22::Wait: the capture was aborted")


# ---- the generic Video board, over each model ---------------------------------------------

def video_in(tmp_path, model, state):
    video = unit.Video.from_file(small_camera_file(tmp_path, model))
    image = vktsim.Image(16, 8)
    if state == "finished":
        video.grab(image)
    elif state == "disposed":
        video.dispose()
    elif state == "closed":
        video.start(image)
        video.close()
    elif state != "never started":
        video.start(image)
        if state == "stopped":
            video.controller.stop()
        elif state == "aborted":
            video.abort()
    return video, image


VIDEO_EXPECTED = {"never started": NOT_STARTED, "running": None, "finished": None,
                  "stopped": None, "aborted": ABORTED,
                  "disposed": (4, "the object was disposed"), "closed": NOT_OPEN}


@pytest.mark.parametrize("state", STATES)
@pytest.mark.parametrize("model", list(FORMS))
def test_a_videos_wait_reports_the_state_of_its_capture(tmp_path, model, state):
    video, _image = video_in(tmp_path, model, state)
    vktsim.clear_journal()
    result = outcome(video.wait)
    # The board's own wait answers, except on a Video that has no board left.
    operation = "CxVideo::Wait" if state == "disposed" else "Cx%s::Wait" % model
    assert result == expected_outcome(VIDEO_EXPECTED[state], operation)
    called = [op for op, _ in vktsim.journal()]
    assert called == (["CxVideo::Wait"] if state == "disposed"
                      else ["CxVideo::Wait", "Cx%s::Wait" % model])


# ---- a board reached through the library's video-control interface ----------------------

@pytest.mark.parametrize("state", ["never started", "finished", "stopped", "aborted"])
@pytest.mark.parametrize("model", list(FORMS))
def test_the_module_level_wait_on_a_boards_control_reports_alike(tmp_path, model, state):
    board, _image = board_in(tmp_path, model, state)
    control = vktsim.as_interface(board, vktsim.IxVideoControl)
    vktsim.clear_journal()
    expected = expected_outcome(EXPECTED[state]["wait()"], "Cx%s::Wait" % model)
    assert outcome(lambda: unit.wait(control)) == expected
    assert [op for op, _ in vktsim.journal()] == ["Cx%s::Wait" % model]
    del control
