#!/usr/bin/env bash
# Sets up, builds and runs every test headless, PostgreSQL tests included against a
# throw-away server on a loopback port. Extra arguments go to ctest (for example -L pg).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
scripts/setup.sh
if [ -n "${ZPP_PRESET:-}" ]; then
  BUILD_DIR=${ZPP_BUILD_DIR:-build-$ZPP_PRESET}
  # Undefined behaviour fails the test that ran into it instead of printing and going on. Leak
  # reports are off: Qt's plugins and fonts keep memory to the end of every GUI test.
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
else
  BUILD_DIR=${ZPP_BUILD_DIR:-build}
fi

source scripts/test-server-env.sh

export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
ctest --output-on-failure -j "${ZPP_JOBS:-2}" "$@"
