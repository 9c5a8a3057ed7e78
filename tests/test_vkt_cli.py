"""The `vkt` command line: every subcommand's output, exit status and errors,
run in-process (so the journal shows what reached the library) and as a
user runs it (python -m vkt, in a process of its own)."""
import _thread
import doctest
import io
import json
import pathlib
import re
import shlex
import subprocess
import sys
import textwrap
import threading
import types

import pytest
from hypothesis import HealthCheck, example, given, settings, strategies as st

import unit
import vktsim
from conftest import calls, kept_since
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
    before = set(vktsim.live_idents())
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
    assert kept_since(before) == {}


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
    ("Bogus", "1", "KTX21 has no setting 'Bogus'"),
    ("width", "1", "KTX21 has no setting 'width' (did you mean Width?)"),
    ("DeviceID", "3", "DeviceID is read-only on KTX21"),
    ("Width", "abc", "Width takes an integer, not 'abc'"),
    ("Width", "99999999999999999999",
     "Width takes an integer from -2147483648 to 2147483647, not 99999999999999999999"),
    ("ENCComp2", "-1", "ENCComp2 takes an integer from 0 to 4294967295, not -1"),
    ("CameraName", "\udcff", "CameraName takes UTF-8 text, not '\\udcff'"),
])
def test_params_set_refusals_name_the_setting_and_reach_no_library_call(capsys, name, text,
                                                                        expected):
    status, out = run("params", "KTX21", "--camera-file", KTX21_FILE, "--set", "Height", "100",
                      "--set", name, text)
    assert (status, out) == (1, "")
    assert error_line(capsys) == "vkt: error: " + expected
    assert calls("CxKTX21Param::SetParam") == []


def test_params_set_shows_the_librarys_refusal_with_its_status_and_message(capsys):
    status, _ = run("params", "SNR11", "--set", "Timeout", "-5")
    assert status == 1
    assert error_line(capsys) == (
        "vkt: error: Timeout = -5 refused by SNR11: InvalidArgument (3): Timeout must be 0 "
        "to 3600000 ms [CxSNR11Param::SetParam]; nothing was changed")
    assert [args[1:3] for args in calls("CxSNR11Param::SetParam")] == [(b"Timeout", -5)]


def test_params_applies_every_set_in_order():
    status, out = run("params", "KTX21", "--camera-file", KTX21_FILE, "--set", "Width", "100",
                      "--set", "Height", "50", "--set", "CameraName", "Line 7")
    assert (status, out) == (0, "Width = 100\nHeight = 50\nCameraName = Line 7\n")
    assert [args[1:3] for args in calls("CxKTX21Param::SetParam")] == [
        (b"Width", 100), (b"Height", 50), (b"CameraName", b"Line 7")]


def test_params_set_words_may_repeat_and_json_gives_them_all():
    status, out = run("params", "SNR11", "set", "Timeout", "250", "set", "DIEdge", "0x3",
                      "--json")
    assert (status, json.loads(out)) == (0, {"Timeout": 250, "DIEdge": 3})


def test_a_refused_set_puts_back_what_was_written_before_it(capsys):
    vktsim.script("CxKTX21Param::SetParam", value=None)     # Width: taken
    vktsim.script("CxKTX21Param::SetParam", value=None)     # CameraName: taken
    vktsim.script("CxKTX21Param::SetParam", raises=3)       # Height: refused
    status, out = run("params", "KTX21", "--camera-file", KTX21_FILE, "--set", "Width", "100",
                      "--set", "CameraName", "x", "--set", "Height", "50", "--set",
                      "OffsetW", "8")
    assert (status, out) == (1, "")
    assert error_line(capsys).startswith("vkt: error: Height = 50 refused by KTX21: "
                                         "InvalidArgument (3)")
    assert capsys.readouterr().err == ""
    # Every earlier value is read first; the refusal puts them back, last first,
    # and what follows the refused one is never written.
    assert [args[1] for args in calls("CxKTX21Param::GetParam")][-4:] == \
        [b"Width", b"CameraName", b"Height", b"OffsetW"]
    assert [args[1:3] for args in calls("CxKTX21Param::SetParam")] == [
        (b"Width", 100), (b"CameraName", b"x"), (b"Height", 50),
        (b"CameraName", b"Simulated area camera"), (b"Width", 320)]


