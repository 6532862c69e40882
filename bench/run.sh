#!/usr/bin/env bash
# The benchmarks of `make bench`, on generated stores of 32,767, 100,000 and 1,000,000
# accounts in 1,000 types (seeded, so every run measures the same rows): the tree rebuild
# (sxnode + an, tree shown), a double-click lookup, the start-up of the Release program to its
# window exposed and its peak memory, and the original per-type rebuild at 32,767 beside them.
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
note "original per-type rebuild at 32,767 accounts (this takes a while)"
tree literal "$work/32767/zuld.mdb" literal_32767_ms
awk '$1 == "literal_32767_ms" { l = $2 } $1 == "rebuild_32767_ms" { r = $2 }
     END { printf "ratio_literal_32767 %.0f x\n", l / r }' "$results" >>"$results"

# The Release program itself, started beside each store and watched from outside on a private
# X server without a window manager.
start_x || { note "Xvfb did not start"; exit 1; }
for size in "${sizes[@]}"; do
  note "start-up with ${rows[$size]} accounts"
  cp "$build/kelvarn" "$work/$size/"
  "$tools/kelvarn-bench-startup" "$work/$size/kelvarn" "$startups" "$size" >>"$results"
done

awk '
  BEGIN {
    limit["rebuild_1m_ms"] = "<= 1000"; limit["ratio_literal_32767"] = ">= 100"
    limit["startup_1m_ms"] = "<= 1500"; limit["lookup_1m_ms"] = "<= 5"
    limit["rss_1m_mb"] = "<= 300"
    printf "%-22s %10s %-4s %-9s %s\n", "figure", "value", "unit", "target", "met"
  }
  {
    met = ""
    if ($1 in limit) {
      split(limit[$1], t, " ")
      met = (t[1] == "<=" ? $2 <= t[2] : $2 >= t[2]) ? "yes" : "NO"
    }
    printf "%-22s %10s %-4s %-9s %s\n", $1, $2, $3, limit[$1], met
  }' "$results"
echo
sed 's/^/bench /' "$results"
# Figures measured by scripts of their own print their "bench" line below.
bash "$(dirname "${BASH_SOURCE[0]}")/idle_cpu.sh" "$build"
