"""Digital-I/O boards: opening, lines, waits, wait records, settings files,
missing objects and ownership."""
import gc

import pytest

import unit
import vktsim
from conftest import calls, error_fields

MODELS = ["SNR11", "SN2200", "TK560"]
WAIT_RECORDS = {"SN2200": "SN2200WaitStatus", "TK560": "TK560WaitStatus"}


def board_of(model, id=0):
    board = getattr(unit, model)()
    board.open(id)
    return board


def waited(board):
    """The event code of a wait, whichever form the board returns it in."""
    result = board.wait()
    return result if isinstance(result, int) else result.event_status


def status_of(error):
    return error_fields(error)[0]


# ---- opening ------------------------------------------------------------------------------

@pytest.mark.parametrize("model", MODELS)
def test_open_close(model):
    board = getattr(unit, model)()
    assert not board.is_opened and board.is_valid
    board.open(3)
    assert board.is_opened
    assert calls("Cx%s::Open" % model) == [(vktsim.ident(board), 3)]
    board.close()
    assert not board.is_opened
    board.close()   # closing a closed board is harmless


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("id, status", [(-1, "NoDevice"), (4, "NoDevice"), (2**31 - 1, "NoDevice")])
def test_open_passes_the_id_unchanged_and_the_library_refuses_bad_ones(model, id, status):
    board = getattr(unit, model)()
    with pytest.raises(RuntimeError) as caught:
        board.open(id)
    assert status_of(caught.value) == int(getattr(vktsim.ExStatus, status))
    assert calls("Cx%s::Open" % model) == [(vktsim.ident(board), id)]
    assert not board.is_opened


@pytest.mark.parametrize("model", MODELS)
def test_a_board_open_elsewhere_is_busy(model):
    first = board_of(model, 1)
    second = getattr(unit, model)()
    with pytest.raises(RuntimeError) as caught:
        second.open(1)
    assert status_of(caught.value) == int(vktsim.ExStatus.DeviceBusy)
    del first
    gc.collect()
    second.open(1)   # freed with its object
    assert second.is_opened


def test_sn2200_open_has_a_keyword_and_a_default():
    board = unit.SN2200()
    board.open()
    board.close()
    board.open(id=2)
    board.close()
    board.open(2)
    assert [args[1] for args in calls("CxSN2200::Open")] == [0, 2, 2]
    with pytest.raises(TypeError):
        board.open("x")


@pytest.mark.parametrize("model", ["SNR11", "TK560"])
def test_other_boards_take_the_id_positionally_only(model):
    board = getattr(unit, model)()
    with pytest.raises(TypeError):
        board.open()
    with pytest.raises(TypeError):
        board.open(id=0)


# ---- lines ----------------------------------------------------------------------------------

@pytest.mark.parametrize("model", MODELS)
def test_outputs_read_back(model):
    board = board_of(model)
    board.write(0xA5A5A5A5)
    assert board.write_status() == 0xA5A5A5A5
    assert vktsim.outputs(model, 0) == 0xA5A5A5A5
    board.write(3, False)
    board.write(4, True)
    assert board.write_status(3) is False and board.write_status(4) is True
    assert board.write_status() == 0xA5A5A5B5
    ident = vktsim.ident(board)
    assert calls("Cx%s::Write" % model) == [(ident, 0xA5A5A5A5), (ident, 3, False), (ident, 4, True)]


@pytest.mark.parametrize("model", MODELS)
def test_inputs_come_from_the_wires(model):
    board = board_of(model)
    vktsim.set_inputs(model, 0, 0x80000001)
    assert board.read() == 0x80000001
    assert board.read(0) is True and board.read(1) is False and board.read(31) is True
    ident = vktsim.ident(board)
    assert calls("Cx%s::Read" % model) == [(ident, 0), (ident, 0, False), (ident, 1, False),
                                          (ident, 31, False)]


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("operation, call", [
    ("Read", lambda b: b.read()), ("WriteStatus", lambda b: b.write_status()),
])
def test_words_are_never_negative(model, operation, call):
    board = board_of(model)
    vktsim.script("Cx%s::%s" % (model, operation), value=-1)
    assert call(board) == 4294967295


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("args", [(-1,), (2**32,), (1.5,), ("1",), (1, 2, 3)])
def test_write_refuses_what_fits_no_overload(model, args):
    board = board_of(model)
    vktsim.clear_journal()
    with pytest.raises(TypeError):
        board.write(*args)
    assert vktsim.journal() == []


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("index", [-1, 32])
def test_line_numbers_outside_the_board_are_the_librarys_error(model, index):
    board = board_of(model)
    for call in (lambda: board.read(index), lambda: board.write(index, True),
                 lambda: board.write_status(index)):
        with pytest.raises(RuntimeError) as caught:
            call()
        assert status_of(caught.value) == int(vktsim.ExStatus.InvalidArgument)


