#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test in parallel.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 300
