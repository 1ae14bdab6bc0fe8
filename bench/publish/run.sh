#!/usr/bin/env bash
# Publishes a 1,000-post site to pyftpdlib with vellumite, lftp and curl; $1 is the build folder.
set -euo pipefail
build=${1:-$(dirname "$0")/../../build}
"$build/bench/bench_publish" "${RUNS:-5}"
