"""Shared fixtures: every test starts from a powered-on simulated library and
must leave no library object alive, as the users' tests do with `vkt_sim`."""
import pytest

import unit  # noqa: F401  (imported first: its error translator is process-wide)
import vktsim

# Named here too, for runs on a build tree, where the installed package's
# entry point that loads the plugin is not registered.
pytest_plugins = ("vktsim_pytest",)


@pytest.fixture(autouse=True)
def power_on(vkt_sim):
    return vkt_sim


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
