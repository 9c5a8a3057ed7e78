#!/usr/bin/env bash
# Checks that an installed package gives a working `vkt` command line: list,
# params, grab and (once the viewer is there) view, each bounded in time.
# Usage: tools/check_vkt_cli.sh VENV   (default: .venv), from the repo root.
set -euo pipefail
cd "$(dirname "$0")/.."
# Absolute, since some checks run from other folders.
venv="$(realpath "${1:-.venv}")"
vkt="$venv/bin/vkt"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "== vkt list"
timeout 60 "$vkt" list | tee "$work/list.txt"
grep -q "^SNR11 " "$work/list.txt"

echo "== vkt --version"
timeout 60 "$vkt" --version | tee "$work/version.txt"
grep -Eq "^vkt [0-9]" "$work/version.txt"
grep -q "^device library libvkt_unit.so" "$work/version.txt"

echo "== vkt params"
timeout 60 "$vkt" params KTX21 --camera-file examples/ktx21_camera.txt > "$work/params.txt"
grep -Eq "^Width +320 +int +rw$" "$work/params.txt"
timeout 60 "$vkt" params SNR11 --set Timeout 500
timeout 60 "$vkt" params ktx21 --camera-file examples/ktx21_camera.txt \
  --set Width 100 --set Height 50 > "$work/set.txt"
printf 'Width = 100\nHeight = 50\n' | cmp - "$work/set.txt"

echo "== the settings tables are the package's own, whatever stubs are about"
mkdir -p "$work/planted/unit-stubs"
printf 'from typing import Literal\n_KTX21IntName = Literal["Planted"]\n' \
  > "$work/planted/unit-stubs/__init__.pyi"
(cd "$work/planted" && timeout 60 "$vkt" params KTX21 --camera-file \
  "$OLDPWD/examples/ktx21_camera.txt") > "$work/planted.txt"
cmp "$work/params.txt" "$work/planted.txt"

echo "== vkt refuses numbers out of range as usage errors"
for args in "list --timeout -1" "view --port 99999" "io SNR11 --watch --interval -1" \
            "io SNR11 --set 99999999999999999999=1"; do
  status=0
  # shellcheck disable=SC2086
  timeout 60 "$vkt" $args 2> "$work/usage.txt" || status=$?
  if [ "$status" -ne 2 ] || grep -q Traceback "$work/usage.txt"; then
    echo "vkt $args: exit $status"; cat "$work/usage.txt"; exit 1
  fi
done

echo "== vkt io --watch"
timeout 60 "$vkt" io SNR11 --watch --duration 0.2 --json > "$work/watch.txt"
grep -q '"inputs": 0' "$work/watch.txt"

echo "== vkt grab"
timeout 60 "$vkt" grab KTX21 --camera-file examples/ktx21_camera.txt -n 3 -o "$work/grab" --png
ls "$work/grab"
test -f "$work/grab/frame_000003.png" && test -f "$work/grab/recording.npz"
"$venv/bin/python" -c '
import sys
from vkt import recording
rec = recording.load(sys.argv[1])
assert rec.frame_numbers == [1, 2, 3], rec.frame_numbers
' "$work/grab/recording.npz"

echo "== vkt error line"
if timeout 60 "$vkt" params SNR11 --id 9 2> "$work/error.txt"; then
  echo "a board that does not exist was opened"; exit 1
fi
grep -q "^vkt: error: NoDevice (6): " "$work/error.txt"

if "$venv/bin/python" -c 'import vkt.viewer' 2>/dev/null; then
  echo "== vkt view"
  # Started in the background; its first line is the address with the token.
  "$vkt" view --port 0 > "$work/view.txt" 2>&1 &
  viewer=$!
  for _ in $(seq 100); do
    [ -s "$work/view.txt" ] && break
    sleep 0.1
  done
  kill "$viewer" 2>/dev/null || true
  wait "$viewer" 2>/dev/null || true
  head -1 "$work/view.txt"
  grep -Eq "^http://127\.0\.0\.1:[0-9]+/.*token=" "$work/view.txt"
else
  echo "== vkt view: the viewer is not in this package yet"
fi
echo "vkt command line works in $venv"
