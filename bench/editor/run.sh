#!/usr/bin/env bash
# Editor page builds on a site of 10,000 posts; $1 is the build folder.
set -euo pipefail
build=${1:-$(dirname "$0")/../../build}
"$build/bench/bench_editor" "${POSTS:-10000}" "${RUNS:-21}"
