"""The pytest fixture `vkt_sim`, as a user meets it: pytest run on a user's
test file in a folder of its own, with no conftest."""
import importlib.metadata
import pathlib
import subprocess
import sys
import textwrap

import pytest


def plugin_installed():
    return any(entry.value == "vktsim_pytest"
               for entry in importlib.metadata.entry_points(group="pytest11"))


def run_pytest(directory, source, load_plugin):
    """Runs pytest on `source` as the user's test_user.py: with the plugin as
    installed (its entry point), or named with -p where the modules come from
    a build tree."""
    (directory / "test_user.py").write_text(textwrap.dedent(source))
    options = ["-p", "no:cacheprovider", "-q"]
    if load_plugin:
        options += ["-p", "vktsim_pytest"]
    return subprocess.run([sys.executable, "-m", "pytest", *options, "test_user.py"],
                          cwd=directory, capture_output=True, text=True, timeout=120)


@pytest.fixture(params=["entry point", "-p vktsim_pytest"])
def user_run(request, tmp_path):
    if request.param == "entry point" and not plugin_installed():
        pytest.skip("the package is not installed: its entry point is not registered")
    return lambda source: run_pytest(tmp_path, source, request.param != "entry point")


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
def test_a_test_that_leaves_objects_alive_fails_naming_their_count(user_run, kept, count):
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


def test_a_failing_test_is_reported_once(user_run):
    result = user_run("""
        import unit

        def test_fails_holding_a_board(vkt_sim):
            board = unit.KTX21()
            assert board is None
    """)
    assert result.returncode == 1
    assert "left alive" not in result.stdout
    assert outcome(result).startswith("1 failed")


README = pathlib.Path(__file__).resolve().parent.parent / "README.md"


def readme_example():
    """The user's test shown in the README, as its ```py block (shown, not run
    by the README's own test: it is a pytest file, run here)."""
    text = README.read_text()
    start = text.index("```py\n# test_conveyor.py") + len("```py\n")
    return text[start:text.index("\n```", start) + 1]


def test_the_readme_example_passes(user_run):
    result = user_run(readme_example())
    assert result.returncode == 0, result.stdout + result.stderr
    assert outcome(result).startswith("1 passed")
