"""The `vkt` command line: every subcommand's output, exit status and errors,
run in-process (so the journal shows what reached the library) and as a
user runs it (python -m vkt, in a process of its own)."""
import io
import json
import pathlib
import subprocess
import sys
import types

import pytest

import unit
import vktsim
from conftest import calls
from vkt import boards, cli

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"
KTX21_FILE = str(EXAMPLES / "ktx21_camera.txt")
INT32 = 0x100000008


def run(*argv):
    """Runs the command line in this process: (exit status, stdout)."""
    out = io.StringIO()
    status = cli.main(list(argv), out=out)
    return status, out.getvalue()


def run_process(*argv, cwd=None):
    return subprocess.run([sys.executable, "-m", "vkt", *argv], capture_output=True,
                          text=True, timeout=120, cwd=cwd)


def error_line(capsys):
    lines = capsys.readouterr().err.splitlines()
    assert len(lines) == 1, lines
    return lines[0]


# ---- every subcommand ------------------------------------------------------------------

@pytest.mark.parametrize("command", [[], ["list"], ["params"], ["grab"], ["export"], ["io"], ["view"]])
def test_every_subcommand_has_help(command):
    result = run_process(*command, "--help")
    assert result.returncode == 0, result.stderr
    assert result.stdout.startswith("usage: vkt " + " ".join(command))


def test_no_subcommand_is_a_usage_error():
    result = run_process()
    assert result.returncode == 2
    assert "error: the following arguments are required: COMMAND" in result.stderr


# ---- list -----------------------------------------------------------------------------------

def test_list_finds_every_simulated_board_with_its_identity():
    status, out = run("list", "--json")
    assert status == 0
    listing = json.loads(out)
    assert listing["complete"] is True
    found = {(b["model"], b["id"], b.get("ch")) for b in listing["boards"]}
    for model in boards.DIO_MODELS:
        assert {(model, id, None) for id in range(4)} <= found
        assert (model, 4, None) not in found
    for model in ("KTX21", "KTX22", "MR250"):
        assert (model, 0, 0) in found
    snr11 = next(b for b in listing["boards"] if b["model"] == "SNR11" and b["id"] == 2)
    assert snr11["state"] == "ok" and snr11["DeviceID"] == 2 and "Version" in snr11
    sn2200 = next(b for b in listing["boards"] if b["model"] == "SN2200")
    assert isinstance(sn2200["FpgaVersionName"], str)
    assert vktsim.live_objects() == 0


def test_list_probes_ids_until_the_library_says_there_is_none():
    run("list")
    opened = calls("CxSNR11::Open")
    assert [args[1] for args in opened] == [0, 1, 2, 3, 4]


def test_list_reports_a_board_open_elsewhere_as_busy():
    board = unit.SNR11()
    board.open(1)
    status, out = run("list")
    assert status == 0
    rows = [line.split() for line in out.splitlines()]
    assert [row[3] for row in rows if row[0] == "SNR11"] == ["ok", "busy", "ok", "ok"]
    board.close()


def test_list_shows_a_board_that_fails_to_open_and_goes_on():
    vktsim.script("CxTK560::Open", raises=14)
    status, out = run("list", "--json")
    assert status == 0
    tk560 = [b for b in json.loads(out)["boards"] if b["model"] == "TK560"]
    assert [b["state"] for b in tk560] == ["error", "ok", "ok", "ok"]
    assert tk560[0]["error"].startswith("OutOfResources (14): Code:14 ")


def test_list_says_so_when_no_board_answers(capsys):
    for operation in ("CxSNR11::Open", "CxSN2200::Open", "CxTK560::Open", "CxKTX21::Open",
                      "CxKTX22::Open", "CxMR250::Open"):
        vktsim.script(operation, raises=6)
    status, out = run("list")
    assert (status, out) == (0, "no boards found\n")


def test_list_stops_probing_when_its_time_is_up(capsys):
    status, out = run("list", "--timeout", "0")
    assert status == 0 and out == "no boards found\n"
    assert error_line(capsys) == \
        "vkt: probing stopped after 0.0 s; the list may be incomplete"
    assert calls() == []


def test_list_as_a_table():
    result = run_process("list")
    assert result.returncode == 0, result.stderr
    header, *rows = result.stdout.splitlines()
    assert header.split() == ["MODEL", "ID", "CH", "STATE", "IDENTITY"]
    assert any(r.split()[:4] == ["TK560", "3", "-", "ok"] for r in rows)
    assert any(r.split()[:4] == ["KTX21", "0", "0", "ok"] for r in rows)


# ---- params ---------------------------------------------------------------------------------

