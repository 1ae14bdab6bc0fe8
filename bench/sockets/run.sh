#!/usr/bin/env bash
# 200 MB between two CSockets against a plain blocking copy; $1 is the build folder.
set -euo pipefail
build=${1:-$(dirname "$0")/../../build}
"$build/bench/bench_sockets" "${MEGABYTES:-200}" "${RUNS:-7}"
