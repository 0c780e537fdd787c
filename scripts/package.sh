#!/usr/bin/env bash
# Sets up and builds like run.sh, then makes the Debian package into build/package/:
#   sudo apt install ./build/package/purchase-plan_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=${ZPP_BUILD_DIR:-build}
cd "$BUILD_DIR"
cpack -G DEB -B "$PWD/package"
rm -rf package/_CPack_Packages
ls -1 "$PWD"/package/purchase-plan_*.deb
