#!/usr/bin/env bash
# Benchmarks a fractal list (default examples/all_types.frac2) on the CPU pool and on OpenCL
# device 0, each in single and double precision, under a virtual X server, and prints the four
# total rendering times with the ratios CPU / device.
# Usage: bench-devices.sh [fractal file]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
file=${1:-$root/examples/all_types.frac2}

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$root/build/release" -j "$(nproc)" --target tessaly x11-close-window > /dev/null
exe=$root/build/release/app/tessaly

# The total of one run, in seconds.
total() {
    xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" \
        bash "$root/scripts/headless-bench.sh" "$exe" "$file" "$@" |
        sed -n 's/^Total rendering time \(.*\) s$/\1/p'
}

cpuSingle=$(total --single)
cpuDouble=$(total --double)
deviceSingle=$(total --device0 --single)
deviceDouble=$(total --device0 --double)

device=$("$exe" --list | sed -n 's/^ Device ID: 1//p' | head -n 1)
echo "List: $file"
echo "Device 0: $device"
printf '%-10s %12s %12s %14s\n' precision "CPU pool s" "device s" "CPU / device"
row() { awk -v p="$1" -v c="$2" -v d="$3" 'BEGIN { printf "%-10s %12s %12s %14.2f\n", p, c, d, c / d }'; }
row single "$cpuSingle" "$deviceSingle"
row double "$cpuDouble" "$deviceDouble"
