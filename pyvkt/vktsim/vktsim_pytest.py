"""pytest plugin of the simulated device library: the fixture ``vkt_sim``.

Installing the package registers this module as a pytest plugin, so any test
can take ``vkt_sim``. The test starts from a powered-on simulator with an
empty journal and gets the ``vktsim`` module. When it is over, every library
object it made must be gone again: a board, image or companion still alive
then (kept in a global, a cache, a thread) fails the test. A test that failed
on its own (or in its setup) is not also reported for what its traceback
keeps alive.
"""
import gc

import pytest

_test_failed = pytest.StashKey[bool]()


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if report.when in ("setup", "call") and report.failed:
        item.stash[_test_failed] = True


def _live_objects(vktsim, expected=0):
    # Garbage is collected first, so that objects of earlier tests that only
    # wait for the collector are not freed during this one, hiding what it
    # leaves behind. A full collection is slow with a large heap, so it is
    # done only when garbage could hold library objects beyond the `expected`,
    # and only after the young generations, where a test's garbage mostly is.
    for generation in (1, 2):
        if vktsim.live_objects() <= expected:
            break
        gc.collect(generation)
    return vktsim.live_objects()


def _left_alive_message(count):
    objects = "library object" if count == 1 else "library objects"
    return (f"{count} {objects} left alive by the test (e.g. a board or image still "
            f"referenced from a global, a cache or a longer-lived fixture)")


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

    vktsim.reset()
    vktsim.clear_journal()
    set_up_before = set(getattr(request.node, "funcargs", {}))
    alive_before = _live_objects(vktsim)
    yield vktsim
    _drop_values_of_finished_fixtures(request.node, set_up_before)
    left = _live_objects(vktsim, expected=alive_before) - alive_before
    vktsim.reset()
    if left > 0 and not request.node.stash.get(_test_failed, False):
        pytest.fail(_left_alive_message(left), pytrace=False)
