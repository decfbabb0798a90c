#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tests under Xvfb.
#   ./test.sh                 the whole suite (build/)
#   ./test.sh --sanitize      the whole suite with AddressSanitizer, LeakSanitizer
#                             and UBSan (build-asan/)
#   ./test.sh --tsan          the threaded link, panel, mail and end-to-end
#                             tests with ThreadSanitizer (build-tsan/)
#   ./test.sh --fuzz [SECS]   every libFuzzer target for SECS seconds (default 20)
#                             on its seed corpus, built with clang (build-fuzz/)
# Any sanitizer report, in a test or in a process it starts, fails the run.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh

mode=${1:-}
case "$mode" in
"" | --sanitize | --tsan) ensure_packages ;;
--fuzz) ensure_packages "${corvane_fuzz_packages[@]}" ;;
*)
    sed -n '2,9p' "$0" >&2
    exit 2
    ;;
esac

root=$PWD
export NO_AT_BRIDGE=1

# The tests the thread sanitizer watches: the agent link and its watcher
# thread, the site monitors' scan threads and history writes, the panels,
# SMTP's lookup thread and the mail hand-off, the console end to end, and the chart
# window's worker, the background indexing and the retention purge, and
# corvane-monitor with its signal thread and its metrics server's threads.
tsan_tests=(test_monitor test_agent test_tuxedo_gui test_weblogic_gui
    test_smtp_gui test_alarm_gui test_app_gui test_e2e_gui test_agentd
    test_history test_history_gui test_monitor_program)

# run_suite <build-dir> [ctest args...]: under Xvfb; with sanitizers, every
# report is also written to <build-dir>/sanitizer-logs/, so that one from a
# child process or a test that passed anyway still fails the run.
run_suite() {
    local build=$1
    shift
    local status=0
    xvfb-run -a -s '-screen 0 1600x1200x24' \
        ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@" || status=$?
    if [ -n "${logs:-}" ] && [ -n "$(ls -A "$logs" 2>/dev/null)" ]; then
        echo "test.sh: sanitizer reports:" >&2
        local f
        for f in "$logs"/*; do
            echo "==== $f" >&2
            cat "$f" >&2
        done
        status=1
    fi
    return $status
}

fresh_logs() {
    logs="$root/$1/sanitizer-logs"
    rm -rf "$logs"
    mkdir -p "$logs"
}

case "$mode" in
"")
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE= -DCORVANE_FUZZ=OFF
    run_suite build
    ;;
--sanitize)
    configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug "-DCORVANE_SANITIZE=address;undefined;float-cast-overflow" \
        -DCORVANE_BENCH=OFF -DCORVANE_FUZZ=OFF
    fresh_logs build-asan
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:log_path=$logs/asan"
    export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:abort_on_error=1:log_path=$logs/ubsan"
    run_suite build-asan
    ;;
--tsan)
    configure_only build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE=thread \
        -DCORVANE_BENCH=OFF -DCORVANE_FUZZ=OFF
    # test_weblogic_gui and test_e2e_gui also run the stand-in agent.
    cmake --build build-tsan -j "$(nproc)" --target "${tsan_tests[@]}" corvane-agent-sim corvane-agent \
        corvane-monitor
    fresh_logs build-tsan
    export TSAN_OPTIONS="halt_on_error=1:abort_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/sanitizers/tsan.supp:log_path=$logs/tsan"
    run_suite build-tsan -R "^($(IFS='|'; echo "${tsan_tests[*]}"))\$"
    ;;
--fuzz)
    configure_only build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF -DCORVANE_SANITIZE=
    cmake --build build-fuzz -j "$(nproc)" --target corvane_fuzz
    tests/fuzz/run_fuzzers.sh build-fuzz "${2:-20}"
    ;;
esac
