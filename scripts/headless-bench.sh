#!/usr/bin/env bash
# Benchmarks a fractal list on the CPU (or with --deviceN on that OpenCL device) on the X display it is given (run.sh starts a virtual one),
# prints the program's output as it comes, and closes the window once the program has reported
# its total rendering time, so that the program ends normally. Exits with the program's code.
# Usage: headless-bench.sh <tessaly executable> [fractal file] [more options]
set -uo pipefail

exe=$1
shift
root=$(cd "$(dirname "$0")/.." && pwd)
file=$root/examples/all_types.frac2
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
    file=$1
    shift
fi
closer=$(dirname "$exe")/../tests/x11-close-window

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# The CPU pool, unless an OpenCL device is asked for.
cpu=--cpu
for option in "$@"; do
    case $option in --device*) cpu= ;; esac
done
"$exe" $cpu "--bench:$file" "$@" >"$log" 2>&1 &
pid=$!
tail -s 0.2 -n +1 -f --pid="$pid" "$log" &
printer=$!

running() { kill -0 "$pid" 2>/dev/null; }
while running && ! grep -q '^Total rendering time ' "$log"; do
    sleep 0.2
done
# The window closes as a window manager's close button would close it.
while running && ! "$closer" "Tessaly with OpenCL" "$pid" 2>/dev/null; do
    sleep 0.2
done

wait "$pid"
code=$?
wait "$printer"
exit "$code"
