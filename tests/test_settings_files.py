"""Settings files: one reader, one set of rules for camera files (KTX21
setup) and boards' settings files (TK560 load)."""
import pytest

import unit
import vktsim
from conftest import error_fields
from grabber_support import small_camera


class CameraFiles:
    kind = "camera file"
    number = "Width"          # 1..16384, 16 on the small camera
    header = "[KTX21]\n"
    operation = "CxKTX21::Setup"

    def board(self, tmp_path):
        return small_camera(tmp_path, "KTX21")

    def load(self, board, path):
        board.setup(str(path))

    def get(self, board, name):
        return unit.KTX21Param.from_(board).get_param(name)


class BoardFiles:
    kind = "settings file"
    number = "DINoiseFilterWidth"   # 0 at power-on
    header = ""
    operation = "CxTK560::Load"

    def board(self, tmp_path):
        board = unit.TK560()
        board.open(0)
        return board

    def load(self, board, path):
        board.load(str(path), 1)

    def get(self, board, name):
        return unit.TK560Param.from_(board).get_param(name)


@pytest.fixture(params=[CameraFiles(), BoardFiles()], ids=["camera file", "board file"])
def files(request):
    return request.param


def write(path, files, body, line_end="\n", mark=""):
    text = mark + files.header + body
    path.write_bytes(text.replace("\n", line_end).encode())
    return path


def refusal(files, board, path):
    """The library error of loading `path`: its status and problem text."""
    with pytest.raises(RuntimeError) as caught:
        files.load(board, path)
    status, _, function, _ = error_fields(caught.value)
    prefix = files.operation + ": "
    assert function.startswith(prefix)
    return status, function[len(prefix):]


@pytest.mark.parametrize("line_end", ["\n", "\r\n"])
@pytest.mark.parametrize("mark", ["", "\ufeff"])
def test_comments_blanks_line_ends_and_byte_order_mark(tmp_path, files, line_end, mark):
    board = files.board(tmp_path)
    body = ("# a comment\n"
            "   \t# an indented comment\n"
            "\n"
            "\t \n"
            " \t%s\t=  12 \t\n" % files.number)
    files.load(board, write(tmp_path / "f.txt", files, body, line_end, mark))
    assert files.get(board, files.number) == 12


@pytest.mark.parametrize("written, value", [
    ("0x1F", 31), ("0X1f", 31), ("+12", 12), ("010", 10), ("00007", 7)])
def test_numbers_are_decimal_or_hexadecimal(tmp_path, files, written, value):
    board = files.board(tmp_path)
    files.load(board, write(tmp_path / "f.txt", files, "%s = %s\n" % (files.number, written)))
    assert files.get(board, files.number) == value


def test_negative_numbers_take_a_sign_in_either_base(tmp_path):
    board = BoardFiles().board(tmp_path)
    for written, value in (("-0x10", -16), ("-7", -7)):
        path = write(tmp_path / "f.txt", BoardFiles(), "Timeout = 5\nINTEdge = %s\n" % written)
        board.load(str(path), 0)
        assert unit.TK560Param.from_(board).get_param("INTEdge") == value


@pytest.mark.parametrize("body, line, problem", [
    ("{n} = 9\n{n} 5\n", 2, "expected 'Name = value'"),
    ("{n} = 9\n = 5\n", 2, "a setting needs a name before '='"),
    ("{n} = 9\n[ ]\n", 2, "a section header needs a name"),
    ("\n# c\n{n} = 16 # pixels\n", 3, "16 # pixels"),     # no comments after a value
    ("{n} = 9\n{n} = 0x\n", 2, "0x"),
    ("{n} = 9\n{n} = 1e3\n", 2, "1e3"),
    ("{n} = 9\n{n} = 99999999999999999999\n", 2, "99999999999999999999"),
    ("{n} = 9\n{n} = - 5\n", 2, "- 5"),
])
def test_a_line_that_is_not_sound_is_refused_naming_file_and_line(tmp_path, files, body, line,
                                                                    problem):
    board = files.board(tmp_path)
    before = files.get(board, files.number)
    path = write(tmp_path / "f.txt", files, body.format(n=files.number))
    status, text = refusal(files, board, path)
    where = "%s line %d: " % (path, line + files.header.count("\n"))
    assert status == int(vktsim.ExStatus.FormatError)
    assert text.startswith(where) and problem in text
    assert files.get(board, files.number) == before      # nothing of the file was applied


def test_a_missing_file_is_a_file_error(tmp_path, files):
    board = files.board(tmp_path)
    path = tmp_path / "missing.txt"
    assert refusal(files, board, path) == (int(vktsim.ExStatus.FileError),
                                           "cannot open %s '%s'" % (files.kind, path))


# ---- what sets the two kinds apart -------------------------------------------------------------

@pytest.mark.parametrize("written, text", [
    ('"#1 \\"front\\"\\t\\x41"', '#1 "front"\tA'),
    ("cam#2", "cam#2"),
    ("  spaced out  ", "spaced out"),
])
def test_camera_texts_may_hold_a_hash(tmp_path, written, text):
    board = small_camera(tmp_path, "KTX21")
    path = tmp_path / "camera.txt"
    path.write_text("[KTX21]\nCameraName = %s\n" % written)
    board.setup(str(path))
    assert unit.KTX21Param.from_(board).get_param("CameraName") == text
    board.save(str(path))
    assert 'CameraName = "%s"' % text.replace('"', '\\"').replace("\t", "\\t") in path.read_text()


@pytest.mark.parametrize("body, line, problem", [
    ("[KTX21]\nWidth = 8\n[KTX21]\n", 3, "a camera file has one header, its first line that is no comment"),
    ("# header after a comment is fine, but not after a setting\nWidth = 8\n[KTX21]\n", 2,
     "expected the header [KTX21]"),
])
def test_a_camera_file_has_its_header_first_and_once(tmp_path, body, line, problem):
    board = small_camera(tmp_path, "KTX21")
    path = tmp_path / "camera.txt"
    path.write_text(body)
    status, text = refusal(CameraFiles(), board, path)
    assert (status, text) == (int(vktsim.ExStatus.FormatError), "%s line %d: %s" % (path, line, problem))
    assert unit.KTX21Param.from_(board).get_param("Width") == 16


def test_a_board_file_has_no_sections(tmp_path):
    board = BoardFiles().board(tmp_path)
    path = tmp_path / "board.cfg"
    path.write_text("DINoiseFilterWidth = 3\n[TK560]\n")
    status, text = refusal(BoardFiles(), board, path)
    assert (status, text) == (int(vktsim.ExStatus.FormatError),
                              "%s line 2: a board's settings file has no sections" % path)


@pytest.mark.parametrize("body, status, problem", [
    ("# only a comment\n", "FormatError", "names no grabber model"),
    ("\n  # model below\n [ KTX22 ] \nWidth = 16\n", None, None),
    ("[KTX22]\nWidth 16\n", "FormatError", "line 2: expected 'Name = value'"),
])
def test_video_finds_the_model_by_the_same_rules(tmp_path, body, status, problem):
    path = tmp_path / "camera.txt"
    path.write_text(body)
    if status is None:
        assert unit.Video.from_file(str(path)).device_type == vktsim.ExDevice.KTX22
        return
    with pytest.raises(RuntimeError) as caught:
        unit.Video.from_file(str(path))
    code, _, function, _ = error_fields(caught.value)
    assert code == int(getattr(vktsim.ExStatus, status)) and problem in function
