"""The pytest fixture `vkt_sim`, as a user meets it: pytest run on a user's
test file in a folder of its own, with no conftest."""
import ast
import importlib.metadata
import pathlib
import re
import subprocess
import sys
import textwrap

import pytest

from conftest import USER_PYTEST, build_tool_env
from test_examples import example_env


def plugin_installed():
    return any(entry.value == "vktsim_pytest"
               for entry in importlib.metadata.entry_points(group="pytest11"))


def run_pytest(directory, source, load_plugin, ini=""):
    """Runs pytest on `source` as the user's test_user.py: with the plugin as
    installed (its entry point), or named with -p where the modules come from
    a build tree. `ini` is the [pytest] section of the folder's pytest.ini."""
    (directory / "test_user.py").write_text(textwrap.dedent(source))
    (directory / "pytest.ini").write_text("[pytest]\n" + textwrap.dedent(ini))
    options = ["-q"]
    if load_plugin:
        options += ["-p", "vktsim_pytest"]
    return subprocess.run([*USER_PYTEST, *options, "test_user.py"],
                          cwd=directory, capture_output=True, text=True, timeout=120)


@pytest.fixture(params=["entry point", "-p vktsim_pytest"])
def user_run(request, tmp_path):
    if request.param == "entry point" and not plugin_installed():
        pytest.skip("the package is not installed: its entry point is not registered")
    return lambda source, ini="": run_pytest(tmp_path, source, request.param != "entry point", ini)


def outcome(result):
    return result.stdout.strip().splitlines()[-1]


def test_a_test_that_frees_what_it_made_passes(user_run):
    result = user_run("""
        import unit
        import vktsim

        def test_reads_a_wire(vkt_sim):
            assert vkt_sim is vktsim
            board = unit.SNR11()
            board.open(0)
            vkt_sim.set_inputs("SNR11", 0, 0x5)
            assert board.read() == 0x5
            board.close()
    """)
    assert result.returncode == 0, result.stdout + result.stderr
    assert outcome(result).startswith("1 passed")


@pytest.mark.parametrize("kept, count", [(1, "1 library object"), (2, "2 library objects")])
def test_a_test_that_leaves_objects_alive_fails_naming_them(user_run, kept, count):
    result = user_run("""
        import unit

        kept = []

        def test_keeps_boards(vkt_sim):
            for _ in range(%d):
                kept.append(unit.KTX21())

        def test_after_it(vkt_sim):
            assert len(kept) == %d     # still alive: only the test that made them fails
    """ % (kept, kept))
    assert result.returncode == 1, result.stdout + result.stderr
    assert count + " left alive by the test (e.g. a board or image still referenced" in result.stdout
    named = re.search(r"longer-lived fixture\): (.*)", result.stdout).group(1)
    assert re.fullmatch(", ".join([r"CxKTX21 \(ident \d+\)"] * kept), named), named
    assert "ERROR at teardown of test_keeps_boards" in result.stdout
    assert outcome(result).startswith("2 passed, 1 error")


def test_boards_of_the_users_own_fixtures_are_counted_once_torn_down(user_run):
    result = user_run("""
        import pytest
        import unit

        @pytest.fixture
        def board(vkt_sim):
            board = unit.SNR11()
            board.open(0)
            yield board
            board.close()

        @pytest.fixture
        def boards(vkt_sim):
            return [unit.KTX21(), unit.KTX22()]

        def test_uses_them(board, boards, tmp_path):
            assert board.read() == 0 and len(boards) == 2
    """)
    assert result.returncode == 0, result.stdout + result.stderr
    assert outcome(result).startswith("1 passed")


def test_each_test_starts_from_power_on_with_an_empty_journal(user_run):
    result = user_run("""
        import unit

        def test_changes_the_simulator(vkt_sim):
            vkt_sim.set_inputs("SNR11", 1, 0x7)
            vkt_sim.script("CxSNR11::Read", raises=7)
            unit.SNR11().open(1)

        def test_sees_none_of_it(vkt_sim):
            assert vkt_sim.journal() == []
            board = unit.SNR11()
            board.open(1)
            assert board.read() == 0
            board.close()
    """)
    assert result.returncode == 0, result.stdout + result.stderr
    assert outcome(result).startswith("2 passed")


