#!/usr/bin/env bash
# The benchmarks of `make bench`, on generated stores of 32,767, 100,000 and 1,000,000
# accounts in 1,000 types (seeded, so every run measures the same rows): the tree rebuild
# (sxnode + an, tree shown), a double-click lookup, the find window (Ctrl+F, keystrokes, its
# memory), the start-up of the Release program to its window exposed and its memory then, and
# the original per-type rebuild at 32,767 beside them; on a protected store, its conversions,
# edits, start-up from the passphrase, a type expanded, the find window, export and memory beside
# the plain store's; merging two copies that were changed apart, plain and protected.
# Prints one table, then one line per figure: "bench NAME VALUE UNIT".
# Usage: bench/run.sh BUILD_DIR (built with --target kelvarn-bench)
set -euo pipefail

build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
tools=$build/bench
types=1000
startups=5
results=$work/results # NAME VALUE UNIT, one figure a line
note() { echo "bench: $*" >&2; }

declare -A rows=([32767]=32767 [100k]=100000 [1m]=1000000)
sizes=(32767 100k 1m)
for size in "${sizes[@]}"; do
  note "generating the store of ${rows[$size]} accounts"
  mkdir "$work/$size"
  "$tools/kelvarn-bench-store" "$work/$size/zuld.mdb" "${rows[$size]}" "$types" "${rows[$size]}"
done

# The window's own routines, in process, on the offscreen platform.
tree() { QT_QPA_PLATFORM=offscreen "$tools/kelvarn-bench-tree" "$@" >>"$results"; }
for size in "${sizes[@]}"; do
  note "tree rebuild at ${rows[$size]} accounts"
  tree rebuild "$work/$size/zuld.mdb" "rebuild_${size}_ms"
done
note "double-click lookup at 1,000,000 accounts"
tree lookup "$work/1m/zuld.mdb" lookup_1m_ms
note "the find window at 1,000,000 accounts"
tree find "$work/1m/zuld.mdb" 1m
note "original per-type rebuild at 32,767 accounts (this takes a while)"
tree literal "$work/32767/zuld.mdb" literal_32767_ms
awk '$1 == "literal_32767_ms" { l = $2 } $1 == "rebuild_32767_ms" { r = $2 }
     END { printf "ratio_literal_32767 %.0f x\n", l / r }' "$results" >>"$results"

