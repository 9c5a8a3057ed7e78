"""Every operation of the simulated library answered by `vktsim.script(op,
value=...)` instead of the simulated hardware: Python sees the scripted
value, and the journal shows the call. The calls that reach each operation
come from the stress suite's table, so a new operation is covered here too."""
import re

import pytest

import unit
import vktsim

from stress import fault_calls, parts, world

# One value of each kind a script may answer with; an operation takes some.
KINDS = {"none": None, "int": 1, "bytes": b"ab"}

# Answers that are not simply the scripted value, and why.
SPECIAL = {
    # A factory answered by a script still hands Python a (new, unbound) object.
    "From": lambda result, names: isinstance(result, names["Cls"]),
    "FromFile": lambda result, names: isinstance(result, names["Cls"]),
    # Sio.read(1) returns the count asked for: the script's first byte, or a
    # blank when the script answered nothing.
    "CxKTX21Sio::Read": None, "CxKTX22Sio::Read": None,
    # The interface calls discard what the library writes (see their stubs).
    "SimDIO::Read": None, "SimDIO::WriteStatus": None, "SimIndexedDIO::Read": None,
    "SimIndexedDIO::WriteStatus": None, "SimRegister::GetRegister": None,
}

SIO_READ = {"none": " ", "bytes": "a"}

# The overload that returns what a number script answers, where the table's
# call is another one.
BY_KIND = {("CxKTX22::Wait", "int"): "obj.wait(5)"}


def expected(operation, kind, result, names):
    """Whether `result` is what Python must see for a script of `kind`."""
    name = operation.partition("::")[2]
    if operation.endswith("Sio::Read"):
        return result == SIO_READ[kind]
    if operation in SPECIAL and SPECIAL[operation] is None:
        return result is None
    if name in SPECIAL:
        return SPECIAL[name](result, names)
    if operation.endswith("Sio::ReadByte"):
        return result == {"int": "\x01", "bytes": "a"}[kind]
    if kind == "none":
        return result is None or (operation, result) == ("CxVideo::DeviceType",
                                                          vktsim.ExDevice.Unknown)
    if kind == "int":
        return result is not None and int(result) == 1
    return result in (b"ab", "ab")


def accepted_kinds(operation):
    found = []
    for kind, value in KINDS.items():
        try:
            vktsim.script(operation, value=value)
        except ValueError:
            continue
        found.append(kind)
    vktsim.reset()
    return found


CASES = [(operation, kind) for operation in vktsim.operations()
         for kind in accepted_kinds(operation)
         # A text scripted for a grabber's number parameter: see below.
         if not (kind == "bytes" and operation.endswith("Param::GetParam"))]


@pytest.fixture(scope="module")
def cameras(tmp_path_factory):
    return world.write_camera_files(str(tmp_path_factory.mktemp("cameras")))


@pytest.mark.parametrize("operation, kind", CASES, ids=["%s-%s" % case for case in CASES])
def test_a_scripted_value_is_what_python_sees(operation, kind, cameras, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)          # Save/SaveW name a file of the cwd
    fixture_name, expression = fault_calls.entry(operation)
    expression = BY_KIND.get((operation, kind), expression)
    names = parts.fixture(fixture_name, cameras)
    vktsim.clear_journal()
    vktsim.script(operation, value=KINDS[kind])
    result = eval(expression, names)
    assert expected(operation, kind, result, names), repr(result)
    assert operation in [name for name, _ in vktsim.journal()]
    # The scripted call did nothing else: no file written for a Save.
    assert list(tmp_path.iterdir()) == []
    names.clear()
    del result


# ---- records: a script answers with the tuple of their fields ----------------------------------

CAPTURE = ("total_frame_count", "amount_in_frame", "last_frame_no", "line_count",
           "dma_schedule_peak", "capture_event")