@pytest.mark.parametrize("marker, ending, reported, returncode", [
    ("", "assert board is None", "1 failed, 1 passed", 1),
    ("@pytest.mark.xfail(reason='not yet')", "assert board is None", "1 passed, 1 xfailed", 0),
    ("", "pytest.xfail('not yet')", "1 passed, 1 xfailed", 0),
    ("", "pytest.skip('no line today')", "1 passed, 1 skipped", 0),
], ids=["failed", "xfail marker", "xfail call", "skipped"])
def test_a_test_that_ends_on_its_own_holding_a_board_is_reported_once(
        user_run, marker, ending, reported, returncode):
    result = user_run("""
        import pytest
        import unit

        %s
        def test_ends_holding_a_board(vkt_sim):
            board = unit.KTX21()
            %s

        def test_after_it(vkt_sim):
            pass
    """ % (marker, ending))
    assert result.returncode == returncode, result.stdout + result.stderr
    assert "left alive" not in result.stdout
    assert outcome(result).startswith(reported + " in ")


def test_freeing_an_older_object_does_not_hide_a_new_one_left_alive(user_run):
    result = user_run("""
        import unit

        kept = [unit.SNR11()]      # made before any test

        def test_swaps_the_board(vkt_sim):
            kept.pop()
            kept.append(unit.KTX22())
    """)
    assert result.returncode == 1, result.stdout + result.stderr
    assert re.search(r"1 library object left alive by the test \(.*\): CxKTX22 \(ident \d+\)$",
                     result.stdout, re.MULTILINE), result.stdout
    assert "SNR11" not in result.stdout
    assert outcome(result).startswith("1 passed, 1 error")


def test_a_test_that_frees_older_objects_and_makes_none_passes(user_run):
    result = user_run("""
        import unit

        kept = [unit.SNR11(), unit.KTX21()]

        def test_drops_them(vkt_sim):
            kept.clear()
    """)
    assert result.returncode == 0, result.stdout + result.stderr
    assert outcome(result).startswith("1 passed")


def test_a_message_names_at_most_ten_objects(user_run):
    result = user_run("""
        import unit

        kept = []

        def test_keeps_boards(vkt_sim):
            kept.extend(unit.SNR11() for _ in range(12))
    """)
    assert result.returncode == 1, result.stdout + result.stderr
    named = re.search(r"12 library objects left alive by the test \(.*\): (.*)",
                      result.stdout).group(1)
    assert re.fullmatch(", ".join([r"CxSNR11 \(ident \d+\)"] * 10) + ", and 2 more", named), named


# ---- the clock a test starts on --------------------------------------------------------------

CLOCK_PROBE = """
    import time
    import pytest

    def on_the_virtual_clock(vkt_sim):
        time.sleep(0.002)
        return vkt_sim.now_ms() == 0.0
"""


@pytest.mark.parametrize("tests, ini", [
    ("""
    @pytest.mark.vkt_sim(clock="virtual")
    def test_virtual(vkt_sim):
        assert on_the_virtual_clock(vkt_sim)
        vkt_sim.advance(12.5)
        assert vkt_sim.now_ms() == 12.5

    def test_real(vkt_sim):
        assert not on_the_virtual_clock(vkt_sim)
    """, ""),
    ("""
    @pytest.mark.vkt_sim(clock="virtual")
    class TestVirtual:
        def test_one(self, vkt_sim):
            assert on_the_virtual_clock(vkt_sim)
            vkt_sim.advance(40)

        def test_two_starts_at_zero_again(self, vkt_sim):
            assert on_the_virtual_clock(vkt_sim)

        @pytest.mark.vkt_sim(clock="real")
        def test_closest_marker_wins(self, vkt_sim):
            assert not on_the_virtual_clock(vkt_sim)
    """, ""),
    ("""
    pytestmark = pytest.mark.vkt_sim(clock="virtual")

    @pytest.mark.vkt_sim()
    def test_a_marker_without_clock_leaves_it(vkt_sim):
        assert on_the_virtual_clock(vkt_sim)
    """, ""),
    ("""
    def test_virtual(vkt_sim):
        assert on_the_virtual_clock(vkt_sim)

    @pytest.mark.vkt_sim(clock="real")
    def test_real(vkt_sim):
        assert not on_the_virtual_clock(vkt_sim)
    """, "vkt_sim_clock = virtual"),
    ("""
    def test_real(vkt_sim):
        assert not on_the_virtual_clock(vkt_sim)
    """, "vkt_sim_clock = real"),
], ids=["test marker", "class marker", "module marker", "ini option", "ini real"])
def test_a_test_starts_on_the_clock_asked_for(user_run, tests, ini):
    result = user_run(textwrap.dedent(CLOCK_PROBE) + textwrap.dedent(tests),
                      ini="addopts = --strict-markers\n" + ini)
    assert result.returncode == 0, result.stdout + result.stderr
    assert re.match(r"\d+ passed", outcome(result)), result.stdout
    assert "warning" not in outcome(result)


