"""What the three grabber boards (KTX21, MR250, KTX22) share, checked once and
run for every model from a small description table; what only one model has
stays in its own test files."""
import gc
from dataclasses import dataclass, field

import pytest

import ktx22_tables
import unit
import vktsim
from conftest import calls, error_fields
from grabber_support import KTX21_CAMERA_FILE, MR250_CAMERA_FILE, write_camera_file


@dataclass
class Model:
    name: str
    cls: type
    companions: list            # companion classes, the Param first
    record: type                # the capture-status record
    fields: tuple               # the record's fields, in order
    open_board: object          # tmp_path -> a board opened on board 0 with a camera file
    opened_params: dict         # what the opened board's Param reads
    gone_calls: list            # (companion, method, args) that need the board
    missing_calls: list         # calls with None as the object, besides the common ones
    members: list = field(default_factory=list)   # model-specific (member, args, value, result)
    extra_records: list = field(default_factory=list)   # other record classes of the model
    six_field_status: bool = False   # status calls take a time-out and return a new record
    abort_count: bool = False        # abort(frames) exists
    none_is_an_image: bool = False   # validate(None) and lock(None) reach the library
    named_calls: list = field(default_factory=list)   # more members with named arguments

    @property
    def prefix(self):
        return "Cx" + self.name

    def op(self, operation):
        return "%s::%s" % (self.prefix, operation)

    @property
    def param(self):
        return self.companions[0]


SIX = ("total_frame_count", "amount_in_frame", "last_frame_no", "line_count",
       "dma_schedule_peak", "capture_event")

MODELS = [
    Model("KTX21", unit.KTX21, [unit.KTX21Param, unit.KTX21Encoder, unit.KTX21Sio],
          unit.TxKTX21CaptureStatus, SIX,
          lambda tmp_path: unit.KTX21.from_file(str(KTX21_CAMERA_FILE)),
          {"Width": 320},
          [(unit.KTX21Param, "get_param", ("Width",)),
           (unit.KTX21Encoder, "total_counter", ()),
           (unit.KTX21Sio, "open", ())],
          [lambda: unit.KTX21.start(None),
           lambda: unit.KTX21.num.fset(None, 1),
           lambda: unit.KTX21Param.get_register(None, 0),
           lambda: unit.KTX21Encoder.set_param(None, "ENCDir", 1),
           lambda: unit.KTX21Encoder.comp2.fget(None),
           lambda: unit.KTX21Sio.read(None, 4),
           lambda: unit.KTX21Sio.read_byte(None),
           lambda: unit.TxKTX21CaptureStatus.line_count.fget(None)],
          members=[("wait", (), None, None), ("force_trigger", (), None, None),
                   ("dispose", (), None, None)],
          six_field_status=True, abort_count=True),
    Model("MR250", unit.MR250, [unit.MR250Param],
          unit.TxMR250CaptureStatus, SIX,
          lambda tmp_path: unit.MR250.from_file(str(MR250_CAMERA_FILE)),
          {"Width": 640, "DeviceID": 0, "CameraMode": "EIA"},
          [(unit.MR250Param, "get_param", ("Width",)),
           (unit.MR250Param, "send_command", ("SelfCalibration",)),
           (unit.MR250Param, "get_register", (0,))],
          [lambda: unit.MR250.setup(None, "x"),
           lambda: unit.MR250.query_status(None, 1),
           lambda: unit.MR250.__eq__(None, unit.MR250()),
           lambda: unit.MR250Param.set_param(None, "Width", 1),
           lambda: unit.MR250Param.send_command(None, "SelfCalibration"),
           lambda: unit.MR250Param.video_offset.fget(None),
           lambda: unit.MR250Param.get_register(None, 0),
           lambda: unit.MR250Param.controller.fset(None, None),
           lambda: unit.TxMR250CaptureStatus.capture_event.fget(None)],
          members=[("abort", (5,), None, None), ("wait", (), None, None),
                   ("force_trigger", (), None, None), ("dispose", (), None, None)],
          six_field_status=True, abort_count=True),
    Model("KTX22", unit.KTX22, [unit.KTX22Param, unit.KTX22Encoder, unit.KTX22Sio],
          unit.TxKTX22CaptureStatus,
          ("total_frame_count", "amount_in_frame", "last_frame_no", "line_count",
           "capture_state"),
          lambda tmp_path: unit.KTX22.from_file(
              str(write_camera_file(tmp_path, model="KTX22", Width=320))),
          {"Width": 320},
          [(unit.KTX22Param, "send_command", ("StopPG",)),
           (unit.KTX22Encoder, "encoder_counter", ()),
           (unit.KTX22Sio, "open", ())],
          [lambda: unit.KTX22.wait(None, 5),
           lambda: unit.KTX22.wait_event(None, 0, 0, 0),
           lambda: unit.KTX22.pll_reconfig(None),
           lambda: unit.KTX22Param.send_command(None, "StopPG"),
           lambda: unit.KTX22Encoder.encoder_status(None, unit.TxKTX22EncoderStatus()),
           lambda: unit.KTX22Encoder.comp2.fset(None, 1),
           lambda: unit.KTX22Sio.read(None, 4),
           lambda: unit.TxKTX22CaptureStatus.capture_state.fget(None),
           lambda: unit.TxKTX22EncoderStatus.match_counter.fget(None)],
          members=[("cancel_wait_event", (3,), None, None), ("pll_reconfig", (), None, None)],
          extra_records=[unit.TxKTX22EncoderStatus], none_is_an_image=True,
          named_calls=[lambda: unit.KTX22.query_status(None, unit.TxKTX22CaptureStatus()),
                       lambda: unit.KTX22.wait_status(None, unit.TxKTX22CaptureStatus()),
                       lambda: unit.KTX22.force_trigger(None),
                       lambda: unit.KTX22.wait_status(None)]),
]
BY_NAME = {m.name: m for m in MODELS}
ALL = pytest.mark.parametrize("model", MODELS, ids=[m.name for m in MODELS])
SIX_FIELD = [m for m in MODELS if m.six_field_status]


