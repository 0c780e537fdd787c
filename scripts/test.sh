#!/usr/bin/env bash
# Sets up, builds and runs every test headless, PostgreSQL tests included against a
# throw-away server on a loopback port. Extra arguments go to ctest (for example -L pg).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
scripts/setup.sh
BUILD_DIR=${ZPP_BUILD_DIR:-build}

pgdir=$(mktemp -d /tmp/zpp-pg.XXXXXX)
port=${ZPP_PG_PORT:-$(( 20000 + RANDOM % 20000 ))}
cleanup() { "$ROOT"/scripts/pg-test-server.sh stop "$pgdir"; rm -rf "$pgdir"; }
trap cleanup EXIT
scripts/pg-test-server.sh start "$pgdir" "$port"
export ZPP_TEST_PG_URL="postgresql://zpp@127.0.0.1:$port/postgres"

export QT_QPA_PLATFORM=offscreen
cd "$BUILD_DIR"
ctest --output-on-failure -j "${ZPP_JOBS:-2}" "$@"
