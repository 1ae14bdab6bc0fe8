#!/usr/bin/env bash
# Generator benchmark: Vellumite's preview against Hugo on the same sites. $1: build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
exec python3 "$here/run.py" --build "$build" "${@:2}"