@pytest.mark.parametrize("model", MODELS)
def test_a_closed_board_refuses_line_operations(model):
    board = getattr(unit, model)()
    for call in (board.read, lambda: board.write(1), board.write_status, board.wait, board.abort):
        with pytest.raises(RuntimeError) as caught:
            call()
        assert status_of(caught.value) == int(vktsim.ExStatus.NotOpened)


# ---- waits --------------------------------------------------------------------------------------

def armed(model, lines=0x1, rising=0xFFFFFFFF):
    board = board_of(model)
    param = getattr(unit, model + "Param").from_(board)
    param.set_param("Timeout", 2000)
    param.set_param("DIWaitEnable", lines)
    param.set_param("DIEdge", rising)
    return board, param


@pytest.mark.usefixtures("virtual_clock")
@pytest.mark.parametrize("model", MODELS)
def test_a_wait_without_events_times_out(model):
    board, param = armed(model)
    param.set_param("Timeout", 30)
    start = vktsim.now_ms()
    assert waited(board) == int(unit.EventStatus.TIMEOUT)
    assert vktsim.now_ms() - start == pytest.approx(30)


@pytest.mark.usefixtures("virtual_clock")
def test_snr11_wait_returns_a_plain_int():
    board, param = armed("SNR11")
    param.timeout = 10
    result = board.wait()
    assert type(result) is int
    assert result == int(unit.EventStatus.TIMEOUT) and result != unit.EventStatus.TIMEOUT
    assert calls("CxSNR11::Wait") == [(vktsim.ident(board), 0)]


@pytest.mark.usefixtures("virtual_clock")
@pytest.mark.parametrize("model", MODELS)
def test_a_rising_edge_on_a_waited_line_ends_the_wait(model):
    board, param = armed(model, lines=0x4)
    vktsim.schedule_inputs(model, 0, [(5, 0x2, -1), (10, 0x6, -1)])
    result = board.wait()
    if model == "SNR11":
        assert result == int(unit.EventStatus.DI)
    else:
        assert type(result).__name__ == WAIT_RECORDS[model]
        assert (result.event_status, result.di_event_status, result.di) == (2, 0x4, 0x6)


@pytest.mark.usefixtures("virtual_clock")
@pytest.mark.parametrize("model", MODELS)
def test_edges_in_the_other_direction_do_not_end_the_wait(model):
    board, param = armed(model, lines=0x1, rising=0x0)
    param.set_param("Timeout", 200)
    vktsim.schedule_inputs(model, 0, [(5, 0x1, -1), (10, 0x1, -1), (20, 0x0, -1)])
    # The rising edge at 5 ms is ignored; the falling one at 20 ms ends it.
    start = vktsim.now_ms()
    assert waited(board) == int(unit.EventStatus.DI)
    assert vktsim.now_ms() - start == pytest.approx(20)
    assert board.read() == 0


@pytest.mark.usefixtures("virtual_clock")
@pytest.mark.parametrize("model", MODELS)
def test_edges_on_lines_not_waited_for_do_not_end_the_wait(model):
    board, param = armed(model, lines=0x1)
    param.set_param("Timeout", 40)
    vktsim.schedule_inputs(model, 0, [(5, 0x2, -1)])
    assert waited(board) == int(unit.EventStatus.TIMEOUT)
    assert board.read() == 0x2


@pytest.mark.usefixtures("virtual_clock")
@pytest.mark.parametrize("model", ["SNR11", "TK560"])
def test_the_interrupt_line_ends_a_wait_when_enabled(model):
    board, param = armed(model, lines=0)
    param.set_param("INTEnable", 1)
    vktsim.schedule_inputs(model, 0, [(5, 0, 1)])
    assert waited(board) == int(unit.EventStatus.INT)
    assert param.get_param("INTStatus") == 1