FIELDS = {
    "KTX21": CAPTURE, "MR250": CAPTURE,
    "KTX22": ("total_frame_count", "amount_in_frame", "last_frame_no", "line_count",
              "capture_state"),
    "KTX22Encoder": ("is_abs_overflow", "is_abs_underflow", "a_state", "b_state", "z_state",
                     "encoder_state", "encoder_counter", "rel_counter", "match_counter"),
    "SN2200": ("event_status", "di_event_status", "di"),
    "TK560": ("event_status", "di_event_status", "di"),
}
RECORD_OPERATIONS = ["CxKTX21::QueryStatus", "CxKTX21::WaitStatus", "CxKTX22::QueryStatus",
                     "CxKTX22::WaitStatus", "CxKTX22Encoder::EncoderStatus",
                     "CxMR250::QueryStatus", "CxMR250::WaitStatus", "CxSN2200::Wait",
                     "CxTK560::Wait"]


def owner_model(operation):
    return operation.partition("::")[0][2:]


@pytest.mark.parametrize("operation", RECORD_OPERATIONS)
def test_a_scripted_record_is_what_python_sees(operation, cameras):
    fields = FIELDS[owner_model(operation)]
    answer = tuple(range(1, len(fields) + 1))
    fixture_name, expression = fault_calls.entry(operation)
    names = parts.fixture(fixture_name, cameras)
    vktsim.clear_journal()
    vktsim.script(operation, value=answer)
    result = eval(expression, names)
    if result in (True, None):           # the call wrote into the record it was given
        result = names["encoder_record" if "Encoder" in operation else "record"]
    seen = tuple(getattr(result, field) for field in fields)
    assert seen == tuple(bool(value) if isinstance(got, bool) else value
                         for got, value in zip(seen, answer))
    assert operation in [name for name, _ in vktsim.journal()]
    names.clear()
    del result


@pytest.mark.parametrize("operation", RECORD_OPERATIONS)
def test_a_scripted_record_of_the_wrong_length_is_refused(operation, cameras):
    count = len(FIELDS[owner_model(operation)])
    dio = owner_model(operation) in ("SN2200", "TK560")
    status, record = (11, "wait") if dio else (3, "status")
    fixture_name, expression = fault_calls.entry(operation)
    names = parts.fixture(fixture_name, cameras)
    vktsim.script(operation, value=(1,) * (count + 1))
    expected = r"Code:%d Line:\d+ Function:%s: a %s record has %d fields File:\S+" % (
        status, operation, record, count)
    with pytest.raises(RuntimeError) as raised:
        eval(expression, names)
    assert re.fullmatch(expected, str(raised.value)), str(raised.value)
    names.clear()


def test_every_operation_takes_a_scripted_value_or_only_failures():
    # Operations a value cannot answer: factories that must hand back a
    # library object, which only a failure can replace, and the records above.
    without = sorted(operation for operation in vktsim.operations()
                     if not accepted_kinds(operation) and operation not in RECORD_OPERATIONS)
    assert without == ["CxSN2200Param::From", "CxSNR11Param::From", "CxTK560Param::From",
                       "CxVideo::FromFile"]


@pytest.mark.parametrize("model", ["SNR11", "SN2200", "TK560", "KTX21", "KTX22", "MR250"])
@pytest.mark.parametrize("operator, answer", [("==", 1), ("==", 0), ("!=", 1), ("!=", 0)])
def test_a_scripted_comparison_answers_as_scripted(model, operator, answer):
    # The operator's own result is scripted, for != as for ==.
    one, other = getattr(unit, model)(), getattr(unit, model)()
    vktsim.script("Cx%s::operator%s" % (model, operator), value=answer)
    vktsim.clear_journal()
    result = one == other if operator == "==" else one != other
    assert result is bool(answer)
    assert [name for name, _ in vktsim.journal()] == ["Cx%s::operator%s" % (model, operator)]


@pytest.mark.parametrize("record", ["SN2200WaitStatus", "TK560WaitStatus"])
@pytest.mark.parametrize("operator, answer", [("==", 1), ("==", 0), ("!=", 1), ("!=", 0)])
def test_a_scripted_wait_record_comparison_answers_as_scripted(record, operator, answer):
    one, other = getattr(unit, record)(), getattr(unit, record)()
    vktsim.script("Tx%s::operator%s" % (record, operator), value=answer)
    vktsim.clear_journal()
    result = one == other if operator == "==" else one != other
    assert result is bool(answer)
    assert [name for name, _ in vktsim.journal()] == ["Tx%s::operator%s" % (record, operator)]


# ---- scripted failures of the overloads the stress table does not call -----------------------

