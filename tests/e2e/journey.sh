#!/usr/bin/env bash
# The whole user journey on a fresh store, as a user goes through it on a desktop: add
# accounts in the editor with Chinese and multi-line texts, answer real confirmation boxes,
# show, modify and delete an account, hide to the tray and come back, open the about page,
# and close with the editor loaded. Each step checks what is on the screen and what is stored.
# shellcheck source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

readonly CAPTION=KelvarnV15.1.4 EDITOR=Form1 QUESTION=提示：

# The accounts typed in, as TYPE NAME CONTENT; the fourth is declined.
readonly MAIL_TYPE=工作 MAIL_NAME=公司邮箱 MAIL_TEXT=$'账号：zhangsan@example.com\n密码：Abc-123'
readonly OA_TYPE=工作 OA_NAME=报销系统 OA_TEXT=$'网址：http://oa.example.com\n工号 1024\n（每月5日前提交）'
readonly DISK_TYPE=生活 DISK_NAME="小明's 网盘" DISK_TEXT=$'用户名：xiaoming\n备注：家庭照片'
readonly NO_TYPE=生活 NO_NAME=不要保存 NO_TEXT=这一条选否
# The first account as modified.
readonly NEW_MAIL_NAME=企业邮箱 NEW_MAIL_TEXT=$'账号：zhangsan@example.com\n密码：Xyz-789\n三月已改'

# Client positions of the controls (the layout is fixed).
readonly MAIN_ADD="195 15" MAIN_MODIFY="195 46" MAIN_DELETE="195 77" MAIN_ABOUT="195 140"
readonly MAIN_HIDE="195 285"
# Tree rows are clicked on their text and their selection is looked for left of it; the first
# row is hit at FIRST_ROW_Y, the others from the height of its selection.
readonly TREE_X=60 TREE_BAND_X=3 FIRST_ROW_Y=8
readonly EDITOR_BACK="54 12" EDITOR_ADD="54 37" EDITOR_MODIFY="54 62"
readonly EDITOR_TYPE="45 110" EDITOR_NAME="50 155" EDITOR_CONTENT="250 80"

now() { date '+%Y/%m/%d %H:%M:%S'; }

hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n' | tr a-f A-F; }

# The rows as text, one a line, line breaks shown as \n: for failure messages.
show_rows() {
  e2e_sql "select rowid, 账号名称, 账号类型, replace(账号内容, char(10), '\\n'), 创建时间, 最后修改
           from 账号集合" | sed 's/^/    /' >&2
}

row_count_is() {
  local count
  count=$(e2e_sql "select count(*) from 账号集合")
  [ "$count" = "$1" ] && return 0
  echo "  the store holds $count rows, expected $1:" >&2
  show_rows
  return 1
}

