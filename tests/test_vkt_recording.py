"""Recordings: written without numpy, read back alike and by numpy alone;
anything that is not a whole recording is refused with a ValueError naming
what is wrong."""
import pathlib
import zipfile

import numpy as np
import pytest

from vkt import recording
from vkt.recording import Recording


def sample(depth=8, count=3, width=5, height=4):
    rng = np.random.default_rng(depth + count)
    dtype = "u1" if depth == 8 else "<u2"
    frames = [rng.integers(0, 2 ** depth, (height, width)).astype(dtype) for _ in range(count)]
    return Recording(model="KTX21", settings={"Width": width, "CameraName": "Ä camera"},
                     width=width, height=height, depth=depth,
                     frames=[f.tobytes() for f in frames],
                     frame_numbers=list(range(1, count + 1)),
                     encoder_counts=[100 * i - 7 for i in range(count)],
                     timestamps_ms=[20.5 * i for i in range(count)]), np.stack(frames)


@pytest.mark.parametrize("depth", [8, 16])
def test_a_recording_comes_back_whole_and_numpy_reads_it(tmp_path, depth):
    rec, frames = sample(depth)
    path = tmp_path / "r.npz"
    recording.save(path, rec)
    assert recording.load(path) == rec
    with np.load(path) as data:               # no pickles: allow_pickle stays False
        assert sorted(data.files) == sorted(["format", "model", "settings", "frames",
                                             "frame_numbers", "encoder_counts",
                                             "timestamps_ms", "lost_frames", "ending"])
        assert str(data["format"]) == "vkt-recording/2"
        assert int(data["lost_frames"]) == 0 and str(data["ending"]) == "complete"
        assert str(data["model"]) == "KTX21"
        assert data["settings"].shape == ()
        assert data["frames"].dtype == frames.dtype and np.array_equal(data["frames"], frames)
        assert data["frame_numbers"].tolist() == [1, 2, 3]
        assert data["encoder_counts"].tolist() == [-7, 93, 193]
        assert data["timestamps_ms"].tolist() == [0.0, 20.5, 41.0]
    assert not list(tmp_path.glob("*.partial"))


def numpy_written(path, **changes):
    """A recording written by numpy itself, with members changed or dropped
    (None) as given."""
    rec, frames = sample()
    members = {"format": np.array("vkt-recording/1"), "model": np.array("KTX21"),
               "settings": np.array('{"Width": 5}'), "frames": frames,
               "frame_numbers": np.array(rec.frame_numbers, "<i8"),
               "encoder_counts": np.array(rec.encoder_counts, "<i8"),
               "timestamps_ms": np.array(rec.timestamps_ms, "<f8")}
    members.update(changes)
    np.savez(path, **{k: v for k, v in members.items() if v is not None})
    return path


def test_a_recording_numpy_wrote_loads(tmp_path):
    rec = recording.load(numpy_written(tmp_path / "n.npz"))
    assert rec.settings == {"Width": 5} and len(rec) == 3 and rec.depth == 8


@pytest.mark.parametrize("changes, text", [
    ({"format": np.array("other/2")}, "format 'other/2' ('vkt-recording/2' expected)"),
    ({"model": None}, "member model is missing"),
    ({"extra": np.zeros(2)}, "unexpected member extra.npy"),
    ({"frames": np.zeros((3, 4, 5), np.float32)}, "member frames is <f4 of shape (3, 4, 5)"),
    ({"frames": np.zeros((3, 20), np.uint8)}, "member frames is |u1 of shape (3, 20)"),
    ({"frame_numbers": np.arange(2, dtype="<i8")}, "3 frames but 2 frame numbers"),
    ({"encoder_counts": np.arange(3, dtype="<i4")}, "member encoder_counts is <i4"),
    ({"timestamps_ms": np.array([0, np.nan, 1.0])}, "a timestamp is not a finite number"),
    ({"settings": np.array("{not json")}, "member settings is not JSON"),
    ({"settings": np.array("[1, 2]")}, "member settings nests objects or lists"),
    ({"settings": np.array("7")}, "member settings is not a JSON object"),
    ({"settings": np.array('{"Width": 1.5}')}, "setting 'Width' has a value of kind float"),
    ({"model": np.array(7)}, "member model is not a text"),
    ({"frames": np.zeros((0, 4, 5), np.uint8), "frame_numbers": np.zeros(0, "<i8"),
      "encoder_counts": np.zeros(0, "<i8"), "timestamps_ms": np.zeros(0)}, "it holds no frames"),
])
def test_a_wrong_member_is_refused_by_name(tmp_path, changes, text):
    path = numpy_written(tmp_path / "bad.npz", **changes)
    with pytest.raises(ValueError) as error:
        recording.load(path)
    assert str(error.value).startswith("not a valid recording: ")
    assert text in str(error.value)


