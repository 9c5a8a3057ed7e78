"""A tour of `unit` on the simulated device library.

Runs without boards: the simulated library stands in for them, and `vktsim`
supplies the image class that grabbers capture into.
"""
import inspect
import pathlib

import numpy as np
import numpy.typing as npt
from PIL import Image

import unit
import vktsim


def show_surface() -> None:
    print("unit offers:")
    for name, obj in vars(unit).items():
        if name.startswith("__") or isinstance(obj, unit.EventStatus):
            continue
        kind = "class" if inspect.isclass(obj) else "function"
        print("  %-8s %s" % (kind, name))
    print("EventStatus:", ", ".join("%s=%d" % (n, int(m))
                                    for n, m in unit.EventStatus.__members__.items()))


def show_image() -> None:
    image = vktsim.Image(8, 4, channels=1, depth=8)
    pixels = np.asarray(image)            # a view: no copy is made
    pixels[:] = np.arange(8, dtype=np.uint8) * 32
    print("image", image, "through numpy:", pixels.dtype, pixels.shape)
    print(pixels)
    print("library objects alive:", vktsim.live_objects())


def show_digital_io() -> None:
    """Drive an SNR11's outputs, then wait for an input edge on line 0."""
    board = unit.SNR11()
    board.open(0)
    param = unit.SNR11Param.from_(board)
    board.write(0b1010)
    board.write(0, True)
    print("SNR11 outputs now 0x%08X" % board.write_status())

    param.timeout = 2000                      # ms
    param.set_param("DIWaitEnable", 0x1)      # line 0 ends a wait
    param.set_param("DIEdge", 0x1)            # on its rising edge
    # The simulated wires: line 1 rises after 20 ms, line 0 after 50 ms.
    vktsim.schedule_inputs("SNR11", 0, [(20, 0b10, -1), (50, 0b11, -1)])
    event = unit.EventStatus(board.wait())
    print("SNR11 wait ended with", event.name, "inputs 0x%08X" % board.read())

    param.timeout = 30
    print("with nothing scheduled it ends with", unit.EventStatus(board.wait()).name)
    board.close()


def show_error_text() -> None:
    try:
        unit.KTX21.from_file("no-such-camera-file.txt")
    except RuntimeError as error:
        print("a library error reaches Python as RuntimeError:", error)


def write_png(pixels: npt.NDArray[np.uint8], path: pathlib.Path) -> None:
    """Writes an 8-bit grey image as PNG."""
    path.parent.mkdir(parents=True, exist_ok=True)
    Image.fromarray(np.ascontiguousarray(pixels)).save(path)


def capture(board: unit.KTX21 | unit.MR250, ring: list[vktsim.Image],
            frames: int) -> tuple[int, int]:
    """Captures `frames` frames into the ring of images locked on a grabber board;
    returns the number of the newest frame and the index of the image holding it."""
    board.lock(ring)
    board.num = frames
    board.start()
    status = board.wait_status()
    print("capture status: frames %d, lines %d, last frame %d, event flags %#x" % (
        status.total_frame_count, status.line_count, status.last_frame_no, status.capture_event))
    newest = next(i for i in range(len(ring))
                  if board.query_status(i).last_frame_no == status.last_frame_no)
    return status.last_frame_no, newest


