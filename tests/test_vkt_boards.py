"""The tools' settings tables come from the installed stubs: they must be
the module's own tables (the ones the parameter tests check against the
module), readable and writable names and kinds alike."""
import pytest

import dio_tables
import ktx21_tables
import ktx22_tables
import mr250_tables
from vkt import boards


def grabber_rows(names, writable, texts):
    return [(name, "text" if name in texts else "int", True, name in writable)
            for name in names] + \
        [(name, "int", False, True) for name in writable if name not in names]


def dio_rows(model):
    table = dio_tables.TABLES[model]
    readable = [row for row in table if row[1] is not None]
    written = [row for row in table if row[1] is None]
    return [(name, "text" if get == "s" else "int", True, put is not None)
            for name, get, put in readable] + \
        [(name, "int", False, True) for name, _, _ in written]


EXPECTED = {
    "KTX21": grabber_rows(ktx21_tables.NAMES, ktx21_tables.WRITABLE, ktx21_tables.TEXTS),
    "KTX22": grabber_rows(ktx22_tables.GET_NAMES, ktx22_tables.SET_NAMES, ktx22_tables.GET_TEXT),
    "MR250": grabber_rows(mr250_tables.NAMES, mr250_tables.WRITABLE, mr250_tables.TEXTS),
    "SNR11": dio_rows("SNR11"),
    "SN2200": dio_rows("SN2200"),
    "TK560": dio_rows("TK560"),
}


@pytest.mark.parametrize("model", sorted(EXPECTED))
def test_the_settings_table_is_the_modules(model):
    table = [(s.name, s.kind, s.readable, s.writable) for s in boards.settings_table(model)]
    readable = sorted(row for row in table if row[2])
    assert readable == sorted(row for row in EXPECTED[model] if row[2])
    assert sorted(table) == sorted(EXPECTED[model])


@pytest.mark.parametrize("model", ["Video", "KTX99", ""])
def test_no_table_for_what_is_not_a_model(model):
    with pytest.raises(boards.BoardError, match="no settings table for"):
        boards.settings_table(model)


@pytest.mark.parametrize("error, text", [
    (RuntimeError("Code:6 Line:1 Function:f File:x.cpp"),
     "NoDevice (6): Code:6 Line:1 Function:f File:x.cpp"),
    (RuntimeError("Code:99 Line:1 Function:f File:x.cpp"),
     "status 99: Code:99 Line:1 Function:f File:x.cpp"),
    (RuntimeError("Unable to cast Python instance"), "Unable to cast Python instance"),
    (ValueError("Code:6 Line:1"), "Code:6 Line:1"),
    (KeyError(), "KeyError"),
])
def test_errors_are_described_with_the_librarys_status_name(error, text):
    assert boards.describe_error(error) == text
