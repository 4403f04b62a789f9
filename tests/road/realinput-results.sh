#!/usr/bin/env bash
# A back-propagation project's road to its results as a person walks it: a revert to the
# project's snapshot from the File menu that reopens the project in its training window (after
# Finish the revert tool stays off, and no snapshot is left); the training window's zoomed chart
# before and after the window's Revert; the training window and the whole-data browser, opened
# maximised, restored and maximised again with the buttons of their frames; the charts of a
# testing range of one row.
#
#   realinput-results.sh <korvan program> [folder for pictures and logs]
. "$(dirname "$0")/roadlib.sh" "$@"

# 167 rows; the last one alone is the testing range.
ROWS=167
awk -v n=$ROWS 'BEGIN {print "x1,x2,cls,y"; for (i = 1; i <= n; i++) {a = (i * 37) % 100 / 10; b = (i * 53) % 100 / 10;
     printf "%.1f,%.1f,%d,%.3f\n", a, b, 1 + (i * 7) % 3, 0.3 * a + 0.5 * b}}' >"$W/results.csv"

child_field() { entry child "$1" | cut -f"$2"; }
child_width() { child_field "$1" 6; }
child_height() { child_field "$1" 7; }
# A maximised child's frame buttons stand at the right end of the main window's menu bar
# (minimise, restore, close); a normal child's in its own title bar, which a double click
# maximises.
restore_button() {
  local x y w h
  read -r x y w h <<<"$(entry widget MainMenu/TopRightCorner | cut -f4-7 | tr '\t' ' ')"
  [ -n "${w:-}" ] || fail "no frame buttons of a maximised child in the menu bar"
  pointer_to $((x + w / 2)) $((y + h / 2))
  xdotool click 1
}
# A double click on the title bar of the restored child $1 where it stands now, sent again while
# the child stays as it is (xdotool held between its clicks longer than a double click lasts)
# until it is maximised as wide as $2.
title_double_clicked() {
  maximised_child "$1" "$2" && return
  if [ $SECONDS -ge "$TITLE_AGAIN" ] && normal_child "$1" 1 1; then
    local x y
    read -r x y <<<"$(entry child "$1" | cut -f4-5 | tr '\t' ' ')"
    pointer_to $((x + 60)) $((y + 8))
    xdotool click --repeat 2 --delay 60 1
    TITLE_AGAIN=$((SECONDS + 10))
  fi
  return 1
}
maximise_by_title() { TITLE_AGAIN=0; waitfor "$3" title_double_clicked "$1" "$2"; }
normal_child() { # child, least width, least height
  local w h; w=$(child_width "$1"); h=$(child_height "$1")
  [ -n "$w" ] && [ "$w" -ge "$2" ] && [ "$h" -ge "$3" ] && ! has widget MainMenu/TopRightCorner
}
maximised_child() { [ "$(child_width "$1")" -ge "$2" ] && has widget MainMenu/TopRightCorner; }
# Restores a maximised child with its frame button, maximises it again with a double click on
# its title bar and restores it once more: both restores give it the size of the first.
maximise_and_restore() { # child, least width, least height, picture
  local full size
  full=$(child_width "$1")
  waitfor "the frame buttons of the maximised $1" has widget MainMenu/TopRightCorner
  restore_button
  waitfor "a restored $1 of at least $2 x $3" normal_child "$1" "$2" "$3"
  size="$(child_width "$1") $(child_height "$1")"
  echo "   restored: $size (maximised: $full wide)"
  picture "$4"
  maximise_by_title "$1" "$full" "the maximised $1 again"
  restore_button
  waitfor "the restored $1 again" normal_child "$1" "$2" "$3"
  [ "$(child_width "$1") $(child_height "$1")" = "$size" ] || fail "restored again at $(child_width "$1") x $(child_height "$1"), first at $size"
  maximise_by_title "$1" "$full" "the maximised $1 at last"
}
graph_picture() {
  local gx gy gw gh
  read -r gx gy gw gh <<<"$(entry widget Graph | cut -f4-7 | tr '\t' ' ')"
  settled_picture "$1" "$gx" "$gy" "$gw" "$gh"
}
# The chart taken as $1 until it is no longer the one of $2: a click on a tool of the training
# window has been taken, however long a busy machine keeps it waiting.
graph_changed_from() { # picture, earlier picture
  graph_picture "$1"
  ! same_pictures "$1" "$2"
}
graph_changed_from_saw() { echo "the same chart in $1.png and $2.png"; }
# A child window pictured once it has done drawing.
child_picture() { # child, picture
  local x y w h
  read -r x y w h <<<"$(awk -F'\t' -v n="$1" '$1=="child" && ($2==n || $3==n) {print $4, $5, $6, $7; exit}' "$MAP")"
  [ -n "${h:-}" ] || fail "no child $1 to picture"
  settled_picture "$2" "$x" "$y" "$w" "$h"
}
# The run has charted a few errors of its own: readings of the current error, each new one
# noted in ERRORS_SEEN.
ERRORS_SEEN=""
errors_charted() {
  local e; e=$(field widget lblCurError 10)
  if [ -n "$e" ]; then
    case "|$ERRORS_SEEN|" in *"|$e|"*) ;; *) ERRORS_SEEN="$ERRORS_SEEN|$e" ;; esac
  fi
  [ "$(tr -cd '|' <<<"$ERRORS_SEEN" | wc -c)" -ge "$1" ]
}
errors_charted_saw() { echo "current errors seen: ${ERRORS_SEEN#|}"; }
revert_tool_off() {
  activate_main
  xdotool key alt+f
  waitfor "the File menu" enabled item mnuSaveSnap
  local on; on=$(field item mnuRevertSnap 8)
  xdotool key Escape
  waitfor "menu closed" no_popup
  [ "$on" = 0 ] || fail "Revert To Latest Snapshot is on with no snapshot"
}

