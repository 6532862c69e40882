#!/usr/bin/env bash
# Idle CPU of the whole program: the Release kelvarn on a fresh store, under Xvfb with a
# tray host, left alone for 30 s. Prints "bench idle_cpu_percent VALUE %" (percent of one core).
# Usage: bench/idle_cpu.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:?usage: idle_cpu.sh BUILD_DIR}" && pwd)
settle=5
window=30

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

cp "$build/kelvarn" "$work/"
"$build/kelvarn-store" init "$work/zuld.mdb" >"$work/init.log" 2>&1 ||
  { cat "$work/init.log" >&2; exit 1; }
mkdir -m 0700 "$work/runtime"

# Xvfb picks a free display and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "idle_cpu: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM

trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel --height 32 \
  --SetDockType true >/dev/null 2>&1 &
pids+=($!)
timeout 10 xdotool search --sync --classname trayer >/dev/null

"$work/kelvarn" >"$work/kelvarn.log" 2>&1 &
kelvarn=$!
pids+=("$kelvarn")
timeout 20 xdotool search --sync --onlyvisible --pid "$kelvarn" >/dev/null ||
  { echo "idle_cpu: the main window did not appear" >&2; cat "$work/kelvarn.log" >&2; exit 1; }
sleep "$settle"

# utime + stime of all threads, in clock ticks; fields counted after the ")" of comm.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$kelvarn/stat"; }
before=$(cpu_ticks)
sleep "$window"
kill -0 "$kelvarn" 2>/dev/null || { echo "idle_cpu: kelvarn ended while idle" >&2; exit 1; }
after=$(cpu_ticks)

awk -v ticks=$((after - before)) -v hz="$(getconf CLK_TCK)" -v secs="$window" \
  'BEGIN { printf "bench idle_cpu_percent %.2f %%\n", 100 * ticks / hz / secs }'
