#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under Xvfb.
#   ./test.sh             the suite
#   ./test.sh --sanitize  the suite built with AddressSanitizer and UBSan
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages

build=build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE=)
if [ "${1:-}" = "--sanitize" ]; then
    build=build-asan
    cmake_args=(-DCMAKE_BUILD_TYPE=Debug "-DCORVANE_SANITIZE=address;undefined" -DCORVANE_BENCH=OFF)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

configure_and_build "$build" "${cmake_args[@]}"

export NO_AT_BRIDGE=1
xvfb-run -a -s '-screen 0 1600x1200x24' \
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
