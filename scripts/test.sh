#!/usr/bin/env bash
# Builds Tessaly twice (normal, and with AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs the whole test suite of each build under a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
# One X server serves every test at once: allow it more clients than its default 256 and keep
# the number of tests in flight within that, however many cores the machine has. -noreset: by
# default the server resets whenever its last client leaves, and closes the connections that
# arrive meanwhile; a program started then could not open its window.
test_jobs=$((jobs < 32 ? jobs : 32))
export LIBGL_ALWAYS_SOFTWARE=1
# NOTE: with this C library the sanitizer runtime's hook on __tls_get_addr can record a bogus
# range for a dynamically loaded library's thread-local block (PoCL, LLVM), and LeakSanitizer's
# exit check then crashes scanning it ("Tracer caught signal 11"). Without the hook those blocks
# are still scanned as ordinary heap blocks reachable from each thread's descriptor.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_suite() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_WERROR=ON "$@" > /dev/null
    cmake --build "$dir" -j "$jobs"
    xvfb-run -a -s "-screen 0 1600x1200x24 -maxclients 1024 -noreset" \
        ctest --test-dir "$dir" --output-on-failure -j "$test_jobs"
}

run_suite build/release
# Mesa's software renderer keeps its worker threads alive until the process ends, where
# LeakSanitizer's exit check now and then crashes stopping them: render on the calling thread.
(
    export LP_NUM_THREADS=0 MESA_SHADER_CACHE_DISABLE=true
    run_suite build/sanitize -DTESSALY_SANITIZE=ON -DTESSALY_BUILD_BENCH=OFF
)

# The CPU pool, the semaphore and the OpenCL set-up thread once more under ThreadSanitizer.
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_TSAN=ON -DTESSALY_WERROR=ON \
    -DTESSALY_BUILD_BENCH=OFF > /dev/null
cmake --build build/tsan -j "$jobs" --target test_core test_platform test_opencl
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/tsan --output-on-failure -j "$test_jobs" -R 'CpuThreads|CpuPool|CountingSemaphore|SetupThread'
