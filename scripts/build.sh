#!/bin/bash
# Configures and builds Torvex in the given build directory (default: build).
# Extra arguments go to CMake's configure step.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
case "$dir" in /*) ;; *) dir="$top/$dir" ;; esac
cmake -S "$top" -B "$dir" -G Ninja "$@"
cmake --build "$dir" --parallel "$(nproc)"
