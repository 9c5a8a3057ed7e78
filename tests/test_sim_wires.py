"""Wires between boards: a digital-I/O output driving a grabber's external
trigger or another board's input, through the code under test's own calls."""
import time

import numpy as np
import pytest

import unit
import vktsim
from grabber_support import small_camera_file as camera_file
from test_sim_controls import THROUGH, board_object
from test_sim_test_double import assert_one_advance_saw_what_the_steps_saw


def dio(model="SNR11", board_id=0):
    board = getattr(unit, model)()
    board.open(board_id)
    return board


def triggered_camera(tmp_path, model="KTX21", through="board", mode=2, exposure_us=2000, ring=1,
                     num=0):
    """A small camera waiting for external triggers, capturing on the virtual
    clock: (what a wire is given, the board, its images)."""
    obj, board = board_object(tmp_path, model, through, TriggerMode=mode, ExposureTime=exposure_us)
    images = [vktsim.Image(16, 8) for _ in range(ring)]
    board.lock(images)
    board.num = num
    vktsim.set_clock("virtual")
    board.start()
    return obj, board, images


def stop(camera, images):
    camera.abort()
    camera.unlock()


def frames(board):
    return board.query_status().total_frame_count


def inspect_parts(sensor_board, parts, gap_s=0.010):
    """The code under test: for each part, pulses the camera's trigger and the
    sorter's part-present line (outputs 0 and 1) for a millisecond."""
    for _ in range(parts):
        sensor_board.write(0x3)
        time.sleep(0.001)
        sensor_board.write(0x0)
        time.sleep(gap_s - 0.001)


# ---- the station, end to end -----------------------------------------------------------------

@pytest.mark.vkt_sim(clock="virtual", patch_time=True)
def test_a_station_pulsing_a_wired_output_gets_its_frames_and_wired_inputs(tmp_path):
    camera, _, images = triggered_camera(tmp_path, ring=3, num=3)
    sensors, sorter = dio("SNR11", 0), dio("TK560", 2)
    vktsim.wire(sensors, 0, camera)
    vktsim.wire(sensors, 1, sorter, 6)
    seen = []
    sensors.write(0x2)
    seen.append(sorter.read())
    sensors.write(0x0)
    seen.append(sorter.read())
    vktsim.clear_journal()
    inspect_parts(sensors, 3)
    camera.wait()                                  # the capture of three frames ended
    operations = {name for name, _ in vktsim.journal()}
    assert operations == {"CxSNR11::Write", "CxKTX21::Wait"}   # no trigger by anyone
    assert seen == [0x40, 0x0]
    assert frames(camera) == 3
    assert vktsim.now_ms() == 30.0
    stamps = [int(np.asarray(image)[0, :4].view("<u4")[0]) for image in images]
    assert stamps == [1, 2, 3]
    stop(camera, images)
    sensors.close()
    sorter.close()


@pytest.mark.parametrize("through", THROUGH)
@pytest.mark.parametrize("model", ["KTX21", "KTX22", "MR250"])
def test_an_output_set_at_t_fires_a_frame_one_exposure_later(tmp_path, model, through):
    obj, camera, images = triggered_camera(tmp_path, model, through, exposure_us=2500, num=1)
    sensors = dio("SN2200", 1)
    vktsim.wire(sensors, 7, obj)
    began = vktsim.now_ms()
    vktsim.advance(4)
    sensors.write(7, True)
    vktsim.advance(2.499)
    assert frames(camera) == 0
    vktsim.advance(0.001)
    assert frames(camera) == 1
    assert vktsim.now_ms() - began == pytest.approx(6.5, abs=1e-9)
    stop(camera, images)
    sensors.close()


@pytest.mark.parametrize("mode", [0, 1])
def test_only_trigger_mode_2_takes_a_wired_edge(tmp_path, mode):
    camera, _, images = triggered_camera(tmp_path, mode=mode, exposure_us=1000)
    sensors = dio()
    vktsim.wire(sensors, 0, camera)
    sensors.write(0, True)
    vktsim.advance(200)
    # Free-running (mode 0), frames come at the camera's own rate; software
    # triggers (mode 1) need force_trigger.
    assert (frames(camera) > 1) == (mode == 0)
    assert frames(camera) != 1
    stop(camera, images)
    sensors.close()


def test_falling_edges_and_edges_before_the_capture_fire_nothing(tmp_path):
    obj, board = board_object(tmp_path, "KTX21", "board", TriggerMode=2, ExposureTime=1000)
    image = vktsim.Image(16, 8)
    board.lock(image)
    sensors = dio()
    vktsim.set_clock("virtual")
    vktsim.wire(sensors, 0, board)
    sensors.write(0, True)                          # no capture yet: lost
    board.start()
    sensors.write(0, False)                         # a falling edge
    vktsim.advance(50)
    assert frames(board) == 0
    sensors.write(0, True)
    sensors.write(0, True)                          # no change, no edge
    vktsim.advance(50)
    assert frames(board) == 1
    stop(board, [image])
    sensors.close()


