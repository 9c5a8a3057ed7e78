#!/usr/bin/env bash
# The live viewer in a real browser: Debian's headless Chromium and its
# chromedriver (installed with apt-get when missing, as root or through sudo),
# driven by Selenium from the test extra. Nothing downloads a browser or a
# driver of its own: the tests name /usr/bin/chromedriver and Selenium's
# manager is kept offline. Missing pieces fail this stage (they only skip
# in the plain test run). The screenshot lands in build-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
PY="$PWD/.venv/bin/python"

bash tools/install_chromium.sh
"$PY" -c "import selenium" 2>/dev/null || bash tools/setup.sh test

export VKT_ARTIFACTS="$PWD/build-artifacts"
SE_OFFLINE=true VKT_REQUIRE_BROWSER=1 \
  "$PY" -m pytest -q tests/test_viewer_browser.py tests/test_viewer_http.py
echo "screenshot of the viewer: $VKT_ARTIFACTS/viewer.png"
