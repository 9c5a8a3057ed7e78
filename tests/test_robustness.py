"""Ordinary Python that must never crash the process nor reach the library
with garbage: objects whose __init__ never ran, numbers that are not
integers, paths that are no regular files, companions and wrappers of boards
that are gone."""
import contextlib
import gc
import inspect
import operator
import os
import pathlib
import re
import subprocess
import sys
import time
from decimal import Decimal
from fractions import Fraction

import numpy
import pytest

import unit
import vktsim
from conftest import ALIVE_AFTER_COLLECTION, build_tool_env, calls, error_fields
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


# ---- printing an object whose __init__ never ran ------------------------------------

# An enumeration's own __repr__ reads the integer value, which such an object
# lacks; pybind11's enumeration members take any object.
@pytest.mark.parametrize("cls", ENUMERATIONS, ids=class_id)
def test_an_unconstructed_member_prints_as_a_plain_object(cls):
    obj = unconstructed(cls)
    assert repr(obj) == object.__repr__(obj)
    assert calls() == []


def test_an_unconstructed_image_is_refused_by_its_repr_as_none_is():
    for obj in (unconstructed(vktsim.Image), None):
        with pytest.raises(ValueError, match="^the object holds no library object$"):
            vktsim.Image.__repr__(obj)


# Made in the test, not at collection: a library object alive for the whole
# session would make every test start with a full garbage collection.
@pytest.mark.parametrize("make, text", [
    (lambda: unit.EventStatus.TIMEOUT, "<EventStatus.TIMEOUT: 3>"),
    (lambda: unit.DI, "<EventStatus.DI: 2>"),
    (lambda: vktsim.ExDevice.KTX22, "<ExDevice.KTX22: 4>"),
    (lambda: vktsim.ExStatus(7), "<ExStatus.Timeout: 7>"),
    (lambda: vktsim.Image(4, 3, channels=3, depth=16), "vktsim.Image(4, 3, channels=3, depth=16)"),
], ids=["EventStatus", "DI", "ExDevice", "ExStatus", "Image"])
def test_constructed_objects_print_their_value(make, text):
    assert repr(make()) == text


def test_collecting_the_suite_leaves_no_library_object_alive():
    assert ALIVE_AFTER_COLLECTION == {}


@pytest.mark.parametrize("cls", ENUMERATIONS, ids=class_id)
@pytest.mark.parametrize("convert", [int, operator.index, hash, str, lambda e: type(e).value.fget(e)],
                         ids=["int", "index", "hash", "str", "value"])
def test_an_unconstructed_member_is_refused_naming_it(cls, convert):
    # The refusal prints the object it refuses: once, as a plain object.
    obj = unconstructed(cls)
    with pytest.raises(TypeError) as caught:
        convert(obj)
    assert str(caught.value).endswith("Invoked with: " + object.__repr__(obj))
    assert calls() == []


def test_printing_unconstructed_objects_needs_little_stack():
    # Printing one used to recurse (each refusal printed the object again) as
    # deep as the interpreter allows: a thread with a modest stack died of it.
    program = (
        "import threading, unit, vktsim\n"
        "threading.stack_size(512 * 1024)\n"
        "def work():\n"
        "    for cls in (unit.EventStatus, vktsim.ExDevice, vktsim.ExStatus, vktsim.Image):\n"
        "        obj = cls.__new__(cls)\n"
        "        for convert in (repr, str, hash, int):\n"
        "            try:\n"
        "                convert(obj)\n"
        "            except (TypeError, ValueError):\n"
        "                pass\n"
        "thread = threading.Thread(target=work)\n"
        "thread.start()\n"
        "thread.join()\n"
        "print('alive')\n")
    child = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True,
                           timeout=120)
    assert (child.returncode, child.stdout) == (0, "alive\n"), child.stderr


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


# ---- integers are integers ------------------------------------------------------------

class IntOnly:
    """A number that converts with int() but is no integer (no __index__)."""

    def __int__(self):
        return 5


class Indexed:
    """An integer by protocol: it has __index__."""

    def __index__(self):
        return 7


