#!/usr/bin/env bash
# The demo: installs what is missing, builds into build/, starts two stand-in
# agents (a Tuxedo domain and a WebLogic 10 domain) on free local ports,
# prepares build/demo-home whose Corvane.db lists both as sites, and opens the
# console there. The agents stop when the console exits. Both demo sites keep
# 7 days of history, and their panels open with "Record to Database!" ticked
# (CORVANE_RECORD_HISTORY=1), so the chart tool shows the scans as they come.
#   ./run.sh                  the demo
#   ./run.sh --history DAYS   the demo sites first get DAYS of synthetic history
set -euo pipefail
cd "$(dirname "$0")"
history=()
if [ "${1:-}" = "--history" ] && [ -n "${2:-}" ]; then
    history=(--history "$2")
elif [ $# -gt 0 ]; then
    sed -n '2,10p' "$0" >&2
    exit 2
fi
source scripts/deps.sh
ensure_packages
# Only what the demo runs (test.sh builds the rest): a test being edited must
# not keep the console from starting, and the demo comes up sooner.
configure_only build
cmake --build build -j "$(nproc)" --target corvane corvane-agent-sim corvane-demo-home

bin=build/bin
home=build/demo-home
for program in corvane corvane-agent-sim corvane-demo-home; do
    if [ ! -x "$bin/$program" ]; then
        echo "run.sh: $bin/$program was not built" >&2
        exit 1
    fi
done
mkdir -p "$home"
chmod 700 "$home"

agents=()
stop_agents() {
    local pid
    for pid in "${agents[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${agents[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
}
trap stop_agents EXIT
trap 'exit 130' INT TERM

# start_agent <name> <args...>: starts an agent on a free port; its port is
# the first line it prints, its log stays in the demo home.
agent_port=
start_agent() {
    local name=$1
    shift
    local out="$home/$name.port" log="$home/$name.log"
    rm -f "$out"
    "$bin/corvane-agent-sim" --port 0 "$@" >"$out" 2>"$log" &
    agents+=("$!")
    local tries=0
    agent_port=
    while [ -z "$agent_port" ]; do
        if ! kill -0 "${agents[-1]}" 2>/dev/null || [ $tries -ge 100 ]; then
            echo "run.sh: the $name agent did not start; see $log" >&2
            exit 1
        fi
        sleep 0.05
        tries=$((tries + 1))
        agent_port=$(head -n 1 "$out" 2>/dev/null || true)
    done
}

start_agent tuxedo-agent --tuxedo --servers 24 --queues 12 --clients 40 --seed "$RANDOM"
tux_port=$agent_port
start_agent weblogic-agent --weblogic --version 10 --servers 4 --pools 2 --seed "$RANDOM"
wls_port=$agent_port
echo "Tuxedo agent on 127.0.0.1:$tux_port, WebLogic agent on 127.0.0.1:$wls_port"

"$bin/corvane-demo-home" "${history[@]}" "$home" "$tux_port" "$wls_port"

# Run from the demo home so the toolkit's CorvaneLog.txt lands there too.
export CORVANE_HOME="$PWD/$home" CORVANE_RECORD_HISTORY=1
console="$PWD/$bin/corvane"
(cd "$home" && "$console")
