"""The generic Video board's captures on every grabber model: a one-frame grab
that fails leaves the board as it found it, image modules go to the models
that take them, and every capture member reaches the board it drives."""
import gc

import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import small_camera_file

MODELS = ["KTX21", "KTX22", "MR250"]
NOT_SUPPORTED = int(vktsim.ExStatus.NotSupported)
INVALID_ARGUMENT = int(vktsim.ExStatus.InvalidArgument)


@pytest.fixture(params=MODELS)
def model(request):
    return request.param


@pytest.fixture
def video(tmp_path, model, virtual_clock):
    return unit.Video.from_file(small_camera_file(tmp_path, model))


def operations():
    return [operation for operation, _ in vktsim.journal()]


# ---- a one-frame grab that fails --------------------------------------------------------------

def test_a_failed_grab_aborts_unlocks_and_restores_the_frame_count(video, model):
    board = video.controller
    board.num = 5
    vktsim.set_signal(board, False)          # no frames: the wait times out
    image = vktsim.Image(16, 8)
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        video.grab(image)
    assert error_fields(caught.value)[0::2] == (
        int(vktsim.ExStatus.Timeout), "Cx%s::Wait: no frame within 2000 ms" % model)
    me = vktsim.ident(board)
    assert vktsim.journal() == [
        ("CxVideo::Grab", (vktsim.ident(video), vktsim.ident(image))),
        ("Cx%s::GetNum" % model, (me,)), ("Cx%s::Lock" % model, (me, vktsim.ident(image), 0)),
        ("Cx%s::SetNum" % model, (me, 1)), ("Cx%s::Start" % model, (me,)),
        ("Cx%s::Wait" % model, (me,)), ("Cx%s::Abort" % model, (me,)),
        ("Cx%s::Unlock" % model, (me,)), ("Cx%s::SetNum" % model, (me, 5))]
    assert board.num == 5 and not video.is_running
    # Nothing is left locked: the next grab with the signal back succeeds.
    vktsim.set_signal(board, True)
    video.grab(image)
    assert board.num == 5


@pytest.mark.parametrize("status", ["Aborted", "NotOpened"])
def test_the_grabs_own_error_is_raised_after_the_clean_up(video, model, status):
    board = video.controller
    before = board.num
    vktsim.script("Cx%s::Wait" % model, raises=int(getattr(vktsim.ExStatus, status)))
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        video.grab(vktsim.Image(16, 8))
    assert error_fields(caught.value)[0] == int(getattr(vktsim.ExStatus, status))
    assert operations()[-3:] == ["Cx%s::Abort" % model, "Cx%s::Unlock" % model,
                                 "Cx%s::SetNum" % model]
    assert calls("Cx%s::SetNum" % model)[-1][1] == before
    assert board.num == before and not video.is_running


# ---- image modules ----------------------------------------------------------------------------

def image_module():
    return unit.get_device_module(vktsim.DeviceModule())


@pytest.mark.parametrize("model", ["KTX21", "MR250"])
@pytest.mark.parametrize("member", ["validate", "start", "grab"])
def test_models_without_image_modules_refuse_them_and_call_nothing(tmp_path, virtual_clock,
                                                                  model, member):
    video = unit.Video.from_file(small_camera_file(tmp_path, model))
    module = image_module()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        getattr(video, member)(module)
    assert error_fields(caught.value)[0::2] == (
        NOT_SUPPORTED, "CxVideo::%s: this model takes no image modules" % member.capitalize())
    assert vktsim.journal() == [("CxVideo::" + member.capitalize(),
                                 (vktsim.ident(video), vktsim.ident(module)))]