@pytest.mark.usefixtures("virtual_clock")
def test_tk560_wait_mode_1_waits_for_every_line():
    board, param = armed("TK560", lines=0x3)
    param.di_wait_mode = 1
    vktsim.schedule_inputs("TK560", 0, [(5, 0x1, -1), (15, 0x3, -1)])
    record = board.wait()
    assert (record.event_status, record.di_event_status, record.di) == (2, 0x3, 0x3)


@pytest.mark.parametrize("model", MODELS)
def test_a_scheduled_change_happens_at_its_time_without_a_wait(model, clock):
    board = board_of(model)
    vktsim.schedule_inputs(model, 0, [(10, 0x5, -1), (200, 0x4, -1)])
    assert board.read() == 0
    clock(50)
    assert board.read() == 0x5
    clock(200)
    assert board.read() == 0x4


@pytest.mark.parametrize("model", ["SNR11", "TK560"])
def test_a_scheduled_interrupt_level_shows_without_a_wait(model, clock):
    board, param = armed(model, lines=0)
    vktsim.schedule_inputs(model, 0, [(10, 0, 1)])
    clock(20)
    assert param.get_param("INTStatus") == 1


@pytest.mark.parametrize("model", MODELS)
def test_a_wait_counts_only_edges_after_it_began(model, clock):
    board, param = armed(model, lines=0x1)
    param.set_param("Timeout", 30)
    vktsim.schedule_inputs(model, 0, [(5, 0x1, -1)])
    clock(20)
    vktsim.clear_journal()
    assert waited(board) == int(unit.EventStatus.TIMEOUT)
    assert board.read() == 0x1


@pytest.mark.parametrize("model", ["SNR11", "TK560"])
def test_a_wait_counts_only_interrupt_edges_after_it_began(model, clock):
    board, param = armed(model, lines=0)
    param.set_param("INTEnable", 1)
    param.set_param("Timeout", 30)
    vktsim.schedule_inputs(model, 0, [(5, 0, 1)])
    clock(20)
    assert waited(board) == int(unit.EventStatus.TIMEOUT)


@pytest.mark.parametrize("model", MODELS)
def test_inputs_set_from_python_come_after_scheduled_changes_that_fell_due(model, clock):
    board = board_of(model)
    vktsim.schedule_inputs(model, 0, [(5, 0x1, -1)])
    clock(20)
    vktsim.set_inputs(model, 0, 0x2)
    assert board.read() == 0x2
    clock(20)
    assert board.read() == 0x2


@pytest.mark.parametrize("model", MODELS)
def test_a_wait_ends_on_an_edge_that_comes_while_it_waits(model, clock):
    board, param = armed(model, lines=0x1)
    vktsim.schedule_inputs(model, 0, [(5, 0x1, -1), (300, 0x0, -1)])
    clock(20)
    vktsim.schedule_inputs(model, 0, [(10, 0x3, -1)])
    # The edge of line 0 came before the wait; line 1 is not waited for, so
    # the falling edge of line 0 is what ends it, for an edge in either way.
    param.set_param("DIEdge", 0)
    start = vktsim.now_ms()
    assert waited(board) == int(unit.EventStatus.DI)
    assert board.read() == 0x0
    assert 30 <= vktsim.now_ms() - start < 2000


@pytest.mark.usefixtures("virtual_clock")
@pytest.mark.parametrize("model", MODELS)
def test_abort_ends_the_next_wait(model):
    board, param = armed(model)
    board.abort()
    assert waited(board) == int(unit.EventStatus.ABORT)
    param.set_param("Timeout", 10)
    assert waited(board) == int(unit.EventStatus.TIMEOUT)


@pytest.mark.parametrize("model", ["SN2200", "TK560"])
def test_wait_records_are_copies(model):
    board = board_of(model)
    vktsim.script("Cx%s::Wait" % model, value=(4, 0xFFFFFFFF, 7))
    first = board.wait()
    vktsim.script("Cx%s::Wait" % model, value=(1, 0, 0))
    second = board.wait()
    assert (first.event_status, first.di_event_status, first.di) == (4, 0xFFFFFFFF, 7)
    assert second.event_status == 1


# ---- wait records -------------------------------------------------------------------------

