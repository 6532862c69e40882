# End-to-end harness, sourced by the tests/e2e scripts and the benchmarks that run the Release
# program: a private X server (Xvfb), with a tray host and a window manager on request; the
# program copied beside a fresh store; helpers that look at windows as a user would, drive keys
# and clicks, read the store and take screenshots. What it starts ends when the script does.
#
#   source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
#   require "a desktop" e2e_start_desktop
#   e2e_prepare_app && e2e_start_app
#   require "the window maps" e2e_wait 20 "a window" e2e_windows && main=$E2E_FOUND
#   check "it is titled X" e2e_gives X e2e_title "$main"
#   e2e_finish                      # prints "N passed, M failed" and sets the exit code
#
# The Release folder is $KELVARN_RELEASE or the script's first argument. Screenshots and program
# logs go to $KELVARN_BUILD/e2e (else the Release folder's e2e/), screenshots also to
# $KELVARN_SCREENSHOTS when set.

set -uo pipefail

E2E_NAME=$(basename "$0" .sh)
E2E_RELEASE=${KELVARN_RELEASE:-${1:-}}
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/kelvarn-e2e.XXXXXX")
E2E_APP=$E2E_TMP/app # the folder holding kelvarn and zuld.mdb
E2E_PID=""           # the running program
E2E_FOUND=""         # the first line the last e2e_wait's command printed (a window id)
E2E_HELPERS=()       # X server, tray host, window manager: ended last, in reverse order
E2E_TRAY_PID=""
E2E_RUNS=0 e2e_passed=0 e2e_failed=0 e2e_finished=""

# ---- results ---------------------------------------------------------------------------
# check DESCRIPTION COMMAND...: one result; the command explains its own failure on stderr.
check() {
  local what=$1
  shift
  "$@" && { echo "ok:   $what" && ((++e2e_passed)) && return 0; }
  echo "FAIL: $what"
  ((++e2e_failed))
  return 1
}

# require DESCRIPTION COMMAND...: as check, but later steps make no sense without it.
require() { check "$@" || e2e_finish; }

e2e_finish() {
  e2e_finished=yes
  echo "$e2e_passed passed, $e2e_failed failed"
  exit $((e2e_failed > 0))
}

