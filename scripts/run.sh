#!/usr/bin/env bash
# Builds Tessaly and runs it on the user's display. Without a display it benchmarks an example
# fractal list (or the fractal file given first) on the CPU under a virtual X server and closes
# the window when the benchmark has ended.
set -euo pipefail
here=$PWD
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build/release -j "$(nproc)" --target tessaly x11-close-window

exe=$root/build/release/app/tessaly
cd "$here"
if [ -n "${DISPLAY:-}" ]; then
    exec "$exe" "$@"
fi
exec xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" bash "$root/scripts/headless-bench.sh" "$exe" "$@"
