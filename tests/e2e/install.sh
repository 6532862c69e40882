#!/usr/bin/env bash
# Installing: `cmake --install` makes a portable folder that keeps an existing store, and
# tools/install-desktop.sh adds a menu entry whose command starts the installed program, even
# from a folder whose name holds spaces, quotes, $ and %.
# shellcheck source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
readonly REPO ENTRY=$HOME/.local/share/applications/kelvarn.desktop
readonly MENU_ICON=$HOME/.local/share/icons/hicolor/128x128/apps/kelvarn.png

# The store's file mode, its fields and its number of accounts.
store_facts() {
  stat -c %a "$E2E_APP/zuld.mdb" &&
    e2e_sql "select group_concat(name, ' ') from pragma_table_info('账号集合'); select count(*) from 账号集合"
}

# Runs the program at PATH, waits for its main window, closes it and expects exit code 0.
runs_and_closes() {
  e2e_start_app "$1"
  e2e_wait 20 "the main window" e2e_window_titled KelvarnV15.1.4 && e2e_close "$E2E_FOUND" && e2e_exits 10 0
}

# The program path the menu would start: the entry's Exec line read the way desktops do
# (string escapes, then %% and the quoting, which is the shell's double-quote rule).
menu_program() {
  local value argv
  value=$(sed -n 's/^Exec=//p' "$ENTRY")
  value=${value//\\\\/\\}
  value=${value//%%/%}
  eval "argv=($value)"
  [ "${#argv[@]}" -eq 1 ] && printf '%s\n' "${argv[0]}"
}

require "Xvfb with a tray host and openbox" e2e_start_desktop
cd "$HOME" || exit # the programs below start from a folder that is not their own

# A portable folder, installed twice: the second install keeps the accounts.
E2E_APP="$E2E_TMP/my apps/kelvarn"
check "cmake --install makes the folder" e2e_quietly cmake --install "$E2E_RELEASE" --prefix "$E2E_APP"
check "with the program, the store tool, the icon and a store" \
  e2e_gives "kelvarn kelvarn-store kelvarn.png zuld.mdb" e2e_files "$E2E_APP"
check "the store is private, has the five fields and no account" \
  e2e_gives $'600\n账号名称 账号类型 账号内容 创建时间 最后修改\n0' store_facts
check "the icon is 128x128" e2e_gives 128x128 identify -format %wx%h "$E2E_APP/kelvarn.png"
check "an account is written into it" \
  e2e_sql "insert into 账号集合 values ('邮箱', '网络', 'a@b.c', '2015/01/31 08:05:09', '2015/01/31 08:05:09')"
stored=$(e2e_store_hash)
check "installing again" e2e_quietly cmake --install "$E2E_RELEASE" --prefix "$E2E_APP"
check "keeps the store as it was" e2e_gives "$stored" e2e_store_hash
check "the installed program finds its store from any working folder" runs_and_closes "$E2E_APP/kelvarn"
check "and leaves the account in it" e2e_gives 邮箱 e2e_sql 'select 账号名称 from 账号集合'

# The menu entry, first into the default folder.
check "install-desktop.sh installs into ~/.local/opt/kelvarn" \
  e2e_quietly "$REPO/tools/install-desktop.sh" "$E2E_RELEASE"
check "which holds the program and a store" \
  e2e_gives "kelvarn kelvarn-store kelvarn.png zuld.mdb" e2e_files "$HOME/.local/opt/kelvarn"
check "the menu entry is valid" desktop-file-validate "$ENTRY"
check "it starts the installed program" e2e_gives "$HOME/.local/opt/kelvarn/kelvarn" menu_program
check "the menu icon is the program's icon" cmp "$MENU_ICON" "$REPO/resources/kelvarn.png"

# A folder of the user's choice, named awkwardly, chosen through PREFIX as make passes it.
odd="$E2E_TMP/my apps/100% o'k \$HOME \"q\" 账号"
check "install-desktop.sh installs into a folder chosen by PREFIX" \
  e2e_quietly env PREFIX="$odd" "$REPO/tools/install-desktop.sh" "$E2E_RELEASE"
check "the entry is still valid" desktop-file-validate "$ENTRY"
check "its command names that folder's program" e2e_gives "$odd/kelvarn" menu_program
check "which starts from the menu's command and closes" runs_and_closes "$(menu_program)"

e2e_finish
