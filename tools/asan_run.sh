# Sourced by the sanitizer stages (tools/stage_asan.sh, the SDK stage of
# tools/test.sh): how a process runs under AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer, and the verdict on its leaks.
# Needs PY (the project environment's interpreter) and the working directory
# at the repository root.
#
# The runtimes are loaded first since Python itself is not instrumented.
# Python allocates with malloc (PYTHONMALLOC) so that LeakSanitizer sees its
# objects too, and the Python objects our code creates. Every process writes
# its reports into ASAN_REPORTS (log_path), children of tests included, and
# a leak does not change its exit status: tools/leak_verdict.py judges them
# all afterwards by the modules on the allocation stack (printed unsymbolized,
# with module paths, so that the verdict does not depend on what the
# interpreter's build lets a symbolizer name). Any other AddressSanitizer
# report aborts the process, so that it still fails where it happened.
#
# Stacks are taken by walking frame pointers, which our code keeps
# (-fno-omit-frame-pointer) and the interpreter may not: a leak allocated by
# our code always shows our frame first, but a Python object allocated
# inside the interpreter on behalf of our code shows only the interpreter's
# frames. Runs that must see those (the leak workload, the stage's own check)
# take asan_run --full-unwind: every allocation is then unwound through the
# frame tables, which costs about ten times the run's time.
#
# The thread-stopping tracer of LeakSanitizer crashes ("Tracer caught signal
# 11") when it walks the thread-local storage that this glibc hands out while
# library threads run, unless the sanitizer leaves __tls_get_addr alone.
ASAN_REPORTS="${ASAN_REPORTS:-$PWD/build-sanitize/reports}"

asan_run() {
  local fast_unwind=1
  if [ "${1:-}" = --full-unwind ]; then
    fast_unwind=0
    shift
  fi
  LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libubsan.so)" \
  ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0:abort_on_error=1 \
  LSAN_OPTIONS="log_path=$ASAN_REPORTS/report:exitcode=0:symbolize=0:fast_unwind_on_malloc=$fast_unwind" \
  PYTHONMALLOC=malloc \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$@"
}

asan_fresh_reports() {
  rm -rf "$ASAN_REPORTS"
  mkdir -p "$ASAN_REPORTS"
}

# asan_verdict DIR...: fails on any leak with a frame in a module under one
# of the folders (those built from this repository), or on any other report.
asan_verdict() {
  local ours=() dir
  for dir in "$@"; do
    ours+=(--ours "$dir")
  done
  "$PY" tools/leak_verdict.py "${ours[@]}" "$ASAN_REPORTS"
}
