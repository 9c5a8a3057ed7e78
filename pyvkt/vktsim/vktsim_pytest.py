"""pytest plugin of the simulated device library: the fixture ``vkt_sim``.

Installing the package registers this module as a pytest plugin, so any test
can take ``vkt_sim``. The test starts from a powered-on simulator with an
empty journal, at time 0, and gets the ``vktsim`` module (annotate it with
``VktSim`` for type checkers). When it is over, every library object it made
must be gone again: a board, image or companion still alive then (kept in a
global, a cache, a thread) fails the test, named by kind and identity. A test
that failed, was skipped or xfailed on its own (or in its setup) is not also
reported for what its traceback keeps alive.

The clock a test starts on is the real one unless the marker
``@pytest.mark.vkt_sim(clock="virtual")`` (on the test, its class or module)
or the ini option ``vkt_sim_clock = virtual`` says otherwise.

With ``patch_time=True`` in the marker (or the ini option
``vkt_sim_patch_time = true``) the test's thread runs inside
``vktsim.patch_time()``: the code under test's ``time.sleep``,
``time.monotonic``, ``time.perf_counter`` and ``time.time`` follow the
simulator's clock, in the test's thread only, and are given back when the
test is over, however it ended.
"""
import gc
import types

import pytest

# What the fixture gives: the vktsim module. Its stub spells out the module's
# controls, so that type checkers check calls made through the fixture.
VktSim = types.ModuleType

_CLOCKS = ("real", "virtual")
_INI_CLOCK = "vkt_sim_clock"
_INI_PATCH_TIME = "vkt_sim_patch_time"
_MARKER_OPTIONS = ("clock", "patch_time")

# Set when the test failed, was skipped or xfailed in its setup or call: its
# traceback may keep objects alive, and it is reported once, for that.
_reported_otherwise = pytest.StashKey[bool]()


def pytest_addoption(parser):
    parser.addini(_INI_CLOCK, 'the clock the vkt_sim fixture starts on: "real" (the default) '
                  'or "virtual"', default="real")
    parser.addini(_INI_PATCH_TIME, "put the time functions of the test's thread on the "
                  "simulator's clock (vktsim.patch_time) for every test that takes vkt_sim",
                  type="bool", default=False)


def pytest_configure(config):
    config.addinivalue_line(
        "markers", 'vkt_sim(clock="virtual", patch_time=True): start the vkt_sim fixture of '
        'this test (class, module) on the virtual clock, at now_ms() == 0.0 (clock="real" '
        'overrides the ini option ' + _INI_CLOCK + '); with patch_time=True, the time '
        "functions of the test's thread follow the simulator's clock (overrides the ini "
        'option ' + _INI_PATCH_TIME + ')')


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if report.when in ("setup", "call") and (report.failed or report.skipped):
        item.stash[_reported_otherwise] = True


def _asked(node, option):
    """The value the closest vkt_sim marker that names `option` gives it, or
    None when none does."""
    for marker in node.iter_markers("vkt_sim"):
        unknown = sorted(set(marker.kwargs) - set(_MARKER_OPTIONS))
        if marker.args or unknown:
            given = [repr(arg) for arg in marker.args] + [name + "=" for name in unknown]
            pytest.fail('the vkt_sim marker takes only clock="real" or clock="virtual" and '
                        "patch_time=True or False, not " + ", ".join(given), pytrace=False)
        if option in marker.kwargs:
            return marker.kwargs[option], "@pytest.mark.vkt_sim(%s=...)" % option
    return None


def _clock_asked(node, config):
    """The clock named by the closest vkt_sim marker that names one, else by
    the ini option, with where it was named."""
    return _asked(node, "clock") or (config.getini(_INI_CLOCK) or "real",
                                     "the ini option " + _INI_CLOCK)


def _patch_time_asked(node, config):
    asked = _asked(node, "patch_time")
    if asked is None:
        return bool(config.getini(_INI_PATCH_TIME))
    value, named_by = asked
    if not isinstance(value, bool):
        pytest.fail(f"{named_by} takes True or False, not {value!r}", pytrace=False)
    return value


def _start(vktsim, node, config):
    clock, named_by = _clock_asked(node, config)
    if clock not in _CLOCKS:
        pytest.fail(f'{named_by} names no clock: the clock is "real" or "virtual", not {clock!r}',
                    pytrace=False)
    vktsim.reset(clock)


def _live_idents(vktsim, expected=frozenset()):
    # Garbage is collected first, so that objects of earlier tests that only
    # wait for the collector are not freed during this one, and so that what
    # a test dropped is not taken for what it kept. A full collection is slow
    # with a large heap, so it is done only when objects beyond the `expected`
    # are alive, and only after the young generations, where a test's
    # garbage mostly is.
    for generation in (1, 2):
        if vktsim.live_idents().keys() <= expected:
            break
        gc.collect(generation)
    return vktsim.live_idents()


_NAMED_AT_MOST = 10


def _left_alive_message(left):
    objects = "library object" if len(left) == 1 else "library objects"
    named = [f"{kind} (ident {ident})" for ident, kind in list(left.items())[:_NAMED_AT_MOST]]
    if len(left) > _NAMED_AT_MOST:
        named.append(f"and {len(left) - _NAMED_AT_MOST} more")
    return (f"{len(left)} {objects} left alive by the test (e.g. a board or image still "
            f"referenced from a global, a cache or a longer-lived fixture): " + ", ".join(named))


def _drop_values_of_finished_fixtures(item, set_up_before):
    # The test item keeps every fixture value it was given until its whole
    # teardown is over. The fixtures set up after this one are torn down by
    # now: what their values hold must not count as left alive.
    funcargs = getattr(item, "funcargs", None) or {}
    for name in set(funcargs) - set_up_before:
        del funcargs[name]


@pytest.fixture
def vkt_sim(request):
    # Imported here, not with the plugin: pytest loads the plugin in every run
    # of the environment, also where no test touches the simulator.
    import vktsim

    _start(vktsim, request.node, request.config)
    patch_time = _patch_time_asked(request.node, request.config)
    vktsim.clear_journal()
    set_up_before = set(getattr(request.node, "funcargs", {}))
    # Which objects are alive, not how many: a test may free an object that
    # existed before it, which must not hide one it leaves behind.
    alive_before = frozenset(_live_idents(vktsim))
    if patch_time:
        # Given back however the test ends: the context ends with the
        # generator, which pytest closes after a failure too.
        with vktsim.patch_time():
            yield vktsim
    else:
        yield vktsim
    _drop_values_of_finished_fixtures(request.node, set_up_before)
    alive_after = _live_idents(vktsim, expected=alive_before)
    left = {ident: kind for ident, kind in alive_after.items() if ident not in alive_before}
    vktsim.reset()
    if left and not request.node.stash.get(_reported_otherwise, False):
        pytest.fail(_left_alive_message(left), pytrace=False)
