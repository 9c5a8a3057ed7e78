#!/usr/bin/env bash
# ThreadSanitizer stage: the library, unit and vktsim built with
# -fsanitize=thread (Debug, -O1, no LTO) into build-tsan, and every test that
# runs library threads (captures on the real clock, the clock, board events,
# serial reads, digital-I/O waits, process exit, the pytest plugin) plus the
# stress suite's threads and lifetimes parts run by the interpreter with the
# runtime preloaded (Python itself is not instrumented).
#
# Any report fails the stage: the runtime makes every process that saw one
# exit with 66, and the reports (of child processes too) are collected from
# their log files and counted. Before anything else the stage checks that it
# can notice a race at all: a planted one in a test-only library must be
# reported and exit 66, and the same library with a lock must pass.
#
# Usage: tools/stage_tsan.sh [--harness-check]   (only that check)
set -euo pipefail
cd "$(dirname "$0")/.."
PY="$PWD/.venv/bin/python"
CMAKE="$PWD/.venv/bin/cmake"
BUILD="$PWD/build-tsan"
REPORTS="$BUILD/reports"
TSAN_RUNTIME="$(g++ -print-file-name=libtsan.so)"

# Runs "$@" with the runtime preloaded; reports go to $REPORTS/report.<pid>.
# Python allocates with malloc so that the runtime sees every allocation.
tsan_run() {
  LD_PRELOAD="$TSAN_RUNTIME" \
  TSAN_OPTIONS="exitcode=66:halt_on_error=0:second_deadlock_stack=1:log_path=$REPORTS/report:suppressions=$PWD/tools/tsan.supp" \
  PYTHONMALLOC=malloc \
    "$@"
}

fresh_reports() {
  rm -rf "$REPORTS"
  mkdir -p "$REPORTS"
}

count_reports() {
  cat "$REPORTS"/report.* 2>/dev/null | grep -c '^WARNING: ThreadSanitizer' || true
}

show_reports() {
  local file
  for file in "$REPORTS"/report.*; do
    [ -e "$file" ] && cat "$file" >&2
  done
  return 0
}

# Runs the planted-race library (racy, or CALM) under tsan_run; prints
# "<exit status> <reports>".
planted_run() {
  local variant="$1" library="$BUILD/planted/$1.so" status=0
  mkdir -p "$BUILD/planted"
  if [ ! "$library" -nt tests/tsan_planted_race.cpp ]; then
    g++ -shared -fPIC -fsanitize=thread -O1 -g ${2:-} tests/tsan_planted_race.cpp -o "$library"
  fi
  fresh_reports
  tsan_run "$PY" -c 'import ctypes, sys; assert ctypes.CDLL(sys.argv[1]).planted_race() > 0' \
    "$library" 2>/dev/null || status=$?
  echo "$status $(count_reports)"
}

harness_check() {
  local racy calm
  racy="$(planted_run racy)"
  calm="$(planted_run calm -DCALM)"
  echo "planted race: exit status and reports $racy; with a lock: $calm"
  if [ "$racy" != "66 1" ] || [ "$calm" != "0 0" ]; then
    echo "the ThreadSanitizer harness does not tell a race from none" >&2
    exit 1
  fi
}

harness_check
[ "${1:-}" = "--harness-check" ] && exit 0

"$CMAKE" -S . -B "$BUILD" -G Ninja -DVKT_TSAN=ON -DCMAKE_BUILD_TYPE=Debug \
  -DPython_EXECUTABLE="$PY" \
  -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" \
  -Dpybind11_DIR="$("$PY" -m pybind11 --cmakedir)" >/dev/null
"$CMAKE" --build "$BUILD"

threaded_tests=(
  tests/test_ktx21_capture.py tests/test_ktx22_capture.py tests/test_mr250_capture.py
  tests/test_video.py tests/test_user_frames.py tests/test_grabbers.py
  tests/test_ktx21_board.py tests/test_ktx22_board.py tests/test_mr250_board.py
  tests/test_ktx22_encoder.py tests/test_sim_clock.py tests/test_sim_controls.py
  tests/test_ktx21_sio.py tests/test_ktx22_sio.py tests/test_dio_boards.py
  tests/test_device_functions.py tests/test_errors.py tests/test_process_exit.py
  tests/test_pytest_plugin.py
)
fresh_reports
failed=0
PYTHONPATH="$BUILD/python" tsan_run "$PY" -m pytest -q -n 2 -p no:cacheprovider "${threaded_tests[@]}" ||
  failed=1
PYTHONPATH="$BUILD/python" tsan_run "$PY" -m tests.stress threads --calls 2000 --jobs 2 ||
  failed=1
PYTHONPATH="$BUILD/python" tsan_run "$PY" -m tests.stress lifetimes --calls 2000 --jobs 2 ||
  failed=1
reports="$(count_reports)"
show_reports
echo "ThreadSanitizer reports: $reports"
if [ "$reports" -ne 0 ] || [ "$failed" -ne 0 ]; then
  exit 1
fi