def test_the_error_says_what_was_put_back(capsys):
    vktsim.script("CxKTX21Param::SetParam", value=None)
    vktsim.script("CxKTX21Param::SetParam", raises=3)
    run("params", "KTX21", "--camera-file", KTX21_FILE, "--set", "Width", "100",
        "--set", "Height", "50")
    assert error_line(capsys).endswith("; Width put back to 320")


def test_a_write_only_setting_is_said_not_to_be_put_back(capsys):
    vktsim.script("CxSNR11Param::SetParam", value=None)
    vktsim.script("CxSNR11Param::SetParam", raises=3)
    status, _ = run("params", "SNR11", "--set", "DIWaitMode", "1", "--set", "Timeout", "5")
    assert status == 1
    assert error_line(capsys).endswith("; DIWaitMode is write-only and could not be put back")
    assert [args[1] for args in calls("CxSNR11Param::SetParam")] == [b"DIWaitMode", b"Timeout"]


def test_a_setting_that_cannot_be_read_first_stops_before_any_write(capsys):
    vktsim.script("CxSNR11Param::GetParam", raises=14)
    status, _ = run("params", "SNR11", "--set", "Timeout", "5")
    assert status == 1
    assert error_line(capsys).startswith(
        "vkt: error: Timeout could not be read before changing it, nothing was changed: "
        "OutOfResources (14)")
    assert calls("CxSNR11Param::SetParam") == []


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
    assert "argument MODEL: invalid choice: 'KTX99' (choose from SNR11, SN2200, TK560, " \
        "KTX21, KTX22, MR250, Video)" in result.stderr


@pytest.mark.parametrize("argv, model", [
    (["params", "ktx21", "--camera-file", KTX21_FILE, "--json"], "KTX21"),
    (["params", "Snr11", "--json"], "SNR11"),
    (["io", "tk560", "--json"], "TK560"),
])
def test_model_names_in_any_case(argv, model):
    status, out = run(*argv)
    assert status == 0
    assert json.loads(out)["model"] == model


@pytest.mark.parametrize("argv, message", [
    (["list", "--timeout", "-1"], "argument --timeout: -1 is not from 0 to 3600 seconds"),
    (["list", "--timeout", "nan"], "argument --timeout: nan is not from 0 to 3600 seconds"),
    (["list", "--timeout", "soon"], "argument --timeout: invalid number of seconds: 'soon'"),
    (["io", "SNR11", "--watch", "--interval", "-1"],
     "argument --interval: -1 is not from 0.001 to 60 seconds"),
    (["io", "SNR11", "--watch", "--interval", "inf"],
     "argument --interval: inf is not from 0.001 to 60 seconds"),
    (["io", "SNR11", "--set", "99999999999999999999=1"],
     "argument --set: LINE is 0 to 31, not 99999999999999999999"),
    (["io", "SNR11", "--set", "32=1"], "argument --set: LINE is 0 to 31, not 32"),
    (["io", "SNR11", "--watch", "--count", "0"], "argument --count: 0 is not from 1 to "),
    (["io", "SNR11", "--count", "1", "--interval", "1"],
     "--interval, --count only apply with --watch"),
    (["view", "--port", "99999"], "argument --port: 99999 is not from 0 to 65535"),
    (["view", "--port", "-1"], "argument --port: -1 is not from 0 to 65535"),
    (["params", "SNR11", "--id", "99999999999999999999"],
     "argument --id: 99999999999999999999 is not from 0 to 2147483647"),
    (["grab", "KTX21", "--ch", "-2", "--camera-file", "x", "-o", "x"],
     "argument --ch: -2 is not from 0 to 2147483647"),
])
def test_numbers_out_of_range_are_usage_errors(capsys, argv, message):
    with pytest.raises(SystemExit) as exit:
        run(*argv)
    assert exit.value.code == 2
    assert ("error: " + message) in capsys.readouterr().err
    assert calls() == []


def test_version_names_the_package_and_the_device_library():
    result = run_process("--version")
    assert result.returncode == 0, result.stderr
    package, library = result.stdout.splitlines()
    assert package == "vkt " + boards.package_version()
    assert boards.package_version()[0].isdigit()
    from conftest import loaded_device_library
    assert library.startswith("device library %s (" % loaded_device_library().resolve().name)


def test_a_camera_file_path_the_library_cannot_take_is_refused(capsys):
    status, _ = run("params", "KTX21", "--camera-file", "\udcff.txt")
    assert status == 1
    assert error_line(capsys) == "vkt: error: the camera file's path is not UTF-8: '\\udcff.txt'"
    assert calls() == []