def each(models, rows):
    """(model, *row) for every model and every row, with readable ids."""
    return [pytest.param(m, *row, id="%s-%d" % (m.name, i))
            for m in models for i, row in enumerate(rows(m))]


# ---- opening, copies, lifetime -------------------------------------------------------------

@ALL
def test_from_file_opens_board_zero_with_the_camera_file(model, tmp_path):
    board = model.open_board(tmp_path)
    assert board.is_valid and board.is_opened
    param = model.param.from_(board)
    for name, value in model.opened_params.items():
        assert param.get_param(name) == value


@pytest.mark.parametrize("cls", [m.cls for m in MODELS] + [unit.Video],
                         ids=[m.name for m in MODELS] + ["Video"])
@pytest.mark.parametrize("board, channel, status, problem", [
    (9, 0, 6, "no {model} board with id 9"),
    (0, 9, 3, "a {model} board has no channel 9"),
], ids=["no such board", "no such channel"])
def test_from_file_refuses_a_board_or_channel_that_does_not_exist(tmp_path, cls, board, channel,
                                                                  status, problem):
    model = "KTX21" if cls is unit.Video else cls.__name__
    path = write_camera_file(tmp_path, model=model)
    alive = vktsim.live_objects()
    with pytest.raises(RuntimeError) as caught:
        cls.from_file(str(path), board, channel)
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (status, "Cx%s::FromFile: %s" % (model, problem.format(model=model)))
    del caught
    gc.collect()
    assert vktsim.live_objects() == alive


@ALL
def test_copies_refer_to_the_same_board(model, tmp_path):
    board = model.open_board(tmp_path)
    copy = model.cls(board)
    assert copy == board and not (copy != board)
    assert copy is not board and vktsim.ident(copy) != vktsim.ident(board)
    assert model.cls() != board
    assert model.cls() == model.cls()   # neither is bound to a board
    for either in (board, model.cls()):   # opened or not
        assert (either == 5) is False and (either != 5) is True
        for other in MODELS:
            if other is not model:
                assert (either != other.cls()) is True
        with pytest.raises(TypeError):
            hash(either)


# The objects are made in the test: one made at collection would stay alive
# (held by pytest) and upset the live-object counts of later tests.
@pytest.mark.parametrize("model, other", each(MODELS, lambda m: [
    (lambda: None,), (lambda: 5,), (m.param,)] + [(o.cls,) for o in MODELS if o is not m]))