# ---- inputs of other boards ----------------------------------------------------------------------

def test_a_wired_input_follows_its_output_whatever_else_sets_the_word():
    vktsim.set_clock("virtual")
    source, target = dio("SNR11", 0), dio("SNR11", 1)
    source.write(3, True)
    vktsim.wire(source, 3, target, 9)               # takes the output's level at once
    assert target.read() == 1 << 9
    vktsim.set_inputs("SNR11", 1, 0xF)
    vktsim.schedule_inputs("SNR11", 1, [(5, 0xF0, -1)])
    assert target.read() == 0xF | 1 << 9
    source.write(0)
    assert target.read() == 0xF
    vktsim.advance(5)
    assert target.read() == 0xF0
    source.write(0xFFFF)                            # only line 3 is wired
    assert target.read() == 0xF0 | 1 << 9
    vktsim.unwire(source, 3)
    source.write(0)
    assert target.read() == 0xF0 | 1 << 9           # let go: it keeps its level
    vktsim.set_inputs("SNR11", 1, 0x1)
    assert target.read() == 0x1
    source.close()
    target.close()


def test_outputs_loaded_from_a_settings_file_drive_their_wires(tmp_path):
    source, target = dio("TK560", 0), dio("SN2200", 3)
    source.write(5, True)
    source.save(str(tmp_path / "board.ini"), 1)
    source.write(0)
    vktsim.wire(source, 5, target, 0)
    assert target.read() == 0
    source.load(str(tmp_path / "board.ini"), 1)
    assert target.read() == 1
    source.close()
    target.close()


def test_reset_removes_every_wire():
    source, target = dio("SNR11", 0), dio("TK560", 0)
    vktsim.wire(source, 0, target, 0)
    source.close()
    target.close()
    vktsim.reset()
    source, target = dio("SNR11", 0), dio("TK560", 0)
    source.write(0, True)
    assert target.read() == 0
    vktsim.wire(source, 0, target, 0)               # free again
    assert target.read() == 1
    source.close()
    target.close()


# ---- refusals ----------------------------------------------------------------------------------

ALL_KINDS = ("a KTX21, KTX22 or MR250 board, a Video driving one, or an SNR11, SN2200 or TK560 "
             "board")


@pytest.mark.parametrize("make, error, message", [
    (lambda s, t, c: (vktsim.DIO(), 0, t, 1), TypeError,
     "board is a vktsim.DIO; expected an SNR11, SN2200 or TK560 board"),
    (lambda s, t, c: (c, 0, t, 1), TypeError,
     "board is a unit.KTX21; expected an SNR11, SN2200 or TK560 board"),
    (lambda s, t, c: (s, 0, "KTX21", None), TypeError, "target is a str; expected " + ALL_KINDS),
    (lambda s, t, c: (s, 0, vktsim.IndexedDIO(), 1), TypeError,
     "target is a vktsim.IndexedDIO; expected " + ALL_KINDS),
    (lambda s, t, c: (s, 32, t, 1), ValueError, "line 32 is not 0 to 31"),
    (lambda s, t, c: (s, -1, c, None), ValueError, "line -1 is not 0 to 31"),
    (lambda s, t, c: (s, 0, t, 32), ValueError, "target_line 32 is not 0 to 31"),
    (lambda s, t, c: (s, 0, t, None), ValueError,
     "target_line names the input of the target board: 0 to 31"),
    (lambda s, t, c: (s, 0, c, 0), ValueError,
     "a grabber has one trigger input: target_line is None for it"),
    (lambda s, t, c: (s, 2, s, 3), ValueError,
     "a wire from SNR11 board 0 to its own inputs: wire it to another board"),
    (lambda s, t, c: (s, 1, t, 5), ValueError,
     "output 1 of SNR11 board 0 is already wired; unwire it first"),
    (lambda s, t, c: (s, 2, t, 4), ValueError, "input 4 of TK560 board 1 is already wired"),
    (lambda s, t, c: (unit.SNR11(), 2, t, 6), ValueError, "the SNR11 board is not open"),
    (lambda s, t, c: (s, 2, unit.TK560(), 6), ValueError, "the target TK560 board is not open"),
    (lambda s, t, c: (s, 2, unit.KTX22(), None), ValueError, "the KTX22 board is not open"),
], ids=["board not a board", "board a grabber", "target no object", "target a simulated DIO",
        "line 32", "line -1", "target line 32", "no target line", "target line on a grabber",
        "to itself", "output wired", "input wired", "board closed", "target closed",
        "grabber closed"])