# ---- no traceback, whatever the arguments ----------------------------------------------------

OPTIONS = {
    "list": ["--json", "--timeout"],
    "params": ["--id", "--ch", "--camera-file", "--json", "--set", "set"],
    "grab": ["--id", "--ch", "--camera-file", "-o", "--output", "--set", "--overwrite",
             "--png"],
    "export": ["--png"],
    "io": ["--id", "--set", "--watch", "--interval", "--count", "--duration", "--json"],
    "view": ["--port", "--host"],
}
MODELS = ["KTX21", "ktx22", "Snr11", "TK560", "SN2200", "mr250", "Video", "KTX99", ""]
VALUES = ["0", "1", "-1", "31", "32", "3=1", "99999999999999999999", "99999999999999999999=1",
          "-99999999999999999999", "0x10", "-0x10", "nan", "inf", "-inf", "1e309", "0.0001",
          "65536", "\udcff", "\udcff=1", "\u0663", "", " ", "=", "missing.txt", KTX21_FILE,
          "Width", "Height", "Timeout", "DIEdge", "CameraName", "ENCComp2", "DeviceID", "Bogus",
          "--version", "-h"]
WORD = st.one_of(st.sampled_from(VALUES), st.text(st.characters(blacklist_characters="\0"),
                                                  max_size=8))


@st.composite
def command_lines(draw):
    """A subcommand, a model, and options of that subcommand with values
    (and now and then a word of anything). No grab is given both a camera
    file and a frame count: a capture of any -n is the capture's own test."""
    command = draw(st.sampled_from(sorted(OPTIONS) + ["", "--version", "bogus"]))
    argv = [command] if command else []
    if command in ("params", "grab", "io"):
        argv.append(draw(st.sampled_from(MODELS)))
    elif command == "export":
        argv.append(draw(WORD))
    for _ in range(draw(st.integers(0, 4))):
        argv.append(draw(st.sampled_from(OPTIONS.get(command, ["-h"]))))
        argv += draw(st.lists(WORD, max_size=2))
    return argv


@settings(max_examples=300, deadline=None,
          suppress_health_check=[HealthCheck.function_scoped_fixture])
@given(command_lines())
@example(["io", "SNR11", "--set", "99999999999999999999=1"])
@example(["io", "SNR11", "--watch", "--interval", "-1"])
@example(["view", "--port", "99999"])
@example(["params", "KTX21", "--set", "Width", "99999999999999999999"])
@example(["params", "SNR11", "--id", "99999999999999999999"])
@example(["params", "SNR11", "--set", "\udcff", "1"])
@example(["params", "KTX21", "--camera-file", "\udcff"])
def test_no_arguments_give_a_traceback(monkeypatch, tmp_path, argv):
    # Nothing may block: the viewer and the watch are stood in for once the
    # command line has accepted their arguments.
    install_viewer(monkeypatch, types.SimpleNamespace(serve=lambda host, port, say: say("url")))
    monkeypatch.setattr(cli, "_watch", lambda *args: None)
    monkeypatch.chdir(tmp_path)
    vktsim.reset()
    err = io.StringIO()
    monkeypatch.setattr(sys, "stderr", err)
    monkeypatch.setattr(sys, "stdout", io.StringIO())
    try:
        status = cli.main(argv, out=io.StringIO())
    except SystemExit as exit:          # argparse: help, --version, usage errors
        status = exit.code
    assert status in (0, 1, 2), (argv, err.getvalue())
    assert "internal error" not in err.getvalue()
    assert "Unable to cast" not in err.getvalue()


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


