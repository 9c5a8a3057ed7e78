"""The file readers' fuzzing corpus (tests/fuzz/corpus/<reader>/), read through
the Python surface: valid files of every model, the edge cases the other tests
know, and every input the fuzzers once found a fault with. Each file is either
accepted or refused with the reader's own error naming it; an accepted camera
or settings file reads back to the same settings from what the board saves."""
import pathlib

import pytest

import unit
import vktsim
from conftest import error_fields

CORPUS = pathlib.Path(__file__).resolve().parent / "fuzz" / "corpus"
GRABBERS = ("KTX21", "KTX22", "MR250")
XML_ITEMS = ("/Device/Name", "/Device/@id", "//Sensor/@width", "/Device/Empty", "//*[@*]")
# What a reader may answer for a file: it cannot be read, it is not sound, a
# value it holds is out of range, or (XML) the item is not in it.
REFUSALS = {int(vktsim.ExStatus.FileError), int(vktsim.ExStatus.FormatError),
            int(vktsim.ExStatus.InvalidArgument)}


def corpus(reader):
    files = sorted((CORPUS / reader).iterdir())
    assert files, "no corpus for %s" % reader
    return pytest.mark.parametrize("path", files, ids=[file.name for file in files])


def accepted(read, path, refusals=REFUSALS):
    """Whether `read()` went through; a refusal must be one the reader gives,
    naming the operation and the file."""
    try:
        read()
        return True
    except RuntimeError as error:
        code, _, function, _ = error_fields(error)
        assert code in refusals, str(error)
        assert str(path) in function or code == int(vktsim.ExStatus.NotFound), str(error)
        return False


def saved_after_reading(read, path, saved):
    """The text a board saves after reading `path`, or None when refused."""
    def read_and_save():
        read(str(path)).save(str(saved))
    return saved.read_bytes() if accepted(read_and_save, path) else None


def assert_reads_back(read, path, tmp_path):
    first, second = tmp_path / "first.txt", tmp_path / "second.txt"
    text = saved_after_reading(read, path, first)
    if text is not None:
        assert saved_after_reading(read, first, second) == text


@corpus("camera_file")
@pytest.mark.parametrize("model", GRABBERS)
def test_camera_files(path, model, tmp_path):
    assert_reads_back(getattr(unit, model).from_file, path, tmp_path)


@corpus("video_model")
def test_video_model_check(path):
    def read():
        video = unit.Video.from_file(str(path))
        assert video.device_type in {getattr(vktsim.ExDevice, model) for model in GRABBERS}
    accepted(read, path)


class TK560Loaded:
    """A TK560 board 0 that loaded the file at `path` (settings and outputs);
    it is closed once it saved, or when the file is refused."""

    def __init__(self, path):
        self.board = unit.TK560()
        self.board.open(0)
        try:
            self.board.load(str(path), 1)
        except RuntimeError:
            self.board.close()
            raise

    def save(self, target):
        self.board.save(target, 1)
        self.board.close()


@corpus("tk560_settings")
def test_tk560_settings_files(path, tmp_path):
    assert_reads_back(TK560Loaded, path, tmp_path)


@corpus("xml_item")
@pytest.mark.parametrize("item", XML_ITEMS)
def test_xml_descriptions(path, item):
    buffer = vktsim.String(b"kept")
    refusals = REFUSALS | {int(vktsim.ExStatus.NotFound)}
    if not accepted(lambda: unit.get_xml_item(str(path), item, buffer), path, refusals):
        assert buffer.value == b"kept"
