"""The simulated library's Python side: images, identities, journal and scripts."""
import gc

import numpy as np
import pytest

import unit
import vktsim
from conftest import calls, error_fields


@pytest.mark.parametrize("depth, dtype", [(8, np.uint8), (16, np.uint16)])
@pytest.mark.parametrize("channels", [1, 3])
def test_image_is_shared_with_numpy(depth, dtype, channels):
    image = vktsim.Image(5, 3, channels=channels, depth=depth)
    first, second = np.asarray(image), np.asarray(image)
    assert first.dtype == dtype
    assert first.shape == ((3, 5) if channels == 1 else (3, 5, channels))
    assert not first.any()
    first[2, 4] = 1000 if depth == 16 else 200
    assert np.shares_memory(first, second)
    assert second[2, 4].tolist() == first[2, 4].tolist()
    assert (image.width, image.height, image.channels, image.depth) == (5, 3, channels, depth)


def test_numpy_view_keeps_the_image_alive():
    before = vktsim.live_objects()
    view = np.asarray(vktsim.Image(64, 64))
    gc.collect()
    assert vktsim.live_objects() == before + 1
    view[:] = 9
    assert int(view.sum()) == 9 * 64 * 64
    del view
    gc.collect()
    assert vktsim.live_objects() == before


@pytest.mark.parametrize(
    "args, message",
    [
        ((0, 10), "at least 1"),
        ((10, -1), "at least 1"),
        ((10, 10, 0), "channels"),
        ((10, 10, 5), "channels"),
        ((10, 10, 1, 12), "depth"),
        ((10, 10, 1, 32), "depth"),
        ((1 << 20, 1 << 20), "1 GiB"),
        ((1 << 40, 1), "1 GiB"),
        ((32769, 32768, 1, 8), "1 GiB"),
    ],
)
def test_bad_images_are_refused_and_make_nothing(args, message):
    before = vktsim.live_objects()
    with pytest.raises(ValueError, match=message):
        vktsim.Image(*args)
    assert vktsim.live_objects() == before


def test_image_sizes_too_large_for_python_ints_are_type_errors():
    with pytest.raises(TypeError):
        vktsim.Image(1 << 70, 1)


def test_every_library_object_has_its_own_identity():
    images = [vktsim.Image(2, 2) for _ in range(3)]
    idents = [vktsim.ident(image) for image in images]
    assert len(set(idents)) == 3 and all(isinstance(i, int) and i > 0 for i in idents)
    assert vktsim.ident(images[0]) == idents[0]


def test_live_idents_names_each_live_object_by_identity_and_class():
    before = vktsim.live_idents()
    board, image, dio = unit.KTX21(), vktsim.Image(4, 4), unit.SNR11()
    live = vktsim.live_idents()
    assert list(live) == sorted(live)
    assert {ident: kind for ident, kind in live.items() if ident not in before} == {
        vktsim.ident(board): "CxKTX21", vktsim.ident(image): "CxImage", vktsim.ident(dio): "CxSNR11"}
    freed = vktsim.ident(board)
    del board
    gc.collect()
    live = vktsim.live_idents()
    assert freed not in live and vktsim.ident(image) in live and vktsim.ident(dio) in live
    assert len(live) == vktsim.live_objects()


@pytest.mark.parametrize("obj, error", [
    (5, TypeError), ("x", TypeError), (None, TypeError),
    (unit.EventStatus.DI, ValueError), (vktsim.ExStatus.Timeout, ValueError),
])
def test_ident_of_an_object_without_a_library_object(obj, error):
    with pytest.raises(error):
        vktsim.ident(obj)


def test_as_interface_refuses_what_does_not_implement_it():
    image = vktsim.Image(2, 2)
    with pytest.raises(TypeError, match="does not implement IxDIO"):
        vktsim.as_interface(image, vktsim.IxDIO)
    with pytest.raises(TypeError, match="interface classes"):
        vktsim.as_interface(image, int)
    with pytest.raises(TypeError):
        vktsim.as_interface(3, vktsim.IxModule)


