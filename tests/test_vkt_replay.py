"""vktsim.replay: a simulated grabber plays a recording back, frame for frame
with the recorded settings and encoder counts; a recording it refuses
changes nothing. Also the per-frame encoder steps it relies on."""
import numpy as np
import pytest

import unit
import vktsim
from conftest import calls
from grabber_support import small_camera, small_camera_file
from vkt import boards, cli, recording
from vkt.recording import Recording


@pytest.fixture(autouse=True)
def on_virtual_clock(virtual_clock):
    """Captures on the virtual clock: each wait returns at its frame, so the
    encoder count read then is that frame's."""


def board_of(device):
    for model in ("KTX21", "KTX22", "MR250"):
        if isinstance(device, getattr(unit, model)):
            return boards.Board(model, device, boards.param_of(device))
    return boards.Board("Video", device, device)


def captured(device, count):
    """(frames, frame numbers, encoder counts) of a capture of `count` frames."""
    frames = list(boards.capture(board_of(device), count))
    return ([f.pixels for f in frames], [f.number for f in frames],
            [f.encoder_count for f in frames])


def made_recording(model="KTX21", depth=8, counts=(500, 530, 470, 1470), **settings):
    rng = np.random.default_rng(len(counts))
    dtype = "u1" if depth == 8 else "<u2"
    frames = [rng.integers(0, 2 ** min(depth, 12), (8, 16)).astype(dtype).tobytes()
              for _ in counts]
    values = {"Width": 16, "Height": 8, "ExposureTime": 777, "CameraName": "Replayed"}
    values.update(settings)
    return Recording(model=model, settings=values, width=16, height=8, depth=depth,
                     frames=frames, frame_numbers=list(range(1, len(counts) + 1)),
                     encoder_counts=list(counts), timestamps_ms=[2.0 * i for i in range(len(counts))])


@pytest.mark.parametrize("model", ["KTX21", "KTX22"])
def test_the_board_delivers_the_recorded_frames_counts_and_settings(tmp_path, model):
    device = small_camera(tmp_path, model)
    if model == "KTX22":
        unit.KTX22Encoder.from_(device).start_encoder()
    rec = made_recording(model)
    vktsim.clear_journal()
    vktsim.replay(device, rec)
    param = board_of(device).param
    assert param.get_param("ExposureTime") == 777
    assert param.get_param("CameraName") == "Replayed"
    set_names = [args[1] for args in calls("Cx%sParam::SetParam" % model)]
    assert set(set_names) == {b"Width", b"Height", b"ExposureTime", b"CameraName"}
    frames, numbers, counts = captured(device, 4)
    assert frames == rec.frames
    assert numbers == [1, 2, 3, 4]
    assert counts == rec.encoder_counts
    device.close()


def test_later_captures_play_the_frames_again_cycling(tmp_path):
    device = small_camera(tmp_path, "KTX21")
    rec = made_recording(counts=(0, 10))
    vktsim.replay(device, rec)
    frames, _, _ = captured(device, 5)
    assert frames == [rec.frames[i % 2] for i in range(5)]
    device.close()


def test_a_grabbed_recording_replays_bit_exact_on_a_fresh_board(tmp_path):
    camera = small_camera_file(tmp_path, "KTX21", BitWidth=10)
    status = cli.main(["grab", "KTX21", "--camera-file", camera, "-n", "3", "-o",
                       str(tmp_path / "out")])
    assert status == 0
    vktsim.reset()                       # a board fresh from power-on
    vktsim.set_clock("virtual")
    device = unit.KTX21.from_file(small_camera_file(tmp_path, "KTX21", ExposureTime=9))
    vktsim.replay(device, str(tmp_path / "out" / "recording.npz"))
    rec = recording.load(tmp_path / "out" / "recording.npz")
    assert unit.KTX21Param.from_(device).get_param("BitWidth") == 10
    frames, _, counts = captured(device, 3)
    assert frames == rec.frames and counts == rec.encoder_counts
    device.close()


def test_an_mr250_and_a_video_replay_frames(tmp_path):
    mr250 = small_camera(tmp_path, "MR250")
    rec = made_recording("MR250", counts=(0, 0, 0))
    vktsim.replay(mr250, rec)
    assert captured(mr250, 3)[0] == rec.frames
    mr250.close()
    video = unit.Video.from_file(small_camera_file(tmp_path, "KTX21"))
    vktsim.replay(video, made_recording(counts=(5, 6)))
    assert captured(video, 2)[2] == [5, 6]
    video.controller.close()


def untouched(device, model):
    """The board still has its own settings, the test pattern and 100 pulses a
    frame."""
    param = board_of(device).param
    assert param.get_param("ExposureTime") != 777
    frames, numbers, counts = captured(device, 2)
    for pixels, number in zip(frames, numbers):
        assert int.from_bytes(pixels[:4], "little") == number      # the test pattern's stamp
    assert counts[1] - counts[0] == 100


