#!/usr/bin/env bash
# Idle CPU of the whole program: the Release kelvarn on a fresh store, under Xvfb with a
# tray host, left alone for 30 s. Prints "bench idle_cpu_percent VALUE %" (percent of one core).
# Usage: bench/idle_cpu.sh BUILD_DIR
set -euo pipefail
# The private X session, the program's copy and its ending come from the end-to-end harness.
KELVARN_RELEASE=${1:?usage: idle_cpu.sh BUILD_DIR} \
  source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/lib.sh"
settle=5
window=30

e2e_prepare_app
e2e_start_x || { echo "idle_cpu: Xvfb did not start" >&2; exit 1; }
e2e_start_tray || { echo "idle_cpu: the tray host did not start" >&2; exit 1; }
e2e_start_app
e2e_wait 20 "the main window" e2e_windows ||
  { echo "idle_cpu: the main window did not appear" >&2; cat "$E2E_LOG" >&2; exit 1; }
sleep "$settle"

# utime + stime of all threads, in clock ticks; fields counted after the ")" of comm.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$E2E_PID/stat"; }
before=$(cpu_ticks)
sleep "$window"
! e2e_dead "$E2E_PID" || { echo "idle_cpu: kelvarn ended while idle" >&2; exit 1; }
after=$(cpu_ticks)

awk -v ticks=$((after - before)) -v hz="$(getconf CLK_TCK)" -v secs="$window" \
  'BEGIN { printf "bench idle_cpu_percent %.2f %%\n", 100 * ticks / hz / secs }'
