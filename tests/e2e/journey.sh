#!/usr/bin/env bash
# The whole user journey on a fresh store, as a user goes through it on a desktop: add
# accounts in the editor with Chinese and multi-line texts, answer real confirmation boxes,
# show, modify and delete an account, hide to the tray and come back, open the about page,
# and close with the editor loaded. Each step checks what is on the screen and what is stored.
# shellcheck source=lib.sh disable=SC2086 # positions "X Y" are split on purpose
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

readonly CAPTION=KelvarnV15.1.4 EDITOR=Form1 QUESTION=提示：
# The accounts typed in, as TYPE NAME CONTENT; DECLINED is answered 否, NEW_MAIL is MAIL modified.
readonly MAIL=(工作 公司邮箱 $'账号：zhangsan@example.com\n密码：Abc-123')
readonly OA=(工作 报销系统 $'网址：http://oa.example.com\n工号 1024\n（每月5日前提交）')
readonly DISK=(生活 "小明's 网盘" $'用户名：xiaoming\n备注：家庭照片')
readonly DECLINED=(生活 不要保存 这一条选否)
readonly NEW_MAIL=(工作 企业邮箱 $'账号：zhangsan@example.com\n密码：Xyz-789\n三月已改')

# Client positions of the controls (the layout is fixed).
readonly MAIN_ADD="195 15" MAIN_MODIFY="195 46" MAIN_DELETE="195 77" MAIN_ABOUT="195 140"
readonly MAIN_HIDE="195 285"
readonly EDITOR_BACK="54 12" EDITOR_ADD="54 37" EDITOR_MODIFY="54 62"
readonly EDITOR_TYPE="45 110" EDITOR_NAME="50 155" EDITOR_CONTENT="250 80"
# Tree rows are clicked on their text and their selection is looked for left of it; the first
# row is hit at FIRST_ROW_Y, the others placed by the height of its selection.
readonly TREE_X=60 TREE_BAND_X=3 FIRST_ROW_Y=8

now() { date '+%Y/%m/%d %H:%M:%S'; }

later_than() { [[ $(now) > $1 ]]; }

# The accounts as NAME|TYPE|CONTENT in the store's (rowid) order, line breaks shown as \n.
accounts() { e2e_sql "select 账号名称, 账号类型, replace(账号内容, char(10), '\n') from 账号集合 order by rowid"; }

