#!/usr/bin/env bash
# The engines never reach up into the window: no file under src/ outside
# src/window/ may include a header under window/. Prints each offending line
# and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
offending=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]window/' src --include='*.cpp' --include='*.h' \
              | grep -v '^src/window/' || true)
if [ -n "$offending" ]; then
  echo "Engine files include window headers:"
  echo "$offending"
  exit 1
fi
echo "layers: no engine file includes a window header"
