"""Translation of library exceptions into Python errors, and unit.Exception."""
import pathlib
import threading

import pytest

import unit
import vktsim
from conftest import error_fields


@pytest.mark.parametrize(
    "status, function, file, line, text",
    [
        (1, "operator()", "pyvkt/vkt_unit/vkt_unit_wrap.cpp", 120,
         "Code:1 Line:120 Function:operator() File:pyvkt/vkt_unit/vkt_unit_wrap.cpp"),
        (-7, "CxKTX21::FromFile", "sim/x.cpp", -1,
         "Code:-7 Line:-1 Function:CxKTX21::FromFile File:sim/x.cpp"),
        (0, "", "", 0, "Code:0 Line:0 Function: File:"),
        (2147483647, "f", "g", -2147483648,
         "Code:2147483647 Line:-2147483648 Function:f File:g"),
        (-2147483648, "caf\u00e9", "a b", 7, "Code:-2147483648 Line:7 Function:caf\u00e9 File:a b"),
    ],
)
def test_library_exception_text(status, function, file, line, text):
    with pytest.raises(RuntimeError) as caught:
        vktsim.raise_library_error(status, function, file, line)
    assert type(caught.value) is RuntimeError
    assert str(caught.value) == text


@pytest.mark.parametrize(
    "function, file, shown_function, shown_file",
    [
        (b"\xff", "x", "\\xff", "x"),
        ("f", b"\xfe\xff", "f", "\\xfe\\xff"),
        (b"caf\xc3", b"\x80abc", "caf\\xc3", "\\x80abc"),
        (b"\xc3\xa9\xe9", b"ok\xed\xa0\x80", "\u00e9\\xe9", "ok\\xed\\xa0\\x80"),
    ],
)
def test_texts_that_are_not_utf8_still_give_runtime_error(function, file, shown_function,
                                                           shown_file):
    with pytest.raises(RuntimeError) as caught:
        vktsim.raise_library_error(6, function, file, 12)
    assert type(caught.value) is RuntimeError
    assert str(caught.value) == "Code:6 Line:12 Function:%s File:%s" % (shown_function,
                                                                          shown_file)


def test_a_multibyte_character_cut_at_the_text_limit_is_escaped():
    with pytest.raises(RuntimeError) as caught:
        vktsim.raise_library_error(3, "f" * 254 + "\u00e9", "g", 1)
    _, _, function, _ = error_fields(caught.value)
    assert function == "f" * 254 + "\\xc3"


def test_long_texts_are_cut_not_overrun():
    with pytest.raises(RuntimeError) as caught:
        vktsim.raise_library_error(3, "f" * 5000, "g" * 5000, 1)
    _, _, function, file = error_fields(caught.value)
    assert function == "f" * 255 and file == "g" * 255


def test_unit_exception_is_a_plain_exception_type():
    assert unit.Exception.__bases__ == (Exception,)
    assert unit.Exception.__module__ == "unit"
    assert unit.Exception.__name__ == "Exception"
    assert not issubclass(RuntimeError, unit.Exception)


def test_translated_errors_are_not_unit_exception():
    caught_by = None
    try:
        try:
            vktsim.raise_library_error(4, "f", "g", 1)
        except unit.Exception:
            caught_by = "unit.Exception"
    except RuntimeError:
        caught_by = "RuntimeError"
    assert caught_by == "RuntimeError"


def test_unit_exception_can_be_raised_by_python():
    with pytest.raises(unit.Exception, match="by hand"):
        raise unit.Exception("by hand")


def test_threads_translate_into_their_own_texts():
    barrier = threading.Barrier(2)
    failures = []

    def worker(status):
        barrier.wait()
        for line in range(300):
            try:
                vktsim.raise_library_error(status, "thread%d" % status, "f", line)
            except RuntimeError as error:
                expected = "Code:%d Line:%d Function:thread%d File:f" % (status, line, status)
                if str(error) != expected:
                    failures.append((expected, str(error)))

    threads = [threading.Thread(target=worker, args=(status,)) for status in (5, 6)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert failures == []


@pytest.mark.parametrize("make_error", [
    lambda: unit.SNR11Param().get_param("x"),
    lambda: unit.TK560Param().send_command("x"),
    lambda: unit.KTX21Param().set_param("x", 1),
    lambda: unit.Video().get_param("x"),
    lambda: unit.SNR11.dispose(None),
])
def test_binding_errors_name_the_statement_that_throws_them(make_error):
    with pytest.raises(RuntimeError) as caught:
        make_error()
    _, line, _, file = error_fields(caught.value)
    assert file.startswith("pyvkt/vkt_unit/")
    source = pathlib.Path(__file__).resolve().parent.parent / file
    assert "VKT_UNIT_FAIL(" in source.read_text().splitlines()[line - 1]
