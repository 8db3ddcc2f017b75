#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300