def test_interfaces_cannot_be_made_from_python():
    for interface in (vktsim.IxModule, vktsim.IxDeviceModule, vktsim.IxRegister,
                      vktsim.IxVideoControl, vktsim.IxDIO, vktsim.IxIndexedDIO):
        with pytest.raises(TypeError):
            interface()


def test_enumerations():
    assert int(vktsim.ExDevice.KTX21) == 1
    assert int(vktsim.ExDevice.MR250) == 2
    assert int(vktsim.ExDevice.KTX22) == 4
    assert int(vktsim.ExStatus.NotSupported) == 1
    assert int(vktsim.ExStatus.MissingObject) == 2


def test_script_refuses_unknown_operations():
    with pytest.raises(ValueError, match="unknown operation 'NoSuch::Thing'"):
        vktsim.script("NoSuch::Thing", value=1)
    with pytest.raises(ValueError, match="unknown operation"):
        vktsim.script("NoSuch::Thing", raises=3)


@pytest.mark.parametrize("kwargs, error", [
    ({"value": 1, "raises": 3}, ValueError),
    ({"raises": "3"}, TypeError),
    ({"raises": True}, TypeError),
    ({"value": 1.5}, TypeError),
    ({"value": "text"}, TypeError),
    ({"value": (1, "x")}, TypeError),
])
def test_script_refuses_malformed_answers(kwargs, error):
    operation = vktsim.operations()[0] if vktsim.operations() else "NoSuch::Thing"
    with pytest.raises(error):
        vktsim.script(operation, **kwargs)


def test_clear_journal_and_reset_empty_the_journal():
    vktsim.clear_journal()
    assert vktsim.journal() == []
    vktsim.reset()
    assert vktsim.journal() == []


def test_the_journal_keeps_the_newest_calls_in_order():
    board = unit.SNR11()
    board.open(0)
    vktsim.clear_journal()
    limit, extra = 200000, 7
    for value in range(limit + extra):
        board.write(value)
    entries = vktsim.journal()
    assert len(entries) == limit
    assert entries[0] == ("CxSNR11::Write", (vktsim.ident(board), extra))
    assert entries[-1] == ("CxSNR11::Write", (vktsim.ident(board), limit + extra - 1))
    assert [args[1] for _, args in entries[:3]] == [extra, extra + 1, extra + 2]
    # Cleared after it went round, it starts again from the next call.
    vktsim.clear_journal()
    board.write(1)
    board.write_status()
    assert vktsim.journal() == [("CxSNR11::Write", (vktsim.ident(board), 1)),
                                ("CxSNR11::WriteStatus", (vktsim.ident(board), 0))]


def test_set_journal_switches_recording_and_reset_switches_it_back_on():
    board = unit.SNR11()
    board.open(0)
    vktsim.clear_journal()
    board.write(1)
    vktsim.set_journal(False)
    board.write(2)
    vktsim.script("CxSNR11::Read", value=7)
    assert board.read() == 7            # scripts still answer
    assert board.write_status() == 2    # and unscripted calls still act
    assert vktsim.journal() == [("CxSNR11::Write", (vktsim.ident(board), 1))]
    vktsim.set_journal(True)
    board.write(3)
    assert [args for _, args in vktsim.journal()] == [(vktsim.ident(board), 1),
                                                       (vktsim.ident(board), 3)]
    vktsim.set_journal(False)
    vktsim.reset()
    board.open(0)
    assert vktsim.journal() == [("CxSNR11::Open", (vktsim.ident(board), 0))]


@pytest.mark.parametrize("recording", [None, 1, "yes"])
def test_set_journal_takes_a_bool_only(recording):
    with pytest.raises(TypeError):
        vktsim.set_journal(recording)
    unit.SNR11().is_valid
    assert [name for name, _ in vktsim.journal()][-1] == "CxSNR11::IsValid"


def test_scripts_answer_calls_in_the_order_queued():
    dio = vktsim.DIO()
    dio.inputs = 3
    board = unit.SNR11()
    board.open(0)
    view = vktsim.as_interface(board, vktsim.IxDIO)
    vktsim.script("CxSNR11::Read", value=10)
    vktsim.script("CxSNR11::Read", value=-1)
    assert [board.read(), board.read(), board.read()] == [10, 0xFFFFFFFF, 0]
    # Scripts are per operation: the simulated DIO answers from its wires.
    unit.read(view, 0)
    assert calls("SimDIO::Read") == []
    assert len(calls("CxSNR11::Read")) == 4


