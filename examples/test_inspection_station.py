# test_inspection_station.py: an inspection station tested without boards.
#
# The station (the code above the tests) waits for a part on input 0 of an
# SNR11, asks the line camera on the KTX22's serial line whether it is
# ready, triggers one frame, notes where the conveyor's encoder stood and
# judges the part by its brightness. The tests play the line with the
# simulator: the part arrives when the test says, the camera answers what
# the test says, the frames are the test's own and the conveyor moves with
# time.
#
# Run with pytest (the fixture `vkt_sim` comes with the package); mypy
# --strict checks every call made through the fixture, since it is annotated
# with VktSim.
import pathlib
from collections.abc import Iterator
from dataclasses import dataclass

import numpy as np
import numpy.typing as npt
import pytest

import unit
import vktsim
from vktsim_pytest import VktSim

CAMERA_FILE = pathlib.Path(__file__).with_name("ktx22_camera.txt")   # 256x64, triggered
PART_PRESENT = 0x1          # SNR11 input 0
FRAME_DONE = 0              # KTX22 board event: a frame completed


# ---- the station: the code under test, as it runs on the line ------------------------------

@dataclass
class Inspection:
    good: bool
    brightness: float
    position: int           # encoder count when the frame was taken


class Station:
    def __init__(self) -> None:
        self.board = unit.KTX22.from_file(str(CAMERA_FILE))
        self.sio = unit.KTX22Sio.from_(self.board)
        self.sio.open()
        self.sio.timeout = 200                      # ms for the camera's answer
        self.encoder = unit.KTX22Encoder.from_(self.board)
        self.encoder.reset_encoder()
        self.encoder.start_encoder()
        param = unit.KTX22Param.from_(self.board)
        self.image = vktsim.Image(param.get_param("Width"), param.get_param("Height"))
        self.board.lock([self.image])
        self.sensor = unit.SNR11()
        self.sensor.open(0)
        sensor_param = unit.SNR11Param.from_(self.sensor)
        sensor_param.set_param("DIWaitEnable", PART_PRESENT)
        sensor_param.set_param("Timeout", 10000)    # ms a part may take to come

    def close(self) -> None:
        self.board.unlock()
        self.sio.close()
        self.board.close()
        self.sensor.close()

    def handshake(self) -> None:
        """The camera must answer READY? with OK before a part is taken."""
        self.sio.purge()
        self.sio.write("READY?\r")
        answer = self.sio.read(3)
        if answer != "OK\r":
            raise RuntimeError("the camera is not ready: %r" % answer)

    def inspect_next_part(self) -> Inspection:
        if self.sensor.wait() != int(unit.EventStatus.DI):
            raise RuntimeError("no part came")
        self.handshake()
        self.board.num = 1
        self.board.start()
        self.board.force_trigger()
        if not self.board.wait_event(FRAME_DONE, 1000, 0):
            raise RuntimeError("the camera took no frame")
        self.board.wait()
        counts = unit.TxKTX22EncoderStatus()
        self.encoder.encoder_status(counts)
        brightness = float(np.asarray(self.image).mean())
        return Inspection(brightness >= 100, brightness, counts.encoder_counter)


# ---- the tests: the simulator plays the line -----------------------------------------------

@pytest.fixture
def station(vkt_sim: VktSim) -> Iterator[Station]:
    made = Station()
    # The camera on the serial line answers READY? 5 ms after it was asked.
    vkt_sim.on_serial(made.board, {b"READY?\r": b"OK\r"}, delay_ms=5)
    # The conveyor runs at 2 pulses per ms, whether or not frames are taken.
    vkt_sim.set_encoder_speed(made.board, 0)
    vkt_sim.set_encoder_rate(made.board, 2)
    yield made
    made.close()


def frames_of(level: int) -> list[npt.NDArray[np.uint8]]:
    return [np.full((64, 256), level, np.uint8)]


@pytest.mark.vkt_sim(clock="virtual")        # starts at now_ms() == 0.0, moves only when told
def test_a_bright_part_passes_where_the_conveyor_stood(vkt_sim: VktSim,
                                                       station: Station) -> None:
    vkt_sim.set_frames(station.board, frames_of(180))
    vkt_sim.schedule_inputs("SNR11", 0, [(1500, PART_PRESENT, -1)])   # the part at 1.5 s

    result = station.inspect_next_part()

    assert result.good and result.brightness == 180.0
    # The part came at 1500 ms, the camera answered 5 ms later and the
    # frame took the camera's exposure (500 us): 1505.5 ms of conveyor at
    # 2 pulses per ms.
    assert vkt_sim.now_ms() == 1505.5
    assert result.position == 3011
    # What the station sent the camera, as the library received it.
    sent = [args[-1] for operation, args in vkt_sim.journal() if operation == "CxKTX22Sio::Write"]
    assert sent == [b"READY?\r"]


@pytest.mark.vkt_sim(clock="virtual")
def test_a_dark_part_fails(vkt_sim: VktSim, station: Station) -> None:
    vkt_sim.set_frames(station.board, frames_of(40))
    vkt_sim.schedule_inputs("SNR11", 0, [(20, PART_PRESENT, -1)])
    assert not station.inspect_next_part().good


@pytest.mark.vkt_sim(clock="virtual")
def test_a_silent_camera_stops_the_station(vkt_sim: VktSim, station: Station) -> None:
    vkt_sim.on_serial(station.board, lambda request: None)    # the camera never answers
    vkt_sim.schedule_inputs("SNR11", 0, [(20, PART_PRESENT, -1)])
    # The read gives up after the line's time-out and pads what it has.
    with pytest.raises(RuntimeError, match="the camera is not ready"):
        station.inspect_next_part()
    assert vkt_sim.now_ms() == 220.0                          # 20 ms, then 200 ms of waiting