def test_wiring_refuses_what_cannot_be_wired_and_changes_nothing(tmp_path, make, error, message):
    source, target = dio("SNR11", 0), dio("TK560", 1)
    camera = unit.KTX21.from_file(camera_file(tmp_path, "KTX21", TriggerMode=2))
    vktsim.wire(source, 1, target, 4)
    source.write(0x7)
    args = make(source, target, camera)
    vktsim.clear_journal()
    with pytest.raises(error) as refused:
        vktsim.wire(*args)
    assert str(refused.value) == message
    assert vktsim.journal() == []
    # Nothing was wired on the way: each line is as it was.
    source.write(0x0)
    assert target.read() == 0
    for line in (0, 2):
        with pytest.raises(ValueError, match="output %d of SNR11 board 0 is not wired" % line):
            vktsim.unwire(source, line)
    del args, refused
    source.close()
    target.close()


@pytest.mark.parametrize("make, error, message", [
    (lambda s: (s, 0), ValueError, "output 0 of SNR11 board 0 is not wired"),
    (lambda s: (s, 40), ValueError, "line 40 is not 0 to 31"),
    (lambda s: (unit.SN2200(), 0), ValueError, "the SN2200 board is not open"),
    (lambda s: (vktsim.DIO(), 0), TypeError,
     "board is a vktsim.DIO; expected an SNR11, SN2200 or TK560 board"),
])
def test_unwire_refuses_a_line_that_is_not_wired(make, error, message):
    source = dio()
    vktsim.clear_journal()
    with pytest.raises(error) as refused:
        vktsim.unwire(*make(source))
    assert str(refused.value) == message
    assert vktsim.journal() == []
    source.close()


# ---- advancing at once or in steps -----------------------------------------------------------

def wired_line(tmp_path, span_ms, step_ms):
    """A camera and a sorter wired to a sensor board whose outputs were pulsed
    at 0, 2 and 4 ms, with the sorter's own wires scheduled to change too,
    advanced `span_ms` in steps of `step_ms`: all a test can see then."""
    from test_sim_test_double import observed
    camera = unit.KTX21.from_file(camera_file(tmp_path, "KTX21", TriggerMode=2, ExposureTime=50000))
    encoder = unit.KTX21Encoder.from_(camera)
    encoder.start_abs(True)
    images = [vktsim.Image(16, 8) for _ in range(2)]
    sensors, sorter = dio("SNR11", 0), dio("TK560", 1)
    vktsim.wire(sensors, 0, camera)
    vktsim.wire(sensors, 1, sorter, 2)
    vktsim.set_clock("virtual")
    camera.lock(images)
    camera.start()
    vktsim.schedule_inputs("TK560", 1, [(30, 0x1, -1), (120, 0x8, 1)])
    for k in range(5):
        sensors.write(0x3 if k % 2 == 0 else 0x0)
        vktsim.advance(1)
    sensors.write(0x2)
    began = vktsim.now_ms()
    vktsim.clear_journal()
    for _ in range(int(span_ms / step_ms)):
        vktsim.advance(step_ms)
    moved = vktsim.journal()
    result = observed(camera, images, encoder)
    result["now"] = round(result["now"] - began, 9)
    result["journal while advancing"] = moved
    result["sorter"] = (sorter.read(), unit.TK560Param.from_(sorter).get_param("INTStatus"))
    camera.abort()
    camera.unlock()
    sensors.close()
    sorter.close()
    vktsim.reset()
    return result


@pytest.mark.parametrize("step", [1, 0.25])
def test_one_advance_shows_what_advancing_in_steps_shows_with_wired_boards(tmp_path, step):
    in_steps = wired_line(tmp_path, 300, step)
    at_once = wired_line(tmp_path, 300, 300)
    assert in_steps["records"][0][-1] == 3           # the three triggered frames came
    assert in_steps["sorter"] == (0x8 | 0x4, 1)
    assert_one_advance_saw_what_the_steps_saw(in_steps, at_once)


def test_a_wired_trigger_on_the_real_clock_brings_its_frame(tmp_path):
    camera = unit.KTX22.from_file(camera_file(tmp_path, "KTX22", TriggerMode=2, ExposureTime=500))
    image = vktsim.Image(16, 8)
    camera.lock(image)
    camera.num = 1
    camera.start()
    sensors = dio("TK560", 3)
    vktsim.wire(sensors, 31, camera)
    sensors.write(31, True)
    camera.wait()
    assert frames(camera) == 1
    assert [name for name, _ in vktsim.journal() if "Trigger" in name] == []
    camera.unlock()
    sensors.close()


@pytest.mark.parametrize("end", ["closed", "destroyed"])
def test_an_edge_to_a_grabber_that_is_gone_is_lost(tmp_path, end):
    camera = unit.KTX21.from_file(camera_file(tmp_path, "KTX21", TriggerMode=2))
    sensors = dio()
    vktsim.wire(sensors, 0, camera)
    if end == "closed":
        camera.close()
    else:
        del camera
    vktsim.clear_journal()
    sensors.write(0, True)
    assert vktsim.journal() == [("CxSNR11::Write", (vktsim.ident(sensors), 0, True))]
    if end == "closed":
        camera.open(0, 0)
        assert camera.query_status().total_frame_count == 0
        camera.close()
    sensors.close()
