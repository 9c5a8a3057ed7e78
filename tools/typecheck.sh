#!/usr/bin/env bash
# Checks the typed stubs against the built modules (stubtest) and type-checks
# the examples and the tools package with them (mypy --strict), with the
# project environment .venv.
# Modules and stubs come from the installed package, or from a build tree put
# on PYTHONPATH (PYTHONPATH=build/python), where CMake lays them out alike.
# Usage: tools/typecheck.sh [python]   (another environment's interpreter)
set -euo pipefail
cd "$(dirname "$0")/.."
python="${1:-.venv/bin/python}"

allowlists=(--allowlist stubs/stubtest-allowlist.txt)
if "$python" -c 'import sys; sys.exit(sys.version_info >= (3, 12))'; then
  allowlists+=(--allowlist stubs/stubtest-allowlist-before-3.12.txt)
fi
echo "== stubtest: the stubs against the built modules"
"$python" -m mypy.stubtest unit vktsim vktsim_pytest "${allowlists[@]}"
echo "== mypy: the examples with the stubs"
"$python" -m mypy --strict examples
echo "== mypy: the tools package vkt and the Python behind vktsim.replay and vktsim.patch_time"
"$python" -m mypy --strict pyvkt/vkt pyvkt/vktsim/vktsim_replay.py pyvkt/vktsim/vktsim_time.py