@pytest.mark.parametrize("name", ["SN2200WaitStatus", "TK560WaitStatus"])
def test_wait_record_construction_and_operators(name):
    cls = getattr(unit, name)
    record = cls(1, 2, 0xFFFFFFFF)
    assert calls("Tx%s::Tx%s" % (name, name)) == [(1, 2, 0xFFFFFFFF)]
    assert (record.event_status, record.di_event_status, record.di) == (1, 2, 0xFFFFFFFF)
    assert record == cls(1, 2, 0xFFFFFFFF)
    assert record != cls(1, 2, 3)
    assert calls("Tx%s::operator==" % name) == [([1, 2, 0xFFFFFFFF], [1, 2, 0xFFFFFFFF])]
    assert calls("Tx%s::operator!=" % name) == [([1, 2, 0xFFFFFFFF], [1, 2, 3])]
    assert cls() == cls(0, 0, 0)
    assert (record == 5) is False and (record != 5) is True
    with pytest.raises(AttributeError):
        record.di = 1
    with pytest.raises(TypeError):
        hash(record)


@pytest.mark.parametrize("name", ["SN2200WaitStatus", "TK560WaitStatus"])
@pytest.mark.parametrize("args", [(-1, 0, 0), (0, 2**32, 0), (1, 2), (1.0, 2, 3)])
def test_wait_record_refuses_bad_fields(name, args):
    with pytest.raises(TypeError):
        getattr(unit, name)(*args)


def test_wait_records_are_not_interchangeable():
    assert (unit.SN2200WaitStatus(1, 2, 3) == unit.TK560WaitStatus(1, 2, 3)) is False


# ---- TK560 settings files -------------------------------------------------------------------

def test_tk560_save_and_load_round_trip(tmp_path):
    board = board_of("TK560")
    param = unit.TK560Param.from_(board)
    param.set_param("DINoiseFilterWidth", 12)
    param.di_wait_mode = 1
    board.write(0x1234)
    path = str(tmp_path / "board.cfg")
    board.save(path, 1)
    param.set_param("DINoiseFilterWidth", 0)
    param.di_wait_mode = 0
    board.write(0)
    board.load(path, 1)
    assert param.get_param("DINoiseFilterWidth") == 12 and param.di_wait_mode == 1
    assert board.write_status() == 0x1234
    ident = vktsim.ident(board)
    assert calls("CxTK560::Save") == [(ident, path.encode(), 1)]
    assert calls("CxTK560::Load") == [(ident, path.encode(), 1)]


def test_tk560_wide_paths(tmp_path):
    board = board_of("TK560")
    path = str(tmp_path / "r\u00e9glages \u6e2c.cfg")
    board.save_w(path, 0)
    board.load_w(path, 0)
    board.load(path, 0)   # the same file by its UTF-8 bytes
    assert calls("CxTK560::SaveW") == [(vktsim.ident(board), path, 0)]
    assert calls("CxTK560::LoadW") == [(vktsim.ident(board), path, 0)]


@pytest.mark.parametrize("operation", ["load", "load_w", "save", "save_w"])
def test_tk560_a_null_path_reaches_the_library_and_is_refused(operation):
    board = board_of("TK560")
    with pytest.raises(RuntimeError) as caught:
        getattr(board, operation)(None, 1)
    assert status_of(caught.value) == int(vktsim.ExStatus.InvalidArgument)
    op = "CxTK560::" + {"load": "Load", "load_w": "LoadW", "save": "Save", "save_w": "SaveW"}[operation]
    assert calls(op) == [(vktsim.ident(board), None, 1)]


@pytest.mark.parametrize("content, status", [
    (None, "FileError"),
    ("Timeout = x\n", "FormatError"),
    ("Timeout\n", "FormatError"),
    ("DeviceID = 1\n", "FormatError"),
    ("NoSuchThing = 1\n", "FormatError"),
    ("Outputs = 1\n", "FormatError"),   # outputs are only loaded with scope 1
])
def test_tk560_bad_files_are_the_librarys_error_and_change_nothing(tmp_path, content, status):
    board = board_of("TK560")
    param = unit.TK560Param.from_(board)
    path = tmp_path / "bad.cfg"
    if content is not None:
        path.write_text("DINoiseFilterWidth = 9\n" + content)
    with pytest.raises(RuntimeError) as caught:
        board.load(str(path), 0)
    assert status_of(caught.value) == int(getattr(vktsim.ExStatus, status))
    assert param.get_param("DINoiseFilterWidth") == 0