def test_copy_constructor_takes_a_board_of_its_own_model_only(model, other):
    with pytest.raises(TypeError):
        model.cls(other())


@ALL
def test_every_object_is_freed_exactly_once(model, tmp_path):
    gc.collect()
    before = vktsim.live_objects()
    board = model.open_board(tmp_path)
    objects = [board, model.cls(board), model.cls()]
    for companion in model.companions:
        objects += [companion.from_(board), companion(), companion(companion.from_(board))]
    param = model.param.from_(board)
    assert param.controller is board
    objects += [param, param.controller, model.record(), board.query_status()]
    objects += [record() for record in model.extra_records]
    # three boards, three of each companion, the kept Param; records are plain values
    assert vktsim.live_objects() == before + 4 + 3 * len(model.companions)
    del objects, board, param
    gc.collect()
    assert vktsim.live_objects() == before


# ---- image lists ---------------------------------------------------------------------------

@ALL
@pytest.mark.parametrize("count", [0, 1, 3, 16, 17, 100])
def test_validate_passes_the_whole_list_once(model, count):
    board = model.cls()
    images = [vktsim.Image(2, 2) for _ in range(count)]
    vktsim.script(model.op("Validate"), value=None)
    vktsim.clear_journal()
    board.validate(images)
    assert calls(model.op("Validate")) == [
        (vktsim.ident(board), [vktsim.ident(i) for i in images], count)]


@pytest.mark.parametrize("method", ["validate", "lock"])
@pytest.mark.parametrize("model, argument", each(MODELS, lambda m: [
    ("tuple",), ((1,),), ("images",), (5,)] + ([] if m.none_is_an_image else [(None,)])))
def test_what_is_not_a_list_fits_no_overload(model, method, argument):
    if argument == "tuple":
        argument = (vktsim.Image(2, 2),)   # a tuple of images
    with pytest.raises(TypeError):
        getattr(model.cls(), method)(argument)
    assert vktsim.journal() == []


@ALL
@pytest.mark.parametrize("method", ["validate", "lock"])
@pytest.mark.parametrize("bad", [5, "x", "board"])
def test_an_element_of_another_type_is_a_cast_error(model, method, bad):
    element = model.cls() if bad == "board" else bad
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        getattr(model.cls(), method)([vktsim.Image(2, 2), element])
    assert vktsim.journal() == []


# ---- capture control and status ------------------------------------------------------------

COMMON_MEMBERS = [("start", (), None, None), ("stop", (), None, None), ("abort", (), None, None),
                  ("status", (), -3, -3), ("unlock", (), None, None),
                  ("open", (3, 1), None, None), ("close", (), None, None)]
OPERATIONS = {"force_trigger": "ForceTrigger",
              "cancel_wait_event": "CancelWaitEvent", "pll_reconfig": "PllReconfig"}


@pytest.mark.parametrize("model, member, args, value, result",
                         each(MODELS, lambda m: COMMON_MEMBERS + m.members))
def test_methods_reach_their_operation(model, member, args, value, result):
    board = model.cls()
    operation = model.op(OPERATIONS.get(member, member.capitalize()))
    vktsim.script(operation, value=value)
    assert getattr(board, member)(*args) == result
    assert calls(operation) == [(vktsim.ident(board),) + args]


@ALL
def test_abort_with_a_frame_count_where_the_model_has_it(model):
    board = model.cls()
    if not model.abort_count:
        with pytest.raises(TypeError):
            board.abort(5)
        return
    vktsim.script(model.op("Abort"), value=None)
    vktsim.script(model.op("Abort"), value=None)
    board.abort()
    board.abort(5)
    assert calls(model.op("Abort")) == [(vktsim.ident(board),), (vktsim.ident(board), 5)]
    with pytest.raises(TypeError):
        board.abort(-1)


@pytest.mark.parametrize("model", SIX_FIELD, ids=[m.name for m in SIX_FIELD])
@pytest.mark.parametrize("method", ["query_status", "wait_status", "abort"])
@pytest.mark.parametrize("value", [-1, 2**32, 1.0])
def test_unsigned_arguments_refuse_what_does_not_fit(model, method, value):
    with pytest.raises(TypeError):
        getattr(model.cls(), method)(value)
    assert vktsim.journal() == []