def test_params_prints_every_readable_setting_aligned():
    status, out = run("params", "KTX21", "--camera-file", KTX21_FILE)
    assert status == 0
    header, *rows = out.splitlines()
    assert header.split() == ["NAME", "VALUE", "KIND", "ACCESS"]
    assert len(rows) == 103
    value_column = header.index("VALUE")
    assert all(row[value_column - 2:value_column] == "  " for row in rows)
    by_name = {row.split()[0]: row.split() for row in rows}
    assert by_name["Width"] == ["Width", "320", "int", "rw"]
    assert by_name["DeviceID"] == ["DeviceID", "0", "int", "ro"]
    assert out.count("Simulated area camera") == 1
    assert len(calls("CxKTX21Param::GetParam")) == 103


@pytest.mark.parametrize("model, argv, count, sample", [
    ("SNR11", ["--id", "2"], 11, ("DeviceID", 2, "int", False)),
    ("SN2200", [], 11, ("FpgaVersionName", None, "text", False)),
    ("TK560", ["--id", "3"], 18, ("DIWaitMode", 0, "int", True)),
    ("KTX22", ["--camera-file", str(EXAMPLES / "ktx22_camera.txt")], 102,
     ("TriggerMode", 1, "int", True)),
    ("MR250", ["--camera-file", str(EXAMPLES / "mr250_camera.txt")], 61,
     ("ImageSize", None, "text", False)),
    ("Video", ["--camera-file", KTX21_FILE], 103, ("CameraName", "Simulated area camera",
                                                   "text", True)),
    ("KTX21", [], 103, ("Width", None, "int", True)),
])
def test_params_as_json(model, argv, count, sample):
    status, out = run("params", model, *argv, "--json")
    assert status == 0
    listing = json.loads(out)
    assert listing["model"] == model
    assert len(listing["settings"]) == count
    name, value, kind, writable = sample
    row = next(r for r in listing["settings"] if r["name"] == name)
    assert (row["kind"], row["writable"]) == (kind, writable)
    if value is not None:
        assert row["value"] == value
    assert isinstance(row["value"], str if kind == "text" else int)


@pytest.mark.parametrize("name, text, sent", [
    ("ExposureTime", "1500", 1500),
    ("ExposureTime", "0x10", 16),
    ("CameraName", "Line 7", b"Line 7"),
])
def test_params_set_writes_the_value_in_the_kind_of_the_table(name, text, sent):
    status, out = run("params", "KTX21", "--camera-file", KTX21_FILE, "--set", name, text)
    assert status == 0
    assert out == "%s = %s\n" % (name, sent.decode() if isinstance(sent, bytes) else sent)
    written = calls("CxKTX21Param::SetParam")
    assert [args[1:3] for args in written] == [(name.encode(), sent)]


def test_params_set_as_words_after_the_board():
    status, out = run("params", "SNR11", "--id", "1", "set", "Timeout", "250")
    assert (status, out) == (0, "Timeout = 250\n")
    assert [args[1:3] for args in calls("CxSNR11Param::SetParam")] == [(b"Timeout", 250)]


@pytest.mark.parametrize("words", [["set", "Timeout"], ["put", "Timeout", "1"],
                                   ["set", "Timeout", "1", "2"]])
def test_params_takes_only_set_name_value_after_the_board(words):
    result = run_process("params", "SNR11", *words)
    assert result.returncode == 2
    assert "after the board only 'set NAME VALUE' may follow, not %r" % " ".join(words) \
        in result.stderr


def test_params_set_on_a_digital_board():
    status, out = run("params", "TK560", "--id", "1", "--set", "DIEdge", "0xFFFFFFFF", "--json")
    assert (status, json.loads(out)) == (0, {"DIEdge": 0xFFFFFFFF})
    assert [args[1:3] for args in calls("CxTK560Param::SetParam")] == [(b"DIEdge", 0xFFFFFFFF)]


@pytest.mark.parametrize("name, text, expected", [
    ("Bogus", "1", "vkt: error: NotSupported (1): Code:1 "),
    ("DeviceID", "3", "vkt: error: NotSupported (1): Code:1 "),
    ("Width", "abc", "vkt: error: Width takes an integer, not 'abc'"),
])
def test_params_set_refusals_reach_no_library_call(capsys, name, text, expected):
    status, out = run("params", "KTX21", "--camera-file", KTX21_FILE, "--set", name, text)
    assert (status, out) == (1, "")
    assert error_line(capsys).startswith(expected)
    assert calls("CxKTX21Param::SetParam") == []


def test_params_set_shows_the_librarys_refusal_of_a_value(capsys):
    status, _ = run("params", "SNR11", "--set", "Timeout", "-5")
    assert status == 1
    assert error_line(capsys).startswith("vkt: error: InvalidArgument (3): Code:3 ")
    assert [args[1:3] for args in calls("CxSNR11Param::SetParam")] == [(b"Timeout", -5)]