@pytest.mark.parametrize("model", boards.DIO_MODELS)
def test_io_watch_sees_both_edges_of_short_pulses(model, virtual_clock):
    # Pulses of 5 ms and 1 ms, far shorter than a wait: the board's own
    # input events end the waits, so no edge is lost between two reads.
    vktsim.schedule_inputs(model, 1, [(300, 0x1, -1), (305, 0x0, -1), (2000, 0x6, -1),
                                      (2001, 0x4, -1), (2002, 0x0, -1)])
    status, out = run("io", model, "--id", "1", "--watch", "--interval", "1", "--count", "5")
    assert status == 0
    assert [line.split("inputs ")[1] for line in out.splitlines()[2:]] == [
        "0x00000001  rose 0x00000001  fell 0x00000000",
        "0x00000000  rose 0x00000000  fell 0x00000001",
        "0x00000006  rose 0x00000006  fell 0x00000000",
        "0x00000004  rose 0x00000000  fell 0x00000002",
        "0x00000000  rose 0x00000000  fell 0x00000004"]
    operation = "Cx%sParam::SetParam" % model
    written = [args[1:3] for args in calls(operation)]
    # Waits of the interval on every line, each line waiting for the edge
    # away from its level; and the board's own settings put back at the end.
    assert written[:2] == [(b"Timeout", 1000), (b"DIWaitEnable", 0xFFFFFFFF)]
    edges = [value for name, value in written if name == b"DIEdge"]
    assert edges[:-1] == [0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFF9, 0xFFFFFFFB]
    assert written[-3:] == [(b"DIWaitEnable", 0), (b"DIEdge", 0xFFFFFFFF), (b"Timeout", 1000)]
    assert len(calls("Cx%s::Wait" % model)) <= 8


def test_io_watch_catches_a_5_ms_pulse_between_two_of_its_time_outs():
    # Real time: the pulse comes a second in and the watch's time-out is 1.5 s,
    # so a watch that only read the lines at each time-out could not see it.
    # Ctrl-C ends the watch once a wait after the pulse has timed out (had a
    # loaded machine made the wait miss the falling edge, the read after that
    # wait still shows it).
    vktsim.schedule_inputs("SN2200", 0, [(1000, 0x10, -1), (1005, 0x0, -1)])
    timer = threading.Timer(3.0, _thread.interrupt_main)
    timer.start()
    try:
        status, out = run("io", "SN2200", "--watch", "--interval", "1.5")
    finally:
        timer.cancel()
    assert status == 0
    assert [line.split("inputs ")[1] for line in out.splitlines()[2:]] == [
        "0x00000010  rose 0x00000010  fell 0x00000000",
        "0x00000000  rose 0x00000000  fell 0x00000010"]


def test_io_watch_as_json_for_a_time(virtual_clock):
    vktsim.schedule_inputs("SNR11", 0, [(10, 0x80000000, -1)])
    status, out = run("io", "SNR11", "--watch", "--duration", "0", "--json")
    assert status == 0 and len(out.splitlines()) == 1
    status, out = run("io", "SNR11", "--watch", "--count", "1", "--json")
    change = json.loads(out.splitlines()[1])
    assert (change["inputs"], change["rose"], change["fell"]) == (0x80000000, 0x80000000, 0)
    assert isinstance(change["t"], float)


def test_io_watch_ends_on_ctrl_c_and_puts_the_settings_back(monkeypatch):
    def interrupted(dio):
        raise KeyboardInterrupt
    monkeypatch.setattr(cli, "_wait_inputs", interrupted)
    status, _ = run("io", "TK560", "--watch")
    assert status == 0
    written = [args[1:3] for args in calls("CxTK560Param::SetParam")]
    assert written[-4:] == [(b"DIWaitMode", 0), (b"DIWaitEnable", 0), (b"DIEdge", 0xFFFFFFFF),
                            (b"Timeout", 1000)]


@pytest.mark.parametrize("setting", ["3=2", "x=1", "3", "4=one", "\u0663=1"])
def test_io_refuses_a_malformed_line_setting(setting):
    result = run_process("io", "SNR11", "--set", setting)
    assert result.returncode == 2
    assert "expected LINE=0 or LINE=1, not %r" % setting in result.stderr


def test_io_lines_are_all_or_none(capsys):
    vktsim.set_inputs("SN2200", 0, 0)
    board = unit.SN2200()
    board.open(0)
    board.write(0x100)
    board.close()
    vktsim.clear_journal()
    vktsim.script("CxSN2200::Write", value=None)
    vktsim.script("CxSN2200::Write", raises=3)
    status, _ = run("io", "SN2200", "--set", "1=1", "--set", "2=1", "--set", "3=1")
    assert status == 1
    assert error_line(capsys).startswith(
        "vkt: error: line 2 = 1 refused: InvalidArgument (3)")
    assert [args[1:] for args in calls("CxSN2200::Write")] == [(1, True), (2, True), (0x100,)]
    assert vktsim.outputs("SN2200", 0) == 0x100


# ---- view -----------------------------------------------------------------------------------

