#!/usr/bin/env bash
# F1 in the real program, pressed with real X keys on two windows of a tested project and in a
# modal dialog.
#
#   realinput-help.sh <korvan program> [folder for pictures and logs]
#
# Walk: a BackProp project over an imported CSV, configured; F1 in the split dialog: the help
# window comes up above the dialog and the main window, takes keys (its close keys close it) and
# gives the dialog back (help-over-split); then split, trained, stopped and finished; then F1 on
# the test results browser and F1 on the whole-table browser: each time the help window comes up
# in front, and a picture of it is kept (help-test-results, help-browse-all).
. "$(dirname "$0")/roadlib.sh" "$@"

awk 'BEGIN {print "x1,x2,cls,y"; for (i = 1; i <= 120; i++) {a = (i * 37) % 100 / 10; b = (i * 53) % 100 / 10;
     printf "%.1f,%.1f,%d,%.3f\n", a, b, (a > b) ? 1 : 2, 0.3 * a + 0.5 * b}}' >"$W/sales.csv"

help_up() { window_active "Korvan Pro Help"; }
window_gone() { ! awk -F'\t' -v t="$1" '$1=="window" && $10==t {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
help_gone() { window_gone "Korvan Pro Help"; }
# F1 with the child window $1 active; the help window comes up in front and is pictured as $2,
# then closed with its close keys.
f1_on() {
  waitfor "$1 as the active child" child_active "$1"
  xdotool key F1
  waitfor "the help window" help_up
  local e x y w h
  e=$(awk -F'\t' '$1=="window" && $10=="Korvan Pro Help" {print; exit}' "$MAP")
  IFS=$'\t' read -r _ _ _ x y w h _ <<<"$e"
  settled_picture "$2" "$x" "$y" "$w" "$h"
  xdotool key alt+F4
  waitfor "the help window closed" help_gone
  activate_main
}

# The window manager's stacking, bottom first: the help window stands above the window titled
# $1 and above the main window.
help_on_top() {
  local stack help below main
  stack=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
  help=$(command xdotool search --name '^Korvan Pro Help$' | head -1)
  below=$(command xdotool search --name "$(title_pattern "$1")" | head -1)
  main=$(command xdotool search --name '^Korvan Pro' | grep -vx "$help" | head -1)
  [ -n "$help" ] && [ -n "$below" ] || return 1
  awk -v s="$stack" -v h="$help" -v b="$below" -v m="$main" 'BEGIN {
    n = split(s, ids, " "); for (i = 1; i <= n; i++) at[ids[i] + 0] = i
    exit !(at[h] > at[b] && at[h] > at[m]) }'
}
# F1 in the modal dialog titled $1: the help window comes up active above it, is pictured as
# $2 and closed by its own close keys, and the dialog is active again.
f1_over_dialog() {
  waitfor "the dialog $1" window_active "$1"
  xdotool key F1
  waitfor "the help window" help_up
  waitfor "the help window above '$1'" help_on_top "$1"
  picture "$2"
  xdotool key alt+F4
  waitfor "the help window closed" help_gone
  waitfor "the dialog $1 back" window_active "$1"
}

start_program

step "import and a new BackProp project"
menu f mnuImport
choose_file "Import" "$W/sales.csv"
waitfor "the imported database" sql_is "$W/sales.mdb" "SELECT COUNT(*) FROM sales" 120
menu f mnuNewBP
choose_file "Create New BackProp Project" "$W/Help.kvp"
waitfor "the configuration window" child_active frmConfPrj

step "configure"
configure_project End "$W/sales.mdb"
waitfor "split dialog" window_active "Split The Data"

step "F1 in the split dialog"
f1_over_dialog "Split The Data" help-over-split

step "split, train, finish"
split_rows
train_stop_finish "$W/Help.kvp"

step "F1 in the test dialog"
activate_main
xdotool key alt+r
waitfor "Run > Testing" enabled item mnuTest
click mnuTest
waitfor "Run > Testing > Run Test" enabled item mnuTestBP
click mnuTestBP
f1_over_dialog "Data Test Successful" help-over-test
xdotool key Escape
waitfor "the test dialog closed" window_gone "Data Test Successful"

step "F1 on the test results"
menu v mnuBPBrowseTest
waitfor "the results browser" main_title_is "Korvan Pro - Help - [Browse Test Results]"
f1_on frmBrowse help-test-results

step "F1 on the whole table"
menu v mnuBPShowAll
waitfor "the whole-table browser" main_title_is "Korvan Pro - Help - [Browse All]"
f1_on frmBrowse help-browse-all

exit_program
echo "road walked to its end"