@pytest.mark.parametrize("marker, ini, message, reported", [
    ('@pytest.mark.vkt_sim(clock="wall")', "",
     """@pytest.mark.vkt_sim(clock=...) names no clock: the clock is "real" or "virtual", """
     """not 'wall'""", "1 passed, 1 error"),
    ("@pytest.mark.vkt_sim(clock=1)", "",
     """@pytest.mark.vkt_sim(clock=...) names no clock: the clock is "real" or "virtual", """
     """not 1""", "1 passed, 1 error"),
    ("", "vkt_sim_clock = Virtual",
     """the ini option vkt_sim_clock names no clock: the clock is "real" or "virtual", """
     """not 'Virtual'""", "2 errors"),
    ('@pytest.mark.vkt_sim(clok="virtual")', "",
     """the vkt_sim marker takes only clock="real" or clock="virtual" and patch_time=True or """
     """False, not clok=""",
     "1 passed, 1 error"),
    ('@pytest.mark.vkt_sim("virtual")', "",
     """the vkt_sim marker takes only clock="real" or clock="virtual" and patch_time=True or """
     """False, not 'virtual'""",
     "1 passed, 1 error"),
], ids=["marker", "not a name", "ini option", "misspelt keyword", "positional"])
def test_an_unknown_clock_fails_the_setup(user_run, marker, ini, message, reported):
    result = user_run("""
        import pytest
        import unit
        import vktsim

        vktsim.set_clock("virtual")
        kept = [unit.KTX21()]

        %s
        def test_never_runs(vkt_sim):
            raise AssertionError("the test ran")

        def test_after_it(vkt_sim):
            assert vkt_sim.journal() == []
    """ % marker, ini=ini)
    assert result.returncode == 1, result.stdout + result.stderr
    assert "ERROR at setup of test_never_runs" in result.stdout
    assert message in result.stdout.splitlines(), result.stdout
    assert "the test ran" not in result.stdout and "left alive" not in result.stdout
    assert outcome(result).startswith(reported)


PATCH_TIME_PROBE = """
    import threading
    import time
    import pytest
    import unit

    REAL = {name: getattr(time, name) for name in ("sleep", "monotonic", "monotonic_ns",
            "perf_counter", "perf_counter_ns", "time", "time_ns")}

    def patched():
        return all(getattr(time, name) is not real for name, real in REAL.items())

    def on_virtual_time(vkt_sim):
        began = time.monotonic_ns()
        time.sleep(7200)                       # two virtual hours
        return time.monotonic_ns() - began == 7200 * 10**9 and vkt_sim.now_ms() == 7200000.0
"""


@pytest.mark.parametrize("tests, ini, reported", [
    ("""
    @pytest.mark.vkt_sim(clock="virtual", patch_time=True)
    def test_fails_on_virtual_time(vkt_sim):
        assert patched() and on_virtual_time(vkt_sim)
        raise AssertionError("the code under test failed")

    def test_after_it_time_is_given_back(vkt_sim):
        assert not any(getattr(time, name) is not real for name, real in REAL.items())
    """, "", "1 failed, 1 passed"),
    ("""
    @pytest.mark.vkt_sim(patch_time=True)
    class TestPatched:
        @pytest.mark.vkt_sim(clock="virtual")
        def test_both_markers_count(self, vkt_sim):
            assert on_virtual_time(vkt_sim)

        @pytest.mark.vkt_sim(patch_time=False)
        def test_closest_marker_wins(self, vkt_sim):
            assert not patched()
    """, "", "2 passed"),
    ("""
    def test_patched_by_the_ini_option(vkt_sim):
        assert on_virtual_time(vkt_sim)
        seen = []
        before = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
        thread = threading.Thread(target=lambda: seen.append(time.monotonic_ns()))
        thread.start()
        thread.join()
        assert before <= seen[0] <= time.clock_gettime_ns(time.CLOCK_MONOTONIC)  # real, there

    @pytest.mark.vkt_sim(patch_time=False)
    def test_not_patched(vkt_sim):
        assert not patched()
    """, "vkt_sim_clock = virtual\nvkt_sim_patch_time = true\n", "2 passed"),
    ("""
    def test_not_patched_by_default(vkt_sim):
        assert not patched()

    def test_not_patched_without_the_fixture():
        assert not patched()
    """, "", "2 passed"),
], ids=["a failing test", "class marker", "ini option", "default"])
def test_patch_time_puts_the_tests_own_time_on_the_clock(user_run, tests, ini, reported):
    result = user_run(textwrap.dedent(PATCH_TIME_PROBE) + textwrap.dedent(tests),
                      ini="addopts = --strict-markers\n" + ini)
    assert result.returncode == (1 if "failed" in reported else 0), result.stdout + result.stderr
    assert outcome(result).startswith(reported), result.stdout
    if "failed" in reported:
        assert "AssertionError: the code under test failed" in result.stdout


