"""What the device library does with input the modules never hand it, called
directly by a small C++ program (tests/library_harness.cpp): the image
constructor's refusals (vktsim.Image refuses the same shapes first), a
read-only text setting written (the modules' name tables offer no writable
text), and the wide camera-file overloads (a Python str always takes the
narrow ones) with a path whose characters lie beyond U+FFFF."""
import pytest

import unit
import vktsim
from grabber_support import SMALL_CAMERAS, write_camera_file
from harness_support import run_harness

CAMERA_NAME = " \U0001F4F7\U0001F600.txt"


@pytest.fixture(scope="module")
def results(tmp_path_factory):
    folder = tmp_path_factory.mktemp("harness")
    for model, settings in SMALL_CAMERAS.items():
        write_camera_file(folder, name=model + CAMERA_NAME, model=model, **settings)
    lines = run_harness("library_harness.cpp", folder, str(folder))
    outcome = {}
    for line in lines:
        label, rest = line.rsplit(" ok ", 1) if " ok " in line else (None, None)
        if label is not None:
            outcome.setdefault(label, []).append(("ok", rest))
            continue
        head, function = line.split(" Cx", 1)
        label, code = head.rsplit(" ", 1)
        outcome.setdefault(label, []).append((int(code), "Cx" + function))
    return outcome


def test_value_classes_copy_and_refuse_a_bad_length(results):
    assert results["string copies"] == [("ok", "abc")]
    for label in ("string bad length", "string missing data"):
        assert results[label] == [(int(vktsim.ExStatus.InvalidArgument),
                                   "CxStringA::Assign: bad length")]
    assert results["exception copies"] == [
        ("ok", "3 CxImage::CxImage: width and height must be positive")]
    assert results["image empty"] == [("ok", "0x0 no pixels")]


@pytest.mark.parametrize("shape, status, problem", [
    ("0x1x1x8", "InvalidArgument", "width and height must be positive"),
    ("1x-1x1x8", "InvalidArgument", "width and height must be positive"),
    ("1x1x0x8", "InvalidArgument", "channels must be 1 to 4"),
    ("1x1x5x8", "InvalidArgument", "channels must be 1 to 4"),
    ("1x1x1x12", "InvalidArgument", "depth must be 8 or 16"),
    ("1x1x1x32", "InvalidArgument", "depth must be 8 or 16"),
    ("32768x32769x1x8", "OutOfResources", "image larger than 1 GiB"),
    ("1073741824x1x2x8", "OutOfResources", "image larger than 1 GiB"),
])
def test_the_image_constructor_refuses_what_it_cannot_hold(results, shape, status, problem):
    assert results["image " + shape] == [
        (int(getattr(vktsim.ExStatus, status)), "CxImage::CxImage: " + problem)]


def test_the_image_constructor_makes_what_fits(results):
    assert results["image 4x2x3x16"] == [("ok", str(4 * 2 * 3 * 2))]


@pytest.mark.parametrize("name, value", [("DriverVersionName", "1.2.0"),
                                         ("FpgaVersionName", "2.3 (sim)")])
def test_a_read_only_text_setting_is_refused_and_kept(results, name, value):
    assert results["text " + name] == [
        (int(vktsim.ExStatus.ReadOnly), "CxSN2200Param::SetParam: '%s' is read-only" % name)]
    assert results["text-after " + name] == [("ok", value)]
    # What Python reads is the same text.
    board = unit.SN2200()
    board.open(0)
    assert unit.SN2200Param.from_(board).get_param(name) == value


@pytest.mark.parametrize("model", ["KTX21", "KTX22", "MR250"])
@pytest.mark.parametrize("call", ["from-file", "from-file-id", "setup"])
def test_wide_camera_file_paths_beyond_u_ffff_open_the_board(results, model, call):
    assert results["wide %s %s" % (model, call)] == [("ok", "opened")]


def test_a_video_opens_every_model_from_a_wide_path_beyond_u_ffff(results):
    models = [str(int(getattr(vktsim.ExDevice, m))) for m in ("KTX21", "KTX22", "MR250")]
    assert results["wide video from-file"] == [("ok", m) for m in models]
    assert results["wide video from-file-id"] == [("ok", m) for m in models]


# ---- the wide paths Python does pass ----------------------------------------------------------

def test_tk560_settings_round_trip_through_a_wide_path_beyond_u_ffff(tmp_path):
    board = unit.TK560()
    board.open(0)
    param = unit.TK560Param.from_(board)
    param.set_param("DINoiseFilterWidth", 7)
    path = tmp_path / ("settings" + CAMERA_NAME)
    board.save_w(str(path), 0)
    assert path.is_file()
    param.set_param("DINoiseFilterWidth", 0)
    vktsim.clear_journal()
    board.load_w(str(path), 0)
    assert vktsim.journal()[0] == ("CxTK560::LoadW", (vktsim.ident(board), str(path), 0))
    assert param.get_param("DINoiseFilterWidth") == 7


@pytest.mark.parametrize("model", ["KTX21", "KTX22", "MR250"])
def test_grabber_camera_files_saved_to_a_wide_path_beyond_u_ffff(tmp_path, model):
    board = getattr(unit, model).from_file(
        str(write_camera_file(tmp_path, model=model, **SMALL_CAMERAS[model])))
    path = tmp_path / (model + CAMERA_NAME)
    board.save_w(str(path))
    assert "[%s]" % model in path.read_text().splitlines()
    assert vktsim.journal()[-1] == ("Cx%s::SaveW" % model, (vktsim.ident(board), str(path)))
