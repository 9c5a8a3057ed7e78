"""`vkt grab` and `vkt export`: frames stream into a recording as they come,
from a ring that does not grow with the frame count; however the capture
ends, the recording on disk holds every frame taken so far and the exit
status says what happened; PNG images come from the recording afterwards."""
import contextlib
import io
import os
import pathlib
import resource
import signal
import struct
import subprocess
import sys
import time
import zlib

import numpy as np
import pytest
from PIL import Image

import vktsim
from conftest import calls, kept_since
from grabber_support import small_camera_file, write_camera_file
from vkt import boards, cli, recording

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"
KTX21_FILE = str(EXAMPLES / "ktx21_camera.txt")


def run(*argv):
    out = io.StringIO()
    status = cli.main([str(a) for a in argv], out=out)
    return status, out.getvalue()


@contextlib.contextmanager
def running(*argv, **options):
    """A `vkt` child, killed if the test fails while it runs: a grab of a
    million frames would otherwise outlive the whole run."""
    process = subprocess.Popen([sys.executable, "-m", "vkt", *map(str, argv)],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                               **options)
    try:
        yield process
    finally:
        if process.poll() is None:
            process.kill()
        process.communicate()


def grab(tmp_path, model="KTX21", n=4, *more, **camera):
    camera_file = small_camera_file(tmp_path, model, **camera)
    return run("grab", model, "--camera-file", camera_file, "-n", n, "-o", tmp_path / "out",
               *more)


def stamped_number(pixels):
    return int.from_bytes(np.ascontiguousarray(pixels)[0, :4].tobytes(), "little")


def at_frame(monkeypatch, number, action):
    """Runs `action` when the grab has taken frame `number` (from the
    progress report it makes for every frame)."""
    def update(self, done):
        if done == number:
            action()
    monkeypatch.setattr(cli.Progress, "update", update)


def opened_boards(monkeypatch):
    """The boards the command line opens, as they are opened."""
    opened = []
    real = boards.open_board

    def open_board(*args):
        opened.append(real(*args))
        return opened[-1]
    monkeypatch.setattr(boards, "open_board", open_board)
    return opened


# ---- a capture that completes ----------------------------------------------------------------

