#!/bin/bash
# Installs what Torvex needs, builds it with its tests and runs them all.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd "$top/build"
ctest --output-on-failure --parallel 2 --timeout 600
