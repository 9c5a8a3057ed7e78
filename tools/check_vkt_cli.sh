#!/usr/bin/env bash
# Checks that an installed package gives a working `vkt` command line: list,
# params, grab and (once the viewer is there) view, each bounded in time.
# Usage: tools/check_vkt_cli.sh VENV   (default: .venv), from the repo root.
set -euo pipefail
cd "$(dirname "$0")/.."
venv="${1:-.venv}"
vkt="$venv/bin/vkt"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "== vkt list"
timeout 60 "$vkt" list | tee "$work/list.txt"
grep -q "^SNR11 " "$work/list.txt"

echo "== vkt params"
timeout 60 "$vkt" params KTX21 --camera-file examples/ktx21_camera.txt > "$work/params.txt"
grep -Eq "^Width +320 +int +rw$" "$work/params.txt"
timeout 60 "$vkt" params SNR11 --set Timeout 500

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