# row_is ROWID NAME TYPE CONTENT: that row holds exactly these texts.
row_is() {
  local found
  found=$(e2e_sql "select count(*) from 账号集合 where rowid = $1 and hex(账号名称) = '$(hex "$2")'
                   and hex(账号类型) = '$(hex "$3")' and hex(账号内容) = '$(hex "$4")'")
  [ "$found" = 1 ] && return 0
  echo "  row $1 is not ($2 | $3 | ${4//$'\n'/\\n}); the store holds:" >&2
  show_rows
  return 1
}

rowid_of() { e2e_sql "select rowid from 账号集合 where hex(账号名称) = '$(hex "$1")'"; }

created_of() { e2e_sql "select 创建时间 from 账号集合 where rowid = $1"; }

modified_of() { e2e_sql "select 最后修改 from 账号集合 where rowid = $1"; }

seconds() { date -d "${1//\//-}" +%s; }

# timestamps_sound FROM TO: every row's times read YYYY/MM/DD HH:MM:SS, lie between FROM and
# TO, and the two times of a row are equal or one second apart (two clock readings).
timestamps_sound() {
  local created modified bad=0
  local stamp='^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$'
  while IFS='|' read -r created modified; do
    if ! [[ $created =~ $stamp && $modified =~ $stamp ]]; then
      echo "  not YYYY/MM/DD HH:MM:SS: '$created', '$modified'" >&2
      bad=1
    elif [[ $created < $1 || $modified > $2 ]]; then
      echo "  '$created', '$modified' lie outside the run of the adds, $1 to $2" >&2
      bad=1
    elif (($(seconds "$modified") - $(seconds "$created") > 1 || $(seconds "$modified") < $(seconds "$created"))); then
      echo "  created '$created' and modified '$modified' are more than a second apart" >&2
      bad=1
    fi
  done < <(e2e_sql "select 创建时间, 最后修改 from 账号集合")
  return "$bad"
}

later_than() { [[ $(now) > $1 ]]; }

# modified_after ROWID STAMP: the row's 最后修改 is a later time than STAMP.
modified_after() {
  local modified
  modified=$(modified_of "$1")
  [[ $modified > $2 && $modified =~ ^[0-9]{4}/[0-9]{2}/[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2}$ ]] && return 0
  echo "  最后修改 of row $1 is '$modified', expected a time after $2" >&2
  return 1
}

store_intact() {
  local result
  result=$(e2e_sql "pragma integrity_check")
  [ "$result" = ok ] && return 0
  echo "  integrity_check: $result" >&2
  return 1
}

# pages_are ADDRESS: the browser was asked for exactly that one page.
pages_are() {
  local pages
  pages=$(e2e_pages)
  [ "$pages" = "$1" ] && return 0
  echo "  pages opened: '$pages'" >&2
  return 1
}

icon_docked() { e2e_tray_icons | grep -qx "$icon"; }

tray_empty() {
  local docked
  docked=$(e2e_tray_docked | tr '\n' ' ')
  [ -z "$docked" ] && return 0
  echo "  still docked: $docked" >&2
  return 1
}

# ---- the windows as the user sees them ------------------------------------------------------

only_window_is() {
  local windows
  windows=$(e2e_windows | tr '\n' ' ')
  [ "$windows" = "$1 " ] && return 0
  echo "  mapped windows: $windows (expected only $1)" >&2
  return 1
}

editor_window() { e2e_window_titled "$EDITOR"; }

question_box() { e2e_window_titled "$QUESTION"; }

no_question_box() { ! question_box >/dev/null; }

# click WINDOW "X Y"
click() {
  local x y
  read -r x y <<<"$2"
  e2e_click "$1" "$x" "$y"
}

# fill_editor TYPE NAME CONTENT: types into the boxes of the shown editor, replacing what they
# hold; an empty text leaves its box alone.
fill_editor() {
  fill_box "$EDITOR_TYPE" "$1" && fill_box "$EDITOR_NAME" "$2" && fill_box "$EDITOR_CONTENT" "$3"
}

fill_box() {
  [ -n "$2" ] || return 0
  click "$editor" "$1" && e2e_key "$editor" ctrl+a BackSpace && e2e_type_lines "$editor" "$2"
}

# ask_and_answer WINDOW "X Y" KEY WHAT [SCREENSHOT]: clicks the button that asks, checks the
# question box over the hidden window, answers it with KEY and waits for the window to come
# back.
ask_and_answer() {
  local window=$1 button=$2 key=$3 what=$4 shot=${5:-}
  click "$window" "$button"
  check "$what: the question box maps" e2e_wait 10 "a box titled $QUESTION" question_box || return 1
  local box=$E2E_FOUND
  check "  its caption is $QUESTION" e2e_title_is "$box" "$QUESTION"
  check "  the window that asks is hidden meanwhile" e2e_is_hidden "$window"
  [ -z "$shot" ] || check "  a screenshot of it is saved" e2e_screenshot "$shot" "$box"
  check "  $key answers it" e2e_key "$box" "$key"
  check "  the box goes" e2e_wait 10 "the box to go" no_question_box
  check "  the window is back" e2e_wait 10 "window $window to map again" e2e_is_mapped "$window"
}

# add_account TYPE NAME CONTENT KEY [EDITOR_SCREENSHOT [BOX_SCREENSHOT]]
add_account() {
  check "$2 is typed into the editor" fill_editor "$1" "$2" "$3" || return 1
  [ -z "${5:-}" ] || check "a screenshot of the editor in add mode is saved" e2e_screenshot "$5" "$editor"
  ask_and_answer "$editor" "$EDITOR_ADD" "$4" "adding $2 and answering $4" "${6:-}"
}

# The tree's rows, measured from the selection band of the first row once it is clicked.
tree_row_top=""
tree_row_height=""
measure_tree_rows() {
  local top bottom
  read -r top bottom < <(e2e_highlight "$main" "$TREE_BAND_X") || return 1
  tree_row_top=$top
  tree_row_height=$((bottom - top + 1))
  [ "$tree_row_height" -ge 10 ] && [ "$tree_row_height" -le 40 ] && return 0
  echo "  the selected row is $tree_row_height pixels high" >&2
  return 1
}

row_y() { echo $((tree_row_top + tree_row_height * $1 + tree_row_height / 2)); }

# row_selected ROW: the selection band covers that row.
row_selected() {
  local band
  band=$(e2e_highlight "$main" "$TREE_BAND_X")
  [ "$band" = "$((tree_row_top + tree_row_height * $1)) $((tree_row_top + tree_row_height * $1 + tree_row_height - 1))" ] &&
    return 0
  echo "  selection band at '$band', expected row $1" >&2
  return 1
}

click_row() { e2e_click "$main" "$TREE_X" "$(row_y "$1")"; }

# expand_row ROW: selects the type node and opens it with the Right key, as a user would.
expand_row() { click_row "$1" && e2e_wait 10 "row $1 to be selected" row_selected "$1" && e2e_key "$main" Right; }

# show_row ROW: double-clicks an account, which shows it in the record view.
show_row() {
  e2e_double_click "$main" "$TREE_X" "$(row_y "$1")" && e2e_wait 10 "row $1 to be selected" row_selected "$1"
}

# ---- 1. start -------------------------------------------------------------------------------

require "a fresh store beside a copy of the Release program" e2e_prepare_app
require "Xvfb with a tray host and openbox" e2e_start_desktop
require "keys for the Chinese texts" e2e_map_keys \
  "$MAIL_TYPE$MAIL_NAME$MAIL_TEXT$OA_TYPE$OA_NAME$OA_TEXT$DISK_TYPE$DISK_NAME$DISK_TEXT$NO_TYPE$NO_NAME$NO_TEXT$NEW_MAIL_NAME$NEW_MAIL_TEXT"
e2e_record_browser
web_host=$(sed -n 's/.*kWebHost\[\] = "\(.*\)";/\1/p' "$E2E_RELEASE/generated/version.h")
require "the web host is known from the build" test -n "$web_host"

e2e_start_app
require "the main window maps" e2e_wait 20 "a window of kelvarn" e2e_windows
main=$E2E_FOUND
check "it is titled $CAPTION within a second" e2e_wait 1 "the caption" e2e_title_is "$main" "$CAPTION"
check "it stays on top" e2e_is_topmost "$main"
check "its icon is in the notification area" e2e_wait 10 "the tray icon" e2e_tray_icons
icon=$E2E_FOUND

# ---- 2. adding ----------------------------------------------------------------------------

click "$main" "$MAIN_ADD"
require "添加记录 shows the editor" e2e_wait 10 "a window titled $EDITOR" editor_window
editor=$E2E_FOUND
check "the editor is frameless" e2e_is_frameless "$editor"
check "its client area is 410x168" e2e_size_is "$editor" 410x168
check "it stays on top" e2e_is_topmost "$editor"
check "the main window is hidden" e2e_is_hidden "$main"
check "the editor is the only window" only_window_is "$editor"

adds_from=$(now)
add_account "$MAIL_TYPE" "$MAIL_NAME" "$MAIL_TEXT" Return journey-editor-add journey-confirm
add_account "$OA_TYPE" "$OA_NAME" "$OA_TEXT" Return
add_account "$DISK_TYPE" "$DISK_NAME" "$DISK_TEXT" Return
add_account "$NO_TYPE" "$NO_NAME" "$NO_TEXT" Escape
adds_to=$(now)

check "the store holds the three accepted accounts" row_count_is 3
check "and not the declined one" test -z "$(rowid_of "$NO_NAME")"
mail=$(rowid_of "$MAIL_NAME")
oa=$(rowid_of "$OA_NAME")
disk=$(rowid_of "$DISK_NAME")
check "$MAIL_NAME is stored as typed, line break kept" row_is "${mail:-0}" "$MAIL_NAME" "$MAIL_TYPE" "$MAIL_TEXT"
check "$OA_NAME is stored as typed, line breaks kept" row_is "${oa:-0}" "$OA_NAME" "$OA_TYPE" "$OA_TEXT"
check "$DISK_NAME is stored as typed, quote included" row_is "${disk:-0}" "$DISK_NAME" "$DISK_TYPE" "$DISK_TEXT"
check "the times read YYYY/MM/DD HH:MM:SS, created and modified at most a second apart" \
  timestamps_sound "$adds_from" "$adds_to"
mail_created=$(created_of "${mail:-0}")
mail_modified=$(modified_of "${mail:-0}")

# ---- 3. modifying ---------------------------------------------------------------------------

click "$editor" "$EDITOR_BACK"
check "返回 brings back the main window" e2e_wait 10 "the main window" e2e_is_mapped "$main"
check "and hides the editor" e2e_wait 10 "the editor to hide" e2e_is_hidden "$editor"
check "the main window is still on top" e2e_is_topmost "$main"

# The tree: 工作 (公司邮箱, 报销系统), 生活 (小明's 网盘), types collapsed.
e2e_click "$main" "$TREE_X" "$FIRST_ROW_Y"
require "a click selects the first type" e2e_wait 10 "a selected row in the tree" measure_tree_rows
check "Right opens it" e2e_key "$main" Right
check "a double click shows $MAIL_NAME" show_row 1

# Real clock: the modification must fall in a later second than the add.
check "the clock passes the second of the add" e2e_wait 10 "a second after $mail_modified" later_than "$mail_modified"
click "$main" "$MAIN_MODIFY"
check "修改当前记录 shows the editor" e2e_wait 10 "the editor" e2e_is_mapped "$editor"
check "and hides the main window" e2e_is_hidden "$main"
check "the new name and content are typed in" fill_editor "" "$NEW_MAIL_NAME" "$NEW_MAIL_TEXT"
check "a screenshot of the editor in modify mode is saved" e2e_screenshot journey-editor-modify "$editor"
ask_and_answer "$editor" "$EDITOR_MODIFY" Return "modifying $MAIL_NAME and answering Return"

check "the store still holds three accounts" row_count_is 3
check "the shown account now bears the new name and content" \
  row_is "${mail:-0}" "$NEW_MAIL_NAME" "$MAIL_TYPE" "$NEW_MAIL_TEXT"
check "$OA_NAME is untouched" row_is "${oa:-0}" "$OA_NAME" "$OA_TYPE" "$OA_TEXT"
check "$DISK_NAME is untouched" row_is "${disk:-0}" "$DISK_NAME" "$DISK_TYPE" "$DISK_TEXT"
check "创建时间 is unchanged" test "$(created_of "${mail:-0}")" = "$mail_created"
check "最后修改 is later than at the add" modified_after "${mail:-0}" "$mail_modified"

click "$editor" "$EDITOR_BACK"
check "返回 brings back the main window" e2e_wait 10 "the main window" e2e_is_mapped "$main"
# Rebuilt and collapsed: 工作 (企业邮箱, 报销系统), 生活 (小明's 网盘).
check "the first type opens again" expand_row 0
check "the second type opens" expand_row 3
check "a double click shows the renamed account" show_row 1
check "a screenshot of the main window with accounts is saved" e2e_screenshot journey-main "$main"

# ---- 4. deleting -----------------------------------------------------------------------------

check "a double click shows $DISK_NAME" show_row 4
ask_and_answer "$main" "$MAIN_DELETE" Return "deleting $DISK_NAME and answering Return"
check "the store lost one row" row_count_is 2
check "exactly $DISK_NAME" test -z "$(rowid_of "$DISK_NAME")"
check "$NEW_MAIL_NAME is kept" row_is "${mail:-0}" "$NEW_MAIL_NAME" "$MAIL_TYPE" "$NEW_MAIL_TEXT"
check "$OA_NAME is kept" row_is "${oa:-0}" "$OA_NAME" "$OA_TYPE" "$OA_TEXT"

# ---- 5. tray and web page ---------------------------------------------------------------------

click "$main" "$MAIN_HIDE"
check "隐藏到托盘 hides the main window" e2e_wait 10 "the main window to hide" e2e_is_hidden "$main"
check "its icon stays" e2e_wait 10 "the tray icon" icon_docked
check "a click on the icon" e2e_click "$icon" 11 15
check "brings the window back" e2e_wait 10 "the main window" e2e_is_mapped "$main"
check "on top" e2e_is_topmost "$main"

click "$main" "$MAIN_ABOUT"
about=http://$web_host/mypregrams/zul/about.html
check "关于 opens $about" e2e_wait 10 "the about page to open" pages_are "$about"
check "the main window stays shown" e2e_is_mapped "$main"

# ---- 6. closing with the editor loaded --------------------------------------------------------

click "$main" "$MAIN_ADD"
check "添加记录 shows the editor" e2e_wait 10 "the editor" e2e_is_mapped "$editor"
click "$editor" "$EDITOR_BACK"
check "返回 hides it again" e2e_wait 10 "the editor to hide" e2e_is_hidden "$editor"
check "and brings the main window back" e2e_wait 10 "the main window" e2e_is_mapped "$main"
check "closing the main window" e2e_close "$main"
check "ends the program" e2e_wait_exit 10
check "with exit code 0" e2e_status_is 0
check "the notification area is empty" tray_empty
check "the store passes PRAGMA integrity_check" store_intact
check "it still holds the two accounts" row_count_is 2
check "nothing else was left beside it" e2e_folder_holds "$E2E_APP" "kelvarn zuld.mdb "

e2e_finish
