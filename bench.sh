#!/usr/bin/env bash
# Builds corvane-bench in Release and runs it under Xvfb; prints `name value unit` lines.
#   ./bench.sh                 every section
#   ./bench.sh tux_parse ...   only the named sections
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages
configure_and_build build-release -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_SANITIZE=
export NO_AT_BRIDGE=1
xvfb-run -a -s '-screen 0 1600x1200x24' build-release/bin/corvane-bench "$@"
