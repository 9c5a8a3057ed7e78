#!/usr/bin/env bash
# AddressSanitizer and UndefinedBehaviorSanitizer stage: the library, unit and
# vktsim built with both (Debug) into build-sanitize, the whole suite or the
# stress suite run by the interpreter with the runtimes preloaded
# (tools/asan_run.sh), and the verdict on every process's leaks
# (tools/leak_verdict.py): any leak of our code fails, the interpreter's and
# numpy's leftovers at exit pass.
#
# Before the suite the stage checks that its verdict tells the two apart:
# a test-only library that drops a block, and one that drops a Python
# object, must each fail it, the same library built without the leaks must
# pass, and so must a child that does nothing but import numpy.
#
# Usage: tools/stage_asan.sh tests | stress | build | --harness-check
set -euo pipefail
cd "$(dirname "$0")/.."
PY="$PWD/.venv/bin/python"
CMAKE="$PWD/.venv/bin/cmake"
BUILD="$PWD/build-sanitize"
source tools/asan_run.sh

build() {
  "$CMAKE" -S . -B "$BUILD" -G Ninja -DVKT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
    -DPython_EXECUTABLE="$PY" \
    -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" \
    -Dpybind11_DIR="$("$PY" -m pybind11 --cmakedir)" >/dev/null
  "$CMAKE" --build "$BUILD"
}

# verdict_of [--full-unwind] COMMAND...: runs one child under the stage's
# settings, which must itself succeed, and prints the verdict on its leaks,
# PASS or FAIL (ERROR when the child failed); the verdict's own output is
# left in $BUILD/planted/verdict. Its reports have a folder of their own: the
# check also runs as a test inside the suite's run, whose reports it must
# leave alone.
verdict_of() {
  local ASAN_REPORTS="$BUILD/planted/reports"
  asan_fresh_reports
  if ! asan_run "$@" >"$BUILD/planted/child" 2>&1; then
    echo ERROR
  elif asan_verdict "$BUILD" >"$BUILD/planted/verdict"; then
    echo PASS
  else
    echo FAIL
  fi
}

# planted VARIANT FUNCTION [--full-unwind]: the planted library's FUNCTION
# called once in a child; FAIL counts only when the verdict names it.
planted() {
  local library="$BUILD/planted/$1.so" verdict
  verdict="$(verdict_of ${3:-} "$PY" -c 'import ctypes, sys
assert getattr(ctypes.PyDLL(sys.argv[1]), sys.argv[2])() == 1' "$library" "$2")"
  if [ "$verdict" = FAIL ] && ! grep -q "$2" "$BUILD/planted/verdict"; then
    verdict="FAIL (not naming $2)"
  fi
  echo "$verdict"
}

harness_check() {
  local include variant flags
  mkdir -p "$BUILD/planted"
  include="$("$PY" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')"
  for variant in leaky calm; do
    flags=()
    [ "$variant" = calm ] && flags=(-DCALM)
    if [ ! "$BUILD/planted/$variant.so" -nt tests/lsan_planted_leak.cpp ]; then
      g++ -shared -fPIC -fsanitize=address -fno-omit-frame-pointer -g -O1 -I"$include" \
        "${flags[@]}" tests/lsan_planted_leak.cpp -o "$BUILD/planted/$variant.so"
    fi
  done
  local block_fast block_full object calm_block calm_object numpy_fast numpy_full
  block_fast="$(planted leaky planted_block_leak)"
  block_full="$(planted leaky planted_block_leak --full-unwind)"
  object="$(planted leaky planted_object_leak --full-unwind)"
  calm_block="$(planted calm planted_block_leak)"
  calm_object="$(planted calm planted_object_leak --full-unwind)"
  numpy_fast="$(verdict_of "$PY" -c 'import numpy')"
  # The reproduction must hold: importing numpy leaves leaks at exit, which
  # the verdict passes as not ours.
  grep -q " 0 leak(s) of our code, [1-9]" "$BUILD/planted/verdict" || numpy_fast="$numpy_fast (no leaks seen)"
  numpy_full="$(verdict_of --full-unwind "$PY" -c 'import numpy')"
  grep -q " 0 leak(s) of our code, [1-9]" "$BUILD/planted/verdict" || numpy_full="$numpy_full (no leaks seen)"
  local result="planted block leak: $block_fast, full unwinder $block_full; planted Python object leak: $object; calm library: $calm_block, $calm_object; import numpy: $numpy_fast, full unwinder $numpy_full"
  echo "$result"
  if [ "$result" != "planted block leak: FAIL, full unwinder FAIL; planted Python object leak: FAIL; calm library: PASS, PASS; import numpy: PASS, full unwinder PASS" ]; then
    echo "the leak verdict does not tell a leak of ours from the interpreter's leftovers" >&2
    exit 1
  fi
}

case "${1:-}" in
  --harness-check)
    harness_check
    ;;
  build)
    build
    ;;
  tests)
    harness_check
    build
    asan_fresh_reports
    failed=0
    PYTHONPATH="$BUILD/python" asan_run "$PY" -m pytest -q -n 2 tests || failed=1
    asan_verdict "$BUILD" || failed=1
    exit "$failed"
    ;;
  stress)
    build
    asan_fresh_reports
    failed=0
    for part in fuzz faults threads lifetimes; do
      PYTHONPATH="$BUILD/python" \
        asan_run "$PY" -m tests.stress "$part" --calls 5000 --jobs 2 --per-call 0.5 || failed=1
    done
    # The leak workload makes every kind of call many times over: unwound in
    # full, it shows the Python objects our code would leak.
    PYTHONPATH="$BUILD/python" \
      asan_run --full-unwind "$PY" -m tests.stress leaks --calls 5000 || failed=1
    asan_verdict "$BUILD" || failed=1
    exit "$failed"
    ;;
  *)
    echo "usage: tools/stage_asan.sh tests | stress | build | --harness-check" >&2
    exit 2
    ;;
esac