@pytest.mark.parametrize("argv, expected", [
    (["params", "SNR11", "--id", "7"], "vkt: error: NoDevice (6): Code:6 "),
    (["params", "KTX21", "--camera-file", "missing.txt"], "vkt: error: FileError (9): Code:9 "),
    (["params", "Video"], "vkt: error: a Video board opens from a camera file (--camera-file)"),
    (["params", "SNR11", "--ch", "1"],
     "vkt: error: SNR11 is a digital-I/O board: it has no channel or camera file"),
])
def test_a_failure_is_one_line_and_status_1(tmp_path, argv, expected):
    result = run_process(*argv, cwd=tmp_path)
    assert result.returncode == 1
    assert result.stdout == ""
    assert result.stderr.count("\n") == 1 and result.stderr.startswith(expected), result.stderr
    assert "Traceback" not in result.stderr


def test_an_unknown_model_is_a_usage_error():
    result = run_process("params", "KTX99")
    assert result.returncode == 2
    assert "argument MODEL: invalid choice: 'KTX99'" in result.stderr


# ---- io -------------------------------------------------------------------------------------

def test_io_drives_lines_and_shows_both_words():
    vktsim.set_inputs("SNR11", 2, 0x5)
    status, out = run("io", "SNR11", "--id", "2", "--set", "3=1", "--set", "0=1")
    assert status == 0
    assert vktsim.outputs("SNR11", 2) == 0x9
    assert out == ("inputs  0x00000005  00000000 00000000 00000000 00000101\n"
                   "outputs 0x00000009  00000000 00000000 00000000 00001001\n")
    assert [args[1:] for args in calls("CxSNR11::Write")] == [(3, True), (0, True)]


@pytest.mark.parametrize("model", boards.DIO_MODELS)
def test_io_as_json(model):
    vktsim.set_inputs(model, 0, 0x80000001)
    status, out = run("io", model, "--json", "--set", "31=1")
    assert status == 0
    assert json.loads(out) == {"model": model, "id": 0, "inputs": 0x80000001,
                               "outputs": 0x80000000}


def test_io_watch_prints_each_change_until_interrupted(monkeypatch):
    changes = iter([0x1, 0x1, 0x3, 0x2])

    def next_reading(seconds):
        try:
            vktsim.set_inputs("TK560", 0, next(changes))
        except StopIteration:
            raise KeyboardInterrupt from None
    monkeypatch.setattr(cli.time, "sleep", next_reading)
    status, out = run("io", "TK560", "--watch")
    assert status == 0
    lines = out.splitlines()
    assert len(lines) == 5
    assert [line.split("inputs ")[1] for line in lines[2:]] == [
        "0x00000001  rose 0x00000001  fell 0x00000000",
        "0x00000003  rose 0x00000002  fell 0x00000000",
        "0x00000002  rose 0x00000000  fell 0x00000001"]


@pytest.mark.parametrize("setting", ["3=2", "x=1", "3", "4=one"])
def test_io_refuses_a_malformed_line_setting(setting):
    result = run_process("io", "SNR11", "--set", setting)
    assert result.returncode == 2
    assert "expected LINE=0 or LINE=1, not %r" % setting in result.stderr


def test_io_shows_the_librarys_refusal_of_a_line(capsys):
    status, _ = run("io", "SN2200", "--set", "32=1")
    assert status == 1
    assert error_line(capsys).startswith("vkt: error: InvalidArgument (3): Code:3 ")
    assert vktsim.outputs("SN2200", 0) == 0


# ---- view -----------------------------------------------------------------------------------

def install_viewer(monkeypatch, module):
    """Puts `module` in the place of vkt.viewer (None: as if it were not
    installed), whether or not the real one was imported before."""
    import vkt
    monkeypatch.setitem(sys.modules, "vkt.viewer", module)
    if module is None:
        monkeypatch.delattr(vkt, "viewer", raising=False)
    else:
        monkeypatch.setattr(vkt, "viewer", module, raising=False)


def test_view_prints_the_viewers_address_on_one_line(monkeypatch):
    served = []

    def serve(host, port, open_message):
        served.append((host, port))
        open_message("http://%s:%d/?token=abc" % (host, port))
    install_viewer(monkeypatch, types.SimpleNamespace(serve=serve))
    status, out = run("view", "--port", "8123")
    assert (status, out) == (0, "http://127.0.0.1:8123/?token=abc\n")
    assert served == [("127.0.0.1", 8123)]


def test_view_warns_when_exposed(monkeypatch, capsys):
    install_viewer(monkeypatch, types.SimpleNamespace(serve=lambda host, port, say: say("url")))
    status, _ = run("view", "--host", "0.0.0.0")
    assert status == 0
    assert error_line(capsys) == \
        "vkt: warning: the viewer is reachable from other machines at 0.0.0.0"


def test_view_without_the_viewer_fails_cleanly(monkeypatch, capsys):
    install_viewer(monkeypatch, None)
    status, out = run("view")
    assert (status, out) == (1, "")
    assert error_line(capsys).startswith("vkt: error: the viewer is not installed (")


def test_a_reader_that_goes_away_ends_the_output_quietly():
    listing = subprocess.Popen([sys.executable, "-m", "vkt", "list"], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    listing.stdout.close()                      # as `vkt list | head -0` does
    _, err = listing.communicate(timeout=120)
    assert listing.returncode == 1
    assert err == b""