@pytest.mark.parametrize("model", SIX_FIELD, ids=[m.name for m in SIX_FIELD])
@pytest.mark.parametrize("method, args, operation", [
    ("wait_status", (), "WaitStatus"), ("wait_status", (7,), "WaitStatus"),
    ("wait_status", (100,), "WaitStatus"),
    ("query_status", (), "QueryStatus"), ("query_status", (2**32 - 1,), "QueryStatus"),
])
def test_status_records(model, method, args, operation):
    board = model.cls()
    vktsim.script(model.op(operation), value=(2**32 - 1, 2, 3, -4, 5, 6))
    status = getattr(board, method)(*args)
    assert type(status) is model.record
    assert tuple(getattr(status, name) for name in model.fields) == (2**32 - 1, 2, 3, -4, 5, 6)
    assert status == model.record(2**32 - 1, 2, 3, -4, 5, 6)
    assert calls(model.op(operation)) == [(vktsim.ident(board),) + args]


@ALL
def test_record_class(model):
    n = len(model.fields)
    record = model.record()
    assert record == model.record(*[0] * n)
    for i in range(n):
        assert record != model.record(*[int(j == i) for j in range(n)])
    assert (record == 0) is False
    for other in MODELS:
        if other.record is not model.record:
            # another model's record declines and Python's default applies
            assert (record == other.record()) is False
    for name in model.fields:
        with pytest.raises(AttributeError):
            setattr(record, name, 3)
    with pytest.raises(TypeError):
        model.record(-1, *[0] * (n - 1))        # the frame count is unsigned
    with pytest.raises(TypeError):
        model.record(0, 0, 0, 2**31, *[0] * (n - 4))   # the line count is a 32-bit int
    with pytest.raises(TypeError):
        model.record(*[0] * (n + 1))
    with pytest.raises(TypeError):
        hash(record)


@ALL
@pytest.mark.parametrize("prop, operation", [("num", "Num"), ("lock_id", "LockId")])
def test_int_properties(model, prop, operation):
    board = model.cls()
    vktsim.script(model.op("Get" + operation), value=-9)
    vktsim.script(model.op("Set" + operation), value=None)
    assert getattr(board, prop) == -9
    setattr(board, prop, 12)
    assert calls(model.op("Set" + operation)) == [(vktsim.ident(board), 12)]
    with pytest.raises(TypeError):
        setattr(board, prop, 2**31)


@ALL
@pytest.mark.parametrize("prop, operation", [
    ("is_valid", "IsValid"), ("is_opened", "IsOpened"), ("is_running", "IsRunning")])
def test_bool_properties(model, prop, operation):
    board = model.cls()
    vktsim.script(model.op(operation), value=True)
    assert getattr(board, prop) is True
    assert getattr(board, prop) is False


# ---- companions ----------------------------------------------------------------------------

COMPANIONS = each(MODELS, lambda m: [(c,) for c in m.companions])


@pytest.mark.parametrize("model, companion", COMPANIONS)
def test_companions_attach_by_from_and_controller(model, companion, tmp_path):
    board = model.open_board(tmp_path)
    attached = companion.from_(board)
    assert attached.controller is board and attached.is_valid
    assert calls("Cx%s::From" % companion.__name__) == [(vktsim.ident(board),)]
    other = companion()
    assert other.controller is None and not other.is_valid and other != attached
    other.controller = board
    assert other.controller is board and other == attached
    assert companion(other) == other
    other.controller = None
    assert other.controller is None
    assert companion.from_(None).controller is None


@pytest.mark.parametrize("model, companion, wrong", each(MODELS, lambda m: [
    (c, w) for c in m.companions
    for w in [5, "board", m.companions[0], m.companions[-1], unit.KTX21Param]
    + [o.cls for o in MODELS if o is not m]]))
def test_companions_refuse_other_objects(model, companion, wrong):
    obj = wrong() if isinstance(wrong, type) else wrong
    holder = companion()
    vktsim.clear_journal()
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        companion.from_(obj)
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        holder.controller = obj
    assert vktsim.journal() == []


