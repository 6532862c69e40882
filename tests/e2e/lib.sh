# End-to-end harness, sourced by every tests/e2e script: a private X server (Xvfb) with,
# on request, a tray host and a window manager; the Release program copied beside a fresh
# store; helpers that look at windows as a user would, drive keys and clicks, read the store
# and take screenshots. Everything it starts is ended when the script exits.
#
#   source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
#   require "a desktop" e2e_start_desktop
#   e2e_prepare_app && e2e_start_app
#   require "the window maps" e2e_wait 20 "a window" e2e_windows && main=$E2E_FOUND
#   check "it is topmost" e2e_is_topmost "$main"
#   e2e_finish                      # prints "N passed, M failed" and sets the exit code
#
# The Release folder is $KELVARN_RELEASE or the script's first argument. Screenshots and
# program logs go to $KELVARN_BUILD/e2e (the Release folder's e2e/ without it); with
# KELVARN_SCREENSHOTS=DIR screenshots are copied there as well.

set -uo pipefail

E2E_NAME=$(basename "$0" .sh)
E2E_RELEASE=${KELVARN_RELEASE:-${1:-}}
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/kelvarn-e2e.XXXXXX")
E2E_APP=$E2E_TMP/app # the folder holding kelvarn and zuld.mdb
E2E_PID=""           # the running program
E2E_STATUS=""        # its exit code, once e2e_wait_exit has seen it end
E2E_RUNS=0
E2E_FOUND=""         # what the last e2e_wait found (a window id)
E2E_HELPERS=()      # X server, tray host, window manager: ended last, in reverse order
E2E_TRAY_PID=""
E2E_WM_PID=""
e2e_passed=0
e2e_failed=0
e2e_finished=""

# ---- results ---------------------------------------------------------------------------

pass() {
  e2e_passed=$((e2e_passed + 1))
  echo "ok:   $1"
}

fail() {
  e2e_failed=$((e2e_failed + 1))
  echo "FAIL: $1"
}

# check DESCRIPTION COMMAND...: one result; the command explains its own failure on stderr.
check() {
  local what=$1
  shift
  if "$@"; then
    pass "$what"
    return 0
  fi
  fail "$what"
  return 1
}

# require DESCRIPTION COMMAND...: as check, but later steps make no sense without it.
require() {
  check "$@" || e2e_finish
}

e2e_finish() {
  e2e_finished=yes
  echo "$e2e_passed passed, $e2e_failed failed"
  [ "$e2e_failed" -eq 0 ]
  exit
}

# A script that dies before e2e_finish (a typo, an unset variable) still reports a failure.
e2e_on_exit() {
  local code=$1
  if [ -z "$e2e_finished" ]; then
    fail "$E2E_NAME ended early (exit code $code) before its last step"
    echo "$e2e_passed passed, $e2e_failed failed"
    code=1
  fi
  e2e_stop_everything
  rm -rf "$E2E_TMP"
  exit "$code"
}
trap 'e2e_on_exit $?' EXIT
trap 'exit 130' INT TERM

# e2e_quietly COMMAND...: runs COMMAND and shows its output only when it fails.
e2e_quietly() {
  local out code
  out=$("$@" 2>&1) && return 0
  code=$?
  printf '%s\n' "$out" | sed 's/^/  /' >&2
  return "$code"
}

# ---- waiting ---------------------------------------------------------------------------

e2e_now_ms() {
  local t=${EPOCHREALTIME/[.,]/}
  echo $((t / 1000))
}

# e2e_wait SECONDS WHAT COMMAND...: runs COMMAND every 50 ms until it succeeds and puts the
# first line it printed in E2E_FOUND; after SECONDS says what it was waiting for, with the
# command's last complaint, and fails.
e2e_wait() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$(($(e2e_now_ms) + seconds * 1000))
  until "$@" >"$E2E_TMP/wait.out" 2>"$E2E_TMP/wait.err"; do
    if [ "$(e2e_now_ms)" -ge "$deadline" ]; then
      echo "  timed out after ${seconds}s waiting for $what" >&2
      cat "$E2E_TMP/wait.err" >&2
      return 1
    fi
    sleep 0.05
  done
  E2E_FOUND=$(head -n 1 "$E2E_TMP/wait.out")
}

