#!/usr/bin/env bash
# Runs every test: first against the installed release build, then against a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh test

echo "== release build (installed package)"
python3 -m pytest -q tests

echo "== stress suite, release build"
python3 -m tests.stress all --calls 20000 --jobs 2

echo "== sanitizer build"
cmake -S . -B build-sanitize -G Ninja -DVKT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -Dpybind11_DIR="$(python3 -m pybind11 --cmakedir)" >/dev/null
cmake --build build-sanitize
# Python itself is not instrumented, so the sanitizer runtimes are loaded
# first. LeakSanitizer checks the heap at the exit of every process; Python
# allocates with malloc (PYTHONMALLOC) so that it sees the library objects
# that Python objects own, and tools/lsan.supp names the interpreter's own
# allocations that it does not free at exit. Its thread-stopping tracer
# crashes ("Tracer caught signal 11") when it walks the thread-local storage
# that this glibc hands out while library threads run, unless the sanitizer
# leaves __tls_get_addr alone.
sanitized() {
  LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libubsan.so)" \
  ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 \
  LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0" \
  PYTHONMALLOC=malloc \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  PYTHONPATH="$PWD/build-sanitize/python" \
    "$@"
}
sanitized python3 -m pytest -q tests

echo "== stress suite, sanitizer build"
sanitized python3 -m tests.stress all --calls 5000 --jobs 2 --per-call 0.5
