"""Ordinary Python that must never crash the process nor reach the library
with garbage: objects whose __init__ never ran, boards released under their
wrappers, numbers that are not integers."""
import inspect
import re

import pytest

import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import KTX21_CAMERA_FILE

UNIT_CLASSES = [obj for _, obj in vars(unit).items()
                if inspect.isclass(obj) and not issubclass(obj, BaseException)]
VKTSIM_CLASSES = [obj for name, obj in vars(vktsim).items()
                  if inspect.isclass(obj) and not name.startswith("_")]
ALL_CLASSES = UNIT_CLASSES + VKTSIM_CLASSES
ENUMERATIONS = (unit.EventStatus, vktsim.ExDevice, vktsim.ExStatus)


def unconstructed(cls):
    """An object of `cls` whose __init__ never ran."""
    return cls.__new__(cls)


def class_id(cls):
    return "%s.%s" % (cls.__module__, cls.__name__)


# ---- calling every member the way None is called ------------------------------------

# A value for each annotated parameter type of a pybind11 signature.
_SAMPLE_ARGUMENTS = {"int": 0, "bool": False, "str": "x", "list": [], "bytes": b"x"}


def _sample(annotation):
    return _SAMPLE_ARGUMENTS.get(annotation.strip(), None)


def _overload_arguments(function):
    """Sample arguments after `self` for each overload in the signature text."""
    forms = []
    for line in (function.__doc__ or "").splitlines():
        match = re.match(r"^(?:\d+\. )?\w+\((.*)\) -> ", line.strip())
        if not match:
            continue
        params = [p for p in re.split(r",\s*(?![^\[]*\])", match.group(1)) if p]
        forms.append(tuple(_sample(p.split(":", 1)[1].split("=")[0]) for p in params[1:]))
    return forms or [()]


def _members(cls):
    """(label, call(obj)) for every method overload and property access of `cls`."""
    members = []
    for name, attribute in vars(cls).items():
        if name in ("__new__", "__init__") or name.startswith("__") and name not in (
                "__eq__", "__ne__", "__int__", "__repr__", "__index__"):
            continue
        if isinstance(attribute, property):
            members.append((name + ".fget", lambda obj, a=attribute: a.fget(obj)))
            if attribute.fset is not None:
                members.append((name + ".fset", lambda obj, a=attribute: a.fset(obj, 0)))
        elif callable(attribute) and not isinstance(attribute, (staticmethod, type)):
            for args in _overload_arguments(attribute):
                members.append(("%s%r" % (name, args),
                                lambda obj, f=attribute, a=args: f(obj, *a)))
    return members


def _outcome(call):
    """What Python sees of a call and what reached the library."""
    vktsim.clear_journal()
    try:
        result = ("returned", call())
    except Exception as error:  # noqa: BLE001 - the outcome is what is compared
        # The library's and the module's errors are compared by their text;
        # pybind11's own refusals name the object, so only by their type.
        text = str(error) if type(error) is RuntimeError else None
        result = ("raised", type(error), text)
    return result, vktsim.journal()


MEMBER_CASES = [pytest.param(cls, label, call, id="%s.%s" % (class_id(cls), label))
                for cls in ALL_CLASSES for label, call in _members(cls)]


def _is_missing_object_error(outcome):
    result, journal = outcome
    return (result[:2] == ("raised", RuntimeError) and result[2].startswith("Code:2 ")
            and journal == [])


@pytest.mark.parametrize("cls, label, call", MEMBER_CASES)
def test_every_member_treats_an_unconstructed_self_like_none(cls, label, call):
    as_none = _outcome(lambda: call(None))
    as_unconstructed = _outcome(lambda: call(unconstructed(cls)))
    if issubclass(cls, ENUMERATIONS):
        # pybind11's own enumeration members take any object: they must
        # merely stay away from the library.
        assert as_unconstructed[1] == []
    elif as_none[0][:2] == ("raised", TypeError):
        # pybind11 refuses None as `self` of a member with named arguments
        # before the member runs; an unconstructed object is not None and
        # reaches the member as the missing object it is.
        assert as_unconstructed == as_none or _is_missing_object_error(as_unconstructed)
    else:
        assert as_unconstructed == as_none


def test_every_class_of_both_modules_has_members_checked():
    checked = {case.values[0] for case in MEMBER_CASES}
    assert checked == set(ALL_CLASSES)


@pytest.mark.parametrize("make", [
    lambda: unit.SNR11.__new__(unit.SNR11).is_opened,
    lambda: unit.KTX21.__new__(unit.KTX21).open(0, 0),
    lambda: unit.TK560Param.__new__(unit.TK560Param).set_param("Timeout", 5),
    lambda: unit.Video.__new__(unit.Video).get_param("Width"),
    lambda: unit.TxKTX21CaptureStatus.__new__(unit.TxKTX21CaptureStatus).line_count,
], ids=["SNR11.is_opened", "KTX21.open", "TK560Param.set_param", "Video.get_param",
        "TxKTX21CaptureStatus.line_count"])
def test_an_unconstructed_self_is_a_missing_object(make):
    with pytest.raises(RuntimeError) as caught:
        make()
    assert error_fields(caught.value)[0] == 2
    assert calls() == []


# ---- unconstructed objects as arguments ---------------------------------------------

