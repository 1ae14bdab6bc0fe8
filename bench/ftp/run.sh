#!/usr/bin/env bash
# Uploads to pyftpdlib with CFtpClient, lftp and curl side by side; $1 is the build folder.
set -euo pipefail
build=${1:-$(dirname "$0")/../../build}
"$build/bench/bench_ftp" "${RUNS:-5}"
