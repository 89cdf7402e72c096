#!/bin/bash
# Makes the README's screenshots again from the real windows: builds the
# screenshot tour (docs/tour), gives it a display of its own (Xvfb) and lets it
# work each tool against loopback peers that it starts and stops itself.
# Arguments: the output directory (default docs/screenshots) and the build
# directory (default build).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
output=${1:-$top/docs/screenshots}
dir=${2:-build}
case "$dir" in /*) ;; *) dir="$top/$dir" ;; esac

"$top/scripts/install-deps.sh"
[ -f "$dir/build.ninja" ] || cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$dir" --target torvex_tour
runtime=$(mktemp -d /tmp/tvXXX)
# The tour runs in a session of its own and keeps its temporary files in one
# directory: whatever way it ends, its display, peers and files go with it.
# A window that waited for an answer nobody gives must not hold the run for ever.
TORVEX_SOURCE_DIR="$top" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$runtime" TMPDIR="$runtime" \
  setsid timeout --kill-after=10 600 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  "$dir/docs/tour/torvex_tour" "$top" "$output" &
tour=$!
trap 'kill -TERM -- -"$tour" 2>/dev/null || true; rm -rf "$runtime"' EXIT
wait "$tour"