def install_viewer(monkeypatch, module):
    """Puts `module` in the place of vkt.viewer (None: as if it were not
    installed), whether or not the real one was imported before."""
    import vkt
    from vkt.viewer.security import reach_warning
    if module is not None and not hasattr(module, "reach_warning"):
        module.reach_warning = reach_warning    # the real warning, decided by address
    monkeypatch.setitem(sys.modules, "vkt.viewer", module)
    if module is None:
        monkeypatch.delattr(vkt, "viewer", raising=False)
    else:
        monkeypatch.setattr(vkt, "viewer", module, raising=False)


def test_list_gives_versions_as_texts_on_every_model():
    status, out = run("list", "--json")
    assert status == 0
    for board in json.loads(out)["boards"]:
        for name, kind in LIST_SCHEMA.items():
            if name in board:
                assert isinstance(board[name], kind), (board, name)
        assert set(board) <= set(LIST_SCHEMA) | {"error"}
    by_model = {b["model"]: b for b in json.loads(out)["boards"]}
    assert by_model["SN2200"]["FpgaVersion"] == "0x0203" == by_model["KTX22"]["FpgaVersion"]
    assert by_model["SNR11"]["DriverVersion"] == "0x010200"
    assert by_model["KTX21"]["DriverVersion"] == "1.2.0"


LIST_SCHEMA = {"model": str, "id": int, "ch": int, "state": str, "DeviceType": int,
               "DeviceID": int, "Channel": int, "Version": int, "DriverVersion": str,
               "FpgaVersion": str, "DriverVersionName": str, "FpgaVersionName": str}


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
    assert error_line(capsys) == (
        "vkt: warning: the viewer is reachable from other machines at 0.0.0.0, and plain "
        "HTTP carries its token unencrypted: anyone who sees the traffic can use the viewer")


@pytest.mark.parametrize("host", ["127.0.0.1", "localhost", "::1", "127.0.0.2"])
def test_view_stays_quiet_on_loopback_names(monkeypatch, capsys, host):
    install_viewer(monkeypatch, types.SimpleNamespace(serve=lambda host, port, say: say("url")))
    status, _ = run("view", "--host", host)
    assert status == 0
    assert capsys.readouterr().err == ""


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


# ---- the command-line guide shows what the commands print ---------------------------------

GUIDE = pathlib.Path(__file__).resolve().parent.parent / "docs" / "guides" / "command-line.rst"
# The guide's watch shows a pulse of 5 ms on line 0, 300 ms after the start.
PULSE = [(300, 0x1, -1), (305, 0x0, -1)]


def guide_commands():
    """(command line, output shown) of every `$ vkt` command in the guide's
    console blocks; grab and view are left out (a capture's files, a random
    address)."""
    found = []
    for block in re.findall(r"\.\. code-block:: console\n\n((?:(?:   .*)?\n)+)",
                            GUIDE.read_text(encoding="utf-8")):
        text = textwrap.dedent(block).strip("\n")
        for command in re.split(r"^(?=\$ )", text, flags=re.MULTILINE):
            if command.strip():
                first, _, shown = command.partition("\n")
                if first.split()[2] not in ("grab", "view") or "99999" in first:
                    found.append((first[2:], shown.rstrip("\n") + "\n"))
    return found


def timeless(text):
    # Times differ from run to run, and the library's file name between a
    # build tree (libvkt_unit.so.1.2) and the wheel (libvkt_unit.so.1).
    text = re.sub(r"libvkt_unit\.so\.1\.\d+", "libvkt_unit.so.1", text)
    return re.sub(r'\d+\.\d+ s  |"t": [0-9.]+', "T", text)


@pytest.mark.parametrize("line, shown", guide_commands(), ids=lambda value: value[:60])
def test_the_guide_shows_what_the_command_prints(monkeypatch, capsys, line, shown):
    monkeypatch.chdir(GUIDE.parent.parent.parent)
    monkeypatch.setenv("COLUMNS", "80")
    if "--watch" in line:
        vktsim.set_clock("virtual")
        vktsim.schedule_inputs("SNR11", 0, PULSE)
    try:
        status = cli.main(shlex.split(line)[1:], out=sys.stdout)
    except SystemExit as exit:
        status = exit.code
    captured = capsys.readouterr()
    printed = captured.out + captured.err
    assert status == (0 if not captured.err else 2 if "usage:" in captured.err else 1)
    checker = doctest.OutputChecker()
    assert checker.check_output(timeless(shown), timeless(printed), doctest.ELLIPSIS), \
        "%s printed:\n%s" % (line, printed)