NOT_INTEGERS = [numpy.float32(3.7), numpy.float16(2.0), numpy.float64(6.0), Decimal("5.9"),
                Decimal("5"), Fraction(11, 2), Fraction(4, 1), IntOnly(), 2.0, complex(1, 0)]
NOT_INTEGER_IDS = ["float32", "float16", "float64", "Decimal-5.9", "Decimal-5",
                   "Fraction-11/2", "Fraction-4/1", "int-only", "float", "complex"]


def opened_snr11():
    board = unit.SNR11()
    board.open(0)
    return board


def opened_ktx21():
    board = unit.KTX21()
    board.open(0, 0)
    return board


def _set(obj, name):
    return lambda value: setattr(obj, name, value)


def ktx21_companion(cls):
    """A companion of an opened KTX21, returned with the board that must outlive it."""
    board = opened_ktx21()
    return cls.from_(board), board


def _set_register(argument):
    param, board = ktx21_companion(unit.KTX21Param)
    return lambda value, board=board: param.set_register(*argument(value))


# Integer parameters across the kinds of member: (label, make a call taking the value).
INTEGER_PARAMETERS = [
    ("SNR11.write", lambda: opened_snr11().write),
    ("SNR11.read(index)", lambda: opened_snr11().read),
    ("SNR11.open", lambda: unit.SNR11().open),
    ("SNR11Param.timeout", lambda: _set(unit.SNR11Param.from_(opened_snr11()), "timeout")),
    ("module write", lambda: lambda v: unit.write(vktsim.DIO(), v)),
    ("module set_register", lambda: lambda v: unit.set_register(vktsim.Register(), v, 1)),
    ("KTX21.open", lambda: lambda v: unit.KTX21().open(v, 0)),
    ("KTX21.num", lambda: _set(opened_ktx21(), "num")),
    ("KTX21.abort(frames)", lambda: opened_ktx21().abort),
    ("KTX21.from_file option", lambda: lambda v: unit.KTX21.from_file(str(KTX21_CAMERA_FILE), v)),
    ("KTX21Param.set_register address", lambda: _set_register(lambda v: (v, 0))),
    ("KTX21Param.set_register value", lambda: _set_register(lambda v: (0x40, v))),
    ("KTX21Param.exposure_time", lambda: _set(unit.KTX21Param.from_(opened_ktx21()),
                                              "exposure_time")),
    ("KTX21Encoder.comp1", lambda: _set(unit.KTX21Encoder.from_(opened_ktx21()), "comp1")),
    ("Video.trigger_mode", lambda: _set(unit.Video(), "trigger_mode")),
    ("TxKTX21CaptureStatus()", lambda: lambda v: unit.TxKTX21CaptureStatus(v, 0, 0, 0, 0, 0)),
    ("TxKTX22EncoderStatus()",
     lambda: lambda v: unit.TxKTX22EncoderStatus(False, False, v, 0, 0, 0, 0, 0, 0)),
    ("SN2200WaitStatus()", lambda: lambda v: unit.SN2200WaitStatus(0, 0, v)),
    ("EventStatus()", lambda: unit.EventStatus),
    ("vktsim.Image()", lambda: lambda v: vktsim.Image(v, 4)),
    ("vktsim.set_inputs", lambda: lambda v: vktsim.set_inputs("SNR11", 0, v)),
]


@pytest.mark.parametrize("label, make", INTEGER_PARAMETERS, ids=[p[0] for p in INTEGER_PARAMETERS])
@pytest.mark.parametrize("value", NOT_INTEGERS, ids=NOT_INTEGER_IDS)
def test_integer_parameters_refuse_numbers_that_are_not_integers(label, make, value):
    call = make()
    vktsim.clear_journal()
    with pytest.raises(TypeError):
        call(value)
    assert vktsim.journal() == []


class RaisingIndex:
    """An object whose __index__ raises `error`, counting its calls."""

    def __init__(self, error):
        self.error = error
        self.calls = 0

    def __index__(self):
        self.calls += 1
        raise self.error


