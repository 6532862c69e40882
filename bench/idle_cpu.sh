#!/usr/bin/env bash
# Idle CPU of the whole program: the Release kelvarn on a fresh protected store, unlocked (so
# that the lock's idle timer runs), under Xvfb with a tray host, left alone for 30 s. Prints "bench idle_cpu_percent VALUE %" (percent of one core).
# Usage: bench/idle_cpu.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: idle_cpu.sh BUILD_DIR}
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
settle=5
window=30

mkdir "$work/app" && cp "$build/kelvarn" "$work/app/"
"$build/kelvarn-store" init "$work/app/zuld.mdb" 2>/dev/null
"$build/kelvarn-store" protect "$work/app/zuld.mdb" --passphrase-fd 3 3<<<idle 2>/dev/null
start_x && start_tray || { echo "idle_cpu: Xvfb or the tray host did not start" >&2; exit 1; }
"$work/app/kelvarn" >"$work/kelvarn.log" 2>&1 &
pid=$!
helpers+=("$pid")
wait_for 30 xdotool search --onlyvisible --pid "$pid" --name '^Kelvarn$' windowfocus --sync type idle ||
  { echo "idle_cpu: the passphrase window did not appear" >&2; cat "$work/kelvarn.log" >&2; exit 1; }
xdotool key Return
wait_for 30 xdotool search --onlyvisible --pid "$pid" --name KelvarnV ||
  { echo "idle_cpu: the main window did not appear" >&2; cat "$work/kelvarn.log" >&2; exit 1; }
sleep "$settle"

# utime + stime of all threads, in clock ticks; fields counted after the ")" of comm.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat"; }
before=$(cpu_ticks)
sleep "$window"
kill -0 "$pid" 2>/dev/null || { echo "idle_cpu: kelvarn ended while idle" >&2; exit 1; }
after=$(cpu_ticks)

awk -v ticks=$((after - before)) -v hz="$(getconf CLK_TCK)" -v secs="$window" \
  'BEGIN { printf "bench idle_cpu_percent %.2f %%\n", 100 * ticks / hz / secs }'
