#!/usr/bin/env bash
# Sets up, builds and runs every test headless, PostgreSQL tests included against a
# throw-away server on a loopback port. Extra arguments go to ctest (for example -L pg).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
run=()
filter=()
if [ -n "${ZPP_PRESET:-}" ]; then
  BUILD_DIR=${ZPP_BUILD_DIR:-build-$ZPP_PRESET}
  # Undefined behaviour fails the test that ran into it instead of printing and going on. Leak
  # reports are off: Qt's plugins and fonts keep memory to the end of every GUI test.
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
  if [ "$ZPP_PRESET" = tsan ]; then
    # Only the programs labelled threads are built (see setup.sh), so only they run.
    if [ -z "${ZPP_TARGETS:-}" ]; then
      export ZPP_TARGETS=thread_tests
      filter=(-L threads)
    fi
    # The first race a program meets fails it. What Qt's own libraries do on their own threads
    # is suppressed (scripts/tsan.supp says why, line by line). Options given by the caller
    # come last and win.
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$ROOT/scripts/tsan.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
    # The thread sanitizer needs the program's libraries outside the ranges it keeps for itself,
    # which the kernel's address randomisation may break on a machine with more random bits
    # ("FATAL: ThreadSanitizer: unexpected memory mapping"). Without randomisation, which the
    # test programs and the programs they start inherit, the layout is always one it can use.
    if setarch "$(uname -m)" -R true 2>/dev/null; then
      run=(setarch "$(uname -m)" -R)
    fi
  fi
else
  BUILD_DIR=${ZPP_BUILD_DIR:-build}
fi
scripts/setup.sh

source scripts/test-server-env.sh

export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
"${run[@]}" ctest --output-on-failure -j "${ZPP_JOBS:-2}" "${filter[@]}" "$@"
