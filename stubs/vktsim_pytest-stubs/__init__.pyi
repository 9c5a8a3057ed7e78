"""pytest plugin of the simulated device library: the fixture ``vkt_sim``.

Installing the package registers it with pytest. The fixture resets the
simulator (time 0, empty journal), gives the test the ``vktsim`` module, and
fails a test that leaves library objects alive, naming each by kind and
identity (a test that failed, was skipped or xfailed on its own is not also
reported for them). Annotate it as ``vkt_sim: VktSim`` so that type checkers
check every call made through it as they check ``vktsim.<name>`` calls.

Options: the marker ``@pytest.mark.vkt_sim(clock="virtual")`` on a test,
class or module, or the ini option ``vkt_sim_clock = virtual`` for a whole
suite, starts the test on the virtual clock at ``now_ms() == 0.0``; the
closest marker wins over the ini option. With ``patch_time=True`` in the
marker (``@pytest.mark.vkt_sim(clock="virtual", patch_time=True)``) or the
ini option ``vkt_sim_patch_time = true``, the test's thread runs inside
``vktsim.patch_time()``: the code under test's ``time.sleep`` advances the
virtual clock and ``time.monotonic``, ``time.perf_counter`` and ``time.time``
read it, in the test's thread only (other threads keep the real clock); the
real functions are back when the test is over, however it ended. Another
clock name, a ``patch_time`` other than True or False, or another argument of
the marker, fails the test's setup.
"""

from collections.abc import Iterator
from typing import TypeAlias

import pytest
import vktsim

class VktSim:
    """The type of the fixture's value, the ``vktsim`` module: each member is
    the module's own, with its signature and documentation there. At run
    time ``VktSim`` is ``types.ModuleType``: annotate with it, and name the
    module's classes as ``vktsim.Image`` in annotations."""

    Image: TypeAlias = vktsim.Image
    IxModule: TypeAlias = vktsim.IxModule
    IxDeviceModule: TypeAlias = vktsim.IxDeviceModule
    IxRegister: TypeAlias = vktsim.IxRegister
    IxVideoControl: TypeAlias = vktsim.IxVideoControl
    IxDIO: TypeAlias = vktsim.IxDIO
    IxIndexedDIO: TypeAlias = vktsim.IxIndexedDIO
    ExDevice: TypeAlias = vktsim.ExDevice
    ExStatus: TypeAlias = vktsim.ExStatus
    DIO: TypeAlias = vktsim.DIO
    IndexedDIO: TypeAlias = vktsim.IndexedDIO
    Register: TypeAlias = vktsim.Register
    Module: TypeAlias = vktsim.Module
    DeviceModule: TypeAlias = vktsim.DeviceModule
    VideoControl: TypeAlias = vktsim.VideoControl
    String: TypeAlias = vktsim.String

    journal = staticmethod(vktsim.journal)
    clear_journal = staticmethod(vktsim.clear_journal)
    operations = staticmethod(vktsim.operations)
    script = staticmethod(vktsim.script)
    reset = staticmethod(vktsim.reset)
    ident = staticmethod(vktsim.ident)
    live_objects = staticmethod(vktsim.live_objects)
    live_idents = staticmethod(vktsim.live_idents)
    as_interface = staticmethod(vktsim.as_interface)
    set_journal = staticmethod(vktsim.set_journal)
    raise_library_error = staticmethod(vktsim.raise_library_error)
    set_inputs = staticmethod(vktsim.set_inputs)
    set_interrupt = staticmethod(vktsim.set_interrupt)
    outputs = staticmethod(vktsim.outputs)
    schedule_inputs = staticmethod(vktsim.schedule_inputs)
    feed_serial = staticmethod(vktsim.feed_serial)
    serial_received = staticmethod(vktsim.serial_received)
    set_encoder_speed = staticmethod(vktsim.set_encoder_speed)
    set_encoder_rate = staticmethod(vktsim.set_encoder_rate)
    on_serial = staticmethod(vktsim.on_serial)
    move_encoder = staticmethod(vktsim.move_encoder)
    raise_event = staticmethod(vktsim.raise_event)
    cancel_event = staticmethod(vktsim.cancel_event)
    set_signal = staticmethod(vktsim.set_signal)
    wire = staticmethod(vktsim.wire)
    unwire = staticmethod(vktsim.unwire)
    set_clock = staticmethod(vktsim.set_clock)
    get_clock = staticmethod(vktsim.get_clock)
    now_ms = staticmethod(vktsim.now_ms)
    patch_time = staticmethod(vktsim.patch_time)
    advance = staticmethod(vktsim.advance)
    set_frames = staticmethod(vktsim.set_frames)
    set_encoder_steps = staticmethod(vktsim.set_encoder_steps)
    replay = staticmethod(vktsim.replay)

def pytest_addoption(parser: pytest.Parser) -> None:
    """Registers the ini options ``vkt_sim_clock`` and ``vkt_sim_patch_time``."""
def pytest_configure(config: pytest.Config) -> None:
    """Registers the marker ``vkt_sim``."""
def pytest_runtest_makereport(item: pytest.Item, call: pytest.CallInfo[None]) -> Iterator[None]:
    """Notes a test that failed, was skipped or xfailed in its setup or call."""
def vkt_sim(request: pytest.FixtureRequest) -> Iterator[VktSim]:
    """The fixture: the ``vktsim`` module, reset for the test. Fails the
    test's setup for an unknown clock or a bad ``patch_time``, and its
    teardown for library objects it left alive."""
