#!/usr/bin/env bash
# Start-up and shutdown on a real X server, as a user meets them: the main window on a fresh
# store and its closing; a start without a store; a start without any display.
# shellcheck source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

readonly CAPTION=KelvarnV15.1.4

# One line of complaint and a failure, not a hang (timeout's 124).
refuses_without_display() {
  local out code
  out=$(env -u DISPLAY -u QT_QPA_PLATFORM timeout 20 "$E2E_APP/kelvarn" 2>&1 </dev/null)
  code=$?
  ((code != 0 && code != 124)) && [ "$(grep -c . <<<"$out")" = 1 ] && return 0
  echo "  exit code $code, output: $out" >&2
  return 1
}

require "a fresh store beside a copy of the Release program" e2e_prepare_app
check "without a display it says so in one line and fails" refuses_without_display
require "Xvfb with a tray host and openbox" e2e_start_desktop

# A fresh store: the window, its caption from the first clock ticks, the icon.
before=$(e2e_store_hash)
e2e_start_app
require "the main window maps" e2e_wait 20 "a window of kelvarn" e2e_windows
main=$E2E_FOUND
check "it is titled $CAPTION within a second" e2e_wait 1 "the caption" e2e_gives "$CAPTION" e2e_title "$main"
check "its client area is 499x315" e2e_gives 499x315 e2e_size "$main"
check "it stays on top (_NET_WM_STATE_ABOVE)" e2e_is_topmost "$main"
check "its icon is in the notification area" e2e_wait 10 "the tray icon" e2e_tray_icons
check "it is the only window" e2e_gives "$main" e2e_windows
check "a screenshot of it is saved" e2e_screenshot startup-main "$main"
check "closing it" e2e_close "$main"
check "ends the program within ten seconds with exit code 0" e2e_exits 10 0
check "the store is byte-identical after the run" e2e_gives "$before" e2e_store_hash
check "and nothing else was left beside it" e2e_gives "kelvarn zuld.mdb" e2e_files "$E2E_APP"

# No store: the standard error box, no main window, no icon, nothing created.
e2e_prepare_app --no-store
e2e_start_app
require "without a store an error box maps" e2e_wait 20 "a window of kelvarn" e2e_windows
box=$E2E_FOUND
check "it is titled Kelvarn" e2e_gives Kelvarn e2e_title "$box"
check "there is no main window" e2e_gives "$box" e2e_windows
check "there is no tray icon" e2e_gives "" e2e_tray_docked
check "a screenshot of it is saved" e2e_screenshot startup-no-store "$box"
check "Return answers it" e2e_key "$box" Return
check "then the program ends with a non-zero exit code" e2e_exits 10 non-zero
check "and no zuld.mdb was created" e2e_gives kelvarn e2e_files "$E2E_APP"

e2e_finish
