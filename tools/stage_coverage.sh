#!/usr/bin/env bash
# Coverage stage: the simulated library, unit and vktsim built with gcc's
# counters (VKT_COVERAGE), the test suite run against that build, and gcovr's
# report over sim/ and pyvkt/. It prints the figures per folder and the files
# lowest on each, and fails when lines fall under LINE_FLOOR % or branches
# under BRANCH_FLOOR %. Branches that only an exception takes, and those on
# lines with no code of their own, are not counted. The HTML report is left
# in build-coverage/html/index.html.
# Runs alone from the repository root: bash tools/stage_coverage.sh
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
PY="$PWD/.venv/bin/python"
BUILD="$PWD/build-coverage"
LINE_FLOOR="${LINE_FLOOR:-97}"
BRANCH_FLOOR="${BRANCH_FLOOR:-85}"

[ -x "$PY" ] || bash tools/setup.sh test
# gcovr as the test extra pins it (one pin, in pyproject.toml).
"$PY" -m pip install --quiet --disable-pip-version-check "$("$PY" tools/extra_pins.py test gcovr)"

"$PWD/.venv/bin/cmake" -S . -B "$BUILD" -G Ninja -DVKT_COVERAGE=ON -DCMAKE_BUILD_TYPE=Debug \
  -DPython_EXECUTABLE="$PY" \
  -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" \
  -Dpybind11_DIR="$("$PY" -m pybind11 --cmakedir)" >/dev/null
"$PWD/.venv/bin/cmake" --build "$BUILD"

# Counts of an earlier run would be added to this one's.
find "$BUILD" -name '*.gcda' -delete
# Two workers (pytest-xdist); gcc's counters of both processes add up.
PYTHONPATH="$BUILD/python" "$PY" -m pytest -q -n 2 tests

status=0
rm -rf "$BUILD/html"
mkdir -p "$BUILD/html"
"$PWD/.venv/bin/gcovr" --root . --object-directory "$BUILD" \
  --filter 'sim/' --filter 'pyvkt/' \
  --exclude-throw-branches --exclude-unreachable-branches -j 2 \
  --json "$BUILD/coverage.json" --json-summary "$BUILD/coverage-summary.json" \
  --html-details "$BUILD/html/index.html" --txt-summary \
  --fail-under-line "$LINE_FLOOR" --fail-under-branch "$BRANCH_FLOOR" \
  "$BUILD" || status=$?
"$PY" tools/coverage_summary.py "$BUILD/coverage-summary.json" 5
echo "coverage stage: floors lines $LINE_FLOOR %, branches $BRANCH_FLOOR %;" \
  "$((SECONDS - started)) s; HTML report: build-coverage/html/index.html"
if [ "$status" -ne 0 ]; then
  echo "coverage under the floor (gcovr exit $status)" >&2
fi
exit "$status"
