"""Shared fixtures: every test starts from a powered-on simulated library and
must leave no library object alive, as the users' tests do with `vkt_sim`."""
import gc
import os
import pathlib
import signal
import sys
import time

import pytest

import unit  # noqa: F401  (imported first: its error translator is process-wide)
import vktsim

# Named here too, for runs on a build tree, where the installed package's
# entry point that loads the plugin is not registered.
pytest_plugins = ("vktsim_pytest",)


@pytest.fixture(autouse=True)
def power_on(vkt_sim):
    return vkt_sim


# What collecting the suite left alive: a test module that makes a board or an
# image at import keeps it for the whole session, and the plugin then starts
# every test with a full garbage collection (a tenth of a second each with
# this suite's heap). tests/test_robustness.py asserts this stays empty.
ALIVE_AFTER_COLLECTION = {}


def pytest_configure(config):
    # A run started in the background by a script (`bash tools/test.sh &`, a
    # CI runner) inherits Ctrl-C ignored, and Python then leaves it ignored:
    # the tests that interrupt a capture or a watch, in this process or in a
    # `vkt` child (which inherits it too), would wait for an interrupt that
    # never comes. They test what Ctrl-C does to the program, so Ctrl-C is
    # made to raise KeyboardInterrupt here, as it does in a terminal.
    if signal.getsignal(signal.SIGINT) is signal.SIG_IGN:
        signal.signal(signal.SIGINT, signal.default_int_handler)


def pytest_collection_finish(session):
    ALIVE_AFTER_COLLECTION.update(vktsim.live_idents())


# pytest as a user's test run starts it, for the tests that run one: the
# hypothesis plugin this environment has would import all of hypothesis in
# each (1 s of a 1.2 s run), and none of those runs use it.
USER_PYTEST = (sys.executable, "-m", "pytest", "-p", "no:cacheprovider", "-p", "no:hypothesispytest")


SANITIZER_SETTINGS = frozenset({"LD_PRELOAD", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS",
                                "TSAN_OPTIONS", "PYTHONMALLOC"})


def build_tool_env():
    """The environment for running build tools (the compiler) from a test: the
    sanitizer runtimes a sanitizer run preloads into Python are left out, so
    that the compiler is neither slowed nor judged by them."""
    return {key: value for key, value in os.environ.items() if key not in SANITIZER_SETTINGS}


def calls(operation=None):
    """The journal, or only the entries of one operation."""
    entries = vktsim.journal()
    if operation is None:
        return entries
    return [args for name, args in entries if name == operation]


def kept_since(before):
    """The library objects made since `before` (a set of identities from
    `vktsim.live_idents()`) that are still alive once garbage is collected,
    as {ident: class name}. A board that a command let go of may still wait
    for the collector (an exception's traceback holds the frames that held
    it, in a cycle), and when the collector runs differs between
    interpreters; objects that earlier tests' threads still hold for a moment
    are not this command's."""
    gc.collect()
    return {ident: name for ident, name in vktsim.live_idents().items()
            if ident not in before}


def error_fields(error):
    """Splits a translated library error into its four fields."""
    text = str(error)
    assert text.startswith("Code:"), text
    code, rest = text[len("Code:"):].split(" Line:", 1)
    line, rest = rest.split(" Function:", 1)
    function, file = rest.split(" File:", 1)
    return int(code), int(line), function, file


def loaded_device_library():
    """The device library file this process loaded for `unit`, wherever it
    came from (the copy beside the modules, or a maker's installed one)."""
    paths = set()
    with open("/proc/self/maps") as maps:
        for line in maps:
            fields = line.split(None, 5)
            if len(fields) == 6 and os.path.basename(fields[5].strip()).startswith("libvkt_unit.so"):
                paths.add(fields[5].strip())
    assert len(paths) == 1, paths
    return pathlib.Path(paths.pop())


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