def _bound(board, use):
    """A call taking the value, made on `board` (opened now, not in the call)."""
    return lambda value: use(board, value)


# Integer parameters of overloaded members in a later overload, or after
# another integer: the exception must come from the first attempt to convert.
OVERLOADED_INTEGER_PARAMETERS = [
    ("SNR11.write(line, on)",
     lambda: _bound(opened_snr11(), lambda board, v: board.write(v, True))),
    ("KTX21.from_file(path, id, ch)",
     lambda: lambda v: unit.KTX21.from_file(str(KTX21_CAMERA_FILE), 0, v)),
    ("KTX21.lock(images, option)",
     lambda: _bound(opened_ktx21(), lambda board, v: board.lock([], v))),
    ("vktsim.schedule_inputs", lambda: lambda v: vktsim.schedule_inputs("SNR11", 0, [(20, v, -1)])),
]
PASSING_ON = INTEGER_PARAMETERS + OVERLOADED_INTEGER_PARAMETERS


@pytest.mark.parametrize("label, make", PASSING_ON, ids=[p[0] for p in PASSING_ON])
@pytest.mark.parametrize("make_error", [KeyboardInterrupt, lambda: ValueError("mine"),
                                        lambda: OverflowError("big"), RecursionError],
                         ids=["KeyboardInterrupt", "ValueError", "OverflowError",
                              "RecursionError"])
def test_what_index_raises_reaches_the_caller_unchanged(label, make, make_error):
    call = make()
    value = RaisingIndex(make_error())
    vktsim.clear_journal()
    with pytest.raises(BaseException) as caught:
        call(value)
    assert caught.value is value.error      # the very object, neither wrapped nor replaced
    assert value.calls == 1
    assert vktsim.journal() == []


@pytest.mark.parametrize("label, make", PASSING_ON, ids=[p[0] for p in PASSING_ON])
def test_a_type_error_from_index_means_no_integer(label, make):
    call = make()
    own = TypeError("not a number after all")
    vktsim.clear_journal()
    with pytest.raises(TypeError) as caught:
        call(RaisingIndex(own))
    assert caught.value is not own     # the binding's refusal, as for any non-integer
    assert vktsim.journal() == []


@pytest.mark.parametrize("label, make, name", [
    ("SNR11Param", lambda: unit.SNR11Param.from_(opened_snr11()), "Version"),
    ("Video", lambda: unit.Video.from_file(str(KTX21_CAMERA_FILE)), "ExposureTime"),
], ids=["SNR11Param", "Video"])
def test_what_index_raises_in_a_set_param_value_reaches_the_caller(label, make, name):
    param = make()
    value = RaisingIndex(ValueError("mine"))
    vktsim.clear_journal()
    with pytest.raises(ValueError) as caught:
        param.set_param(name, value)
    assert caught.value is value.error and value.calls == 1
    assert not any(op.endswith("::SetParam") for op, _ in vktsim.journal())


SET_PARAM = [
    ("SNR11Param", lambda: unit.SNR11Param.from_(opened_snr11()), "Version"),
    ("SNR11Param unsigned", lambda: unit.SNR11Param.from_(opened_snr11()), "DIEnable"),
    ("KTX21Param", lambda: unit.KTX21Param.from_(opened_ktx21()), "ExposureTime"),
    ("KTX21Encoder", lambda: unit.KTX21Encoder.from_(opened_ktx21()), "ENCComp1"),
    ("Video", lambda: unit.Video.from_file(str(KTX21_CAMERA_FILE)), "ExposureTime"),
]


@pytest.mark.parametrize("label, make, name", SET_PARAM, ids=[p[0] for p in SET_PARAM])
@pytest.mark.parametrize("value", NOT_INTEGERS, ids=NOT_INTEGER_IDS)
def test_set_param_refuses_numbers_that_are_not_integers_with_the_cast_error(label, make, name,
                                                                          value):
    param = make()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        param.set_param(name, value)
    operations = [operation for operation, _ in vktsim.journal()]
    assert not any(operation.endswith("::SetParam") for operation in operations)
    if label != "Video":  # a Video reads its device type and makes its companion first
        assert operations == []