def test_a_truncated_file_is_refused_wherever_it_ends(tmp_path):
    rec, _ = sample()
    whole = tmp_path / "whole.npz"
    recording.save(whole, rec)
    data = whole.read_bytes()
    cut = tmp_path / "cut.npz"
    for size in range(0, len(data), max(1, len(data) // 40)):
        cut.write_bytes(data[:size])
        with pytest.raises(ValueError, match="^not a valid recording: "):
            recording.load(cut)


@pytest.mark.parametrize("member, keep, text", [
    ("frames.npy", 140, "member frames is truncated: 12 of 60 bytes"),
    ("frames.npy", 20, "member frames is truncated in its header"),
    ("frames.npy", 3, "member frames is not a .npy array"),
    ("timestamps_ms.npy", 130, "member timestamps_ms is truncated: 2 of 24 bytes"),
])
def test_a_truncated_member_is_refused_by_name(tmp_path, member, keep, text):
    rec, _ = sample()
    whole = tmp_path / "whole.npz"
    recording.save(whole, rec)
    path = tmp_path / "cut.npz"
    with zipfile.ZipFile(whole) as source, zipfile.ZipFile(path, "w") as target:
        for name in source.namelist():
            blob = source.read(name)
            target.writestr(name, blob[:keep] if name == member else blob)
    with pytest.raises(ValueError) as error:
        recording.load(path)
    assert text in str(error.value)


def test_a_member_with_bytes_too_many_is_refused(tmp_path):
    rec, _ = sample()
    whole = tmp_path / "whole.npz"
    recording.save(whole, rec)
    path = tmp_path / "long.npz"
    with zipfile.ZipFile(whole) as source, zipfile.ZipFile(path, "w") as target:
        for name in source.namelist():
            blob = source.read(name)
            target.writestr(name, blob + b"\0\0" if name == "frame_numbers.npy" else blob)
    with pytest.raises(ValueError, match="member frame_numbers has 2 bytes too many"):
        recording.load(path)


@pytest.mark.parametrize("changes, text", [
    ({"depth": 12}, "frames of 12 bits per sample"),
    ({"frames": [b"\0" * 20, b"\0" * 19, b"\0" * 20]}, "frame 1 holds 19 bytes, 5x4 at 8 bits takes 20"),
    ({"timestamps_ms": [0.0]}, "3 frames but 1 timestamps ms"),
    ({"model": ""}, "the model is missing"),
    ({"settings": {"Width": True}}, "setting 'Width' has a value of kind bool"),
])
def test_a_recording_that_does_not_add_up_is_not_made(changes, text):
    rec, _ = sample()
    fields = {f: getattr(rec, f) for f in rec.__dataclass_fields__}
    fields.update(changes)
    with pytest.raises(ValueError) as error:
        Recording(**fields)
    assert text in str(error.value)


def test_a_file_that_is_not_an_archive_is_refused(tmp_path):
    path = tmp_path / "text.npz"
    path.write_text("hello")
    with pytest.raises(ValueError, match=r"text.npz is not a whole .npz archive"):
        recording.load(path)
    with pytest.raises(FileNotFoundError):
        recording.load(tmp_path / "missing.npz")


def test_saving_replaces_a_file_whole(tmp_path):
    path = pathlib.Path(tmp_path / "r.npz")
    first, _ = sample(count=2)
    second, _ = sample(depth=16, count=4)
    recording.save(path, first)
    recording.save(path, second)
    assert recording.load(path) == second
