#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian 12 machine with CPython
# 3.11 and pip (run as root), then builds and installs the package.
# Usage: tools/setup.sh [extra]   (extra: demo, test; default demo)
set -euo pipefail
cd "$(dirname "$0")/.."
extra="${1:-demo}"

# System packages: a C++ compiler, binutils (nm) for the tests, and pugixml,
# with which the simulated library reads XML device descriptions.
missing=()
command -v g++ >/dev/null || missing+=(g++)
command -v nm >/dev/null || missing+=(binutils)
[ -f /usr/include/pugixml.hpp ] || missing+=(libpugixml-dev)
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

python3 -m pip install --root-user-action=ignore --quiet ".[${extra}]"