INTEGERS = [(numpy.int64(7), 7), (numpy.uint16(7), 7), (numpy.int8(-3), -3), (Indexed(), 7),
            (True, 1), (7, 7)]
INTEGER_IDS = ["int64", "uint16", "int8", "__index__", "bool", "int"]


@pytest.mark.parametrize("value, seen", INTEGERS, ids=INTEGER_IDS)
def test_integers_by_protocol_reach_the_library_as_their_value(value, seen):
    board = opened_snr11()
    param = unit.SNR11Param.from_(board)
    vktsim.script("CxSNR11Param::SetParam", value=None)
    param.set_param("Version", value)
    assert calls("CxSNR11Param::SetParam")[-1][2:] == (seen, 0x100000008)
    record = unit.TxKTX21CaptureStatus(0, 0, 0, value, 0, 0)
    assert record.line_count == seen


@pytest.mark.parametrize("value, seen", [(v, s) for v, s in INTEGERS if s >= 0],
                         ids=[i for i, (v, s) in zip(INTEGER_IDS, INTEGERS) if s >= 0])
def test_unsigned_parameters_take_integers_by_protocol(value, seen):
    param, board = ktx21_companion(unit.KTX21Param)
    vktsim.clear_journal()
    param.set_register(0x40, value)
    assert calls("CxKTX21Param::SetRegister") == [(vktsim.ident(param), 0x40, seen)]
    assert param.get_register(0x40) == seen


@pytest.mark.parametrize("value", [numpy.int64(-1), numpy.uint64(2**32), 2**64, -2**63 - 1],
                         ids=["negative", "uint64-too-big", "2**64", "below-int64"])
def test_integers_outside_the_parameter_type_are_refused(value):
    param, board = ktx21_companion(unit.KTX21Param)
    vktsim.clear_journal()
    with pytest.raises(TypeError):
        param.set_register(value, 0)
    assert vktsim.journal() == []


# ---- files that are no files -------------------------------------------------------------

FILE_ERROR = 9


def _folder(tmp_path):
    return tmp_path


def _pipe(tmp_path):
    path = tmp_path / "pipe"
    os.mkfifo(path)
    return path


def _device(tmp_path):
    return pathlib.Path("/dev/zero")


def _huge(tmp_path):
    path = tmp_path / "huge.txt"
    with open(path, "wb") as sparse:
        sparse.truncate(2**32)   # 4 GiB that take no disk space
    return path


ODD_FILES = [_folder, _pipe, _device, _huge]
ODD_FILE_IDS = ["folder", "pipe", "device", "huge"]


def opened_tk560():
    board = unit.TK560()
    board.open(0)
    return board


# Every place where the simulated library reads a file.
FILE_READERS = [
    ("get_xml_item", lambda path: unit.get_xml_item(path, "/Device", None)),
    ("KTX21.from_file", lambda path: unit.KTX21.from_file(path)),
    ("MR250.from_file", lambda path: unit.MR250.from_file(path)),
    ("Video.from_file", lambda path: unit.Video.from_file(path)),
    ("KTX21.setup", lambda path: opened_ktx21().setup(path)),
    ("TK560.load", lambda path: opened_tk560().load(path, 0)),
]


@pytest.mark.parametrize("label, read", FILE_READERS, ids=[r[0] for r in FILE_READERS])
@pytest.mark.parametrize("make", ODD_FILES, ids=ODD_FILE_IDS)
def test_what_is_no_regular_file_is_a_file_error(tmp_path, label, read, make):
    alive = vktsim.live_objects()
    with pytest.raises(RuntimeError) as caught:
        read(str(make(tmp_path)))
    assert error_fields(caught.value)[0] == FILE_ERROR
    gc.collect()
    assert vktsim.live_objects() == alive


# ---- files that report size 0 and have content (/proc, /sys) -----------------------------

