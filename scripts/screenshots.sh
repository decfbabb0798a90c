#!/usr/bin/env bash
# The README's pictures: builds corvane-screenshots (Release, in build-release/),
# starts a Tuxedo and a WebLogic stand-in agent on free ports, prepares a
# program directory listing both, and renders the main window with both
# panels under Xvfb into docs/console.png, docs/tuxedo.png and docs/weblogic.png (and the
# site list, chart and Alarms pane pictures beside them).
#   scripts/screenshots.sh [OUTDIR]      (default: docs/)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages imagemagick # import takes the pictures
configure_and_build build-release -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_SANITIZE=

out=$(realpath -m "${1:-docs}")
bin=$PWD/build-release/bin
work=$(mktemp -d /tmp/corvane-shots-XXXXXX)
home=$work/home
mkdir -p "$out" "$home"
chmod 700 "$home"

agents=()
finish() {
    local pid
    for pid in "${agents[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${agents[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

# start_agent <name> <args...>: an agent on a free port, printed first.
agent_port=
start_agent() {
    local name=$1
    shift
    "$bin/corvane-agent-sim" --port 0 "$@" >"$work/$name.port" 2>"$work/$name.log" &
    agents+=("$!")
    agent_port=
    local tries=0
    while [ -z "$agent_port" ]; do
        if ! kill -0 "${agents[-1]}" 2>/dev/null || [ $tries -ge 100 ]; then
            echo "screenshots.sh: the $name agent did not start:" >&2
            cat "$work/$name.log" >&2
            exit 1
        fi
        sleep 0.05
        tries=$((tries + 1))
        agent_port=$(head -n 1 "$work/$name.port" 2>/dev/null || true)
    done
}

# Fixed seeds: the same pictures on every run.
start_agent tuxedo --tuxedo --servers 24 --queues 12 --clients 40 --seed 3
tux_port=$agent_port
start_agent weblogic --weblogic --version 10 --servers 4 --pools 2 --seed 3
wls_port=$agent_port

# Two days of history behind the chart picture.
"$bin/corvane-demo-home" --history 2 "$home" "$tux_port" "$wls_port" >/dev/null

export CORVANE_HOME=$home NO_AT_BRIDGE=1
(cd "$home" && xvfb-run -a -s '-screen 0 1600x1200x24' "$bin/corvane-screenshots" "$out")
