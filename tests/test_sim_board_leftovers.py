"""Wrong results of the simulated boards, each held here: settings files held
to what set_param takes, a Video's grab into an image module that cleans up
as the image grab does (past a failing step too), and a wait after a new lock
that has no capture to report on."""
import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import small_camera_file

FORMAT_ERROR = int(vktsim.ExStatus.FormatError)
INVALID_ARGUMENT = int(vktsim.ExStatus.InvalidArgument)
NOT_RUNNING = int(vktsim.ExStatus.NotRunning)


# ---- settings files take what set_param takes, all or nothing ------------------------------------

@pytest.mark.parametrize("line, problem", [
    ("Timeout = -5", "Timeout must be 0 to 3600000 ms, not -5"),
    ("Timeout = 3600001", "Timeout must be 0 to 3600000 ms, not 3600001"),
    ("Outputs = -1", "'Outputs' must be 0 to 4294967295, not -1"),
    ("DIEdge = -0x10", "'DIEdge' must be 0 to 4294967295, not -0x10"),
    ("INTEdge = 0x80000000", "'INTEdge' must be -2147483648 to 2147483647, not 0x80000000"),
])
def test_a_settings_file_with_a_value_set_param_refuses_is_refused_whole(tmp_path, line, problem):
    model = "TK560"                          # the one model whose files Python loads
    board = getattr(unit, model)()
    board.open(0)
    param = getattr(unit, model + "Param").from_(board)
    path = tmp_path / "board.ini"
    path.write_text("DIWaitEnable = 0x3\n%s\nVersion = 7\n" % line)
    before = {name: param.get_param(name) for name in ("DIWaitEnable", "Version", "Timeout")}
    with pytest.raises(RuntimeError) as refused:
        board.load(str(path), 1)
    code, _, function, _ = error_fields(refused.value)
    assert code == FORMAT_ERROR
    assert function == "Cx%s::Load: %s line 2: %s" % (model, path, problem)
    assert {name: param.get_param(name) for name in before} == before
    assert vktsim.outputs(model, 0) == 0
    if line.startswith("Timeout"):
        with pytest.raises(RuntimeError) as by_hand:
            param.set_param("Timeout", int(line.split("=")[1]))
        assert error_fields(by_hand.value)[0] == INVALID_ARGUMENT
    board.close()


def test_the_values_at_the_ends_of_each_range_load(tmp_path):
    board = unit.TK560()
    board.open(0)
    path = tmp_path / "board.ini"
    path.write_text("Timeout = 3600000\nOutputs = 0xFFFFFFFF\nDIEdge = 0\n"
                    "INTEdge = -2147483648\nVersion = 2147483647\n")
    board.load(str(path), 1)
    param = unit.TK560Param.from_(board)
    assert [param.get_param(name) for name in ("Timeout", "DIEdge", "INTEdge", "Version")] == \
        [3600000, 0, -2147483648, 2147483647]
    assert vktsim.outputs("TK560", 0) == 0xFFFFFFFF
    board.close()


# ---- a Video's grab cleans up past a failing step ----------------------------------------------

def image_module():
    return unit.get_device_module(vktsim.DeviceModule())


@pytest.fixture
def ktx22_video(tmp_path, virtual_clock):
    return unit.Video.from_file(small_camera_file(tmp_path, "KTX22"))


def grabbed(kind):
    if kind == "image":
        return vktsim.Image(16, 8)
    # The simulated KTX22 refuses a module at Lock: scripted, it goes on.
    vktsim.script("CxKTX22::Lock", value=None)
    return image_module()


@pytest.mark.parametrize("kind", ["image", "image module"])
def test_a_failed_grab_cleans_up_as_the_image_grab_does(ktx22_video, kind):
    board = ktx22_video.controller
    board.num = 4
    vktsim.set_signal(board, False)          # no frames: the wait times out
    target = grabbed(kind)
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        ktx22_video.grab(target)
    code = error_fields(caught.value)[0]
    assert code == (int(vktsim.ExStatus.Timeout) if kind == "image" else INVALID_ARGUMENT)
    assert [operation for operation, _ in vktsim.journal()][-3:] == \
        ["CxKTX22::Abort", "CxKTX22::Unlock", "CxKTX22::SetNum"]
    assert calls("CxKTX22::SetNum")[-1][1] == 4
    assert board.num == 4 and not ktx22_video.is_running
    del target


@pytest.mark.parametrize("kind", ["image", "image module"])
def test_the_clean_up_goes_on_past_a_failing_step(ktx22_video, kind):
    board = ktx22_video.controller
    board.num = 4
    target = grabbed(kind)
    vktsim.script("CxKTX22::Wait", raises=vktsim.ExStatus.Aborted)
    vktsim.script("CxKTX22::Start", value=None)
    vktsim.script("CxKTX22::Abort", raises=vktsim.ExStatus.NotOpened)
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        ktx22_video.grab(target)
    # The grab's own error, not the clean-up's.
    assert error_fields(caught.value)[0] == int(vktsim.ExStatus.Aborted)
    assert [operation for operation, _ in vktsim.journal()][-3:] == \
        ["CxKTX22::Abort", "CxKTX22::Unlock", "CxKTX22::SetNum"]
    assert board.num == 4
    image = vktsim.Image(16, 8)
    ktx22_video.grab(image)                  # nothing was left locked
    del target


# ---- a wait after a new lock has no capture to report on -------------------------------------------

@pytest.mark.parametrize("model", ["KTX21", "KTX22", "MR250"])
def test_a_wait_after_a_new_lock_without_start_answers_not_running(tmp_path, virtual_clock, model):
    board = getattr(unit, model).from_file(small_camera_file(tmp_path, model))
    image = vktsim.Image(16, 8)
    board.lock(image)
    board.num = 2
    board.start()
    board.wait()                              # the capture finished
    board.wait()                              # and says so again
    board.lock(image)
    for wait in (board.wait, board.wait_status):
        with pytest.raises(RuntimeError) as caught:
            wait()
        code, _, function, _ = error_fields(caught.value)
        assert (code, function.split(": ", 1)[1]) == (NOT_RUNNING, "no capture was started")
    board.start()
    board.wait()                              # a new capture reports again
    board.unlock()