@pytest.mark.parametrize("value, shown", [('"yes"', "'yes'"), ("1", "1"), ("None", "None")])
def test_a_patch_time_that_is_no_bool_fails_the_setup(user_run, value, shown):
    result = user_run("""
        import time
        import pytest

        REAL = time.sleep

        @pytest.mark.vkt_sim(patch_time=%s)
        def test_never_runs(vkt_sim):
            raise AssertionError("the test ran")

        def test_after_it(vkt_sim):
            assert time.sleep is REAL
    """ % value)
    assert result.returncode == 1, result.stdout + result.stderr
    assert "ERROR at setup of test_never_runs" in result.stdout
    assert ("@pytest.mark.vkt_sim(patch_time=...) takes True or False, not " + shown
            in result.stdout.splitlines()), result.stdout
    assert outcome(result).startswith("1 passed, 1 error")


DOCS = pathlib.Path(__file__).resolve().parent.parent / "docs"
TESTING_GUIDE = DOCS / "guides" / "testing.rst"


def doc_sample(name):
    """A user's test file the testing guide shows: a file of docs/samples/
    (or the example test file of examples/), included whole by the page."""
    return (DOCS / "samples" / name).read_text() if (DOCS / "samples" / name).is_file() \
        else STATION.read_text()


DOC_SAMPLES = ["test_counts_parts.py", "test_line_timing.py"]
STATION = pathlib.Path(__file__).resolve().parent.parent / "examples" / "test_inspection_station.py"


@pytest.mark.parametrize("path", ["../samples/" + name for name in DOC_SAMPLES] +
                         ["../../examples/" + STATION.name])
def test_the_testing_guide_shows_the_files_as_they_are(path):
    # Included, not copied: what the page shows is the file the tests run.
    assert ".. literalinclude:: %s\n" % path in TESTING_GUIDE.read_text()


def test_the_example_test_file_passes():
    # Run where it lies: it reads the camera file beside it.
    options = ["-q"]
    if not plugin_installed():
        options += ["-p", "vktsim_pytest"]
    # It imports numpy, whose allocations at exit a sanitizer build cannot
    # judge: it runs as the examples do.
    result = subprocess.run([*USER_PYTEST, *options, str(STATION)],
                            cwd=STATION.parent, env=example_env(), capture_output=True,
                            text=True, timeout=120)
    assert result.returncode == 0, result.stdout + result.stderr
    assert outcome(result).startswith("3 passed")


GUIDE_SAMPLE = DOCS / "samples" / "test_reject_gate.py"


def test_the_virtual_time_guides_sample_passes(user_run):
    result = user_run(GUIDE_SAMPLE.read_text())
    assert result.returncode == 0, result.stdout + result.stderr
    assert outcome(result).startswith("1 passed")


@pytest.mark.parametrize("name", DOC_SAMPLES)
def test_the_testing_guides_examples_pass(user_run, name):
    result = user_run(doc_sample(name))
    assert result.returncode == 0, result.stdout + result.stderr
    assert outcome(result).startswith("1 passed")


# ---- the fixture's type ---------------------------------------------------------------------

STUBS = pathlib.Path(__file__).resolve().parent.parent / "stubs"


def stub_names(package):
    """The public functions and classes a stub package declares at its top."""
    tree = ast.parse((STUBS / package / "__init__.pyi").read_text())
    return {node.name: isinstance(node, ast.FunctionDef) for node in tree.body
            if isinstance(node, (ast.FunctionDef, ast.ClassDef)) and not node.name.startswith("_")}