e2e_alive() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null) || return 1
  [ "${state%% *}" != Z ]
}

e2e_dead() { ! e2e_alive "$1"; }

# Ends a child: a polite TERM, then KILL if it is still there after five seconds.
e2e_end() {
  local pid=$1
  e2e_alive "$pid" || {
    wait "$pid" 2>/dev/null
    return 0
  }
  kill -TERM "$pid" 2>/dev/null
  e2e_wait 5 "process $pid to end" e2e_dead "$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

e2e_stop_everything() {
  [ -n "$E2E_PID" ] && e2e_end "$E2E_PID"
  local i
  for ((i = ${#E2E_HELPERS[@]} - 1; i >= 0; i--)); do e2e_end "${E2E_HELPERS[i]}"; done
  E2E_HELPERS=()
}

# e2e_tied COMMAND... &: runs COMMAND in the background tied to this script, so that it ends
# even when the script is killed outright (a test runner's timeout).
e2e_tied() {
  exec setpriv --pdeathsig TERM -- "$@"
}

# ---- the private X session ---------------------------------------------------------------

# Nothing from the caller's desktop reaches the program: no session bus (its tray would
# land in the caller's panel), no input method, no session manager; a home of its own.
e2e_isolate() {
  unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER WAYLAND_DISPLAY QT_IM_MODULE XMODIFIERS \
    GTK_IM_MODULE QT_FONT_DPI QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR \
    XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME BROWSER
  export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 HOME=$E2E_TMP/home XDG_RUNTIME_DIR=$E2E_TMP/runtime
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
}

# Starts Xvfb on a free display (the server picks it) with a private cookie.
e2e_start_x() {
  local cookie display_file=$E2E_TMP/display
  export XAUTHORITY=$E2E_TMP/xauthority
  cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
  : >"$XAUTHORITY"
  : >"$E2E_TMP/server-auth"
  # The server takes every cookie in its file whatever display it names.
  xauth -q -f "$E2E_TMP/server-auth" add :0 . "$cookie"
  e2e_tied Xvfb -displayfd 3 -auth "$E2E_TMP/server-auth" -screen 0 1280x800x24 -nolisten tcp \
    3>"$display_file" >"$E2E_TMP/xvfb.log" 2>&1 &
  E2E_HELPERS+=($!)
  if ! e2e_wait 20 "Xvfb to choose a display" test -s "$display_file"; then
    cat "$E2E_TMP/xvfb.log" >&2
    return 1
  fi
  DISPLAY=:$(head -n 1 "$display_file")
  export DISPLAY
  xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie"
  e2e_wait 20 "the X server on $DISPLAY to answer" xdpyinfo >/dev/null 2>&1
}

# A notification area (trayer) at the top right of the screen.
e2e_start_tray() {
  e2e_tied trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel \
    --height 32 --SetDockType true >"$E2E_TMP/trayer.log" 2>&1 &
  E2E_TRAY_PID=$!
  E2E_HELPERS+=("$E2E_TRAY_PID")
  e2e_wait 20 "the tray host to map" e2e_tray_windows
}

e2e_tray_windows() { xdotool search --onlyvisible --pid "$E2E_TRAY_PID" 2>/dev/null; }

# A window manager (openbox): decorations, focus, and closing by Alt+F4.
e2e_start_wm() {
  e2e_tied openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
  E2E_WM_PID=$!
  E2E_HELPERS+=("$E2E_WM_PID")
  e2e_wait 20 "openbox to manage the screen" e2e_wm_running
}

# The X server, a notification area and a window manager, as on a user's desktop.
e2e_start_desktop() {
  e2e_start_x && e2e_start_tray && e2e_start_wm
}

e2e_wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# ---- the program -----------------------------------------------------------------------

# e2e_prepare_app [--no-store]: a fresh folder with the Release program and, unless told
# otherwise, an empty store made by kelvarn-store.
e2e_prepare_app() {
  rm -rf "$E2E_APP"
  mkdir -p "$E2E_APP"
  cp "$E2E_RELEASE/kelvarn" "$E2E_APP/" || return 1
  [ "${1:-}" = --no-store ] && return 0
  e2e_quietly "$E2E_RELEASE/kelvarn-store" init "$E2E_APP/zuld.mdb"
}

# e2e_start_app [PROGRAM]: starts the program (default: the prepared copy) in the
# background; its output goes to the artifacts folder.
e2e_start_app() {
  local program=${1-$E2E_APP/kelvarn}
  E2E_RUNS=$((E2E_RUNS + 1))
  E2E_LOG=$E2E_ARTIFACTS/$E2E_NAME-run$E2E_RUNS.log
  E2E_STATUS=""
  e2e_tied "$program" >"$E2E_LOG" 2>&1 &
  E2E_PID=$!
}

# e2e_wait_exit SECONDS: waits for the program to end and puts its exit code in E2E_STATUS.
e2e_wait_exit() {
  if ! e2e_wait "$1" "kelvarn (pid $E2E_PID) to end" e2e_dead "$E2E_PID"; then
    echo "  its output so far: $E2E_LOG" >&2
    return 1
  fi
  wait "$E2E_PID"
  E2E_STATUS=$?
  E2E_PID=""
}

e2e_status_is() {
  [ "$E2E_STATUS" = "$1" ] && return 0
  echo "  exit code was '$E2E_STATUS', expected $1 (output: $E2E_LOG)" >&2
  return 1
}

# ---- windows -----------------------------------------------------------------------------
# Window ids are decimal, as xdotool prints them.

# The program's windows docked in the notification area (its tray icon).
e2e_tray_icons() {
  local tray id
  [ -n "$E2E_TRAY_PID" ] && [ -n "$E2E_PID" ] || return 1
  for tray in $(e2e_tray_windows); do
    xwininfo -tree -id "$tray" 2>/dev/null | grep -o '^ *0x[0-9a-f]*' |
      while read -r id; do printf '%d\n' "$id"; done
  done | sort -u | grep -Fxf <(xdotool search --onlyvisible --pid "$E2E_PID" 2>/dev/null)
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
  xprop -id "$1" -notype _NET_WM_NAME 2>/dev/null |
    sed -n 's/^_NET_WM_NAME = "\(.*\)"$/\1/p' | sed 's/\\\(.\)/\1/g'
}

e2e_title_is() {
  local title
  title=$(e2e_title "$1")
  [ "$title" = "$2" ] && return 0
  echo "  window $1 is titled '$title', expected '$2'" >&2
  return 1
}

# Client-area size, WIDTHxHEIGHT.
e2e_size() {
  xwininfo -id "$1" | awk '/^ +Width:/ { w = $2 } /^ +Height:/ { h = $2 } END { print w "x" h }'
}

e2e_size_is() {
  local size
  size=$(e2e_size "$1")
  [ "$size" = "$2" ] && return 0
  echo "  window $1 has client size $size, expected $2" >&2
  return 1
}

e2e_is_mapped() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# Hidden (unmapped) or gone.
e2e_is_hidden() { ! e2e_is_mapped "$1"; }

e2e_is_topmost() {
  xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q '_NET_WM_STATE_ABOVE' && return 0
  echo "  window $1 lacks _NET_WM_STATE_ABOVE: $(xprop -id "$1" _NET_WM_STATE 2>&1)" >&2
  return 1
}

# No frame drawn by the window manager around it.
e2e_is_frameless() {
  local extents
  extents=$(xprop -id "$1" -notype _NET_FRAME_EXTENTS 2>/dev/null)
  [ "$extents" = "_NET_FRAME_EXTENTS = 0, 0, 0, 0" ] && return 0
  echo "  window $1 has a frame: $extents" >&2
  return 1
}

# Every window docked in the notification area, whoever owns it (trayer holds each icon in a
# socket window of its own, so the icons are the panel's grandchildren).
e2e_tray_docked() {
  local tray
  for tray in $(e2e_tray_windows); do
    xwininfo -tree -id "$tray" 2>/dev/null | sed -n 's/^        \(0x[0-9a-f]*\).*/\1/p'
  done
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

# Gives the window the keyboard: through the window manager when there is one.
e2e_focus() {
  if [ -n "$E2E_WM_PID" ]; then
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || return 1
  else
    xdotool windowfocus --sync "$1" >/dev/null 2>&1 || return 1
  fi
}

# e2e_key WINDOW KEY...: e.g. e2e_key "$box" Return; e2e_key "$w" ctrl+c
e2e_key() {
  local window=$1
  shift
  e2e_focus "$window" && xdotool key --clearmodifiers "$@"
}

# e2e_type WINDOW TEXT: types UTF-8 text (Chinese included) into the focused control.
e2e_type() {
  e2e_focus "$1" && xdotool type --clearmodifiers --delay 30 -- "$2"
}

# e2e_type_lines WINDOW TEXT: as e2e_type, with Return for every line break (xdotool type
# drops them).
e2e_type_lines() {
  local line first=yes
  while IFS= read -r line; do
    [ -n "$first" ] || e2e_key "$1" Return || return 1
    first=""
    [ -z "$line" ] || e2e_type "$1" "$line" || return 1
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
      if (given < wanted) {
        print "  only " given " spare keys for " wanted " characters" > "/dev/stderr"
        exit 1
      }
    }' "$keymap" >"$keymap.typing" || return 1
  e2e_quietly xkbcomp -w 0 "$keymap.typing" "$DISPLAY"
}

# e2e_click WINDOW X Y [BUTTON]: a click at client coordinates.
e2e_click() {
  xdotool mousemove --sync --window "$1" "$2" "$3" click "${4:-1}"
}

e2e_double_click() {
  xdotool mousemove --sync --window "$1" "$2" "$3" click --repeat 2 --delay 80 1
}

# A real close request (WM_DELETE_WINDOW) as the title bar's close button sends it: this
# xdotool has no windowclose, so ask openbox through Alt+F4.
e2e_close() {
  if [ -z "$E2E_WM_PID" ]; then
    echo "  closing a window needs the window manager (e2e_start_wm)" >&2
    return 1
  fi
  e2e_focus "$1" && xdotool key --clearmodifiers alt+F4
}

# ---- the browser ---------------------------------------------------------------------------

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

# ---- files -------------------------------------------------------------------------------

# e2e_folder_holds FOLDER "NAME NAME ": the folder holds exactly these files, sorted.
e2e_folder_holds() {
  local files
  files=$(find "$1" -mindepth 1 -maxdepth 1 -printf '%f\n' 2>/dev/null | sort | tr '\n' ' ')
  [ "$files" = "$2" ] && return 0
  echo "  $1 holds: $files" >&2
  return 1
}

# ---- evidence ----------------------------------------------------------------------------

# e2e_screenshot NAME [WINDOW]: the window with its frame, or the whole screen.
e2e_screenshot() {
  local file=$E2E_ARTIFACTS/$1.png
  if [ -n "${2:-}" ]; then
    import -frame -window "$2" "$file" || return 1
  else
    import -window root "$file" || return 1
  fi
  [ -z "${KELVARN_SCREENSHOTS:-}" ] || cp "$file" "$KELVARN_SCREENSHOTS/"
}

# e2e_sql SQL: runs a statement against the program's store and prints the rows.
e2e_sql() {
  sqlite3 -batch -noheader -cmd '.timeout 5000' "$E2E_APP/zuld.mdb" "$1"
}

# ---- set-up -----------------------------------------------------------------------------

if [ ! -x "$E2E_RELEASE/kelvarn" ] || [ ! -x "$E2E_RELEASE/kelvarn-store" ]; then
  fail "no Release kelvarn and kelvarn-store in '$E2E_RELEASE' (set KELVARN_RELEASE or pass the folder)"
  e2e_finish
fi
# Absolute paths, so that a script may change its working folder.
E2E_RELEASE=$(cd "$E2E_RELEASE" && pwd)
mkdir -p "${KELVARN_BUILD:-$E2E_RELEASE}/e2e"
E2E_ARTIFACTS=$(cd "${KELVARN_BUILD:-$E2E_RELEASE}/e2e" && pwd)
if [ -n "${KELVARN_SCREENSHOTS:-}" ]; then
  mkdir -p "$KELVARN_SCREENSHOTS"
  KELVARN_SCREENSHOTS=$(cd "$KELVARN_SCREENSHOTS" && pwd)
fi
e2e_isolate
