#!/usr/bin/env bash
# The reliability suite in full: sets up and builds like scripts/test.sh, starts a throw-away
# PostgreSQL server, runs every test program labelled "reliability" with ZPP_SOAK=1 and prints
# the figures they report, one table per store. Extra arguments go to ctest.
# Each case prints its figures as lines of the form FIGURE|<store>|<case>|<figure name>|<value>.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
scripts/setup.sh
BUILD_DIR=${ZPP_BUILD_DIR:-build}

log=$(mktemp /tmp/zpp-soak.XXXXXX.log)
source scripts/test-server-env.sh
export QT_QPA_PLATFORM=offscreen ZPP_SOAK=1

status=0
# One program at a time: the load and conflict cases measure time and must not share the cores.
(cd "$BUILD_DIR" && ctest -L reliability -j 1 -V "$@") >"$log" 2>&1 || status=$?

echo "Reliability figures, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
  "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
# Cases in this order; a case not listed here follows them.
#   store cases:  load, lost update, crash, faults, conflicts, bad values
#   input cases (the other half of the suite, test_reliability_input): fuzz, rights matrix
order="load|lost update|crash|faults|conflicts|bad values|fuzz|rights matrix"
grep -o 'FIGURE|.*' "$log" | awk -F'|' -v order="$order" '
  BEGIN { n = split(order, known, "|"); for (i = 1; i <= n; i++) rank[known[i]] = i }
  {
    store = $2; kase = $3; name = $4; value = $5
    if (!(store in seen)) { seen[store] = 1; stores[++ns] = store }
    if (!((store, kase) in hascase)) {
      hascase[store, kase] = 1
      r = (kase in rank) ? rank[kase] : 100 + ++extra
      cases[store, ++nc[store]] = kase; caserank[store, kase] = r
    }
    key = store SUBSEP kase
    rows[key, ++nr[key]] = sprintf("  %-14s %-58s %s", kase, name, value)
  }
  END {
    for (s = 1; s <= ns; s++) {
      store = stores[s]
      printf "\n%s\n  %-14s %-58s %s\n", store, "case", "figure", "value"
      # cases of this store by their place in the order above
      for (i = 1; i <= nc[store]; i++) list[i] = cases[store, i]
      for (i = 1; i <= nc[store]; i++)
        for (j = i + 1; j <= nc[store]; j++)
          if (caserank[store, list[j]] < caserank[store, list[i]]) { t = list[i]; list[i] = list[j]; list[j] = t }
      for (i = 1; i <= nc[store]; i++) {
        key = store SUBSEP list[i]
        for (k = 1; k <= nr[key]; k++) print rows[key, k]
      }
    }
  }'
echo
if [ "$status" -ne 0 ]; then
  echo "soak: some reliability tests failed; the whole output is in $log"
  grep -E '^\s*[0-9]+: \[  FAILED  \]|Failure' "$log" | head -n 40 || true
else
  echo "soak: all reliability tests passed (output in $log)"
fi
exit "$status"