# A script that dies before e2e_finish (a typo, an unset variable) still reports a failure; one
# that checks nothing (a benchmark) and succeeds stays silent.
e2e_on_exit() {
  local code=$1 i
  set +e
  if [ -z "$e2e_finished" ] && ((code != 0 || e2e_passed + e2e_failed > 0)); then
    echo "FAIL: $E2E_NAME ended early (exit code $code) before its last step"
    echo "$e2e_passed passed, $((e2e_failed + 1)) failed"
    code=1
  fi
  [ -z "$E2E_PID" ] || e2e_end "$E2E_PID"
  for ((i = ${#E2E_HELPERS[@]} - 1; i >= 0; i--)); do e2e_end "${E2E_HELPERS[i]}"; done
  rm -rf "$E2E_TMP"
  exit "$code"
}
trap 'e2e_on_exit $?' EXIT
trap 'exit 130' INT TERM

# e2e_quietly COMMAND...: runs COMMAND and shows its output only when it fails.
e2e_quietly() {
  local out
  out=$("$@" 2>&1) || { local code=$? && sed 's/^/  /' <<<"$out" >&2 && return "$code"; }
}

# e2e_gives EXPECTED COMMAND...: COMMAND succeeds and prints exactly EXPECTED; else shows both.
e2e_gives() {
  local want=$1 got code
  shift
  got=$("$@" 2>"$E2E_TMP/gives.err")
  code=$?
  [ "$code" = 0 ] && [ "$got" = "$want" ] && return 0
  { echo "  $* (exit code $code) printed:" && sed 's/^/    /' <<<"$got" && echo "  expected:" &&
    sed 's/^/    /' <<<"$want" && sed 's/^/  /' "$E2E_TMP/gives.err"; } >&2
  return 1
}

# ---- waiting ---------------------------------------------------------------------------
# e2e_wait SECONDS WHAT COMMAND...: runs COMMAND every 50 ms until it succeeds and puts the
# first line it printed in E2E_FOUND; after SECONDS says what it was waiting for, with the
# command's last complaint, and fails.
e2e_wait() {
  local seconds=$1 what=$2
  local deadline=$((${EPOCHREALTIME/[.,]/} + seconds * 1000000))
  shift 2
  until "$@" >"$E2E_TMP/wait.out" 2>"$E2E_TMP/wait.err"; do
    if ((${EPOCHREALTIME/[.,]/} >= deadline)); then
      echo "  timed out after ${seconds}s waiting for $what" >&2
      cat "$E2E_TMP/wait.err" >&2
      return 1
    fi
    sleep 0.05
  done
  E2E_FOUND=$(head -n 1 "$E2E_TMP/wait.out")
}

# Gone, or a zombie.
e2e_dead() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null) || return 0
  [ "${state%% *}" = Z ]
}

# Ends a child: a polite TERM, then KILL if it is still there after five seconds.
e2e_end() {
  kill -TERM "$1" 2>/dev/null && ! e2e_wait 5 "process $1 to end" e2e_dead "$1" 2>/dev/null &&
    kill -KILL "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# e2e_tied COMMAND... &: runs COMMAND in the background tied to this script, so that it ends
# even when the script is killed outright (a test runner's timeout).
e2e_tied() { exec setpriv --pdeathsig TERM -- "$@"; }

# ---- the private X session ---------------------------------------------------------------
# Starts Xvfb on a free display (the server picks it) with a private cookie.
e2e_start_x() {
  local cookie
  cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
  export XAUTHORITY=$E2E_TMP/xauthority
  # The server takes every cookie in its file whatever display it names.
  : >"$XAUTHORITY"
  xauth -q add :0 . "$cookie"
  e2e_tied Xvfb -displayfd 3 -auth "$XAUTHORITY" -screen 0 1280x800x24 -nolisten tcp \
    3>"$E2E_TMP/display" >"$E2E_TMP/xvfb.log" 2>&1 &
  E2E_HELPERS+=($!)
  e2e_wait 20 "Xvfb to choose a display" test -s "$E2E_TMP/display" ||
    { cat "$E2E_TMP/xvfb.log" >&2 && return 1; }
  DISPLAY=:$(head -n 1 "$E2E_TMP/display")
  export DISPLAY
  xauth -q add "$DISPLAY" . "$cookie"
  e2e_wait 20 "the X server on $DISPLAY to answer" xdpyinfo
}

# A notification area (trayer) at the top right of the screen.
e2e_start_tray() {
  e2e_tied trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel \
    --height 32 --SetDockType true >"$E2E_TMP/trayer.log" 2>&1 &
  E2E_TRAY_PID=$!
  E2E_HELPERS+=("$E2E_TRAY_PID")
  e2e_wait 20 "the tray host to map" xdotool search --onlyvisible --pid "$E2E_TRAY_PID"
}

# The X server, a notification area and a window manager (openbox: decorations, focus, closing
# by Alt+F4), as on a user's desktop.
e2e_start_desktop() {
  e2e_start_x && e2e_start_tray || return 1
  e2e_tied openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
  E2E_HELPERS+=($!)
  e2e_wait 20 "openbox to manage the screen" e2e_wm_running
}

e2e_wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# ---- the program -----------------------------------------------------------------------
# e2e_prepare_app [--no-store]: a fresh folder with the Release program and, unless told
# otherwise, an empty store made by kelvarn-store.
e2e_prepare_app() {
  rm -rf "$E2E_APP" && mkdir -p "$E2E_APP" && cp "$E2E_RELEASE/kelvarn" "$E2E_APP/" || return 1
  [ "${1:-}" = --no-store ] || e2e_quietly "$E2E_RELEASE/kelvarn-store" init "$E2E_APP/zuld.mdb"
}

# e2e_start_app [PROGRAM]: starts the program (default: the prepared copy) in the background;
# its output goes to the artifacts folder, file $E2E_LOG.
e2e_start_app() {
  E2E_RUNS=$((E2E_RUNS + 1))
  E2E_LOG=$E2E_ARTIFACTS/$E2E_NAME-run$E2E_RUNS.log
  e2e_tied "${1-$E2E_APP/kelvarn}" >"$E2E_LOG" 2>&1 &
  E2E_PID=$!
}

# e2e_exits SECONDS CODE: the program ends within SECONDS with exit code CODE (a number or
# "non-zero").
e2e_exits() {
  local code
  e2e_wait "$1" "kelvarn (pid $E2E_PID) to end" e2e_dead "$E2E_PID" ||
    { echo "  its output so far: $E2E_LOG" >&2 && return 1; }
  wait "$E2E_PID"
  code=$?
  E2E_PID=""
  if [ "$2" = non-zero ]; then ((code != 0)); else ((code == $2)); fi && return 0
  echo "  exit code $code, expected $2 (output: $E2E_LOG)" >&2
  return 1
}

# ---- windows -----------------------------------------------------------------------------
# Window ids are decimal, as xdotool prints them.

# Every window docked in the notification area, whoever owns it (trayer holds each icon in a
# socket window of its own, so the icons are the panel's grandchildren).
e2e_tray_docked() {
  local tray id
  for tray in $(xdotool search --onlyvisible --pid "$E2E_TRAY_PID" 2>/dev/null); do
    xwininfo -tree -id "$tray" 2>/dev/null | sed -n 's/^        \(0x[0-9a-f]*\).*/\1/p'
  done | while read -r id; do printf '%d\n' "$id"; done
}

# The program's tray icon.
e2e_tray_icons() {
  e2e_tray_docked | grep -Fxf <(xdotool search --onlyvisible --pid "$E2E_PID" 2>/dev/null)
}

# The program's mapped top-level windows, oldest first (the tray icon is not one of them).
e2e_windows() {
  local ids
  ids=$(xdotool search --onlyvisible --pid "$E2E_PID" 2>/dev/null) || return 1
  grep -Fvxf <(e2e_tray_icons; echo none) <<<"$ids"
}

# e2e_window_titled TITLE: the program's mapped window with exactly that title.
e2e_window_titled() {
  local id
  for id in $(e2e_windows); do
    [ "$(e2e_title "$id")" = "$1" ] && echo "$id" && return 0
  done
  return 1
}

# The window's title (xprop's quoting of " and \ undone).
e2e_title() {
  xprop -id "$1" -notype _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME = "\(.*\)"$/\1/; T; s/\\\(.\)/\1/g; p'
}

# Client-area size, WIDTHxHEIGHT.
e2e_size() {
  xwininfo -id "$1" | awk '/^ +Width:/ { w = $2 } /^ +Height:/ { h = $2 } END { print w "x" h }'
}

e2e_is_mapped() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# Hidden (unmapped) or gone.
e2e_is_hidden() { ! e2e_is_mapped "$1"; }

e2e_is_topmost() {
  xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q '_NET_WM_STATE_ABOVE' && return 0
  echo "  window $1 lacks _NET_WM_STATE_ABOVE: $(xprop -id "$1" _NET_WM_STATE 2>&1)" >&2
  return 1
}

# e2e_highlight WINDOW X: "TOP BOTTOM", the first run of the selection colour (Qt's
# highlight, a blue well above its red) in column X of the window; fails when there is none.
e2e_highlight() {
  import -window "$1" png:- 2>/dev/null | convert - -crop "1x100000+$2+0" txt:- 2>/dev/null |
    awk -F'[ ,:()]+' '
      NR > 1 && $5 - $3 >= 100 { if (top == "") top = $2; else if ($2 != bottom + 1) exit; bottom = $2 }
      END { if (top == "") exit 1; print top, bottom }'
}

# ---- input -------------------------------------------------------------------------------
# Gives the window the keyboard, through the window manager.
e2e_focus() { xdotool windowactivate --sync "$1" >/dev/null 2>&1; }

# e2e_key WINDOW KEY...: e.g. e2e_key "$box" Return; e2e_key "$w" ctrl+c
e2e_key() { e2e_focus "$1" && xdotool key --clearmodifiers "${@:2}"; }

# e2e_type WINDOW TEXT: types UTF-8 text (Chinese included) into the focused control, with
# Return for every line break (xdotool type drops them).
e2e_type() {
  local line first=yes
  while IFS= read -r line; do
    [ -n "$first" ] || e2e_key "$1" Return || return 1
    first=""
    [ -z "$line" ] || { e2e_focus "$1" && xdotool type --clearmodifiers --delay 30 -- "$line"; } || return 1
  done <<<"$2"
}

# e2e_map_keys TEXT: gives every non-ASCII character of TEXT a key of its own (taken from the
# multimedia keys), so that e2e_type types it with a plain key press. Left alone, xdotool
# binds a spare key to such a character and unbinds it right after the press; Qt reads the
# changed map late and then drops the character or lets a later click overtake it. Call it
# before the program starts.
e2e_map_keys() {
  local keymap=$E2E_TMP/keymap.xkb keysyms="" char i
  local -A seen=()
  for ((i = 0; i < ${#1}; i++)); do
    char=${1:i:1}
    if [ "$(printf '%d' "'$char")" -gt 127 ] && [ -z "${seen[$char]:-}" ]; then
      seen[$char]=1
      keysyms+=" $(printf 'U%04X' "'$char")"
    fi
  done
  e2e_quietly xkbcomp -xkb "$DISPLAY" "$keymap" || return 1
  awk -v keysyms="$keysyms" '
    BEGIN { wanted = split(keysyms, keysym, " ") }
    /^xkb_symbols/ { symbols = 1 }
    symbols && given < wanted && /^ *key <I[0-9]+> *\{ *\[ *XF86[A-Za-z0-9_]* *\] *\};$/ {
      match($0, /<I[0-9]+>/)
      print "    key " substr($0, RSTART, RLENGTH) " { [ " keysym[++given] " ] };"
      next
    }
    symbols && /^};/ { symbols = 0 }
    { print }
    END {
      if (given < wanted) { print "  only " given " spare keys for " wanted " characters" > "/dev/stderr"; exit 1 }
    }
  ' "$keymap" >"$keymap.typing" || return 1
  e2e_quietly xkbcomp -w 0 "$keymap.typing" "$DISPLAY"
}

# e2e_click WINDOW X Y [CLICKS]: clicks at client coordinates (CLICKS 2: a double click).
e2e_click() {
  xdotool mousemove --sync --window "$1" "$2" "$3" click --repeat "${4:-1}" --delay 80 1
}

# A real close request (WM_DELETE_WINDOW) as the title bar's close button sends it: this
# xdotool has no windowclose, so ask openbox through Alt+F4.
e2e_close() { e2e_key "$1" alt+F4; }

# ---- the browser, files, evidence --------------------------------------------------------
# e2e_record_browser: pages the program opens are recorded (e2e_pages) instead of shown. The
# recorder is $BROWSER and also stands in for xdg-open, which where installed would prefer a
# browser registered with the desktop to $BROWSER. Call it before the program starts.
e2e_record_browser() {
  local bin=$E2E_TMP/bin
  mkdir -p "$bin"
  printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>%q\n' "$E2E_TMP/pages" >"$bin/record-page"
  chmod +x "$bin/record-page"
  ln -sf record-page "$bin/xdg-open"
  export BROWSER=$bin/record-page PATH=$bin:$PATH
}

# The addresses opened so far, one a line.
e2e_pages() { cat "$E2E_TMP/pages" 2>/dev/null; }

# The names in a folder, sorted, on one line.
e2e_files() { ls -A "$1" | paste -sd ' '; }

# e2e_screenshot NAME [WINDOW]: the window with its frame, or the whole screen.
e2e_screenshot() {
  local file=$E2E_ARTIFACTS/$1.png
  import ${2:+-frame} -window "${2:-root}" "$file" || return 1
  [ -z "${KELVARN_SCREENSHOTS:-}" ] || cp "$file" "$KELVARN_SCREENSHOTS/"
}

# e2e_sql SQL: runs statements against the program's store and prints the rows.
e2e_sql() { sqlite3 -batch -noheader -cmd '.timeout 5000' "$E2E_APP/zuld.mdb" "$1"; }

e2e_store_hash() { sha256sum <"$E2E_APP/zuld.mdb"; }

# ---- set-up -----------------------------------------------------------------------------
if [ ! -x "$E2E_RELEASE/kelvarn" ] || [ ! -x "$E2E_RELEASE/kelvarn-store" ]; then
  check "a Release kelvarn and kelvarn-store in '$E2E_RELEASE' (set KELVARN_RELEASE or pass the folder)" false
  e2e_finish
fi
# Absolute paths, so that a script may change its working folder.
E2E_RELEASE=$(cd "$E2E_RELEASE" && pwd)
E2E_ARTIFACTS=${KELVARN_BUILD:-$E2E_RELEASE}/e2e
E2E_ARTIFACTS=$(mkdir -p "$E2E_ARTIFACTS" && cd "$E2E_ARTIFACTS" && pwd)
[ -z "${KELVARN_SCREENSHOTS:-}" ] ||
  KELVARN_SCREENSHOTS=$(mkdir -p "$KELVARN_SCREENSHOTS" && cd "$KELVARN_SCREENSHOTS" && pwd)
# Nothing from the caller's desktop reaches the program: no session bus (its tray would land in
# the caller's panel), no input method, no session manager; a home of its own.
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER WAYLAND_DISPLAY QT_IM_MODULE XMODIFIERS \
  GTK_IM_MODULE QT_FONT_DPI QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR \
  XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME BROWSER
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 HOME=$E2E_TMP/home XDG_RUNTIME_DIR=$E2E_TMP/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
