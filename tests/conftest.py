"""Shared fixtures: every test starts from a powered-on simulated library."""
import time

import pytest

import unit  # noqa: F401  (imported first: its error translator is process-wide)
import vktsim


@pytest.fixture(autouse=True)
def power_on():
    vktsim.reset()
    yield
    vktsim.reset()


def calls(operation=None):
    """The journal, or only the entries of one operation."""
    entries = vktsim.journal()
    if operation is None:
        return entries
    return [args for name, args in entries if name == operation]


def error_fields(error):
    """Splits a translated library error into its four fields."""
    text = str(error)
    assert text.startswith("Code:"), text
    code, rest = text[len("Code:"):].split(" Line:", 1)
    line, rest = rest.split(" Function:", 1)
    function, file = rest.split(" File:", 1)
    return int(code), int(line), function, file


@pytest.fixture(params=["real", "virtual"])
def clock(request):
    """Runs a test on each clock; yields pass_time(ms), which lets that much
    time go by (sleeping on the real clock, advancing the virtual one)."""
    vktsim.set_clock(request.param)

    def pass_time(ms):
        if request.param == "real":
            time.sleep(ms / 1000)
        else:
            vktsim.advance(ms)

    yield pass_time


@pytest.fixture
def virtual_clock():
    """Runs a test on the virtual clock: its waits and time-outs cost no time."""
    vktsim.set_clock("virtual")
