#!/usr/bin/env bash
# Renders the icon's PNG sizes from purchase-plan.svg (needs rsvg-convert, Debian's librsvg2-bin).
# The PNGs are kept in the repository so that a build needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" purchase-plan.svg -o "purchase-plan-$size.png"
done
