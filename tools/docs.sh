#!/usr/bin/env bash
# Builds the documentation site into docs/_build/html with the project
# environment .venv: installs the docs extra there when it is missing (and the
# package, which the guides' code samples import), runs every code sample of
# the guides (Sphinx's doctest builder), then builds the HTML. Both builds are
# nitpicky and treat warnings as errors, so an unresolved reference, a
# malformed docstring or a sample whose output changed fails the build.
# Nothing is fetched from the network while building.
set -euo pipefail
cd "$(dirname "$0")/.."
PY="$PWD/.venv/bin/python"

if ! "$PY" -c "import autoapi, furo, sphinx, matplotlib, unit, vktsim, numpy" 2>/dev/null; then
  bash tools/setup.sh docs
fi

rm -rf docs/_build/html docs/_build/doctest docs/_generated
start=$(date +%s)
"$PY" -m sphinx -b doctest -n -W --keep-going -q -d docs/_build/doctrees docs docs/_build/doctest
"$PY" -m sphinx -b html -n -W --keep-going -q -d docs/_build/doctrees docs docs/_build/html
pages=$(find docs/_build/html -name '*.html' | wc -l)
echo "docs built in $(( $(date +%s) - start )) s: $pages pages in docs/_build/html (open docs/_build/html/index.html)"