# A protected store: the conversions of 100,000 accounts, the passphrase's key derivation, and
# the rebuild and lookup at 1,000,000 beside the plain store's.
seconds() { # seconds PASSPHRASES COMMAND...: the passphrases go in on file descriptor 3
  local start=$EPOCHREALTIME input=$1
  shift
  "$@" 3<<<"$input" >/dev/null 2>&1
  awk -v from="$start" -v to="$EPOCHREALTIME" 'BEGIN { printf "%.2f", to - from }'
}
note "protect, passphrase and unprotect of 100,000 accounts"
for step in "protect bench" "passphrase bench"$'\n'"changed" "unprotect changed"; do
  echo "${step%% *}_100k_s $(seconds "${step#* }" "$build/kelvarn-store" "${step%% *}" "$work/100k/zuld.mdb" --passphrase-fd 3) s" >>"$results"
done
"$build/kelvarn-store" init "$work/empty.mdb" 2>/dev/null
"$build/kelvarn-store" protect "$work/empty.mdb" --passphrase-fd 3 3<<<"bench" 2>/dev/null
echo "unlock_ms $(seconds bench "$build/kelvarn-store" export "$work/empty.mdb" --passphrase-fd 3 | awk '{ print $1 * 1000 }') ms" >>"$results"
note "protecting the store of 1,000,000 accounts, then its rebuild, lookup and edits"
mkdir "$work/1m-protected"
cp "$work/1m/zuld.mdb" "$work/1m-protected/"
echo "protect_1m_s $(seconds bench "$build/kelvarn-store" protect "$work/1m-protected/zuld.mdb" --passphrase-fd 3) s" >>"$results"
note "export of 1,000,000 accounts as JSON, plain and protected (from the passphrase given)"
echo "export_1m_s $(seconds "" "$build/kelvarn-store" export "$work/1m/zuld.mdb" --format json) s" >>"$results"
echo "export_1m_protected_s $(seconds bench "$build/kelvarn-store" export "$work/1m-protected/zuld.mdb" --format json --passphrase-fd 3) s" >>"$results"
KELVARN_BENCH_PASSPHRASE=bench tree rebuild "$work/1m-protected/zuld.mdb" rebuild_1m_protected_ms
KELVARN_BENCH_PASSPHRASE=bench tree lookup "$work/1m-protected/zuld.mdb" lookup_1m_protected_ms
KELVARN_BENCH_PASSPHRASE=bench tree expand "$work/1m-protected/zuld.mdb" expand_1m_protected_ms
KELVARN_BENCH_PASSPHRASE=bench tree find "$work/1m-protected/zuld.mdb" 1m_protected
note "merging two copies of 1,000,000 accounts, each with 10,000 changes and 1,000 deletions"
diverged() { # diverged FROM TO PASSPHRASE...: two copies of FROM in TO, changed apart
  mkdir "$2"
  for side in 1 2; do
    cp "$1" "$2/$side.mdb"
    "$tools/kelvarn-bench-diverge" "$2/$side.mdb" "$side" 10000 1000 "${@:3}"
  done
}
diverged "$work/1m/zuld.mdb" "$work/merge"
echo "merge_1m_s $(seconds "" "$build/kelvarn-store" merge "$work/merge/2.mdb" "$work/merge/1.mdb") s" >>"$results"
diverged "$work/1m-protected/zuld.mdb" "$work/merge-protected" bench
echo "merge_1m_protected_s $(seconds bench "$build/kelvarn-store" merge "$work/merge-protected/2.mdb" "$work/merge-protected/1.mdb" --passphrase-fd 3) s" >>"$results"
rm -r "$work/merge" "$work/merge-protected"
"$tools/kelvarn-bench-edit" "$work/1m/zuld.mdb" edit_1m_ms >>"$results"
"$tools/kelvarn-bench-edit" "$work/1m-protected/zuld.mdb" edit_1m_protected_ms bench >>"$results"

# The Release program itself, started beside each store and watched from outside on a private
# X server without a window manager.
start_x || { note "Xvfb did not start"; exit 1; }
for size in "${sizes[@]}"; do
  note "start-up with ${rows[$size]} accounts"
  cp "$build/kelvarn" "$work/$size/"
  "$tools/kelvarn-bench-startup" "$work/$size/kelvarn" "$startups" "$size" >>"$results"
done
note "start-up with 1,000,000 protected accounts, from the passphrase's Return; then unprotect"
cp "$build/kelvarn" "$work/1m-protected/"
"$tools/kelvarn-bench-startup" "$work/1m-protected/kelvarn" "$startups" 1m_protected bench >>"$results"
echo "unprotect_1m_s $(seconds bench "$build/kelvarn-store" unprotect "$work/1m-protected/zuld.mdb" --passphrase-fd 3) s" >>"$results"
# A protected store beside a plain one: its start from the Return against the plain start and
# the key's derivation, its memory, the time an edit takes more.
awk '{ v[$1] = $2 } END {
  printf "ratio_unlock_to_window_1m %.2f x\n", v["unlock_to_window_1m_protected_ms"] / (v["startup_1m_ms"] + v["unlock_ms"])
  printf "ratio_rss_1m_protected %.2f x\n", v["rss_1m_protected_mb"] / v["rss_1m_mb"]
  printf "edit_1m_protected_extra_ms %.2f ms\n", v["edit_1m_protected_ms"] - v["edit_1m_ms"]
  printf "ratio_lookup_1m_protected %.2f x\n", v["lookup_1m_protected_ms"] / v["lookup_1m_ms"]
  printf "ratio_rebuild_1m_protected %.2f x\n", v["rebuild_1m_protected_ms"] / v["rebuild_1m_ms"] }' \
  "$results" >>"$results"

awk '
  BEGIN {
    limit["rebuild_1m_ms"] = "<= 1000"; limit["ratio_literal_32767"] = ">= 100"
    limit["startup_1m_ms"] = "<= 1500"; limit["lookup_1m_ms"] = "<= 5"
    limit["rss_1m_mb"] = "<= 300"; limit["protect_100k_s"] = "<= 5"; limit["unprotect_100k_s"] = "<= 5"
    limit["passphrase_100k_s"] = "<= 5"
    limit["ratio_lookup_1m_protected"] = "<= 1.10"; limit["ratio_unlock_to_window_1m"] = "<= 1.25"
    limit["ratio_rss_1m_protected"] = "<= 1.25"; limit["edit_1m_protected_extra_ms"] = "<= 10"
    limit["protect_1m_s"] = "<= 15"; limit["unprotect_1m_s"] = "<= 15"
    limit["find_open_1m_ms"] = "<= 300"; limit["find_reopen_1m_ms"] = "<= 50"
    limit["find_keystroke_1m_ms"] = "<= 30"; limit["find_keystroke_1m_max_ms"] = "<= 100"
    limit["find_memory_1m_mb"] = "<= 60"
    limit["export_1m_protected_s"] = "<= 3"; limit["ratio_rebuild_1m_protected"] = "<= 1.15"
    limit["expand_1m_protected_ms"] = "<= 50"; limit["find_open_1m_protected_ms"] = "<= 500"
    limit["merge_1m_s"] = "<= 10"; limit["merge_1m_protected_s"] = "<= 20"
    printf "%-34s %10s %-4s %-9s %s\n", "figure", "value", "unit", "target", "met"
  }
  {
    met = ""
    if ($1 in limit) {
      split(limit[$1], t, " ")
      met = (t[1] == "<=" ? $2 <= t[2] : $2 >= t[2]) ? "yes" : "NO"
    }
    printf "%-34s %10s %-4s %-9s %s\n", $1, $2, $3, limit[$1], met
  }' "$results"
echo
sed 's/^/bench /' "$results"
# Figures measured by scripts of their own print their "bench" line below.
bash "$(dirname "${BASH_SOURCE[0]}")/idle_cpu.sh" "$build"
