#!/bin/bash
# Installs what the benchmarks need, builds one and runs it. Each benchmark is
# called by its own name, a link to this script: bench/getter, bench/worker,
# bench/crawl, bench/server, bench/ftp. Its last line is "ratio R".
set -euo pipefail
name=$(basename "$0")
top=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$top/bench/$name.cmake" ]; then
  echo "usage: bench/getter | bench/worker | bench/crawl | bench/server | bench/ftp" >&2
  exit 2
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
{
  "$top/scripts/install-deps.sh"
  cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$top/build" --target "bench_$name" --parallel "$(nproc)"
} >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
exec "$top/build/bench/$name" "$@"