def test_the_fixture_type_offers_every_name_of_the_module_as_its_own():
    tree = ast.parse((STUBS / "vktsim_pytest-stubs" / "__init__.pyi").read_text())
    vktsim_type = next(node for node in tree.body
                       if isinstance(node, ast.ClassDef) and node.name == "VktSim")
    members = {}
    for node in vktsim_type.body:
        if isinstance(node, (ast.Assign, ast.AnnAssign)):
            target = node.target if isinstance(node, ast.AnnAssign) else node.targets[0]
            members[target.id] = ast.unparse(node.value)
    assert members == {name: f"staticmethod(vktsim.{name})" if function else f"vktsim.{name}"
                       for name, function in stub_names("vktsim-stubs").items()}


@pytest.fixture(scope="module")
def mypy_cache(tmp_path_factory):
    return tmp_path_factory.mktemp("mypy_cache")


def run_mypy(directory, source, cache):
    """mypy --strict on `source` as test_typed.py, finding the modules and
    stubs as the tests do (installed, or on PYTHONPATH), judged by no
    sanitizer: it is a tool, not the code under test."""
    (directory / "test_typed.py").write_text(textwrap.dedent(source))
    return subprocess.run([sys.executable, "-m", "mypy", "--strict", "--cache-dir", str(cache),
                           "test_typed.py"],
                          cwd=directory, capture_output=True, text=True, timeout=600,
                          env=build_tool_env())


TYPED_TEST = """
    import pytest
    import unit
    import vktsim
    from vktsim_pytest import VktSim


    @pytest.mark.vkt_sim(clock="virtual")
    def test_typed(vkt_sim: VktSim) -> None:
        board = unit.KTX21()
        vkt_sim.set_inputs("SNR11", 0, 0x5)
        vkt_sim.%s
        status: vktsim.ExStatus = vkt_sim.ExStatus.Timeout
        image: vktsim.Image = vkt_sim.Image(4, 4)
        operations: list[str] = [operation for operation, args in vkt_sim.journal()]
        assert vkt_sim.as_interface(board, vkt_sim.IxModule) is not None
        assert vkt_sim.live_idents()[vkt_sim.ident(image)] == "CxImage"
        assert status == vktsim.ExStatus.Timeout and "CxKTX21::CxKTX21" not in operations
"""


@pytest.mark.parametrize("call, errors", [
    ("advance(2.5)", []),
    ("set_input('SNR11', 0, 1)",
     ['"VktSim" has no attribute "set_input"; maybe "set_inputs"?  [attr-defined]']),
    ("advance('10')", ['Argument 1 has incompatible type "str"; expected "float"  [arg-type]']),
    ("script('CxSNR11::Read', rises=7)",
     ['Unexpected keyword argument "rises"; did you mean "raises"?  [call-arg]']),
    ("patch_time().__enter__()", []),
    ("get_clock().upper()", []),
    ("patch_time(True)", ['Too many arguments  [call-arg]']),
    ("wire(unit.SNR11(), 0, board)", []),
    ("wire(board, 0, unit.TK560(), 3)", ['Argument 1 has incompatible type "KTX21"; expected '
                                         '"SNR11 | SN2200 | TK560"  [arg-type]']),
], ids=["correct", "misspelt control", "wrong argument type", "misspelt keyword",
        "patch_time", "get_clock", "patch_time with an argument", "wire", "wire from a grabber"])
def test_mypy_checks_calls_made_through_the_typed_fixture(tmp_path, mypy_cache, call, errors):
    result = run_mypy(tmp_path, TYPED_TEST % call, mypy_cache)
    found = [line.split(": error: ", 1)[1] for line in result.stdout.splitlines()
             if ": error: " in line]
    assert found == errors, result.stdout + result.stderr
    assert result.returncode == (1 if errors else 0)


def test_the_typed_fixture_runs(user_run):
    result = user_run(TYPED_TEST % "advance(2.5)")
    assert result.returncode == 0, result.stdout + result.stderr
    assert outcome(result).startswith("1 passed")


@pytest.mark.parametrize("name", DOC_SAMPLES + [STATION.name])
def test_the_testing_guides_examples_pass_mypy_strict(tmp_path, mypy_cache, name):
    result = run_mypy(tmp_path, doc_sample(name), mypy_cache)
    assert result.returncode == 0, result.stdout + result.stderr
