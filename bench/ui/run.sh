#!/usr/bin/env bash
# Times page commands in the browser: bench/ui/run.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
cd "$here/../.." && node bench/ui/click.mjs "$build/bench/bench_ui" 50