@pytest.mark.parametrize("args", [(1, 0), ("a",), ("a", "b")])
def test_tk560_load_arguments_that_do_not_convert(args):
    with pytest.raises(TypeError):
        board_of("TK560").load(*args)


# ---- equality, copies, missing objects, ownership ---------------------------------------------

@pytest.mark.parametrize("model", MODELS)
def test_board_equality(model):
    a, b = board_of(model, 0), board_of(model, 1)
    assert a == a and a != b
    assert (a == 5) is False and (a != 5) is True
    with pytest.raises(TypeError):
        hash(a)
    with pytest.raises(TypeError):
        getattr(unit, model)(a)   # no copies of digital-I/O boards


# Overloaded members are given an argument: pybind11 retries overloads with
# conversions (where None becomes a null object) only for calls that have one.
MEMBER_ARGS = {
    "open": (0,), "read": (0,), "write": (1,), "write_status": (0,), "load": ("x", 0),
    "load_w": ("x", 0), "save": ("x", 0), "save_w": ("x", 0), "get_param": ("Timeout",),
    "set_param": ("Timeout", 1), "send_command": ("x",), "set_register": (0, 0),
    "get_register": (0,), "__eq__": (None,), "__ne__": (None,),
}


def members(cls):
    for name, member in vars(cls).items():
        if name in ("__init__", "from_", "__hash__") or not (callable(member) or isinstance(member, property)):
            continue
        if name.startswith("_") and name not in ("__eq__", "__ne__"):
            continue
        yield name, member


def missing_object_cases():
    for model in MODELS:
        for cls in (getattr(unit, model), getattr(unit, model + "Param")):
            for name, member in members(cls):
                if (cls, name) != (unit.SN2200, "open"):
                    yield cls, name, member


@pytest.mark.parametrize("cls, name, member", list(missing_object_cases()),
                         ids=lambda v: v if isinstance(v, str) else "")
def test_every_member_refuses_a_missing_object(cls, name, member):
    vktsim.clear_journal()
    calls_to_try = []
    if isinstance(member, property):
        calls_to_try.append(lambda: member.fget(None))
        if member.fset is not None:
            calls_to_try.append(lambda: member.fset(None, 1))
    else:
        other = cls()
        args = (other,) if name in ("__eq__", "__ne__") else MEMBER_ARGS.get(name, ())
        calls_to_try.append(lambda: member(None, *args))
    for call in calls_to_try:
        with pytest.raises(RuntimeError) as caught:
            call()
        code, line, function, file = error_fields(caught.value)
        assert (code, function) == (2, "operator()")
        assert file.startswith("pyvkt/vkt_unit/")
    assert [op for op, _ in vktsim.journal()] == []


def test_pybind11_refuses_some_missing_objects_itself():
    # Overloads called with no argument besides the object are never retried
    # with conversions, and a method with named arguments refuses None for its
    # object: pybind11 raises TypeError before anything is called.
    for call in (lambda: unit.SNR11.read(None), lambda: unit.SNR11.write_status(None),
                 lambda: unit.SN2200.open(None), lambda: unit.SN2200.open(None, id=1)):
        with pytest.raises(TypeError):
            call()
    assert vktsim.journal() == []


def test_objects_are_freed_exactly_once():
    gc.collect()
    before = vktsim.live_objects()
    boards = [board_of(m, 3) for m in MODELS]
    params = [getattr(unit, m + "Param").from_(b) for m, b in zip(MODELS, boards)]
    copies = [getattr(unit, m + "Param")() for m in MODELS]
    for copy, board in zip(copies, boards):
        copy.controller = board
    params[0].get_param("DeviceID")            # a temporary text-free read
    unit.SN2200Param.from_(boards[1]).get_param("DriverVersionName")  # a temporary string
    records = [boards[1].abort(), boards[1].wait()]
    assert vktsim.live_objects() == before + 9
    del boards, board
    gc.collect()
    assert vktsim.live_objects() == before + 6
    del params, copies, copy, records
    gc.collect()
    assert vktsim.live_objects() == before


def test_reset_closes_every_board():
    board = board_of("SNR11")
    board.write(7)
    vktsim.reset()
    assert not board.is_opened
    board.open(0)
    assert board.write_status() == 0
