# Sourced by the build scripts: what the configure step passes for the compiler cache and the
# linker.
#   launcher  ccache as the compiler launcher, when present
#   linker    -fuse-ld=lld for every link, when lld is installed
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  # Without this ccache passes every source that uses a precompiled header to the compiler.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
fi
linker=()
lldFlag=""
if command -v ld.lld >/dev/null 2>&1; then
  lldFlag="-fuse-ld=lld"
  linker=(-DCMAKE_EXE_LINKER_FLAGS_INIT="$lldFlag" -DCMAKE_SHARED_LINKER_FLAGS_INIT="$lldFlag"
          -DCMAKE_MODULE_LINKER_FLAGS_INIT="$lldFlag")
fi