@contextlib.contextmanager
def proc_file(text):
    """A file in /proc whose content starts with `text` (which holds no NUL):
    the command line of a shell run under the name `text`, as
    "<text>\\0-c\\0read line\\0". It reports size 0, as every such file does.
    The shell ends when its input closes, with this process at the latest."""
    shell = subprocess.Popen([text, "-c", "read line"], executable="/bin/sh",
                             stdin=subprocess.PIPE, env=build_tool_env())
    try:
        path = "/proc/%d/cmdline" % shell.pid
        deadline = time.monotonic() + 10
        while not _read(path).startswith(text.encode()):   # until the shell runs
            assert time.monotonic() < deadline
            time.sleep(0.001)
        assert os.stat(path).st_size == 0
        yield path
    finally:
        shell.stdin.close()
        shell.wait(timeout=10)


def _read(path):
    with open(path, "rb") as file:
        return file.read()


def _width(param_class, board):
    try:
        return param_class.from_(board).get_param("Width")
    finally:
        board.dispose()


def _xml_name(path):
    buffer = vktsim.String(b"")
    unit.get_xml_item(path, "/Device/Name", buffer)
    return buffer.value


def _video_model_and_width(path):
    video = unit.Video.from_file(path)
    try:
        return video.device_type, video.get_param("Width")
    finally:
        video.dispose()


def _tk560_filter_width(path):
    board = opened_tk560()
    board.load(path, 0)
    return unit.TK560Param.from_(board).get_param("DINoiseFilterWidth")


# Each reader given a /proc file it reads as a valid file (the content ends
# in "#", so that the shell's arguments after it form a comment line), with
# what it then reads.
PROC_CONTENT = [
    ("get_xml_item", "<Device><Name>proc</Name></Device>", _xml_name, b"proc"),
    ("KTX21.from_file", "[KTX21]\nWidth = 24\n#",
     lambda path: _width(unit.KTX21Param, unit.KTX21.from_file(path)), 24),
    ("MR250.from_file", "[MR250]\nWidth = 24\n#",
     lambda path: _width(unit.MR250Param, unit.MR250.from_file(path)), 24),
    ("Video.from_file", "#\n[KTX22]\nWidth = 24\n#", _video_model_and_width,
     (vktsim.ExDevice.KTX22, 24)),
    ("KTX21.setup", "[KTX21]\nWidth = 24\n#",
     lambda path: _width(unit.KTX21Param, _set_up(opened_ktx21(), path)), 24),
    ("TK560.load", "DINoiseFilterWidth = 3\n#", _tk560_filter_width, 3),
]


def _set_up(board, path):
    board.setup(path)
    return board


@pytest.mark.parametrize("label, text, read, seen", PROC_CONTENT, ids=[r[0] for r in PROC_CONTENT])
def test_a_file_that_reports_size_0_is_read_for_what_it_holds(label, text, read, seen):
    with proc_file(text) as path:
        assert read(path) == seen


@pytest.mark.parametrize("label, read", FILE_READERS, ids=[r[0] for r in FILE_READERS])
def test_a_file_that_reports_size_0_is_judged_like_the_same_bytes(tmp_path, label, read):
    with proc_file("not a file any reader takes") as path:
        copy = tmp_path / "copy"
        copy.write_bytes(_read(path))
        refusals = []
        for given in (path, str(copy)):
            with pytest.raises(RuntimeError) as caught:
                read(given)
            code, _, function, _ = error_fields(caught.value)
            refusals.append((code, function.replace(given, "<path>")))
    assert refusals[0] == refusals[1]
    assert refusals[0][0] == 10     # FormatError: the content was read, and refused


@pytest.mark.parametrize("label, read", FILE_READERS, ids=[r[0] for r in FILE_READERS])
def test_a_file_that_fails_to_read_is_a_file_error(label, read):
    # /proc/self/mem reports size 0 and cannot be read where nothing is mapped.
    alive = vktsim.live_objects()
    with pytest.raises(RuntimeError) as caught:
        read("/proc/self/mem")
    assert error_fields(caught.value)[0] == FILE_ERROR
    gc.collect()
    assert vktsim.live_objects() == alive


