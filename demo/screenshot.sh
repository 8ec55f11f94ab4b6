#!/usr/bin/env bash
# Renders the window after a search of the demo site, offscreen, into
# docs/screenshot.png (the picture the README shows).
set -euo pipefail
cd "$(dirname "$0")/.."

code=${1:-ABC-123}
out=${2:-docs/screenshot.png}
cmake -S . -B build/shot -G Ninja -DVELK_BENCH=OFF >/dev/null
cmake --build build/shot --target velk-screenshot

log=$(mktemp)
python3 demo/serve.py --port 0 >"$log" &
site=$!
trap 'kill "$site" 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 100); do
  grep -q '^serving on' "$log" && break
  sleep 0.1
done
host=$(sed -n 's/^serving on //p' "$log")
[ -n "$host" ] || { echo "screenshot: the demo site did not start" >&2; exit 1; }

mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen build/shot/tools/velk-screenshot "$host" "$code" "$out"
