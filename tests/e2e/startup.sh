#!/usr/bin/env bash
# Start-up and shutdown on a real X server, as a user meets them: the main window on a fresh
# store and its closing; a start without a store; a start without any display.
# shellcheck source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

readonly CAPTION=KelvarnV15.1.4

refuses_without_display() {
  local out code lines
  out=$(env -u DISPLAY -u QT_QPA_PLATFORM timeout 20 "$E2E_APP/kelvarn" 2>&1 </dev/null)
  code=$?
  lines=$(grep -c . <<<"$out")
  [ "$code" -ne 0 ] && [ "$code" -ne 124 ] && [ "$lines" -eq 1 ] && return 0
  echo "  exit code $code, $lines lines of output: $out" >&2
  return 1
}

store_hash() { sha256sum <"$E2E_APP/zuld.mdb"; }

no_tray_icon() {
  local icons
  icons=$(e2e_tray_icons) || return 0
  echo "  tray icon windows: $icons" >&2
  return 1
}

one_window() {
  local windows
  windows=$(e2e_windows | tr '\n' ' ')
  [ "$windows" = "$1 " ] && return 0
  echo "  mapped windows: $windows" >&2
  return 1
}

require "a fresh store beside a copy of the Release program" e2e_prepare_app
check "without a display it says so in one line and fails" refuses_without_display
require "Xvfb with a tray host and openbox" e2e_start_desktop

# A fresh store: the window, its caption from the first clock ticks, the icon.
before=$(store_hash)
e2e_start_app
require "the main window maps" e2e_wait 20 "a window of kelvarn" e2e_windows
main=$E2E_FOUND
check "it is titled $CAPTION within a second" e2e_wait 1 "the caption" e2e_title_is "$main" "$CAPTION"
check "its client area is 499x315" e2e_size_is "$main" 499x315
check "it stays on top (_NET_WM_STATE_ABOVE)" e2e_is_topmost "$main"
check "its icon is in the notification area" e2e_wait 10 "the tray icon" e2e_tray_icons
check "it is the only window" one_window "$main"
check "a screenshot of it is saved" e2e_screenshot startup-main "$main"

check "closing it ends the program" e2e_close "$main"
check "within ten seconds" e2e_wait_exit 10
check "with exit code 0" e2e_status_is 0
check "the store is byte-identical after the run" test "$before" = "$(store_hash)"
check "and nothing else was left beside it" e2e_folder_holds "$E2E_APP" "kelvarn zuld.mdb "

# No store: the standard error box, no main window, no icon, nothing created.
e2e_prepare_app --no-store
e2e_start_app
require "without a store an error box maps" e2e_wait 20 "a window of kelvarn" e2e_windows
box=$E2E_FOUND
check "it is titled Kelvarn" e2e_title_is "$box" Kelvarn
check "there is no main window" one_window "$box"
check "there is no tray icon" no_tray_icon
check "a screenshot of it is saved" e2e_screenshot startup-no-store "$box"
check "Return answers it" e2e_key "$box" Return
check "then the program ends" e2e_wait_exit 10
check "with a non-zero exit code" test "${E2E_STATUS:-0}" -ne 0
check "and no zuld.mdb was created" e2e_folder_holds "$E2E_APP" "kelvarn "

e2e_finish
