#!/usr/bin/env bash
# Builds the tests with a sanitizer, each kind in its own build folder, and runs them:
#   address  AddressSanitizer + UndefinedBehaviorSanitizer (halting on the first report) over
#            the whole suite, each test program running all its cases in one process, in
#            build-asan
#   thread   ThreadSanitizer over the threaded tests (comms, security, simulator, the window
#            thread's reads beside the worker), in build-tsan
# The second argument runs one half: "build" only builds, "test" only runs what was built
# (default: both). Installs what is missing first and uses ccache and lld when present.
# ORVAK_BUILD_JOBS limits the parallel build jobs and test processes (default: all cores). The
# artwork is drawn by the plain build's generator (build/bin/orvak_artgen, built first when
# missing): an instrumented one would only draw the same images slower.
set -euo pipefail
cd "$(dirname "$0")/.."
kind="${1:-}"
phase="${2:-all}"
root="$PWD"
supp="$root/tests/sanitizers"
jobs="${ORVAK_BUILD_JOBS:-$(nproc)}"

case "$phase" in
  all | build | test) ;;
  *)
    echo "usage: $0 address|thread [build|test]" >&2
    exit 2
    ;;
esac

bash scripts/setup.sh
source scripts/toolchain.sh

case "$kind" in
  address)
    dir=build-asan
    flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
    ;;
  thread)
    dir=build-tsan
    flags="-fsanitize=thread -fno-omit-frame-pointer"
    ;;
  *)
    echo "usage: $0 address|thread [build|test]" >&2
    exit 2
    ;;
esac

export QT_QPA_PLATFORM=offscreen
if [ "$phase" != test ]; then
  artgen="$root/build/bin/orvak_artgen"
  if [ ! -x "$artgen" ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "${linker[@]}" >/dev/null
    cmake --build build -j "$jobs" --target orvak_artgen
  fi
  # Line tables only (-g1): the reports keep their file and line numbers, and the instrumented
  # build compiles about a quarter faster than with full debug information.
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags $lldFlag" \
    -DORVAK_ARTGEN="$artgen" -DORVAK_WERROR=OFF "${launcher[@]}" >/dev/null
fi

# Should the build run an instrumented tool of its own, its reports are no test's. The tests run
# with every check on.
build() {
  [ "$phase" = test ] && return 0
  ASAN_OPTIONS=detect_leaks=0 TSAN_OPTIONS=report_bugs=0 cmake --build "$dir" -j "$jobs" "$@"
}
# Qt is not built with the sanitizers: its own reports are suppressed, ours never are.
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=0:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp:print_suppressions=0"

if [ "$kind" = address ]; then
  # The programs the tests run, not the benchmarks and tools of a full build.
  build --target orvak_test_programs
  [ "$phase" = build ] && exit 0
  cd "$dir"
  # Each GoogleTest program runs all its cases in one process, the programs side by side: no
  # case may depend on running alone, and an instrumented process starts far slower than a
  # plain one, so this is also the quicker way through the whole suite. The log of a program
  # that fails is shown. CTest runs the other tests (fuzz replays, include checks, start-up).
  mkdir -p whole-process
  ls bin/*_tests | xargs -P "$jobs" -I{} bash -c \
    'log=whole-process/$(basename {}).log; timeout 1800 {} --gtest_brief=1 >"$log" 2>&1 || { cat "$log"; echo "FAILED: {}"; exit 255; }'
  ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 600 -LE '_tests$'
else
  # The threaded suites whose threads hand over through our own locks and atomics: the comms
  # worker and discovery, the security passes, the serial transaction on the simulated bus and
  # on a pseudo-terminal, the serial ports and their completion queues, the firmware loaders'
  # dialogues, the simulator itself, and what the window thread reads while the worker changes
  # it. The application online and the loader dialog hand
  # over through Qt's event queues, which the sanitizer cannot see into without a Qt built for
  # it; AddressSanitizer runs them.
  targets=(comms_tests security_tests serial_comms_tests devsim_tests window_reads_tests platform_tests loader_tests)
  build --target "${targets[@]}"
  [ "$phase" = build ] && exit 0
  cd "$dir"
  ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 600 \
    -L '^(comms_tests|security_tests|serial_comms_tests|devsim_tests|window_reads_tests)$'
  ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 600 \
    -L '^platform_tests$' -R '^(TtySerialPortTest|MemorySerialPort|AlertableWait)\.'
  ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 600 \
    -L '^loader_tests$' -R '^(AmpFirmwareOnAPty|AmpFirmwareTest|ZelFirmwareTest)\.'
fi
