"""Recordings made to hurt: each is refused by `load` and `replay` with a
ValueError naming the problem, within memory the file's size bounds (plus
64 MiB) and without hanging."""
import pathlib
import signal
import tracemalloc
import zlib

import pytest

import vktsim
from conftest import calls
from grabber_support import small_camera
from recording_support import HOSTILE, Member, archive, members
from vkt import recording

SLACK = 64 << 20


class Hang(Exception):
    pass


def within_a_minute(action):
    """Runs `action`, ending it with Hang if it has not returned after a
    minute (a guard against a loop without end, not a measure of speed)."""
    def stop(number, frame):
        raise Hang()
    previous = signal.signal(signal.SIGALRM, stop)
    signal.alarm(60)
    try:
        return action()
    finally:
        signal.alarm(0)
        signal.signal(signal.SIGALRM, previous)


@pytest.fixture(scope="module")
def hostile_files(tmp_path_factory):
    folder = tmp_path_factory.mktemp("hostile")
    paths = {}
    for name, (build, _) in HOSTILE.items():
        path = folder / (name.replace(" ", "_").replace("/", "") + ".npz")
        path.write_bytes(build(200) if build.__name__ == "zip_bomb" else build())
        paths[name] = path
    return paths


@pytest.mark.parametrize("name", list(HOSTILE))
def test_a_hostile_recording_is_refused_by_name_in_bounded_memory(hostile_files, name):
    path = hostile_files[name]
    tracemalloc.start()
    try:
        with pytest.raises(ValueError) as error:
            within_a_minute(lambda: recording.load(path))
        _, peak = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    assert str(error.value).startswith("not a valid recording: ")
    assert HOSTILE[name][1] in str(error.value)
    assert peak < path.stat().st_size + SLACK


@pytest.mark.parametrize("name", list(HOSTILE))
def test_replay_refuses_a_hostile_recording_before_the_board(tmp_path, hostile_files, name):
    device = small_camera(tmp_path, "KTX21")
    vktsim.clear_journal()
    with pytest.raises(ValueError, match="^not a valid recording: "):
        within_a_minute(lambda: vktsim.replay(device, str(hostile_files[name])))
    assert {name for name, _ in calls()} <= {"CxKTX21Param::From"}
    device.close()


def damaged_frames(parts):
    good = parts["frames"]
    parts["frames"] = Member(good[:-1] + b"\1", crc=zlib.crc32(good))


def oversized_frames(parts):
    parts["frames"] = Member(parts["frames"], size=len(parts["frames"]) + 10)


@pytest.mark.parametrize("change, text", [
    (damaged_frames, "member frames fails its CRC check"),
    (oversized_frames, "member frames.npy declares 198 bytes stored as 188"),
    (lambda parts: parts.update(extra=b"x"), "unexpected member extra.npy"),
    (lambda parts: parts.pop("timestamps_ms"), "member timestamps_ms is missing"),
])
def test_damage_to_a_member_is_named(tmp_path, change, text):
    parts = members()
    change(parts)
    path = tmp_path / "damaged.npz"
    path.write_bytes(archive(parts))
    with pytest.raises(ValueError, match="^not a valid recording: ") as error:
        recording.load(path)
    assert text in str(error.value)


def test_a_large_version_2_recording_streams_back(tmp_path):
    rec_path = tmp_path / "r.npz"
    writer = recording.Writer(rec_path, "KTX21", {"Width": 64}, 64, 48, 16)
    for number in range(1, 41):
        writer.add(number, -number, number * 0.5, bytes([number % 256]) * (64 * 48 * 2))
    writer.close(ending="interrupted (Ctrl-C)", lost=0)
    with recording.Reader(rec_path) as reader:
        assert reader.header.frame_numbers == list(range(1, 41))
        frames = list(reader.frames())
    assert [f[0] for f in frames] == [n % 256 for n in range(1, 41)]
    assert recording.load(rec_path).ending == "interrupted (Ctrl-C)"


@pytest.mark.parametrize("length", [0, 1, 63, 64, 1000, 1 << 20])
def test_the_crc_of_joined_parts_is_that_of_the_whole(length):
    head, tail = b"head of the member", bytes(range(256)) * (length // 256 + 1)
    tail = tail[:length]
    assert recording.crc32_combine(zlib.crc32(head), zlib.crc32(tail), length) == \
        zlib.crc32(head + tail)


CORPUS = pathlib.Path(__file__).resolve().parent / "fuzz" / "corpus" / "recording"


@pytest.mark.parametrize("path", sorted(CORPUS.iterdir()), ids=lambda p: p.name)
def test_every_file_of_the_fuzzing_corpus_loads_or_is_refused_by_name(path):
    try:
        rec = recording.load(path)
    except ValueError as error:
        assert not path.name.startswith("valid"), error
        assert str(error).startswith("not a valid recording: ")
    else:
        assert path.name.startswith("valid") and len(rec) >= 2
