"""Wait for a digital input with a time-out.

A part-present sensor is wired to input line 0 of SN2200 board 0. The program
waits up to half a second for the sensor's rising edge, twice: the first time
a part arrives, the second time none does and the wait times out.
"""
import unit
import vktsim

BOARD_ID = 0
SENSOR_LINE = 0
TIMEOUT_MS = 500


def simulate_part_arriving(after_ms: int) -> None:
    """Stands in for the real wiring: the sensor's line rises `after_ms` from now.
    On a machine with boards, this function goes."""
    vktsim.schedule_inputs("SN2200", BOARD_ID, [(after_ms, 1 << SENSOR_LINE, -1)])


def simulate_sensor_clear() -> None:
    vktsim.set_inputs("SN2200", BOARD_ID, 0)


def wait_for_sensor(board: unit.SN2200) -> bool:
    """Blocks until the sensor line rises or the board's time-out passes;
    True if the sensor fired."""
    status = board.wait()
    event = unit.EventStatus(status.event_status)
    if event == unit.EventStatus.DI:
        print("  DI event on lines 0x%08X, inputs now 0x%08X" % (status.di_event_status, status.di))
        return True
    print("  wait ended with", event.name)
    return False


def main() -> None:
    board = unit.SN2200()
    board.open(id=BOARD_ID)
    try:
        param = unit.SN2200Param.from_(board)
        param.timeout = TIMEOUT_MS
        param.di_enable = 1 << SENSOR_LINE        # only the sensor line takes part,
        param.di_wait_enable = 1 << SENSOR_LINE   # ends a wait,
        param.di_edge = 1 << SENSOR_LINE          # on its rising edge (bit clear: falling)

        print("waiting up to %d ms for a part (one arrives after 120 ms)" % TIMEOUT_MS)
        simulate_part_arriving(after_ms=120)
        if wait_for_sensor(board):
            print("  part present: input line %d is %s" % (SENSOR_LINE, board.read(SENSOR_LINE)))

        simulate_sensor_clear()
        print("waiting up to %d ms for the next part (none comes)" % TIMEOUT_MS)
        if not wait_for_sensor(board):
            print("  no part within %d ms: stop the conveyor and raise an alarm" % TIMEOUT_MS)
    finally:
        board.close()


if __name__ == "__main__":
    main()
