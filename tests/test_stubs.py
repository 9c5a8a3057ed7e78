"""The typed stubs lie beside the modules, where type checkers look for them
with no configuration: in site-packages once installed, and in a CMake build
tree alike. (tools/typecheck.sh checks their content against the modules.)"""
import pathlib

import pytest

import unit
import vktsim


def stub_of(module):
    return pathlib.Path(module.__file__).parent / (module.__name__ + "-stubs") / "__init__.pyi"


def test_unit_stubs_beside_unit():
    assert stub_of(unit).is_file()


def test_vktsim_stubs_beside_vktsim_when_built_together():
    if pathlib.Path(vktsim.__file__).parent != pathlib.Path(unit.__file__).parent:
        pytest.skip("unit was built against an installed library, which brings its own vktsim")
    assert stub_of(vktsim).is_file()