@pytest.mark.parametrize("model, companion, method, args", each(MODELS, lambda m: m.gone_calls))
def test_a_companion_whose_board_is_gone_gets_a_library_error(model, companion, method, args,
                                                              tmp_path):
    board = model.open_board(tmp_path)
    attached = companion.from_(board)
    del board
    gc.collect()
    assert attached.controller is None and not attached.is_valid
    with pytest.raises(RuntimeError) as caught:
        getattr(attached, method)(*args)
    code, _, function, _ = error_fields(caught.value)
    assert code == 4 and function.endswith("the attached board no longer exists")


# ---- missing objects -----------------------------------------------------------------------

def _common_missing(m):
    return [lambda: m.cls.dispose(None),
            lambda: m.cls.is_valid.fget(None),
            lambda: m.cls.validate(None, []),
            lambda: m.cls.lock_id.fset(None, 1),
            lambda: m.param.get_param(None, "Width"),
            lambda: m.param.controller.fget(None)]


@pytest.mark.parametrize("model, call", each(
    MODELS, lambda m: [(c,) for c in _common_missing(m) + m.missing_calls]))
def test_missing_objects_are_never_touched(model, call):
    with pytest.raises(RuntimeError) as caught:
        call()
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (2, "operator()")
    assert vktsim.journal() == []


# pybind11 itself refuses None as the object of members whose arguments are named.
@pytest.mark.parametrize("model, call", each(MODELS, lambda m: [
    (lambda: m.cls.lock(None, []),), (lambda: m.cls.lock(None, None),)]
    + [(c,) for c in m.named_calls]))
def test_members_with_named_arguments_refuse_a_missing_object_as_a_type_error(model, call):
    with pytest.raises(TypeError):
        call()
    assert vktsim.journal() == []


# ---- the serial line of the KTX21 and KTX22 ------------------------------------------------

SIOS = [m.companions[-1] for m in MODELS if len(m.companions) == 3]
SIO = pytest.mark.parametrize("sio_class", SIOS, ids=[c.__name__ for c in SIOS])


def sio_op(sio_class, operation):
    return "Cx%s::%s" % (sio_class.__name__, operation)


@SIO
@pytest.mark.parametrize("count, delivered, expected", [
    (4, b"ab", "ab\0\0"),
    (3, None, " \0\0"),
    (1, None, " "),
    (2, b"xyz", "xy"),
    (3, b"\0", "\0\0\0"),
    (300, b"q" * 300, "q" * 300),
    (100000, b"z", "z" + "\0" * 99999),
])
def test_sio_read_returns_the_whole_buffer_untrimmed(sio_class, count, delivered, expected):
    sio = sio_class()
    vktsim.script(sio_op(sio_class, "Read"), value=delivered)
    assert sio.read(count) == expected
    assert calls(sio_op(sio_class, "Read")) == [
        (vktsim.ident(sio), b" " + b"\0" * (count - 1), count)]


@SIO
@pytest.mark.parametrize("count", [0, -1, -2**31])
def test_sio_read_counts_below_one_are_refused(sio_class, count):
    with pytest.raises(RuntimeError) as caught:
        sio_class().read(count)
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (1, "operator()")
    assert vktsim.journal() == []


@SIO
@pytest.mark.parametrize("count", [2**31, 1.0, "3", None])
def test_sio_read_counts_that_are_no_int32(sio_class, count):
    with pytest.raises(TypeError):
        sio_class().read(count)


@SIO
def test_sio_a_byte_above_127_cannot_be_read_as_text(sio_class):
    vktsim.script(sio_op(sio_class, "Read"), value=b"a\xe9")
    with pytest.raises(UnicodeDecodeError):
        sio_class().read(2)


@SIO
@pytest.mark.parametrize("text, byte", [("A", 0x41), ("\u00e9", 0xE9), ("\0", 0), ("\u00ff", 0xFF),
                                        (b"A", 0x41)])
def test_sio_write_byte_sends_one_byte(sio_class, text, byte):
    sio = sio_class()
    vktsim.script(sio_op(sio_class, "WriteByte"), value=None)
    sio.write_byte(text)
    assert calls(sio_op(sio_class, "WriteByte")) == [(vktsim.ident(sio), byte)]


