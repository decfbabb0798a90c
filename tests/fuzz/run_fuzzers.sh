#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on its committed seeds.
#   tests/fuzz/run_fuzzers.sh <build-dir> [seconds-per-target] [target...]
# New inputs the fuzzer finds go to <build-dir>/fuzz-corpus/<target>/ (kept
# between runs, never into the repository); a crash, a sanitizer report or a
# failed check leaves the input in <build-dir>/fuzz-artifacts/<target>/ and
# makes this script fail.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build=${1:?usage: run_fuzzers.sh <build-dir> [seconds] [target...]}
seconds=${2:-20}
shift $(( $# >= 2 ? 2 : 1 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_tux_report fuzz_wls_report fuzz_agent_reply fuzz_smtp_reply)

# Leaks count as findings; UBSan stops at the first report (the code is
# built with -fno-sanitize-recover as well).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
for t in "${targets[@]}"; do
    bin="$build/bin/$t"
    [ -x "$bin" ] || { echo "fuzz: $bin is not built" >&2; failed+=("$t"); continue; }
    work="$build/fuzz-corpus/$t"
    artifacts="$build/fuzz-artifacts/$t"
    mkdir -p "$work" "$artifacts"
    dict=()
    [ -f "$here/$t.dict" ] && dict=(-dict="$here/$t.dict")
    log="$build/fuzz-$t.log"
    echo "fuzz: $t for ${seconds}s"
    if "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" \
        "$work" "$here/corpus/$t" >"$log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log" |
            sed "s/^/fuzz: $t /"
        grep -E '^#[0-9]+.*DONE' "$log" | tail -1 | sed "s/^/fuzz: $t /"
    else
        echo "fuzz: $t FAILED; the input is in $artifacts/, the log follows" >&2
        tail -60 "$log" >&2
        failed+=("$t")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: failed: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: all ${#targets[@]} targets ran clean"
