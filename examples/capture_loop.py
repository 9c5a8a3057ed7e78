"""A continuous capture loop into numpy.

A KTX21 board runs its camera free (50 frames/s) into a ring of four locked
images. The loop waits for each new frame, finds the image that holds it and
copies it out as a numpy array; a frame the board wrote over before or while
it was copied is counted as dropped. The frames kept are saved as
capture-output/frames.npy.
"""
import pathlib

import numpy as np
import numpy.typing as npt

import unit
import vktsim

CAMERA_FILE = pathlib.Path(__file__).with_name("ktx21_camera.txt")
RING_SIZE = 4
FRAMES_WANTED = 12
OUTPUT = pathlib.Path("capture-output") / "frames.npy"


def image_holding(board: unit.KTX21, frame_no: int) -> int | None:
    """Index of the locked image that holds frame `frame_no`; None once the
    board has written a newer frame over it."""
    for index in range(RING_SIZE):
        if board.query_status(index).last_frame_no == frame_no:
            return index
    return None


def copy_frame(board: unit.KTX21, ring: list[vktsim.Image],
               frame_no: int) -> npt.NDArray[np.uint8] | None:
    """A copy of frame `frame_no` out of the ring; None if the board has come
    round to its image before or while it was copied (the loop fell behind)."""
    index = image_holding(board, frame_no)
    if index is None:
        return None
    pixels = np.array(ring[index], copy=True)
    return pixels if image_holding(board, frame_no) == index else None


def frame_number_in(pixels: npt.NDArray[np.uint8]) -> int:
    """The simulated camera stamps each frame's number into the first four
    bytes of row 0, least significant first."""
    return int.from_bytes(pixels[0, :4].tobytes(), "little")


def main() -> None:
    board = unit.KTX21.from_file(str(CAMERA_FILE))
    param = unit.KTX21Param.from_(board)
    width, height = param.get_param("Width"), param.get_param("Height")
    # On a machine with boards, the image class comes from the maker's module.
    ring = [vktsim.Image(width, height) for _ in range(RING_SIZE)]
    board.lock(ring)
    board.num = 0                      # 0: capture until stopped
    board.start()
    frames: list[npt.NDArray[np.uint8]] = []
    dropped = 0
    try:
        while len(frames) < FRAMES_WANTED:
            board.wait()               # returns at the next frame
            newest = board.query_status().last_frame_no
            pixels = copy_frame(board, ring, newest)
            if pixels is None:
                dropped += 1
                continue
            frames.append(pixels)
            print("frame %3d: stamp %3d, mean grey %.1f" % (
                newest, frame_number_in(pixels), pixels.mean()))
    finally:
        board.stop()
        board.unlock()
    status = board.query_status()
    print("stopped after %d frames (%d lines), %d overwritten before they were copied;"
          " board status %d" % (status.total_frame_count, status.line_count, dropped,
                                board.status()))
    OUTPUT.parent.mkdir(parents=True, exist_ok=True)
    np.save(OUTPUT, np.stack(frames))
    print("saved", len(frames), "frames of %dx%d to %s" % (width, height, OUTPUT))
    board.close()


if __name__ == "__main__":
    main()
