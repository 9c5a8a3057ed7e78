"""Wide paths that hold a value which is no code point (a surrogate, or one
past U+10FFFF) are refused as InvalidArgument by every operation that takes
one. Python cannot pass such a path, so a small C++ program calls the
library directly."""
import pytest

from harness_support import run_harness

INVALID_ARGUMENT = 3


@pytest.fixture(scope="module")
def harness_output(tmp_path_factory):
    return run_harness("wide_path_harness.cpp", tmp_path_factory.mktemp("harness"))


def test_every_wide_path_operation_refuses_text_that_is_no_code_points(harness_output):
    assert len(harness_output) == 6
    for line in harness_output:
        label, code, function = line.split(" ", 2)
        assert int(code) == INVALID_ARGUMENT, line
        if label == "grabber":
            assert function == ("CxKTX21::FromFile: the camera file path is not valid text")
        else:
            assert function.endswith(": path is not valid text"), line