@pytest.mark.parametrize("extra, status", [(0, None), (1, FILE_ERROR)], ids=["at", "over"])
def test_the_size_cap_counts_what_is_read(tmp_path, extra, status):
    # A file of exactly 16 MiB is read; one byte more is refused.
    head = b"DINoiseFilterWidth = 3\n#"
    path = tmp_path / "big.cfg"
    path.write_bytes(head + b"x" * ((16 << 20) - len(head) + extra))
    if status is None:
        assert _tk560_filter_width(str(path)) == 3
        return
    with pytest.raises(RuntimeError) as caught:
        _tk560_filter_width(str(path))
    assert error_fields(caught.value)[0] == status


def test_a_folder_as_xml_file_is_a_file_error_like_a_missing_file(tmp_path):
    for path in ("/tmp", tmp_path, tmp_path / "missing.xml"):
        with pytest.raises(RuntimeError) as caught:
            unit.get_xml_item(str(path), "/Device", None)
        code, _, function, _ = error_fields(caught.value)
        assert (code, function) == (FILE_ERROR, "Api::GetXmlItem: cannot read '%s'" % path)


FILE_WRITERS = [
    ("KTX21.save", lambda path: opened_ktx21().save(path)),
    ("TK560.save", lambda path: opened_tk560().save(path, 0)),
]


@pytest.mark.parametrize("label, write", FILE_WRITERS, ids=[w[0] for w in FILE_WRITERS])
@pytest.mark.parametrize("make", [_folder, _pipe, _device], ids=["folder", "pipe", "device"])
def test_saving_to_what_is_no_regular_file_is_a_file_error(tmp_path, label, write, make):
    with pytest.raises(RuntimeError) as caught:
        write(str(make(tmp_path)))
    assert error_fields(caught.value)[0] == FILE_ERROR


# ---- companions of a board that is gone ---------------------------------------------------

GRABBER_COMPANIONS = [(unit.KTX21Param, lambda c: c.get_param("Width")),
                      (unit.KTX21Encoder, lambda c: c.total_counter()),
                      (unit.KTX21Sio, lambda c: c.open()),
                      (unit.KTX22Param, lambda c: c.get_param("Width")),
                      (unit.KTX22Sio, lambda c: c.purge()),
                      (unit.MR250Param, lambda c: c.get_param("Width"))]


@pytest.mark.parametrize("companion, use", GRABBER_COMPANIONS,
                         ids=[c.__name__ for c, _ in GRABBER_COMPANIONS])
def test_a_grabber_companion_without_a_living_board_is_not_opened(companion, use):
    board_class = getattr(unit, companion.__name__[:5])
    for attached in (companion(), companion.from_(board_class())):   # none, then one gone
        gc.collect()
        with pytest.raises(RuntimeError) as caught:
            use(attached)
        assert error_fields(caught.value)[0] == 4


# ---- boards released under their non-owning wrappers ------------------------------------

def video_and_board():
    """A Video that opened its own KTX21, and that board's non-owning wrapper."""
    video = unit.Video.from_file(str(KTX21_CAMERA_FILE))
    return video, video.controller


def _give_another_board(video):
    other = unit.KTX21.from_file(str(KTX21_CAMERA_FILE), 1, 0)
    video.controller = vktsim.as_interface(other, vktsim.IxModule)
    return other


RELEASES = [
    ("dispose", lambda video: video.dispose()),
    ("controller = None", lambda video: setattr(video, "controller", None)),
    ("controller = another board", _give_another_board),
    ("a copy disposes", lambda video: unit.Video(video).dispose()),
    ("a copy is given None", lambda video: setattr(unit.Video(video), "controller", None)),
]

# Uses of a board wrapper whose board was freed, each refused as a missing
# object without reaching the library.
MISSING_BOARD_USES = [
    ("is_valid", lambda board: board.is_valid),
    ("is_opened", lambda board: board.is_opened),
    ("open", lambda board: board.open(0, 0)),
    ("dispose", lambda board: board.dispose()),
    ("status", lambda board: board.status()),
    ("==", lambda board: board == unit.KTX21()),
    ("!=", lambda board: board != unit.KTX21()),
]


