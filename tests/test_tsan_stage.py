"""The ThreadSanitizer stage (tools/stage_tsan.sh) can fail: run under the
stage's own settings, a planted race in a test-only library is reported and
its process exits with 66, and the same library with a lock passes."""
import pytest

from harness_support import gcc_runtime, stage_self_check


@pytest.mark.skipif(gcc_runtime("libtsan.so") is None, reason="g++ without ThreadSanitizer")
def test_the_stage_reports_a_planted_race_and_passes_a_calm_one():
    assert stage_self_check("stage_tsan.sh", timeout=300) == [
        "planted race: exit status and reports 66 1; with a lock: 0 0"]