@SIO
@pytest.mark.parametrize("text, error, message", [
    ("AB", ValueError, "Expected a character, but multi-character string found"),
    ("", ValueError, "Cannot convert empty string to a character"),
    ("\u0100", ValueError, "Character code point not in range(0x100)"),
    (None, ValueError, "Cannot convert None to a character"),
    (65, TypeError, None),
    (b"AB", ValueError, None),
])
def test_sio_write_byte_refuses_what_is_not_one_byte(sio_class, text, error, message):
    with pytest.raises(error) as caught:
        sio_class().write_byte(text)
    if message is not None:
        assert str(caught.value) == message
    assert vktsim.journal() == []


@SIO
@pytest.mark.parametrize("scripted, text", [(b"\xe9", "\u00e9"), (0x41, "A"), (b"\0", "\0"),
                                            (0xFF, "\u00ff")])
def test_sio_read_byte_is_latin1(sio_class, scripted, text):
    vktsim.script(sio_op(sio_class, "ReadByte"), value=scripted)
    assert sio_class().read_byte() == text


@SIO
@pytest.mark.parametrize("method, operation", [("write", "Write"),
                                               ("set_camera_mode", "SetCameraMode")])
@pytest.mark.parametrize("text, seen", [("", b""), ("caf\u00e9", "caf\u00e9".encode()),
                                        ("a\0b", b"a"), (b"raw", b"raw"), (None, None)])
def test_sio_texts_reach_the_library_zero_terminated(sio_class, method, operation, text, seen):
    sio = sio_class()
    vktsim.script(sio_op(sio_class, operation), value=None)
    getattr(sio, method)(text)
    assert calls(sio_op(sio_class, operation)) == [(vktsim.ident(sio), seen)]


@SIO
@pytest.mark.parametrize("member, operation", [
    ("open", "Open"), ("close", "Close"), ("purge", "Purge")])
def test_sio_methods_reach_their_operation(sio_class, member, operation):
    sio = sio_class()
    vktsim.script(sio_op(sio_class, operation), value=None)
    assert getattr(sio, member)() is None
    assert calls(sio_op(sio_class, operation)) == [(vktsim.ident(sio),)]


@SIO
def test_sio_properties(sio_class):
    sio = sio_class()
    vktsim.script(sio_op(sio_class, "IsOpened"), value=True)
    vktsim.script(sio_op(sio_class, "GetTimeout"), value=250)
    vktsim.script(sio_op(sio_class, "SetTimeout"), value=None)
    assert sio.is_opened is True and sio.timeout == 250
    sio.timeout = 30
    assert calls(sio_op(sio_class, "SetTimeout")) == [(vktsim.ident(sio), 30)]


# ---- the encoder of the KTX21 and KTX22 ----------------------------------------------------

INT32, UINT32 = 0x100000008, 0x100000004


@dataclass
class EncoderModel:
    cls: type
    names: list                 # the encoder's name table, ENCComp2 the only unsigned one
    unknown: list               # names outside it
    commands: list              # send_command refuses them all
    refused_values: list        # (name, value) the conversion refuses
    properties: list            # (property, operation)

    def op(self, operation):
        return "Cx%s::%s" % (self.cls.__name__, operation)


_COMMON_ENCODER_PROPERTIES = [("encoder_mode", "EncoderMode"), ("sampling", "Sampling"),
                              ("start", "Start"), ("dir", "Dir"), ("comp1", "Comp1"),
                              ("comp2", "Comp2"), ("swap_ab", "SwapAb")]
_REFUSED_ENCODER_VALUES = [("ENCComp2", -1), ("ENCComp2", 2**32), ("ENCDir", 1.0),
                           ("ENCComp1", 2**31)]
ENCODERS = [
    EncoderModel(unit.KTX21Encoder,
                 ["EncoderMode", "ENCSampling", "ENCStart", "ENCComp1", "ENCInit", "ENCDir",
                  "ENCSwapAB", "ENCInputCH", "ENCComp2"],
                 # the KTX22 encoder's own names too: each model has its own table
                 ["Width", "encodermode", "ENCComp3", "ENCResetSource", "ENCSignalSource",
                  "EncoderActMode"],
                 ["", "Reset"],
                 _REFUSED_ENCODER_VALUES + [("ENCInit", "1")],
                 _COMMON_ENCODER_PROPERTIES + [("init", "Init")]),
    EncoderModel(unit.KTX22Encoder, ktx22_tables.ENCODER_NAMES,
                 ["ENCInit", "ENCInputCH", "TriggerMode", "Width", "encodermode",
                  "ENCIn0Termination", ""],
                 ["StopPG", "PLLReconfig", ""],
                 _REFUSED_ENCODER_VALUES,
                 _COMMON_ENCODER_PROPERTIES + [
                     ("reset_source", "ResetSource"), ("signal_source", "SignalSource"),
                     ("encoder_act_mode", "EncoderActMode")]),
]


