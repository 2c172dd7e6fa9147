#!/usr/bin/env bash
# Configures and builds Orvak into ./build (Ninja). ccache is used when present;
# ORVAK_BUILD_JOBS limits the parallel jobs (default: all cores).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  # Without this ccache passes every source that uses a precompiled header to the compiler.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
jobs=()
if [ -n "${ORVAK_BUILD_JOBS:-}" ]; then jobs=(-j "$ORVAK_BUILD_JOBS"); fi
cmake --build build "${jobs[@]}"
