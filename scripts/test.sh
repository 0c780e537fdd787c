#!/usr/bin/env bash
# Sets up, builds and runs every test headless, PostgreSQL tests included against a
# throw-away server on a loopback port. Extra arguments go to ctest (for example -L pg).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
scripts/setup.sh
BUILD_DIR=${ZPP_BUILD_DIR:-build}

source scripts/test-server-env.sh

export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
ctest --output-on-failure -j "${ZPP_JOBS:-2}" "$@"