def each_encoder(rows):
    return [pytest.param(e, *row, id="%s-%d" % (e.cls.__name__, i))
            for e in ENCODERS for i, row in enumerate(rows(e))]


@pytest.mark.parametrize("enc, name", each_encoder(lambda e: [(n,) for n in e.names]))
def test_encoder_table_in_both_directions(enc, name):
    encoder = enc.cls()
    kind = UINT32 if name == "ENCComp2" else INT32
    vktsim.script(enc.op("GetParam"), value=0xFFFFFFFF)
    vktsim.script(enc.op("SetParam"), value=None)
    assert encoder.get_param(name) == (2**32 - 1 if kind == UINT32 else -1)
    encoder.set_param(name, 7)
    me = vktsim.ident(encoder)
    assert calls(enc.op("GetParam")) == [(me, name.encode(), 0, kind)]
    assert calls(enc.op("SetParam")) == [(me, name.encode(), 7, kind)]


@pytest.mark.parametrize("enc, name", each_encoder(lambda e: [(n,) for n in e.unknown]))
def test_encoder_names_outside_its_table(enc, name):
    encoder = enc.cls()
    for call in (lambda: encoder.get_param(name), lambda: encoder.set_param(name, 1),
                 lambda: encoder.set_param(name, object())):
        with pytest.raises(RuntimeError) as caught:
            call()
        code, _, function, _ = error_fields(caught.value)
        assert (code, function) == (1, "operator()")
    assert vktsim.journal() == []


@pytest.mark.parametrize("enc, name", each_encoder(lambda e: [(n,) for n in e.commands]))
def test_encoder_send_command_always_refuses(enc, name):
    encoder = enc.cls()
    with pytest.raises(RuntimeError) as caught:
        encoder.send_command(name)
    code, _, function, _ = error_fields(caught.value)
    assert (code, function) == (1, "operator()")
    with pytest.raises(TypeError):
        encoder.send_command(5)
    assert vktsim.journal() == []


@pytest.mark.parametrize("enc, name, value", each_encoder(lambda e: e.refused_values))
def test_encoder_values_refused_by_the_conversion(enc, name, value):
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        enc.cls().set_param(name, value)
    assert vktsim.journal() == []


@pytest.mark.parametrize("got, put", [(1, 0), (3, 2)])
@pytest.mark.parametrize("enc, prop, operation", each_encoder(lambda e: e.properties))
def test_encoder_properties_reach_their_operations(enc, prop, operation, got, put):
    encoder = enc.cls()
    vktsim.script(enc.op("Get" + operation), value=got)
    vktsim.script(enc.op("Set" + operation), value=None)
    assert getattr(encoder, prop) == got
    setattr(encoder, prop, put)
    assert calls(enc.op("Set" + operation)) == [(vktsim.ident(encoder), put)]


@pytest.mark.parametrize("enc", ENCODERS, ids=[e.cls.__name__ for e in ENCODERS])
def test_encoder_comp2_is_unsigned(enc):
    encoder = enc.cls()
    me = vktsim.ident(encoder)
    vktsim.script(enc.op("SetParam"), value=None)
    encoder.set_param("ENCComp2", 4294967295)
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type "):
        encoder.set_param("ENCComp2", -1)
    with pytest.raises(TypeError):
        encoder.comp2 = -1
    vktsim.script(enc.op("GetComp2"), value=2**32 - 1)
    assert encoder.comp2 == 2**32 - 1
    vktsim.script(enc.op("GetComp2"), value=2**31)
    assert encoder.comp2 == 2**31
    assert vktsim.journal() == [(enc.op("SetParam"), (me, b"ENCComp2", 2**32 - 1, UINT32)),
                                (enc.op("GetComp2"), (me,)), (enc.op("GetComp2"), (me,))]
