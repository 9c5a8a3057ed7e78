#!/usr/bin/env bash
# CI stage of the documentation site: builds it (tools/docs.sh: every code
# sample run, warnings as errors), then runs its tests: every public name of
# unit and vktsim is in the built reference, no page loads anything from
# outside, the test file the testing guide shows passes, and Debian's headless
# Chromium (installed with apt-get when missing) opens the index, the guides,
# the settings page and a reference page, finds wait_event through the search
# box, and saves the screenshots the pages show into docs/images/. Missing
# Chromium pieces fail this stage (the plain test run only skips them).
set -euo pipefail
cd "$(dirname "$0")/.."
PY="$PWD/.venv/bin/python"

bash tools/install_chromium.sh
# The docs extra's tools beside the package the set-up installed: installing
# ".[docs]" would build the package again.
[ -x "$PY" ] || bash tools/setup.sh test
if ! "$PY" -c "import selenium, autoapi, furo, matplotlib" 2>/dev/null; then
  mkdir -p build-artifacts
  "$PY" tools/extra_pins.py docs >build-artifacts/docs-requirements.txt
  "$PY" -m pip install --quiet --disable-pip-version-check -r build-artifacts/docs-requirements.txt
fi

# The viewer's page shows the screenshot the viewer's browser stage took
# (it runs before this one); a run without it keeps the one in the tree.
if [ -f build-artifacts/viewer.png ]; then
  cp build-artifacts/viewer.png docs/images/viewer.png
fi

bash tools/docs.sh
SE_OFFLINE=true VKT_REQUIRE_DOCS_SITE=1 "$PY" -m pytest -q tests/test_docs_site.py