@pytest.mark.parametrize("member, reaches", [
    ("validate", [("CxKTX22::Validate", ())]),
    ("start", [("CxKTX22::Lock", (0,))]),
    ("grab", [("CxKTX22::Lock", (0,))]),
])
def test_the_ktx22_takes_image_modules_through_its_own_overloads(tmp_path, virtual_clock,
                                                                 member, reaches):
    video = unit.Video.from_file(small_camera_file(tmp_path, "KTX22"))
    board, module = video.controller, image_module()
    vktsim.clear_journal()
    # The simulated KTX22 captures into images only, so it refuses a module
    # that is none; what matters here is the overload that reached it.
    with pytest.raises(RuntimeError) as caught:
        getattr(video, member)(module)
    assert error_fields(caught.value)[0] == NOT_SUPPORTED
    assert error_fields(caught.value)[2].endswith(
        ": a KTX22 board captures into images; that module is not one")
    me, it = vktsim.ident(board), vktsim.ident(module)
    # A grab keeps the board's frame count, as a grab into an image does.
    kept = [("CxKTX22::GetNum", (me,))] if member == "grab" else []
    assert vktsim.journal() == [("CxVideo::" + member.capitalize(), (vktsim.ident(video), it))] + \
        kept + [(operation, (me, it) + extra) for operation, extra in reaches]
    assert not video.is_running


@pytest.mark.parametrize("member", ["validate", "start", "grab"])
def test_scripted_image_module_calls_return_at_once(video, member):
    vktsim.script("CxVideo::" + member.capitalize(), value=None)
    module = image_module()
    vktsim.clear_journal()
    assert getattr(video, member)(module) is None
    assert operations() == ["CxVideo::" + member.capitalize()]


# ---- every capture member on every model ------------------------------------------------------

def test_start_wait_abort_close_on_every_model(video, model):
    board = video.controller
    image = vktsim.Image(16, 8)
    video.start(image)
    assert video.is_running and board.num == 0    # until stopped
    assert isinstance(video.status(), int)
    video.abort()
    assert not video.is_running
    video.close()
    assert not board.is_opened
    assert [args for args in calls("Cx%s::Close" % model)] == [(vktsim.ident(board),)]


def test_force_trigger_reaches_the_models_own_trigger(video, model):
    video.trigger_mode = 1
    image = vktsim.Image(16, 8)
    video.start(image)
    vktsim.clear_journal()
    video.force_trigger()
    me = vktsim.ident(video.controller)
    # The KTX22 triggers its own channel (-1).
    expected = (me, -1) if model == "KTX22" else (me,)
    assert calls("Cx%s::ForceTrigger" % model) == [expected]
    video.abort()


def test_wait_ends_when_the_frames_are_in(video, model):
    board = video.controller
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.num = 2
    board.start()
    video.wait()
    assert not video.is_running
    assert calls("Cx%s::Wait" % model) == [(vktsim.ident(board),)]


@pytest.mark.parametrize("save", ["save", "save_w"])
def test_save_writes_the_camera_file_of_the_model(tmp_path, video, model, save):
    # A name with characters beyond U+FFFF: four bytes each in UTF-8.
    path = tmp_path / ("saved \U0001F4F7\U0001F600.txt")
    getattr(video, save)(str(path))
    assert "[%s]" % model in path.read_text().splitlines()
    video.dispose()
    assert unit.Video.from_file(str(path)).device_type == getattr(vktsim.ExDevice, model)


@pytest.mark.parametrize("member, args", [
    ("close", ()), ("wait", ()), ("abort", ()), ("status", ()), ("force_trigger", ()),
    ("save", ("x.txt",)), ("save_w", ("x.txt",)), ("validate", (None,)),
])
def test_a_disposed_video_drives_nothing(video, member, args):
    video.dispose()
    if args == (None,):
        args = (vktsim.Image(16, 8),)
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        getattr(video, member)(*args)
    code, _, function, _ = error_fields(caught.value)
    assert code == int(vktsim.ExStatus.NotOpened)
    assert function.endswith(": the object was disposed")
    assert len(vktsim.journal()) == 1        # the Video's own call, no board's


def test_a_video_without_a_board_drives_nothing():
    video = unit.Video()
    for call in (video.wait, video.abort, video.close, lambda: video.is_running):
        with pytest.raises(RuntimeError) as caught:
            call()
        code, _, function, _ = error_fields(caught.value)
        assert code == int(vktsim.ExStatus.NotOpened)
        assert function.endswith(": no board to drive")


