#!/usr/bin/env bash
# Sets up, builds and starts the purchase plan list (default: the embedded demo store).
# Extra arguments go to the program, for example: scripts/run.sh --user buyer --lang en
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=${ZPP_BUILD_DIR:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  # No desktop session: run inside a virtual X server.
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$BUILD_DIR/app/purchase-plan" "$@"
fi
exec "$BUILD_DIR/app/purchase-plan" "$@"