start_program

step "a BackProp project whose one testing row is the last"
menu f mnuImport
choose_file "Import" "$W/results.csv"
waitfor "the imported database" sql_is "$W/results.mdb" "SELECT COUNT(*) FROM results" $ROWS
menu f mnuNewBP
choose_file "Create New BackProp Project" "$W/Results.kvp"
waitfor "the configuration window" child_up frmConfPrj
configure_project End "$W/results.mdb"
waitfor "split dialog" window_active "Split The Data"
edit_box dsTrainSet/txtBottomNum 166
edit_box dsTestSet/txtTopNum $ROWS
edit_box dsTestSet/txtBottomNum $ROWS
waitfor "one testing row" sh -c "[ \"\$(awk -F'\t' '\$2 ~ /lblTestRows\$/ {print \$10}' '$MAP')\" = 1 ]"
click cmdOK
waitfor "the training window" child_up frmTrainBP

step "a snapshot of the split project, reverted from the File menu"
waitfor "Finish" enabled tool mnuTrainBPExit
click mnuTrainBPExit
waitfor "the whole-data browser" child_up frmBrowse
menu f mnuSaveSnap
waitfor "the snapshot" test -s "$W/Results.snap"
menu f mnuRevertSnap
waitfor "the revert question" window_active "Revert To Snapshot"
xdotool key Return
waitfor "the training window of the reopened project" child_up frmTrainBP
[ -e "$W/Results.snap" ] && fail "the snapshot is still there after the revert"
waitfor "Finish" enabled tool mnuTrainBPExit
click mnuTrainBPExit
waitfor "the whole-data browser" child_up frmBrowse
revert_tool_off

step "the whole-data browser, restored and maximised by its frame's buttons"
maximise_and_restore frmBrowse 560 360 browse-restored

step "train, zoom the chart, revert"
menu r mnuTrainBP
waitfor "the training window" child_up frmTrainBP
waitfor "Train" enabled tool mnuTrainBPTrain
click mnuTrainBPTrain
waitfor "a running training" enabled tool mnuTrainBPStop
waitfor "three errors of the run charted" errors_charted 3
click mnuTrainBPStop
waitfor "an idle training window" enabled tool mnuTrainBPTrain
graph_picture trainbp-stopped
click mnuTrainBPZoom
waitfor "the chart zoomed" graph_changed_from trainbp-zoomed trainbp-stopped
click mnuTrainBPRevert
# A Revert that leaves the zoomed chart as it was fails here, after the step's wait.
waitfor "the zoomed chart changed by Revert" graph_changed_from trainbp-zoomed-after-revert trainbp-zoomed

step "the training window, restored and maximised by its frame's buttons"
maximise_and_restore frmTrainBP 600 400 trainbp-restored
graph_picture trainbp-maximised-again

step "Finish: the scatter chart of one testing row, then its time series"
click mnuTrainBPExit
waitfor "the scatter chart" child_up frmScatter
sql_is "$W/Results.kvp" "SELECT COUNT(*) FROM Test" 1 || fail "the test results are not one row"
child_picture frmScatter scatter-one-row
menu v mnuSeries
waitfor "the time-series chart" child_up frmSeries
child_picture frmSeries series-one-row
exit_program
echo "road walked to its end"
