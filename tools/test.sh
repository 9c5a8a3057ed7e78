#!/usr/bin/env bash
# Runs every test: first against the installed release build, then against a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh test

echo "== release build (installed package)"
python3 -m pytest -q tests

# ---- typed stubs: stubtest against the installed modules, mypy on the examples
echo "== typed stubs and examples"
bash tools/typecheck.sh

echo "== sanitizer build"
cmake -S . -B build-sanitize -G Ninja -DVKT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -Dpybind11_DIR="$(python3 -m pybind11 --cmakedir)" >/dev/null
cmake --build build-sanitize
# Python itself is not instrumented, so the sanitizer runtimes are loaded
# first; its own allocations at exit are not ours to report.
LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libubsan.so)" \
ASAN_OPTIONS=detect_leaks=0 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
PYTHONPATH="$PWD/build-sanitize/python" \
  python3 -m pytest -q tests
