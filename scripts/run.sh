#!/usr/bin/env bash
# Builds Tunorva and starts it. Where no Engines.ini has been set up, the
# bundled demo engine is started on 127.0.0.1 and Tunorva searches it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
program=build/Tunorva
if [ ! -x "$program/tunorva" ]; then
  echo "nothing to run yet: the window is not built"
  exit 0
fi
demo_pid=""
if [ ! -f "$program/Engines.ini" ] && [ -x "$program/tunorva-demo-engine" ]; then
  # Without an Engines.ini Tunorva searches the demo engine's default ports.
  "$program/tunorva-demo-engine" &
  demo_pid=$!
  trap 'kill "$demo_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/8931) 2>/dev/null && break
    sleep 0.1
  done
fi
"$program/tunorva"
