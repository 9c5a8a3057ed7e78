"""None where the library takes a path, a text, an image or an image list
element reaches it as a null pointer, and the library answers 3
(InvalidArgument), as for any other unusable argument. Status 2
(MissingObject) stays this module's own: None as the object itself, or as a
record the library would have to fill, never reaches the library."""
import pytest

import unit
import vktsim
from conftest import error_fields
from grabber_support import small_camera, small_camera_file

GRABBERS = ["KTX21", "KTX22", "MR250"]


def grabber(tmp_path, model):
    return small_camera(tmp_path, model)


def sio(tmp_path, model):
    board = small_camera(tmp_path, model)
    line = getattr(unit, model + "Sio").from_(board)
    line.open()
    return line, board


def image_16x8():
    return vktsim.Image(16, 8)


# (case id, how the call is made from a setup, the library operation and the
# text of its answer). `make(tmp_path)` returns the objects the call needs.
GRABBER_CASES = [
    ("from_file", lambda t, m: None, lambda o, m: getattr(unit, m).from_file(None),
     "FromFile", "no camera file given"),
    ("from_file(id, ch)", lambda t, m: None, lambda o, m: getattr(unit, m).from_file(None, 0, 0),
     "FromFile", "no camera file given"),
    ("setup", grabber, lambda o, m: o.setup(None), "Setup", "no camera file given"),
    ("save", grabber, lambda o, m: o.save(None), "Save", "no camera file given"),
    ("save_w", grabber, lambda o, m: o.save_w(None), "SaveW", "no camera file given"),
    ("validate([None])", grabber, lambda o, m: o.validate([None]), "Validate",
     "image 0 is missing"),
    ("lock([None])", grabber, lambda o, m: o.lock([None]), "Lock", "the image is missing"),
    ("lock([image, None])", grabber, lambda o, m: o.lock([image_16x8(), None]), "Lock",
     "image 1 is missing"),
]
SIO_CASES = [
    ("write", sio, lambda o, m: o[0].write(None), "Write", "no text given"),
    ("set_camera_mode", sio, lambda o, m: o[0].set_camera_mode(None), "SetCameraMode",
     "no camera mode given"),
]
KTX22_MODULE_CASES = [
    ("validate(None)", grabber, lambda o, m: o.validate(None), "Validate",
     "the image module is missing"),
    ("lock(None)", grabber, lambda o, m: o.lock(None), "Lock", "the image module is missing"),
]

CASES = [(m, *c) for m in GRABBERS for c in GRABBER_CASES] + \
        [(m, *c) for m in ("KTX21", "KTX22") for c in SIO_CASES] + \
        [("KTX22", *c) for c in KTX22_MODULE_CASES]


@pytest.mark.parametrize("model, case, make, call, operation, text", CASES,
                         ids=["%s.%s" % c[:2] for c in CASES])
def test_a_grabber_answers_none_with_invalid_argument(tmp_path, model, case, make, call,
                                                       operation, text):
    objects = make(tmp_path, model)
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        call(objects, model)
    owner = "Cx%sSio" % model if make is sio else "Cx%s" % model
    qualified = "%s::%s" % (owner, operation)
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (3, "%s: %s" % (qualified, text))
    # The library received the null pointer (None in the journal).
    [args] = [args for called, args in vktsim.journal() if called == qualified]
    assert any(a is None or (isinstance(a, list) and None in a) for a in args)
    del objects


def test_a_refused_none_leaves_the_locked_ring_alone(tmp_path):
    board = small_camera(tmp_path, "KTX21")
    image = image_16x8()
    board.lock(image)
    with pytest.raises(RuntimeError, match="Code:3 "):
        board.lock([image, None])
    board.num = 1
    vktsim.set_clock("virtual")
    board.start()
    board.wait()
    assert board.query_status(0).last_frame_no == 1


@pytest.mark.parametrize("call, operation, text", [
    (lambda t: unit.Video.from_file(None), "CxVideo::FromFile", "null camera file path"),
    (lambda t: unit.Video.from_file(small_camera_file(t, "KTX21")).save(None), "CxKTX21::Save",
     "no camera file given"),
    (lambda t: unit.get_xml_item(None, "/Device/Name", None), "Api::GetXmlItem", "null path"),
    (lambda t: unit.get_device_info(vktsim.ExDevice.KTX21, None, None), "Api::GetDeviceInfo",
     "null item name"),
], ids=["Video.from_file", "Video.save", "get_xml_item", "get_device_info"])
def test_the_rest_of_the_library_answers_none_alike(tmp_path, call, operation, text):
    with pytest.raises(RuntimeError) as caught:
        call(tmp_path)
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (3, "%s: %s" % (operation, text))


def test_the_module_keeps_status_2_for_its_own_missing_objects(tmp_path):
    board = small_camera(tmp_path, "KTX22")
    vktsim.clear_journal()
    for call in (lambda: unit.KTX22.dispose(None), lambda: board.query_status(None),
                 lambda: board.wait_status(None, 10)):
        with pytest.raises(RuntimeError) as caught:
            call()
        assert error_fields(caught.value)[0] == 2
    assert vktsim.journal() == []
