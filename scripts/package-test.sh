#!/usr/bin/env bash
# Makes the Debian package from a built tree (default build/), lints it, unpacks it into a
# temporary root and runs the installed program from there as a user with an empty home would:
# nothing of the source or build tree may be needed, and nothing may be written beside it.
set -euo pipefail
BUILD=$(cd "${1:-$(dirname "$0")/../build}" && pwd)
work=$(mktemp -d /tmp/zpp-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "package-test: $*" >&2; exit 1; }
# Whether a command succeeds and prints the text (read whole: grep -q under pipefail would cut the
# command's output short and fail it).
says() { local text=$1 out; shift; out=$("$@") && [[ $out == *"$text"* ]]; }

(cd "$BUILD" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/purchase-plan_*.deb)
version=$(dpkg-deb -f "$deb" Version)
lintian --fail-on warning,error "$deb" 2> >(grep -v 'root privileges' >&2)
dpkg -x "$deb" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml >/dev/null
says --store man -l "$work/root/usr/share/man/man1/purchase-plan.1.gz" \
  || fail "the manual page does not list --store"
touch "$work/unpacked"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CONFIG_DIRS="$work/etc/xdg" QT_QPA_PLATFORM=offscreen
unset ZPP_ROOT ZPP_CONFIG_DIR
mkdir -p "$HOME"
bin="$work/root/usr/bin/purchase-plan"
[ "$("$bin" --version)" = "purchase-plan ${version%-*}" ] || fail "--version says $("$bin" --version)"
says --generate "$bin" --help || fail "--help does not list --generate"
"$bin" --store "$work/plan.db" --generate 100 || fail "--generate 100 failed"
says admin "$bin" --store "$work/plan.db" --users || fail "the new store has no admin"
# Translations and the guide are part of the program, found wherever it is installed.
"$bin" --store "$work/plan.db" --template items "$work/items-en.csv" --lang en
grep -q "Item code,Item name" "$work/items-en.csv" || fail "--lang en gave no English captions: $(head -1 "$work/items-en.csv")"
"$bin" --store "$work/plan.db" --template items "$work/items-zh.csv" --lang zh
grep -q "物料代码,物料名称" "$work/items-zh.csv" || fail "no Chinese captions: $(head -1 "$work/items-zh.csv")"
says 'Purchase plan user guide' "$bin" --guide --lang en || fail "no English guide"
says '采购计划 用户指南' "$bin" --guide --lang zh || fail "no Chinese guide"
# A desk that an administrator pointed at the company's store opens it, not a demo store.
mkdir -p "$XDG_CONFIG_DIRS/purchase-plan"
printf '[Store]\nLocation=%s\n' "$work/plan.db" >"$XDG_CONFIG_DIRS/purchase-plan/purchase-plan.conf"
says admin "$bin" --users || fail "the system-wide store setting was not used"
[ ! -e "$XDG_DATA_HOME/ZelPurchasePlan/purchase-plan/demo.db" ] || fail "a demo store was made despite the desk's store"
printf '[Store\nLocation=%s\n' "$work/plan.db" >"$XDG_CONFIG_DIRS/purchase-plan/purchase-plan.conf"
if "$bin" --users 2>"$work/err"; then fail "a broken configuration file was taken"; fi
grep -q 'purchase-plan.conf' "$work/err" || fail "the broken configuration file was not named: $(cat "$work/err")"
rm -r "$XDG_CONFIG_DIRS"
# Without any setting the program makes its demo store in the user's data directory.
says buyer "$bin" --users || fail "no demo store"
[ -f "$XDG_DATA_HOME/ZelPurchasePlan/purchase-plan/demo.db" ] || fail "the demo store is not in the user's data directory"
written=$(find "$work/root" -newer "$work/unpacked" -print)
[ -z "$written" ] || fail "the program wrote beside itself: $written"
echo "package-test: $(basename "$deb") installs, lints clean and runs"
