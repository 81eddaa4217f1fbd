#!/usr/bin/env bash
# Builds Tessaly and runs it on the user's display. Without a display it benchmarks an example
# fractal list under a virtual X server and closes the window when the benchmark has ended.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build/release -j "$(nproc)" --target tessaly

exe=build/release/app/tessaly
if [ -n "${DISPLAY:-}" ]; then
    exec "$exe" "$@"
fi
exec xvfb-run -a -s "-screen 0 1600x1200x24" bash scripts/headless-bench.sh "$exe" "$@"
