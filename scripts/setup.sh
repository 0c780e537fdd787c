#!/usr/bin/env bash
# Installs what is missing (Debian 12 packages) and builds incrementally into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql
  qt6-l10n-tools qt6-tools-dev qt6-tools-dev-tools
  libsqlite3-dev sqlite3 libxlsxwriter-dev libgtest-dev libbenchmark-dev libpq-dev libminizip-dev
  fonts-noto-cjk xvfb xauth postgresql poppler-utils unzip qt6-translations-l10n
  help2man dpkg-dev file lintian desktop-file-utils appstream man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

# ZPP_PRESET=asan builds with the address and undefined-behaviour sanitizers into build-asan/;
# ZPP_PRESET=tsan with the thread sanitizer into build-tsan/, by default only the test programs
# labelled threads (target thread_tests), which is what its run needs.
if [ -n "${ZPP_PRESET:-}" ]; then
  BUILD_DIR=${ZPP_BUILD_DIR:-build-$ZPP_PRESET}
  [ -f "$BUILD_DIR/build.ninja" ] || cmake --preset "$ZPP_PRESET" -B "$BUILD_DIR"
  [ "$ZPP_PRESET" = tsan ] && : "${ZPP_TARGETS:=thread_tests}"
else
  BUILD_DIR=${ZPP_BUILD_DIR:-build}
  [ -f "$BUILD_DIR/build.ninja" ] || cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
# ZPP_TARGETS: space-separated targets to build instead of everything.
targets=()
for t in ${ZPP_TARGETS:-}; do targets+=(--target "$t"); done
# Builds in other trees of this checkout take the same lock: two builds at once on a small machine
# only make both slower.
lock=()
command -v flock >/dev/null && lock=(flock "${ZPP_BUILD_LOCK:-/tmp/zpp-build.lock}")
"${lock[@]}" cmake --build "$BUILD_DIR" -j "${ZPP_JOBS:-2}" "${targets[@]}"