def show_ktx21_acquisition(
        output: pathlib.Path = pathlib.Path("demo-output") / "ktx21_frame.png") -> None:
    camera_file = pathlib.Path(__file__).with_name("ktx21_camera.txt")
    board = unit.KTX21.from_file(str(camera_file))
    param = unit.KTX21Param.from_(board)
    width, height = param.get_param("Width"), param.get_param("Height")
    print("KTX21 board opened with", camera_file.name, "->", param.get_param("CameraName"),
          "%dx%d, %d bits, %d frames/s" % (width, height, param.get_param("BitWidth"),
                                            1000000 // param.trigger_cycle_time))
    ring = [vktsim.Image(width, height) for _ in range(4)]
    last_frame, newest = capture(board, ring, 10)
    pixels = np.asarray(ring[newest])
    print("frame %d is in image %d; its first bytes carry the number:" % (
        last_frame, newest), pixels[0, :4])
    write_png(pixels, output)
    print("saved", output)
    board.unlock()
    board.close()


def show_ktx22_acquisition() -> None:
    """Trigger a KTX22 frame by frame on its channel while its encoder counts."""
    camera_file = pathlib.Path(__file__).with_name("ktx22_camera.txt")
    board = unit.KTX22.from_file(str(camera_file))
    param = unit.KTX22Param.from_(board)
    encoder = unit.KTX22Encoder.from_(board)
    print("KTX22 board opened with", camera_file.name, "->", param.get_param("CameraName"),
          "%dx%d, trigger mode %d" % (param.get_param("Width"), param.get_param("Height"),
                                      param.trigger_mode))
    ring = [vktsim.Image(param.get_param("Width"), param.get_param("Height")) for _ in range(3)]
    board.lock(ring)
    encoder.comp1 = 100                    # a match every 100 counts
    encoder.reset_encoder()
    encoder.start_encoder()
    vktsim.set_encoder_speed(board, 40)   # the conveyor moves 40 counts a frame
    board.num = 5
    board.start()
    frame_event = 0
    for _ in range(board.num):
        board.force_trigger()              # channel -1: the board object's own channel
        board.wait_event(frame_event, 2000, 0)
        board.clear_trigger_mask()         # let the next trigger through
    record = unit.TxKTX22CaptureStatus()
    ended = board.wait_status(record)
    print("capture ended: %s; frames %d, lines %d, last frame %d, state %d" % (
        ended, record.total_frame_count, record.line_count, record.last_frame_no,
        record.capture_state))
    counts = unit.TxKTX22EncoderStatus()
    encoder.encoder_status(counts)
    print("encoder: counting %d, counter %d, relative %d, matches %d, A/B/Z %d/%d/%d" % (
        counts.encoder_state, counts.encoder_counter, counts.rel_counter, counts.match_counter,
        counts.a_state, counts.b_state, counts.z_state))
    encoder.stop_encoder()
    board.unlock()
    board.close()


def show_mr250_acquisition(
        output: pathlib.Path = pathlib.Path("demo-output") / "mr250_frame.png") -> None:
    camera_file = pathlib.Path(__file__).with_name("mr250_camera.txt")
    board = unit.MR250.from_file(str(camera_file))
    param = unit.MR250Param.from_(board)
    width, height = param.get_param("Width"), param.get_param("Height")
    period_us = param.get_param("HCycle") * param.get_param("VCycle") / 1000
    print("MR250 board opened with", camera_file.name, "->", param.get_param("CameraName"),
          param.get_param("ImageSize"), "%.2f frames/s" % (1e6 / period_us))
    param.send_command("SelfCalibration")
    print("self-calibration stored the offset correction",
          np.int32(np.uint32(param.get_register(0x100))))
    ring = [vktsim.Image(width, height) for _ in range(2)]
    _, newest = capture(board, ring, 3)
    pixels = np.asarray(ring[newest])
    print("fields of its first rows:", pixels[:4, 0], "grey bars:", pixels[5, 1::width // 8])
    write_png(pixels, output)
    print("saved", output)
    board.unlock()
    board.close()


def show_generic_video() -> None:
    """One class for every grabber: the camera file says which board it is."""
    for name in ("ktx21_camera.txt", "ktx22_camera.txt", "mr250_camera.txt"):
        video = unit.Video.from_file(str(pathlib.Path(__file__).with_name(name)))
        board = video.controller
        image = vktsim.Image(video.get_param("Width"), video.get_param("Height"))
        video.trigger_mode = 0            # free-running, whatever the file chose
        video.grab(image)
        print("Video from %s: a %s (device type %s), Width %d, frame mean %.1f"
              % (name, type(board).__name__, video.device_type.name, video.get_param("Width"),
                 np.asarray(image).mean()))


if __name__ == "__main__":
    show_surface()
    show_image()
    show_digital_io()
    show_error_text()
    show_ktx21_acquisition()
    show_ktx22_acquisition()
    show_mr250_acquisition()
    show_generic_video()
