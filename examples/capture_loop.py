"""A continuous capture loop into numpy.

A KTX21 board runs its camera free (50 frames/s) into a ring of four locked
images. The loop waits for each new frame, finds the image that holds it,
copies it out as a numpy array before the board comes round to that image
again, and finally saves the frames it kept as capture-output/frames.npy.
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


def image_holding(board: unit.KTX21, frame_no: int) -> int:
    """Index of the locked image that holds frame `frame_no`."""
    for index in range(RING_SIZE):
        if board.query_status(index).last_frame_no == frame_no:
            return index
    raise LookupError("frame %d is no longer in the ring" % frame_no)


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
    try:
        while len(frames) < FRAMES_WANTED:
            board.wait()               # returns at the next frame
            newest = board.query_status().last_frame_no
            index = image_holding(board, newest)
            pixels = np.array(ring[index], copy=True)
            frames.append(pixels)
            print("frame %3d: image %d, stamp %3d, mean grey %.1f" % (
                newest, index, frame_number_in(pixels), pixels.mean()))
    finally:
        board.stop()
        board.unlock()
    status = board.query_status()
    print("stopped after %d frames (%d lines); board status %d" % (
        status.total_frame_count, status.line_count, board.status()))
    OUTPUT.parent.mkdir(parents=True, exist_ok=True)
    np.save(OUTPUT, np.stack(frames))
    print("saved", len(frames), "frames of %dx%d to %s" % (width, height, OUTPUT))
    board.close()


if __name__ == "__main__":
    main()