COMPANIONS = [(unit.SNR11Param, unit.SNR11), (unit.SN2200Param, unit.SN2200),
              (unit.TK560Param, unit.TK560), (unit.KTX21Param, unit.KTX21),
              (unit.KTX21Encoder, unit.KTX21), (unit.KTX21Sio, unit.KTX21),
              (unit.KTX22Param, unit.KTX22), (unit.KTX22Encoder, unit.KTX22),
              (unit.KTX22Sio, unit.KTX22), (unit.MR250Param, unit.MR250)]


@pytest.mark.parametrize("companion, board", COMPANIONS, ids=lambda c: c.__name__)
def test_from_an_unconstructed_board_is_from_none(companion, board):
    from_none = _outcome(lambda: vktsim.ident(companion.from_(None)))
    from_unconstructed = _outcome(lambda: vktsim.ident(companion.from_(unconstructed(board))))
    assert from_unconstructed[1] == from_none[1]
    assert ("Cx%s::From" % companion.__name__, (None,)) in from_unconstructed[1]


@pytest.mark.parametrize("companion, board", COMPANIONS, ids=lambda c: c.__name__)
def test_an_unconstructed_board_set_as_controller_detaches(companion, board):
    param = companion()
    vktsim.clear_journal()
    param.controller = unconstructed(board)
    assert calls("Cx%s::Controller" % companion.__name__) == [(vktsim.ident(param), None)]


@pytest.mark.parametrize("cls", [c for c in UNIT_CLASSES
                                 if "__eq__" in vars(c) and c is not unit.EventStatus],
                         ids=class_id)
def test_an_unconstructed_operand_of_a_comparison_is_a_missing_object(cls):
    obj = cls()
    vktsim.clear_journal()
    # obj's own operator declines the missing operand, as it does None; the
    # reflected operator then runs with the missing object as its `self`.
    for compare in (lambda a, b: a == b, lambda a, b: a != b):
        for left, right in ((obj, unconstructed(cls)), (unconstructed(cls), obj)):
            with pytest.raises(RuntimeError) as caught:
                compare(left, right)
            assert error_fields(caught.value)[0] == 2
    assert calls() == []


@pytest.mark.parametrize("cls", [unit.KTX21, unit.KTX22, unit.MR250, unit.Video],
                         ids=class_id)
def test_copying_an_unconstructed_board_is_refused_like_none(cls):
    alive = vktsim.live_objects()
    for other in (None, unconstructed(cls)):
        with pytest.raises(TypeError):
            cls(other)
    assert vktsim.live_objects() == alive
    assert calls() == []


@pytest.fixture
def ktx21():
    return unit.KTX21.from_file(str(KTX21_CAMERA_FILE))


def test_an_unconstructed_image_is_no_image(ktx21):
    image = vktsim.Image.__new__(vktsim.Image)
    vktsim.clear_journal()
    with pytest.raises(TypeError):
        ktx21.validate(image)
    assert calls() == []


@pytest.mark.parametrize("method", ["validate", "lock"])
def test_an_unconstructed_image_in_a_list_is_a_null_element(ktx21, method):
    made = vktsim.Image(4, 4)
    images = [made, vktsim.Image.__new__(vktsim.Image), None]
    vktsim.clear_journal()
    try:
        getattr(ktx21, method)(images)
    except RuntimeError:
        pass  # the library's answer to a null element is the library's business
    ident = vktsim.ident(ktx21)
    assert [args for name, args in vktsim.journal() if name.endswith("::" + method.title())] \
        == [(ident, [vktsim.ident(made), None, None], 3)
            + ((0,) if method == "lock" else ())]


@pytest.mark.parametrize("function, interface", [
    (lambda obj: unit.write(obj, 1), vktsim.IxDIO),
    (lambda obj: unit.write(obj, 0, True), vktsim.IxIndexedDIO),
    (lambda obj: unit.set_register(obj, 1, 2), vktsim.IxRegister),
    (lambda obj: unit.get_device_module(obj), vktsim.IxDeviceModule),
    (lambda obj: unit.start(obj), vktsim.IxVideoControl),
    (lambda obj: unit.is_running(obj), vktsim.IxVideoControl),
], ids=["write", "write_indexed", "set_register", "get_device_module", "start", "is_running"])
@pytest.mark.parametrize("make", [unconstructed, lambda cls: None], ids=["unconstructed", "none"])
def test_module_functions_refuse_an_unconstructed_interface(function, interface, make):
    with pytest.raises(TypeError):
        function(make(interface))
    assert calls() == []


@pytest.mark.parametrize("cls", [vktsim.DIO, vktsim.IndexedDIO, vktsim.Register,
                                 vktsim.DeviceModule, vktsim.VideoControl], ids=class_id)
def test_unconstructed_simulated_objects_are_no_library_objects(cls):
    obj = unconstructed(cls)
    with pytest.raises(ValueError, match="holds no library object"):
        vktsim.ident(obj)
    for interface in (vktsim.IxDIO, vktsim.IxModule):
        with pytest.raises(ValueError, match="holds no library object"):
            vktsim.as_interface(obj, interface)


def test_an_unconstructed_image_has_no_buffer_nor_size():
    image = vktsim.Image.__new__(vktsim.Image)
    with pytest.raises(BufferError):
        memoryview(image)
    for name in ("width", "height", "channels", "depth"):
        with pytest.raises(ValueError, match="holds no library object"):
            getattr(image, name)
    with pytest.raises(ValueError, match="holds no library object"):
        vktsim.ident(image)


def test_init_after_new_makes_a_usable_object():
    board = unit.SNR11.__new__(unit.SNR11)
    board.__init__()
    assert board.is_opened is False
    assert calls("CxSNR11::IsOpened") == [(vktsim.ident(board),)]
