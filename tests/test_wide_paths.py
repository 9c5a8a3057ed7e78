"""Wide paths that hold a value which is no code point (a surrogate, or one
past U+10FFFF) are refused as InvalidArgument by every operation that takes
one. Python cannot pass such a path, so a small C++ program calls the
library directly."""
import os
import pathlib
import shutil
import subprocess

import pytest

from conftest import build_tool_env, loaded_device_library

REPO = pathlib.Path(__file__).resolve().parent.parent
HARNESS_SOURCE = REPO / "tests" / "wide_path_harness.cpp"
INVALID_ARGUMENT = 3


@pytest.fixture(scope="module")
def harness_output(tmp_path_factory):
    compiler = shutil.which("g++") or shutil.which("c++")
    if compiler is None:
        pytest.skip("no C++ compiler to build the harness")
    library = loaded_device_library()
    libs = library.parent
    output = tmp_path_factory.mktemp("harness") / "wide_path_harness"
    subprocess.run(
        [compiler, "-std=c++17", "-O0", "-o", str(output), str(HARNESS_SOURCE),
         "-I" + str(REPO / "include"), str(library), "-Wl,-rpath," + str(libs),
         "-Wl,--allow-shlib-undefined"],
        check=True, env=build_tool_env(),
    )
    result = subprocess.run([str(output)], capture_output=True, text=True, timeout=60,
                            env=dict(os.environ))
    assert result.returncode == 0, result.stderr
    return result.stdout.splitlines()


def test_every_wide_path_operation_refuses_text_that_is_no_code_points(harness_output):
    assert len(harness_output) == 6
    for line in harness_output:
        label, code, function = line.split(" ", 2)
        assert int(code) == INVALID_ARGUMENT, line
        if label == "grabber":
            assert function == ("CxKTX21::FromFile: the camera file path is not valid text")
        else:
            assert function.endswith(": path is not valid text"), line
