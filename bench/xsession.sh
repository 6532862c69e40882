# shellcheck shell=bash
# Sourced by the benchmark scripts: a work folder and a private X server (with a tray host on
# request), all ended with the script.
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvarn-bench.XXXXXX")
helpers=()
trap 'kill "${helpers[@]}" 2>/dev/null; wait; rm -rf "$work"' EXIT

# wait_for SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

start_x() {
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  helpers+=($!)
  wait_for 30 test -s "$work/display" && export DISPLAY=:$(head -n 1 "$work/display") &&
    wait_for 30 xdpyinfo
}

start_tray() {
  trayer --edge top --align right --SetDockType true >/dev/null 2>&1 &
  helpers+=($!)
  wait_for 30 xdotool search --onlyvisible --pid "$!"
}