@pytest.mark.parametrize("release", [r[1] for r in RELEASES], ids=[r[0] for r in RELEASES])
@pytest.mark.parametrize("use", [u[1] for u in MISSING_BOARD_USES],
                         ids=[u[0] for u in MISSING_BOARD_USES])
def test_a_board_wrapper_outliving_its_board_is_a_missing_object(release, use):
    video, board = video_and_board()
    kept = release(video)
    gc.collect()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError) as caught:
        use(board)
    assert error_fields(caught.value)[0] == 2
    assert [op for op, _ in vktsim.journal() if op.startswith("CxKTX21::")
            and not op.startswith("CxKTX21::CxKTX21")] == []
    del kept


@pytest.mark.parametrize("release", [r[1] for r in RELEASES], ids=[r[0] for r in RELEASES])
def test_a_companion_made_from_a_freed_board_is_made_from_none(release):
    video, board = video_and_board()
    kept = release(video)
    vktsim.clear_journal()
    param = unit.KTX21Param.from_(board)
    assert calls("CxKTX21Param::From") == [(None,)]
    assert param.controller is None
    del kept


def test_the_reproducer_of_a_freed_controller():
    video = unit.Video.from_file(str(KTX21_CAMERA_FILE))
    board = video.controller
    video.dispose()
    with pytest.raises(RuntimeError) as caught:
        board.is_valid
    assert error_fields(caught.value)[0] == 2


def test_a_companions_wrapper_of_a_videos_board_dies_with_the_last_copy():
    video, board = video_and_board()
    param = unit.KTX21Param.from_(board)
    del board
    gc.collect()
    board = param.controller          # a new wrapper, tied to the companion only
    assert type(board) is unit.KTX21 and board.is_opened
    copy = unit.Video(video)
    del video
    gc.collect()
    assert board.is_opened            # the copy still drives the board
    del copy
    gc.collect()
    with pytest.raises(RuntimeError) as caught:
        board.is_opened
    assert error_fields(caught.value)[0] == 2
    assert param.controller is None   # the library no longer reports the board


def test_interface_views_of_a_freed_board_are_missing_objects():
    video, board = video_and_board()
    control = vktsim.as_interface(board, vktsim.IxVideoControl)
    module = vktsim.as_interface(board, vktsim.IxModule)
    video.dispose()
    vktsim.clear_journal()
    with pytest.raises(TypeError):
        unit.start(control)
    with pytest.raises(TypeError):
        unit.is_running(control)
    assert vktsim.journal() == []
    other = unit.Video()
    other.controller = module         # a missing module: the library is given None
    assert calls("CxVideo::Controller") == [(vktsim.ident(other), None)]


@pytest.mark.parametrize("release", [
    lambda video, other: other.dispose(),
    lambda video, other: setattr(other, "controller", None),
    lambda video, other: setattr(video, "controller", vktsim.as_interface(
        video.controller, vktsim.IxModule)),
    lambda video, other: unit.Video(other).dispose(),
], ids=["another video disposes", "another video is given None", "given its own board again",
        "a copy of another video disposes"])
def test_a_board_still_driven_keeps_its_wrapper(release):
    video, board = video_and_board()
    other = unit.Video.from_file(str(KTX21_CAMERA_FILE), 1, 0)
    other.controller                  # presented too
    release(video, other)
    gc.collect()
    assert board.is_valid and board.is_opened
    assert video.controller is board
    assert unit.KTX21Param.from_(board).controller is board


def test_init_on_a_wrapper_left_behind_makes_a_board_it_owns():
    video, board = video_and_board()
    video.dispose()
    gc.collect()
    alive = vktsim.live_objects()
    board.__init__()
    assert board.is_opened is False and vktsim.live_objects() == alive + 1
    del board
    gc.collect()
    assert vktsim.live_objects() == alive
