#!/usr/bin/env bash
# Configures and builds Orvak into ./build (Ninja). ccache is used when present, and the lld
# linker when installed (it links the programs several times faster than the default linker);
# ORVAK_BUILD_JOBS limits the parallel jobs (default: all cores). ORVAK_LINE_TABLES=1 keeps only
# line tables as debug information (-g1): file and line numbers in backtraces and reports, a
# quicker build; CI builds so. ORVAK_BUILD_TARGETS names the targets to build (default: all).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/toolchain.sh
args=("${launcher[@]}" "${linker[@]}")
if [ "${ORVAK_LINE_TABLES:-0}" = 1 ]; then
  args+=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${args[@]}" >/dev/null
jobs=()
if [ -n "${ORVAK_BUILD_JOBS:-}" ]; then jobs=(-j "$ORVAK_BUILD_JOBS"); fi
targets=()
if [ -n "${ORVAK_BUILD_TARGETS:-}" ]; then
  read -r -a names <<<"$ORVAK_BUILD_TARGETS"
  targets=(--target "${names[@]}")
fi
cmake --build build "${jobs[@]}" "${targets[@]}"