def test_the_mr250_has_no_trigger_cycle_to_read(tmp_path, virtual_clock):
    video = unit.Video.from_file(small_camera_file(tmp_path, "MR250"))
    with pytest.raises(RuntimeError) as caught:
        video.trigger_cycle_time
    assert error_fields(caught.value)[0::2] == (
        NOT_SUPPORTED, "CxVideo::GetTriggerCycleTime: the MR250 has no trigger cycle")


def test_a_controller_that_is_no_grabber_board_is_refused():
    video = unit.Video()
    module = image_module()
    with pytest.raises(RuntimeError) as caught:
        video.controller = module
    assert error_fields(caught.value)[0::2] == (
        INVALID_ARGUMENT, "CxVideo::Controller: that module is not a grabber board")
    assert video.controller is None


# ---- every member without a board to drive ----------------------------------------------------

def _set(name, value):
    return lambda video, image, module: setattr(video, name, value)


MEMBERS = [
    ("Close", lambda video, image, module: video.close()),
    ("Save", lambda video, image, module: video.save("x.txt")),
    ("SaveW", lambda video, image, module: video.save_w("x.txt")),
    ("Validate", lambda video, image, module: video.validate(image)),
    ("Grab", lambda video, image, module: video.grab(image)),
    ("Start", lambda video, image, module: video.start(image)),
    ("Validate", lambda video, image, module: video.validate(module)),
    ("Grab", lambda video, image, module: video.grab(module)),
    ("Start", lambda video, image, module: video.start(module)),
    ("Wait", lambda video, image, module: video.wait()),
    ("Abort", lambda video, image, module: video.abort()),
    ("IsRunning", lambda video, image, module: video.is_running),
    ("Status", lambda video, image, module: video.status()),
    ("ForceTrigger", lambda video, image, module: video.force_trigger()),
    ("GetTriggerMode", lambda video, image, module: video.trigger_mode),
    ("SetTriggerMode", _set("trigger_mode", 1)),
    ("GetExposureTime", lambda video, image, module: video.exposure_time),
    ("SetExposureTime", _set("exposure_time", 100)),
    ("GetTriggerCycleTime", lambda video, image, module: video.trigger_cycle_time),
    ("SetTriggerCycleTime", _set("trigger_cycle_time", 1000)),
    ("SendCommand", lambda video, image, module: video.send_command("ResetPG")),
]
MEMBER_IDS = ["%s-%d" % (operation, i) for i, (operation, _) in enumerate(MEMBERS)]


def board_gone(tmp_path):
    board = unit.KTX21.from_file(small_camera_file(tmp_path, "KTX21"))
    video = unit.Video()
    video.controller = vktsim.as_interface(board, vktsim.IxModule)
    return video, board


@pytest.mark.parametrize("operation, call", MEMBERS, ids=MEMBER_IDS)
@pytest.mark.parametrize("state, problem", [("disposed", "the object was disposed"),
                                            ("empty", "no board to drive"),
                                            ("gone", "the board is gone")])
def test_every_member_refuses_without_a_board_and_drives_nothing(tmp_path, operation, call,
                                                                 state, problem):
    if state == "disposed":
        video = unit.Video.from_file(small_camera_file(tmp_path, "MR250"))
        video.dispose()
    elif state == "empty":
        video = unit.Video()
    else:
        video, board = board_gone(tmp_path)
        del board
        gc.collect()
    image, module = vktsim.Image(16, 8), image_module()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        call(video, image, module)
    assert error_fields(caught.value)[0::2] == (
        int(vktsim.ExStatus.NotOpened), "CxVideo::%s: %s" % (operation, problem))
    assert operations() == ["CxVideo::" + operation]


@pytest.mark.parametrize("operation, call", MEMBERS, ids=MEMBER_IDS)
def test_a_scripted_member_answers_without_the_board(operation, call):
    video = unit.Video()                      # no board: only the script can answer
    answer = None if operation.startswith(("Set", "Save", "Close", "Validate", "Grab", "Start",
                                           "Wait", "Abort", "Force", "SendCommand")) else 3
    vktsim.script("CxVideo::" + operation, value=answer)
    result = call(video, vktsim.Image(16, 8), image_module())
    assert result == (None if answer is None else (True if operation == "IsRunning" else 3))
    assert operations()[-1:] == ["CxVideo::" + operation]
