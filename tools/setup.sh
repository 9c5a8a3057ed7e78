#!/usr/bin/env bash
# Sets the project up on a Debian 12 or 13 machine: installs the Debian
# packages it needs, creates the project environment .venv with the
# distribution's Python (3.11 on Debian 12, 3.13 on Debian 13; any CPython
# from 3.10 to 3.13 will do) and installs the package into it. Nothing goes into the system
# interpreter. Running it again is harmless (and rebuilds what changed).
# Usage: tools/setup.sh [extra]   (extra: demo, test; default demo)
set -euo pipefail
cd "$(dirname "$0")/.."
extra="${1:-demo}"

# The distribution's interpreter, whatever else (pyenv, conda) is first on PATH.
PYTHON=/usr/bin/python3

# ---- Debian packages: a C++ compiler, the interpreter with its headers and
# venv support, binutils (nm, for the tests), pugixml (the simulated library
# reads XML device descriptions with it).
packages=(g++ binutils python3 python3-dev python3-venv libpugixml-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "== installing Debian packages: ${missing[*]}"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
fi

# ---- the interpreter: the package supports CPython 3.10 to 3.13.
python_version=$("$PYTHON" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
if ! "$PYTHON" -c 'import sys; sys.exit(not (3, 10) <= sys.version_info[:2] <= (3, 13))'; then
  echo "ERROR: $PYTHON is Python $python_version; this project needs CPython 3.10 to 3.13" >&2
  exit 1
fi

# ---- the project environment: made anew unless it is a working venv of the
# distribution's Python at its present version (one left by another
# interpreter, or broken by an upgrade of the distribution, is replaced).
venv_is_usable() {
  [ -x .venv/bin/python ] &&
    .venv/bin/python - "$PYTHON" "$python_version" <<'EOF' 2>/dev/null
import os, sys
base = os.path.realpath(sys.argv[1])
assert "%d.%d" % sys.version_info[:2] == sys.argv[2]
assert os.path.realpath(os.path.join(sys.base_prefix, "bin", "python3")) == base
import pip  # noqa: F401
EOF
}
if ! venv_is_usable; then
  echo "== creating .venv with $PYTHON"
  rm -rf .venv
  "$PYTHON" -m venv .venv
fi

# ---- the package, built from this tree, with the extra asked for
echo "== installing the package into .venv (extra: $extra)"
.venv/bin/python -m pip install --quiet --disable-pip-version-check ".[${extra}]"
