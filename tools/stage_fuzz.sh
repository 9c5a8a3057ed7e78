#!/usr/bin/env bash
# Fuzzing stage: libFuzzer harnesses (tests/fuzz/) over every reader of the
# files users hand the library (camera files of each grabber model, TK560
# settings files, the Video board's model check, XML device descriptions),
# built by clang with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-fuzz. Each fuzzer starts from the corpus kept in the repository
# (tests/fuzz/corpus/<reader>/) plus what earlier runs on this machine added
# (build-fuzz/corpus/<reader>/). A crash, a sanitizer report, a leak or an
# input that takes over 10 s ends the stage, with the input saved in
# build-fuzz/findings/: add it to the repository's corpus once
# its fault is fixed, and the normal tests (tests/test_fuzz_corpus.py) keep
# reading it.
#
# Before that the stage checks that it notices a fault at all: a test-only
# fuzzer with a planted read past a buffer must be reported and fail.
#
# The recording loader of the vkt tools (Python) is fuzzed the same way by
# tools/fuzz_recordings.py, from tests/fuzz/corpus/recording/, with its own
# planted fault first.
#
# Usage: tools/stage_fuzz.sh [--seconds N | --runs N] [reader...]
#   --seconds N  time per reader (default 15: about a minute for the four)
#   --runs N     executions per reader instead (the long run: --runs 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
CMAKE="$PWD/.venv/bin/cmake"
BUILD="$PWD/build-fuzz"
READERS=(camera_file tk560_settings video_model xml_item)

limit=(-max_total_time=15)
python_limit=(--seconds 15)
readers=()
fuzz_recordings=1
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) limit=(-max_total_time="$2"); python_limit=(--seconds "$2"); shift 2 ;;
    --runs) limit=(-runs="$2"); python_limit=(--runs "$2"); shift 2 ;;
    *) readers+=("$1"); shift ;;
  esac
done
if [ "${#readers[@]}" -gt 0 ]; then
  # "recording" names the Python harness; the rest are libFuzzer's.
  fuzz_recordings=0
  filtered=()
  for reader in "${readers[@]}"; do
    if [ "$reader" = recording ]; then fuzz_recordings=1; else filtered+=("$reader"); fi
  done
  readers=("${filtered[@]+"${filtered[@]}"}")
else
  readers=("${READERS[@]}")
fi

# ---- clang with libFuzzer and the sanitizer runtimes (Debian 12: clang-14)
missing=()
for package in clang-14 libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
fi

"$CMAKE" -S . -B "$BUILD" -G Ninja -DVKT_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" >/dev/null
"$CMAKE" --build "$BUILD"

# Runs fuzzer $1 with the stage's settings and the options that follow;
# its output goes to $BUILD/$1.log. Answers its exit status.
run_fuzzer() {
  local name="$1" status=0
  shift
  # In a subshell, whose note of a fuzzer killed by a signal is not wanted:
  # the log tells what happened.
  (ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
   UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
     "$BUILD/tests/fuzz/fuzz_$name" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       "$@" >"$BUILD/$name.log" 2>&1; exit $?) 2>/dev/null || status=$?
  return "$status"
}

# The stage's check of itself: a planted read past a buffer must be reported
# and fail the run.
planted=0
rm -rf "$BUILD/planted" && mkdir -p "$BUILD/planted"
run_fuzzer planted_overread -runs=100 -artifact_prefix="$BUILD/planted/" \
  "$BUILD/planted" tests/fuzz/planted || planted=$?
if [ "$planted" -eq 0 ] || ! grep -q 'heap-buffer-overflow' "$BUILD/planted_overread.log"; then
  echo "the fuzzing harness does not notice a planted fault (exit status $planted)" >&2
  exit 1
fi
echo "planted fault: reported, exit status $planted"

mkdir -p "$BUILD/findings"

# fuzz_reader READER: one libFuzzer harness for the stage's time; its line
# goes to $BUILD/READER.summary, a failure's log tail after it.
fuzz_reader() {
  local reader="$1" work="$BUILD/corpus/$1" log="$BUILD/$1.log" status=0
  mkdir -p "$work"
  # Inputs up to 64 KiB: far beyond any real settings file, and small
  # enough that each one is quick to read.
  run_fuzzer "$reader" "${limit[@]}" -max_len=65536 \
    -artifact_prefix="$BUILD/findings/$reader-" "$work" "tests/fuzz/corpus/$reader" || status=$?
  local runs speed corpus_size
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  speed="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
  corpus_size="$(ls "$work" | wc -l)"
  {
    echo "$reader: ${runs:-?} executions (${speed:-?}/s), corpus $corpus_size, exit status $status"
    [ "$status" -eq 0 ] || tail -n 60 "$log"
  } >"$BUILD/$reader.summary"
  return "$status"
}

fuzz_recording() {
  .venv/bin/python tools/fuzz_recordings.py "${python_limit[@]}" \
    --findings "$BUILD/findings" >"$BUILD/recording.summary" 2>&1
}

if [ "$fuzz_recordings" -eq 1 ]; then
  # Its check of itself: a loader with a planted fault must be reported.
  if .venv/bin/python tools/fuzz_recordings.py --planted --runs 5000 \
       --findings "$BUILD/planted" >"$BUILD/recording-planted.log" 2>&1; then
    echo "the recording fuzzer does not notice a planted fault" >&2
    exit 1
  fi
  echo "recording planted fault: reported"
fi

# Each fuzzer runs on one core: as many run at once as there are cores, so
# the stage takes the same fuzzing time in a fraction of the wall time.
targets=("${readers[@]+"${readers[@]}"}")
[ "$fuzz_recordings" -eq 0 ] || targets+=(recording)
declare -A job_of=()
for target in "${targets[@]+"${targets[@]}"}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do
    wait -n || true
  done
  if [ "$target" = recording ]; then fuzz_recording & else fuzz_reader "$target" & fi
  job_of[$target]=$!
done
failed=()
for target in "${targets[@]+"${targets[@]}"}"; do
  wait "${job_of[$target]}" || failed+=("$target")
  cat "$BUILD/$target.summary"
done
if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (inputs in $BUILD/findings)" >&2
  exit 1
fi