@pytest.mark.parametrize("given, error, text", [
    (lambda tmp: made_recording("KTX22"), ValueError,
     "recording of a KTX22 cannot be replayed on a KTX21"),
    (lambda tmp: made_recording(Width=32), ValueError,
     "not a valid recording: Width is 32 but its frames have 16"),
    (lambda tmp: made_recording(CameraName=5), ValueError,
     "not a valid recording: setting CameraName holds a int, the KTX21 table gives it text"),
    (lambda tmp: made_recording(counts=(0, 2000001)), ValueError,
     "not replayable: the encoder moved 2000001 pulses at frame 1"),
    (lambda tmp: tmp / "missing.npz", FileNotFoundError, "missing.npz"),
    (lambda tmp: 42, TypeError, "recording is a int; expected a vkt.recording.Recording or a path"),
])
def test_a_refused_recording_changes_nothing(tmp_path, given, error, text):
    device = small_camera(tmp_path, "KTX21")
    vktsim.clear_journal()
    with pytest.raises(error) as raised:
        vktsim.replay(device, given(tmp_path))
    assert text in str(raised.value)
    assert calls("CxKTX21Param::SetParam") == []
    untouched(device, "KTX21")
    device.close()


def test_a_truncated_file_is_refused_and_changes_nothing(tmp_path):
    path = tmp_path / "r.npz"
    recording.save(path, made_recording())
    path.write_bytes(path.read_bytes()[:-50])
    device = small_camera(tmp_path, "KTX21")
    vktsim.clear_journal()
    with pytest.raises(ValueError, match="^not a valid recording: "):
        vktsim.replay(device, str(path))
    assert calls("CxKTX21Param::SetParam") == []
    untouched(device, "KTX21")
    device.close()


def test_a_setting_the_library_refuses_puts_back_what_was_written(tmp_path):
    device = small_camera(tmp_path, "KTX21")
    param = unit.KTX21Param.from_(device)
    before = {name: param.get_param(name) for name in ("Width", "Height", "ExposureTime")}
    vktsim.clear_journal()
    rec = made_recording()
    vktsim.script("CxKTX21Param::SetParam")           # Width goes through
    vktsim.script("CxKTX21Param::SetParam")           # Height too
    vktsim.script("CxKTX21Param::SetParam", raises=3)  # ExposureTime is refused
    with pytest.raises(RuntimeError, match="^Code:3 "):
        vktsim.replay(device, rec)
    assert {name: param.get_param(name) for name in before} == before
    untouched(device, "KTX21")
    device.close()


def test_not_a_grabber_is_a_type_error():
    board = unit.SNR11()
    with pytest.raises(TypeError, match="board is a SNR11; expected a unit.KTX21"):
        vktsim.replay(board, made_recording())


# ---- per-frame encoder steps -----------------------------------------------------------

def test_encoder_steps_move_the_encoder_frame_by_frame_cycling(tmp_path):
    device = small_camera(tmp_path, "KTX21")
    vktsim.set_encoder_steps(device, [1, -2, 5])
    assert captured(device, 4)[2] == [1, -1, 4, 5]
    vktsim.set_encoder_steps(device, None)
    counts = captured(device, 2)[2]
    assert counts[1] - counts[0] == 100
    device.close()


@pytest.mark.parametrize("steps", [[1, 1000001], [-1000001]])
def test_an_encoder_step_out_of_range_is_refused(tmp_path, steps):
    device = small_camera(tmp_path, "KTX21")
    with pytest.raises(ValueError, match="encoder pulses must be within -1000000..1000000"):
        vktsim.set_encoder_steps(device, steps)
    counts = captured(device, 2)[2]
    assert counts == [100, 200]
    device.close()


def test_a_board_without_an_encoder_has_no_steps(tmp_path):
    device = small_camera(tmp_path, "MR250")
    with pytest.raises(TypeError):
        vktsim.set_encoder_steps(device, [1])
    device.close()


@pytest.mark.parametrize("started, counts", [(False, (500, 530)), (True, (500, 530)),
                                             (False, (0, 0))])
def test_replay_says_when_the_board_does_not_count_the_recorded_encoder(tmp_path, recwarn,
                                                                         started, counts):
    device = small_camera(tmp_path, "KTX22")
    if started:
        unit.KTX22Encoder.from_(device).start_encoder()
    vktsim.replay(device, made_recording("KTX22", counts=counts))
    warned = [str(w.message) for w in recwarn if w.category is RuntimeWarning]
    if started or not any(counts):
        assert warned == []
    else:
        assert warned == ["the recording holds encoder counts (500 to 530) but the KTX22's "
                          "encoder is not counting: start it (start_encoder) before the "
                          "replay for its frames to carry them"]
    device.close()


def test_a_recording_with_encoder_counts_out_of_range_is_refused_before_the_board(tmp_path):
    path = tmp_path / "far.npz"
    recording.save(path, made_recording(counts=(0, 1)))
    data = bytearray(path.read_bytes())
    counts = np.array([0, 1], "<i8").tobytes()
    at = data.index(counts, data.index(b"encoder_counts.npy"))
    data[at:at + 8] = (2 ** 62).to_bytes(8, "little")
    path.write_bytes(bytes(data))          # the CRC no longer fits either: whichever comes first
    device = small_camera(tmp_path, "KTX21")
    vktsim.clear_journal()
    with pytest.raises(ValueError, match="^not a valid recording: "):
        vktsim.replay(device, str(path))
    assert calls("CxKTX21Param::SetParam") == [] and calls("CxKTX21::Lock") == []
    with pytest.raises(ValueError, match="encoder count 4611686018427387904 of frame 0 is "
                       "outside -4294967296 to 4294967295"):
        made_recording(counts=(2 ** 62, 0))
    device.close()