def test_grab_writes_a_recording_that_numpy_reads(tmp_path):
    result = subprocess.run([sys.executable, "-m", "vkt", "grab", "KTX21", "--camera-file",
                             KTX21_FILE, "-n", "3", "-o", str(tmp_path / "out")],
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr
    assert result.stderr == ""                      # no progress bar into a pipe
    target = tmp_path / "out" / "recording.npz"
    assert result.stdout == "3 frames of 320x240, 8 bits saved in %s\n" % target
    assert sorted(p.name for p in (tmp_path / "out").iterdir()) == ["recording.npz"]
    with np.load(target) as data:
        assert str(data["format"]) == "vkt-recording/2"
        assert data["frames"].shape == (3, 240, 320)
        assert [stamped_number(f) for f in data["frames"]] == [1, 2, 3]
        assert data["frame_numbers"].tolist() == [1, 2, 3]
        assert int(data["lost_frames"]) == 0 and str(data["ending"]) == "complete"
    rec = recording.load(target)
    assert rec.settings["CameraName"] == "Simulated area camera"
    assert rec.timestamps_ms == sorted(rec.timestamps_ms)


@pytest.mark.parametrize("model", ["KTX21", "KTX22", "MR250", "Video"])  # Video: on a KTX22
def test_grab_on_every_grabber_model_counts_its_encoder(tmp_path, model, virtual_clock):
    camera = small_camera_file(tmp_path, "KTX22" if model == "Video" else model)
    status, _ = run("grab", model, "--camera-file", camera, "-n", 4, "-o", tmp_path / "out")
    assert status == 0
    rec = recording.load(tmp_path / "out" / "recording.npz")
    assert rec.frame_numbers == [1, 2, 3, 4]
    assert rec.model == ("KTX22" if model == "Video" else model)
    steps = [b - a for a, b in zip(rec.encoder_counts, rec.encoder_counts[1:])]
    # The simulator's 100 pulses a frame; a KTX22's encoder is started for
    # the capture and stopped after it; the MR250 has none.
    assert steps == ([0, 0, 0] if model == "MR250" else [100, 100, 100])
    if model in ("KTX22", "Video"):
        names = [name for name, _ in calls()]
        assert names.index("CxKTX22Encoder::StartEncoder") < names.index("CxKTX22::Start") \
            < names.index("CxKTX22Encoder::StopEncoder")


def test_the_ring_does_not_grow_with_the_frame_count(tmp_path, virtual_clock):
    status, _ = grab(tmp_path, n=1000)
    assert status == 0
    (locked,) = calls("CxKTX21::Lock")
    assert locked[-1] <= boards.MAX_RING < 1000
    rec = recording.load(tmp_path / "out" / "recording.npz")
    assert rec.frame_numbers == list(range(1, 1001))


def test_grab_applies_settings_before_the_capture(tmp_path, virtual_clock):
    status, _ = grab(tmp_path, "KTX21", 2, "--set", "ExposureTime=321", "--set",
                     "CameraName=Set by grab")
    assert status == 0
    names = [(name, args[1] if name.endswith("SetParam") else None) for name, args in calls()]
    assert names.index(("CxKTX21Param::SetParam", b"CameraName")) \
        < names.index(("CxKTX21::Start", None))
    rec = recording.load(tmp_path / "out" / "recording.npz")
    assert rec.settings["ExposureTime"] == 321 and rec.settings["CameraName"] == "Set by grab"


@pytest.mark.parametrize("setting, message", [
    ("Bogus=1", "Bogus"),
    ("ExposureTime=99999999999999999999", "ExposureTime"),
])
def test_grab_refuses_all_settings_before_writing_any(tmp_path, virtual_clock, capsys,
                                                      setting, message):
    status, _ = grab(tmp_path, "KTX21", 2, "--set", "CameraName=first", "--set", setting)
    assert status == 1
    assert message in capsys.readouterr().err
    operations = [name for name, _ in calls()]
    assert "CxKTX21Param::SetParam" not in operations
    assert "CxKTX21::Start" not in operations
    assert not (tmp_path / "out").exists()


def test_grab_png_exports_by_frame_number(tmp_path, virtual_clock):
    status, out = grab(tmp_path, "KTX21", 3, "--png")
    assert status == 0
    folder = tmp_path / "out"
    assert sorted(p.name for p in folder.iterdir()) == [
        "frame_000001.png", "frame_000002.png", "frame_000003.png", "recording.npz"]
    rec = recording.load(folder / "recording.npz")
    for number, frame in zip(rec.frame_numbers, rec.frames):
        png = np.asarray(Image.open(folder / ("frame_%06d.png" % number)))
        assert png.dtype == np.uint8 and png.tobytes() == frame
    assert out.endswith("3 frames exported to %s as frame_NNNNNN.png\n" % folder)


def png_chunks(path):
    data = pathlib.Path(path).read_bytes()[8:]
    chunks = {}
    while data:
        (length,) = struct.unpack(">I", data[:4])
        chunks[data[4:8]] = data[8:8 + length]
        data = data[12 + length:]
    return chunks


@pytest.mark.parametrize("bits", [10, 12, 16])
def test_export_of_a_deep_camera_writes_16_bit_pngs_with_sbit(tmp_path, virtual_clock, bits):
    status, _ = grab(tmp_path, "KTX21", 2, BitWidth=bits)
    assert status == 0
    status, _ = run("export", tmp_path / "out" / "recording.npz", "--png", tmp_path / "png")
    assert status == 0
    rec = recording.load(tmp_path / "out" / "recording.npz")
    png = tmp_path / "png" / "frame_000002.png"
    chunks = png_chunks(png)
    assert chunks.get(b"sBIT") == (bytes([bits]) if bits < 16 else None)
    image = Image.open(png)
    assert image.mode == "I;16"
    samples = np.asarray(image).astype(np.uint16)
    camera = np.frombuffer(rec.frames[1], "<u2").reshape(samples.shape)
    # The camera's values are the PNG's top bits: white is white.
    assert np.array_equal(samples >> (16 - bits), camera)


def test_export_refuses_a_file_that_is_not_a_recording(tmp_path, capsys):
    (tmp_path / "x.npz").write_bytes(b"PK\x05\x06" + b"\0" * 18)
    status, _ = run("export", tmp_path / "x.npz", "--png", tmp_path / "png")
    assert status == 1
    assert capsys.readouterr().err.startswith("vkt: error: not a valid recording: ")
    assert not (tmp_path / "png").exists()


# ---- the output folder, checked before the board opens -------------------------------------

def folder_with_a_file(tmp):
    (tmp / "out").mkdir()
    (tmp / "out" / "notes.txt").write_text("x")
    return tmp / "out"


def file_in_place_of_the_folder(tmp):
    (tmp / "out").write_text("a file")
    return tmp / "out"


def file_in_place_of_a_parent(tmp):
    (tmp / "file").write_text("a file")
    return tmp / "file" / "sub"


@pytest.mark.parametrize("prepare, text", [
    (folder_with_a_file, "is not empty (--overwrite replaces"),
    (file_in_place_of_the_folder, "out is not a folder"),
    (file_in_place_of_a_parent, "file is not a folder"),
])
def test_an_unusable_output_folder_is_refused_before_the_board(tmp_path, capsys, prepare, text):
    target = prepare(tmp_path)
    vktsim.clear_journal()
    status, _ = run("grab", "KTX21", "--camera-file", KTX21_FILE, "-o", target)
    assert status == 1
    assert text in capsys.readouterr().err
    assert calls() == []


@pytest.mark.skipif(os.geteuid() == 0, reason="root writes into read-only folders")
def test_a_read_only_folder_is_refused_before_the_board(tmp_path, capsys):
    out = tmp_path / "out"
    out.mkdir()
    out.chmod(0o555)
    vktsim.clear_journal()
    status, _ = run("grab", "KTX21", "--camera-file", KTX21_FILE, "-o", out)
    assert status == 1
    assert "cannot write in %s" % out in capsys.readouterr().err
    assert calls() == []


def test_a_board_that_cannot_open_creates_nothing(tmp_path, capsys):
    status, _ = run("grab", "KTX21", "--id", 9, "--camera-file", KTX21_FILE, "-o",
                    tmp_path / "new" / "out")
    assert status == 1
    assert capsys.readouterr().err.startswith("vkt: error: ")
    assert list(tmp_path.iterdir()) == []


def test_overwrite_replaces_an_earlier_grab_whole(tmp_path, virtual_clock):
    assert grab(tmp_path, "KTX21", 5, "--png")[0] == 0
    (tmp_path / "out" / "notes.txt").write_text("kept")
    assert grab(tmp_path, "KTX21", 2, "--png")[0] == 1          # not empty
    assert grab(tmp_path, "KTX21", 2, "--png", "--overwrite")[0] == 0
    assert sorted(p.name for p in (tmp_path / "out").iterdir()) == [
        "frame_000001.png", "frame_000002.png", "notes.txt", "recording.npz"]
    assert len(recording.load(tmp_path / "out" / "recording.npz")) == 2


# ---- a capture that ends early ----------------------------------------------------------------

def ended_recording(tmp_path):
    rec = recording.load(tmp_path / "out" / "recording.npz")
    assert not list((tmp_path / "out").glob("*.partial"))
    return rec


def test_ctrl_c_keeps_every_frame_taken(tmp_path, virtual_clock, monkeypatch, capsys):
    def interrupt():
        raise KeyboardInterrupt
    at_frame(monkeypatch, 3, interrupt)
    status, out = grab(tmp_path, "KTX21", 100)
    assert (status, out) == (130, "")
    rec = ended_recording(tmp_path)
    assert rec.frame_numbers == [1, 2, 3] and rec.ending == "interrupted (Ctrl-C)"
    assert capsys.readouterr().err == (
        "vkt: interrupted after 3 of 100 frames; 3 frames of 16x8, 8 bits saved in %s\n"
        % (tmp_path / "out" / "recording.npz"))
    names = [name for name, _ in calls()]
    assert names.index("CxKTX21::Stop") < names.index("CxKTX21::Unlock") \
        < names.index("CxKTX21::Close")


def test_sigterm_ends_the_capture_like_ctrl_c(tmp_path, virtual_clock, monkeypatch, capsys):
    at_frame(monkeypatch, 2, lambda: os.kill(os.getpid(), signal.SIGTERM))
    status, _ = grab(tmp_path, "KTX21", 100)
    assert status == 143
    rec = ended_recording(tmp_path)
    assert rec.frame_numbers[:2] == [1, 2] and rec.ending == "terminated (SIGTERM)"
    assert capsys.readouterr().err.startswith("vkt: terminated after ")
    assert signal.getsignal(signal.SIGTERM) == signal.SIG_DFL


def test_a_board_error_keeps_the_frames_before_it(tmp_path, virtual_clock, monkeypatch, capsys):
    opened = opened_boards(monkeypatch)
    at_frame(monkeypatch, 3, lambda: vktsim.set_signal(opened[0].device, False))
    status, _ = grab(tmp_path, "KTX21", 100, Timeout=50)
    assert status == 1
    rec = ended_recording(tmp_path)
    assert rec.frame_numbers == [1, 2, 3]
    assert rec.ending.startswith("board error: Timeout (7): Code:7 ")
    err = capsys.readouterr().err
    assert err.startswith("vkt: error: Timeout (7): Code:7 ") and \
        err.endswith("; 3 frames of 16x8, 8 bits saved in %s\n"
                     % (tmp_path / "out" / "recording.npz"))


def test_a_failure_before_the_first_frame_writes_nothing(tmp_path, virtual_clock, capsys):
    before = set(vktsim.live_idents())
    vktsim.script("CxKTX21::WaitStatus", raises=7)
    status, _ = grab(tmp_path, "KTX21", 2)
    assert status == 1
    assert capsys.readouterr().err.startswith("vkt: error: Timeout (7): Code:7 ")
    assert not (tmp_path / "out").exists()
    assert kept_since(before) == {}


def test_lost_frames_are_counted_printed_and_stored(tmp_path, virtual_clock, monkeypatch,
                                                    capsys):
    monkeypatch.setattr(boards, "MAX_RING", 4)
    monkeypatch.setattr(boards, "MIN_RING", 4)
    # While frame 2 is handled the camera sends ten more: the ring of four
    # keeps the newest.
    at_frame(monkeypatch, 2, lambda: vktsim.advance(10.5))
    status, _ = grab(tmp_path, "KTX21", 20)
    assert status == 0
    rec = ended_recording(tmp_path)
    assert rec.frame_numbers[:2] == [1, 2] and rec.frame_numbers[-1] == 20
    lost = 20 - len(rec)
    assert lost > 0 and rec.lost_frames == lost
    assert "vkt: warning: %d frames were lost" % lost in capsys.readouterr().err
    for number, frame in zip(rec.frame_numbers, rec.frames):
        assert int.from_bytes(frame[:4], "little") == number


def test_a_real_ctrl_c_leaves_a_whole_recording(tmp_path):
    camera = write_camera_file(tmp_path, model="KTX21", Width=64, Height=64, BitWidth=8,
                               TriggerCycleTime=2000, ExposureTime=100, Timeout=2000)
    partial = tmp_path / "out" / "recording.npz.partial"
    with running("grab", "KTX21", "--camera-file", camera, "-n", 1000000, "-o",
                 tmp_path / "out") as process:
        while process.poll() is None and (not partial.exists()
                                          or partial.stat().st_size < 100000):
            time.sleep(0.05)
        process.send_signal(signal.SIGINT)
        _, err = process.communicate(timeout=120)
    assert process.returncode == 130, err
    assert err.startswith("vkt: interrupted after ")
    rec = ended_recording(tmp_path)
    assert len(rec) >= 20 and rec.ending == "interrupted (Ctrl-C)"


def limited_file_size(limit):
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return apply


def test_a_full_disk_ends_the_capture_with_a_whole_recording(tmp_path):
    camera = write_camera_file(tmp_path, model="KTX21", Width=256, Height=256, BitWidth=8,
                               TriggerCycleTime=1000, ExposureTime=100, Timeout=2000)
    with running("grab", "KTX21", "--camera-file", camera, "-n", 500, "-o", tmp_path / "out",
                 preexec_fn=limited_file_size(2 << 20)) as process:
        out, err = process.communicate(timeout=120)
    assert process.returncode == 1, err
    assert out == "" and err.startswith("vkt: error: writing ") and "File too large" in err
    rec = ended_recording(tmp_path)
    assert 10 < len(rec) < 32 and rec.ending.startswith("write error: ")
    assert rec.frame_numbers == sorted(set(rec.frame_numbers))
    for number, frame in zip(rec.frame_numbers, rec.frames):
        assert int.from_bytes(frame[:4], "little") == number


# ---- the KTX22's frame wait ------------------------------------------------------------------

def triggered_ktx22(tmp_path):
    camera = small_camera_file(tmp_path, "KTX22", TriggerMode=1, TriggerMaskMode=1, Timeout=300)
    return boards.open_grabber("KTX22", camera_file=camera)


def test_a_ktx22_frame_that_came_before_the_wait_is_not_missed(tmp_path, virtual_clock):
    with triggered_ktx22(tmp_path) as board:
        # The event wait misses the frame (it completed just before the wait
        # began, as a free-running board can do) and times out.
        vktsim.script("CxKTX22::WaitEvent", value=False)
        frames = list(boards.capture(board, 3))
    assert [f.number for f in frames] == [1, 2, 3]
    names = [name for name, _ in calls() if name in ("CxKTX22::ForceTrigger",
                                                     "CxKTX22::ClearTriggerMask")]
    assert names == ["CxKTX22::ForceTrigger", "CxKTX22::ClearTriggerMask"] * 3 \
        + ["CxKTX22::ClearTriggerMask"]


def test_a_ktx22_capture_that_fails_clears_its_trigger_mask(tmp_path, virtual_clock):
    with triggered_ktx22(tmp_path) as board:
        vktsim.set_signal(board.device, False)
        with pytest.raises(boards.BoardError, match="did not arrive within 300 ms"):
            list(boards.capture(board, 2))
        names = [name for name, _ in calls()]
        assert names.index("CxKTX22::ClearTriggerMask") > names.index("CxKTX22::ForceTrigger")
        vktsim.set_signal(board.device, True)
        assert [f.number for f in boards.capture(board, 2)] == [1, 2]
