#!/usr/bin/env bash
# Builds what the benchmark needs (a release build of the simulated library,
# `unit`, `vktsim` and the floor module, in build-bench/, against the pinned
# pybind11 of the project environment .venv) and runs it. Arguments go to
# bench/run.py (--rounds N, --calls N).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -x .venv/bin/python ]; then
  /usr/bin/python3 -m venv .venv
fi
.venv/bin/pip install -q pybind11==2.13.6 numpy==2.4.6 cmake==4.4.5 ninja==1.13.2

.venv/bin/cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKT_BENCH=ON \
  -DPython_EXECUTABLE="$PWD/.venv/bin/python" \
  -Dpybind11_DIR="$(.venv/bin/python -m pybind11 --cmakedir)" >/dev/null
.venv/bin/cmake --build build-bench >/dev/null

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "commit: $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
PYTHONPATH="$PWD/build-bench/python" exec .venv/bin/python bench/run.py "$@"
