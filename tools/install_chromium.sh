#!/usr/bin/env bash
# Debian's Chromium and its chromedriver, for the stages that test pages in a
# real browser; installed with apt-get (as root, or through sudo) when either
# is missing.
set -euo pipefail
if [ ! -x /usr/bin/chromium ] || [ ! -x /usr/bin/chromedriver ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q chromium chromium-driver
fi
