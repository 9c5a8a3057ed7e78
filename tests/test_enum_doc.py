"""The enumerations' docstrings: fixed text that no Python call can turn
against the interpreter."""
import subprocess
import sys

import pytest

import unit
import vktsim

ENUMS = [("unit", "EventStatus", "INT"), ("vktsim", "ExDevice", "KTX21"),
         ("vktsim", "ExStatus", "Timeout")]


@pytest.mark.parametrize("module, name, member", ENUMS)
def test_docstring_lists_the_members_as_before(module, name, member):
    cls = getattr({"unit": unit, "vktsim": vktsim}[module], name)
    assert cls.__doc__.startswith("Members:\n\n")
    assert "\n  " + member in cls.__doc__
    assert isinstance(vars(cls)["__doc__"], str)


@pytest.mark.parametrize("module, name, member", ENUMS)
def test_no_docstring_getter_reads_a_member_as_a_type(module, name, member):
    # Any getter still in the class dictionary is called with a member, as a
    # careless program could; the child must come back, not die of a signal.
    program = (
        f"import unit, vktsim\n"
        f"cls = {module}.{name}\n"
        f"doc = vars(cls)['__doc__']\n"
        f"getter = getattr(doc, 'fget', None)\n"
        f"if getter is not None:\n"
        f"    try:\n"
        f"        getter(cls.{member})\n"
        f"    except Exception:\n"
        f"        pass\n"
        f"print('alive')\n")
    child = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True,
                           timeout=60)
    assert (child.returncode, child.stdout) == (0, "alive\n"), child.stderr