def _companions():
    for board in ("KTX21", "KTX22"):
        for kind in ("Param", "Encoder", "Sio"):
            yield board + kind
    yield "MR250Param"
    for board in ("SNR11", "SN2200", "TK560"):
        yield board + "Param"


OVERLOADS = (
    [("Cx%s::Controller" % name, name, "setattr(obj, 'controller', board)")
     for name in _companions()]
    + [("Cx%s::%s" % (board, op), board, call)
       for board in ("SNR11", "SN2200", "TK560")
       for op, call in (("Read", "obj.read(4)"), ("Write", "obj.write(4, True)"),
                        ("WriteStatus", "obj.write_status(4)"))]
    + [("Cx%s::%s" % (board, op), board, call)
       for board in ("KTX21", "KTX22", "MR250")
       for op, call in (("Validate", "obj.validate([image])"), ("Lock", "obj.lock([image])"))]
    + [("Cx%s::%s" % (board, op), board, call)
       for board in ("KTX21", "MR250")
       for op, call in (("Abort", "obj.abort(1)"), ("QueryStatus", "obj.query_status(0)"))]
    + [("CxKTX22::Wait", "KTX22", "obj.wait(5)"),
       ("CxKTX22::QueryStatus", "KTX22", "obj.query_status(record)")])


@pytest.mark.parametrize("operation, fixture_name, expression", OVERLOADS,
                         ids=["%s-%s" % (row[0], row[2]) for row in OVERLOADS])
def test_a_scripted_failure_of_an_overload_is_raised_as_is(operation, fixture_name, expression,
                                                           cameras):
    names = parts.fixture(fixture_name, cameras)
    vktsim.clear_journal()
    vktsim.script(operation, raises=vktsim.ExStatus.Timeout)
    with pytest.raises(RuntimeError) as raised:
        eval(expression, names)
    assert re.fullmatch(r"Code:7 Line:-?\d+ Function:%s File:\S.*" % re.escape(operation),
                        str(raised.value)), str(raised.value)
    # The failing call was the last to reach the library: nothing ran after it.
    assert vktsim.journal()[-1][0] == operation
    names.clear()


@pytest.mark.parametrize("name", list(_companions()))
def test_a_scripted_reattachment_leaves_the_companion_where_it_was(name, cameras):
    names = parts.fixture(name, cameras)
    obj, board = names["obj"], names["board"]
    vktsim.script("Cx%s::Controller" % name, value=None)
    obj.controller = None                # answered by the script: still attached
    assert obj.controller == board
    obj.controller = None                # not scripted: detached
    assert obj.controller is None
    names.clear()
    del obj, board


# ---- a scripted text or number for a setting read by name ---------------------------------------

PARAMS = {"KTX21Param": "Width", "KTX22Param": "Width", "MR250Param": "Width",
          "SNR11Param": "Timeout", "SN2200Param": "Timeout", "TK560Param": "Timeout"}


@pytest.mark.parametrize("name", sorted(PARAMS))
def test_a_scripted_text_for_a_number_setting_is_the_wrong_kind(name, cameras):
    names = parts.fixture(name, cameras)
    operation = "Cx%s::GetParam" % name
    vktsim.script(operation, value=b"ab")
    with pytest.raises(RuntimeError) as raised:
        names["obj"].get_param(PARAMS[name])
    assert re.fullmatch(r"Code:11 Line:\d+ Function:%s: scripted value does not fit the value "
                        r"kind File:\S+" % operation, str(raised.value)), str(raised.value)
    names.clear()


@pytest.mark.parametrize("name", ["KTX21Param", "KTX22Param", "MR250Param"])
@pytest.mark.parametrize("answer, seen", [(b"cam-7", "cam-7"), (1, None)])
def test_a_scripted_camera_name_is_read_as_text(name, answer, seen, cameras):
    names = parts.fixture(name, cameras)
    operation = "Cx%s::GetParam" % name
    vktsim.script(operation, value=answer)
    if seen is None:                      # a number does not fit a text setting
        with pytest.raises(RuntimeError, match=r"^Code:11 .*does not fit the value kind"):
            names["obj"].get_param("CameraName")
    else:
        assert names["obj"].get_param("CameraName") == seen
    names.clear()