# store_holds TYPE NAME CONTENT...: exactly these accounts, in this order (so a modified
# account kept its row).
store_holds() {
  local want=""
  while (($#)); do
    want+="$2|$1|${3//$'\n'/\\n}"$'\n'
    shift 3
  done
  e2e_gives "${want%$'\n'}" accounts
}

# bad_times FROM TO [GAP]: the accounts whose times do not read YYYY/MM/DD HH:MM:SS, lie outside
# FROM..TO, or whose 最后修改 is before 创建时间 or more than GAP seconds after it.
bad_times() {
  local stamp='[0-9][0-9][0-9][0-9]/[0-9][0-9]/[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'
  local gap="strftime('%s', replace(最后修改, '/', '-')) - strftime('%s', replace(创建时间, '/', '-'))"
  e2e_sql "select 账号名称, 创建时间, 最后修改 from 账号集合 where not coalesce(创建时间 glob '$stamp'
           and 最后修改 glob '$stamp' and 创建时间 >= '$1' and 最后修改 <= '$2' and $gap between 0 and ${3:-1e9}, 0)"
}

# fill_editor TYPE NAME CONTENT: types into the boxes of the shown editor, replacing what they
# hold; an empty text leaves its box alone.
fill_editor() {
  fill_box "$EDITOR_TYPE" "$1" && fill_box "$EDITOR_NAME" "$2" && fill_box "$EDITOR_CONTENT" "$3"
}

fill_box() {
  [ -z "$2" ] || { e2e_click "$editor" $1 && e2e_key "$editor" ctrl+a BackSpace && e2e_type "$editor" "$2"; }
}

# ask_and_answer WINDOW "X Y" KEY WHAT [SCREENSHOT]: clicks the button that asks, checks the
# question box over the hidden window, answers it with KEY and waits for the window to return.
ask_and_answer() {
  local window=$1 key=$3 what=$4 shot=${5:-} box
  e2e_click "$window" $2
  check "$what: a box titled $QUESTION maps" e2e_wait 10 "the question box" e2e_window_titled "$QUESTION" ||
    return 1
  box=$E2E_FOUND
  check "  the window that asks is hidden meanwhile" e2e_is_hidden "$window"
  [ -z "$shot" ] || check "  a screenshot of it is saved" e2e_screenshot "$shot" "$box"
  check "  $key answers it" e2e_key "$box" "$key"
  check "  the box goes" e2e_wait 10 "the box to go" e2e_is_hidden "$box"
  check "  the window is back" e2e_wait 10 "window $window to map again" e2e_is_mapped "$window"
}

# add_account TYPE NAME CONTENT KEY [EDITOR_SCREENSHOT [BOX_SCREENSHOT]]
add_account() {
  check "$2 is typed into the editor" fill_editor "$1" "$2" "$3" || return 1
  [ -z "${5:-}" ] || check "a screenshot of the editor in add mode is saved" e2e_screenshot "$5" "$editor"
  ask_and_answer "$editor" "$EDITOR_ADD" "$4" "adding $2 and answering $4" "${6:-}"
}

# The tree's rows, measured from the selection band of the first row once it is clicked.
measure_tree_rows() {
  read -r row_top row_bottom < <(e2e_highlight "$main" "$TREE_BAND_X") || return 1
  row_height=$((row_bottom - row_top + 1))
  ((row_height >= 10 && row_height <= 40)) ||
    { echo "  the selected row is $row_height pixels high" >&2 && return 1; }
}

# row_selected ROW: the selection band covers that row.
row_selected() {
  local top=$((row_top + row_height * $1))
  e2e_gives "$top $((top + row_height - 1))" e2e_highlight "$main" "$TREE_BAND_X"
}

# select_row ROW [CLICKS]: clicks a row (twice: shows the account) and waits for its selection.
select_row() {
  e2e_click "$main" "$TREE_X" $((row_top + row_height * $1 + row_height / 2)) "${2:-1}" &&
    e2e_wait 10 "row $1 to be selected" row_selected "$1"
}

# expand_row ROW: selects the type node and opens it with the Right key, as a user would.
expand_row() { select_row "$1" && e2e_key "$main" Right; }

# ---- 1. start -------------------------------------------------------------------------------

require "a fresh store beside a copy of the Release program" e2e_prepare_app
require "Xvfb with a tray host and openbox" e2e_start_desktop
require "keys for the Chinese texts" e2e_map_keys "${MAIL[*]}${OA[*]}${DISK[*]}${DECLINED[*]}${NEW_MAIL[*]}"
e2e_record_browser
web_host=$(sed -n 's/.*kWebHost\[\] = "\(.*\)";/\1/p' "$E2E_RELEASE/generated/version.h")
require "the web host is known from the build" test -n "$web_host"

e2e_start_app
require "the main window maps" e2e_wait 20 "a window of kelvarn" e2e_windows
main=$E2E_FOUND
check "it is titled $CAPTION within a second" e2e_wait 1 "the caption" e2e_gives "$CAPTION" e2e_title "$main"
check "it stays on top" e2e_is_topmost "$main"
check "its icon is in the notification area" e2e_wait 10 "the tray icon" e2e_tray_icons
icon=$E2E_FOUND

# ---- 2. adding ----------------------------------------------------------------------------

e2e_click "$main" $MAIN_ADD
require "添加记录 shows the editor" e2e_wait 10 "a window titled $EDITOR" e2e_window_titled "$EDITOR"
editor=$E2E_FOUND
check "the editor is frameless" \
  e2e_gives "_NET_FRAME_EXTENTS = 0, 0, 0, 0" xprop -id "$editor" -notype _NET_FRAME_EXTENTS
check "its client area is 410x168" e2e_gives 410x168 e2e_size "$editor"
check "it stays on top" e2e_is_topmost "$editor"
check "it is the only window: the main window is hidden" e2e_gives "$editor" e2e_windows

adds_from=$(now)
add_account "${MAIL[@]}" Return journey-editor-add journey-confirm
add_account "${OA[@]}" Return
add_account "${DISK[@]}" Return
add_account "${DECLINED[@]}" Escape
adds_to=$(now)

check "the store holds the three accepted accounts as typed, line breaks and quote kept" \
  store_holds "${MAIL[@]}" "${OA[@]}" "${DISK[@]}"
check "their times read YYYY/MM/DD HH:MM:SS, created and modified at most a second apart" \
  e2e_gives "" bad_times "$adds_from" "$adds_to" 1
IFS='|' read -r mail_created mail_modified < <(e2e_sql "select 创建时间, 最后修改 from 账号集合 order by rowid limit 1")

# ---- 3. modifying ---------------------------------------------------------------------------

e2e_click "$editor" $EDITOR_BACK
check "返回 brings back the main window" e2e_wait 10 "the main window" e2e_is_mapped "$main"
check "and hides the editor" e2e_wait 10 "the editor to hide" e2e_is_hidden "$editor"
check "the main window is still on top" e2e_is_topmost "$main"

# The tree: 工作 (公司邮箱, 报销系统), 生活 (小明's 网盘), types collapsed.
e2e_click "$main" "$TREE_X" "$FIRST_ROW_Y"
require "a click selects the first type" e2e_wait 10 "a selected row in the tree" measure_tree_rows
check "Right opens it" e2e_key "$main" Right
check "a double click shows ${MAIL[1]}" select_row 1 2

# Real clock: the modification must fall in a later second than the add.
check "the clock passes the second of the add" \
  e2e_wait 10 "a second after $mail_modified" later_than "$mail_modified"
e2e_click "$main" $MAIN_MODIFY
check "修改当前记录 shows the editor" e2e_wait 10 "the editor" e2e_is_mapped "$editor"
check "and hides the main window" e2e_is_hidden "$main"
check "the new name and content are typed in" fill_editor "" "${NEW_MAIL[1]}" "${NEW_MAIL[2]}"
check "a screenshot of the editor in modify mode is saved" e2e_screenshot journey-editor-modify "$editor"
ask_and_answer "$editor" "$EDITOR_MODIFY" Return "modifying ${MAIL[1]} and answering Return"

check "the shown account bears the new name and content in its own row, the others untouched" \
  store_holds "${NEW_MAIL[@]}" "${OA[@]}" "${DISK[@]}"
check "its 创建时间 is unchanged and its 最后修改 later than at the add" e2e_gives "$mail_created|1" \
  e2e_sql "select 创建时间, 最后修改 > '$mail_modified' from 账号集合 order by rowid limit 1"
check "every time still reads YYYY/MM/DD HH:MM:SS" e2e_gives "" bad_times "$adds_from" "$(now)"

e2e_click "$editor" $EDITOR_BACK
check "返回 brings back the main window" e2e_wait 10 "the main window" e2e_is_mapped "$main"
# Rebuilt and collapsed: 工作 (企业邮箱, 报销系统), 生活 (小明's 网盘).
check "the first type opens again" expand_row 0
check "the second type opens" expand_row 3
check "a double click shows the renamed account" select_row 1 2
check "a screenshot of the main window with accounts is saved" e2e_screenshot journey-main "$main"

# ---- 4. deleting -----------------------------------------------------------------------------

check "a double click shows ${DISK[1]}" select_row 4 2
ask_and_answer "$main" "$MAIN_DELETE" Return "deleting ${DISK[1]} and answering Return"
check "the store lost exactly that row" store_holds "${NEW_MAIL[@]}" "${OA[@]}"

# ---- 5. tray and web page ---------------------------------------------------------------------

e2e_click "$main" $MAIN_HIDE
check "隐藏到托盘 hides the main window" e2e_wait 10 "the main window to hide" e2e_is_hidden "$main"
check "its icon stays" e2e_wait 10 "the tray icon" e2e_gives "$icon" e2e_tray_icons
check "a click on the icon" e2e_click "$icon" 11 15
check "brings the window back" e2e_wait 10 "the main window" e2e_is_mapped "$main"
check "on top" e2e_is_topmost "$main"

e2e_click "$main" $MAIN_ABOUT
about=http://$web_host/mypregrams/zul/about.html
check "关于 opens $about" e2e_wait 10 "the about page to open" e2e_gives "$about" e2e_pages
check "the main window stays shown" e2e_is_mapped "$main"

# ---- 6. closing with the editor loaded --------------------------------------------------------

e2e_click "$main" $MAIN_ADD
check "添加记录 shows the editor" e2e_wait 10 "the editor" e2e_is_mapped "$editor"
e2e_click "$editor" $EDITOR_BACK
check "返回 hides it again" e2e_wait 10 "the editor to hide" e2e_is_hidden "$editor"
check "and brings the main window back" e2e_wait 10 "the main window" e2e_is_mapped "$main"
check "closing the main window" e2e_close "$main"
check "ends the program with exit code 0" e2e_exits 10 0
check "the notification area is empty" e2e_gives "" e2e_tray_docked
check "the store passes PRAGMA integrity_check" e2e_gives ok e2e_sql "pragma integrity_check"
check "it still holds the two accounts" store_holds "${NEW_MAIL[@]}" "${OA[@]}"
check "nothing else was left beside it" e2e_gives "kelvarn zuld.mdb" e2e_files "$E2E_APP"

e2e_finish
