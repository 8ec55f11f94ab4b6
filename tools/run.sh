#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it against the
# bundled demo search site on loopback.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVELK_TESTS=OFF -DVELK_BENCH=OFF
cmake --build build/run

if [ ! -x build/run/app/velk-seed-finder ] || [ ! -f demo/serve.py ]; then
  echo "run: built the libraries; the window is not part of this build yet."
  exit 0
fi

# The demo site runs for as long as the window is open.
python3 demo/serve.py --port 8936 &
demo_pid=$!
trap 'kill "$demo_pid" 2>/dev/null || true' EXIT
build/run/app/velk-seed-finder