def test_a_scripted_failure_is_journaled_and_thrown_from_the_library():
    board = unit.SNR11()
    board.open(0)
    vktsim.script("CxSNR11::Write", raises=14)
    with pytest.raises(RuntimeError) as caught:
        board.write(1)
    code, line, function, file = error_fields(caught.value)
    assert (code, function) == (14, "CxSNR11::Write")
    assert file == "sim/core/state.cpp" and line > 0
    assert calls("CxSNR11::Write") == [(vktsim.ident(board), 1)]
    assert board.write_status() == 0   # a scripted call does nothing else


@pytest.mark.parametrize("raises, code", [
    (vktsim.ExStatus.Timeout, 7), (7, 7), (vktsim.ExStatus.NotRunning, 15), (15, 15),
    (vktsim.ExStatus.Success, 0), (0, 0),
], ids=["Timeout", "7", "NotRunning", "15", "Success", "0"])
def test_a_scripted_failure_takes_any_status_as_member_or_number(raises, code):
    board = unit.SNR11()
    board.open(0)
    vktsim.script("CxSNR11::Write", raises=raises)
    with pytest.raises(RuntimeError) as caught:
        board.write(1)
    assert error_fields(caught.value)[:3:2] == (code, "CxSNR11::Write")


@pytest.mark.parametrize("raises, error, text", [
    (99, ValueError, "raises= takes a status the library defines, 0 to 15, not 99"),
    (16, ValueError, "raises= takes a status the library defines, 0 to 15, not 16"),
    (-1, ValueError, "raises= takes a status the library defines, 0 to 15, not -1"),
    (2**70, ValueError, "raises= takes a status the library defines, 0 to 15, not %d" % 2**70),
    ("7", TypeError, "raises= takes a status: an ExStatus member or its number"),
    (True, TypeError, "raises= takes a status: an ExStatus member or its number"),
    (7.0, TypeError, "raises= takes a status: an ExStatus member or its number"),
    (vktsim.ExDevice.KTX22, TypeError, "raises= takes a status: an ExStatus member or its number"),
], ids=["99", "16", "-1", "2**70", "str", "bool", "float", "ExDevice"])
def test_a_scripted_failure_refuses_what_is_no_status(raises, error, text):
    board = unit.SNR11()
    board.open(0)
    with pytest.raises(error) as caught:
        vktsim.script("CxSNR11::Write", raises=raises)
    assert str(caught.value) == text
    board.write(1)                     # nothing was queued: the board answers
    assert board.write_status() == 1


def test_reset_drops_queued_scripts():
    board = unit.SNR11()
    board.open(0)
    vktsim.script("CxSNR11::Read", value=10)
    vktsim.reset()
    board.open(0)
    assert board.read() == 0


def test_script_refuses_values_the_operation_cannot_take():
    with pytest.raises(ValueError, match="cannot answer"):
        vktsim.script("SimDIO::Read", value=b"text")
    with pytest.raises(ValueError, match="cannot answer"):
        vktsim.script("SimDIO::Write", value=1)
    with pytest.raises(ValueError, match="cannot answer"):
        vktsim.script("CxSNR11Param::From", value=None)   # it can only fail


def test_journal_records_each_argument_kind(tmp_path):
    board = unit.TK560()
    board.open(0)
    path = str(tmp_path / "caf\u00e9.cfg")
    vktsim.clear_journal()
    board.write(5, True)
    board.save(path, 1)
    board.load_w(path, 1)
    with pytest.raises(RuntimeError):
        board.save(None, 1)
    ident = vktsim.ident(board)
    assert vktsim.journal() == [
        ("CxTK560::Write", (ident, 5, True)),
        ("CxTK560::Save", (ident, path.encode(), 1)),
        ("CxTK560::LoadW", (ident, path, 1)),
        ("CxTK560::Save", (ident, None, 1)),
    ]
    assert type(vktsim.journal()[0][1][2]) is bool
