#!/usr/bin/env bash
# The road a person walks through the real program, driven only with real X input (xdotool)
# under its own X server (Xvfb) and window manager (openbox): real menus, real file dialogs and
# message boxes. It checks what a person would check: the files on disk and their tables, the
# window titles, and pictures of the screen.
#
#   realinput.sh <korvan program> [folder for pictures and logs]
#
# Walk: start; import a CSV into a new database; New BackProp Project under a new name;
# configure; split; train; visit another program and come back while training and while idle
# (the history stays); right clicks on the bars (no menu of bars); Stop; Finish; results
# browser; Mark All; export; the results browser closed by its close box; close; reopen from
# the recent list; one row unmarked, and under another program's write lock a mark refused with
# a box; a what-if and the scatter chart (the marks stay); the training window opened from the
# results and a visit while it is idle. Then a new SFAM project under the proposed name, trained
# and tested, to the confusion matrix.
#
# The program writes where its controls stand (KORVAN_WIDGET_MAP): child windows of the main
# window are no X windows, so that map is how the driver finds what it clicks.
. "$(dirname "$0")/roadlib.sh" "$@"

# --- The road ----------------------------------------------------------------------------------
awk 'BEGIN {print "x1,x2,cls,y"; for (i = 1; i <= 120; i++) {a = (i * 37) % 100 / 10; b = (i * 53) % 100 / 10;
     printf "%.1f,%.1f,%d,%.3f\n", a, b, (a > b) ? 1 : 2, 0.3 * a + 0.5 * b}}' >"$W/sales.csv"

start_program

step "import a CSV"
menu f mnuImport
choose_file "Import" "$W/sales.csv"
waitfor "the imported database" sql_is "$W/sales.mdb" "SELECT COUNT(*) FROM sales" 120

step "new BackProp project under a new name"
menu f mnuNewBP
waitfor "new-project dialog" window_active "Create New BackProp Project"
picture new-project-dialog
choose_file "Create New BackProp Project" "$W/Road.kvp"
waitfor "the project's title" main_title_is "Korvan Pro - Road"
waitfor "the configuration window" child_up frmConfPrj
# The only child is the active one at once, not after the user comes back from elsewhere.
waitfor "the configuration window as the active child" child_active frmConfPrj
[ "$(config_of "$W/Road.kvp" Type)" = 2 ] || fail "Road.kvp is no BackProp project"

step "configure"
configure_project End "$W/sales.mdb"
waitfor "split dialog" window_active "Split The Data"
[ "$(config_of "$W/Road.kvp" TableName)" = sales ] || fail "the table is not in the project"

step "split"
split_rows
waitfor "the training window" child_up frmTrainBP
waitfor "the split in the project" sql_is "$W/Road.kvp" "SELECT sValue FROM Config WHERE Property IN ('TrainHigh','TestLow') ORDER BY Property" $'91\n90'

step "train and visit another program while training"
waitfor "Train tool" enabled tool mnuTrainBPTrain
click mnuTrainBPTrain
waitfor "a running training" enabled tool mnuTrainBPStop
visit_another_program
waitfor "the training still running" enabled tool mnuTrainBPStop

step "right clicks on the bars show no menu of bars"
# A menu that a right click opens shows within the half second, or takes the next click (the
# Stop below) to close itself, which the road would then miss.
no_menu_after_right_click() {
  right_click_at "$1" "$2"
  sleep 0.5
  popup_up && { picture bar-menu; fail "a menu of bars opened on a right click at $1,$2"; }
}
no_menu_after_right_click "$(($(field tool mnuTrainBPZoom 4) + 5))" "$(($(field tool mnuTrainBPZoom 5) + 5))"
no_menu_after_right_click "$(($(field widget MainMenu 4) + $(field widget MainMenu 6) - 20))" "$(($(field widget MainMenu 5) + 5))"
no_menu_after_right_click "$(($(field widget mnuTrainBPBar 4) + $(field widget mnuTrainBPBar 6) - 30))" "$(($(field widget mnuTrainBPBar 5) + 10))"
enabled tool mnuTrainBPStop || fail "the training bar lost its Stop tool"

step "stop"
click mnuTrainBPStop
waitfor "an idle training window" enabled tool mnuTrainBPTrain
waitfor "Finish" enabled tool mnuTrainBPExit

step "visit another program while idle: the history stays"
read -r _ _ _ cx cy cw ch _ <<<"$(entry child frmTrainBP | tr '\t' ' ')"
settled_picture training-before-visit "$cx" "$cy" "$cw" "$ch"
status_before=$(status_text)
visit_another_program
settled_picture training-after-visit "$cx" "$cy" "$cw" "$ch"
picture training-window-after-visit
same_pictures training-before-visit training-after-visit ||
  fail "the training window changed after a visit to another program (see training-after-visit.png)"
[ "$(status_text)" = "$status_before" ] || fail "status '$status_before' became '$(status_text)'"

step "finish"
click mnuTrainBPExit
waitfor "the test results" sql_is "$W/Road.kvp" "SELECT COUNT(*) FROM Test" 30
waitfor "the scatter chart" main_title_is "Korvan Pro - Road - [Scatter Graph Of Actual vs. Predicted]"

step "results browser and Mark All"
menu v mnuBPBrowseTest
waitfor "the results browser" main_title_is "Korvan Pro - Road - [Browse Test Results]"
waitfor "the results browser as the active child" child_active frmBrowse
menu e mnuMarkAll
waitfor "every result marked" sql_is "$W/Road.kvp" "SELECT COUNT(*) FROM Test WHERE Mark <> 0" 30

step "export"
menu f mnuExport
choose_file "Export Marked Rows" "$W/marked.txt"
waitfor "the export file" sh -c "[ -s '$W/marked.txt' ] && [ \$(wc -l < '$W/marked.txt') -eq 31 ]"
head -1 "$W/marked.txt" | grep -q x1 || fail "the export has no header line: $(head -1 "$W/marked.txt")"

not_up() { ! child_up "$1"; }
step "the results browser closed by its own close box, its interactive row with it"
child_up frmBrowse || fail "no results browser to close"
read -r bx by bw bh <<<"$(entry widget MainMenu/TopRightCorner | cut -f4-7 | tr '\t' ' ')"
[ -n "${bh:-}" ] || fail "no frame buttons of the maximised results browser in the menu bar"
# The frame's buttons are minimise, restore and close, in that order.
pointer_to $((bx + bw - bw / 6)) $((by + bh / 2))
xdotool click 1
waitfor "the results browser closed" not_up frmBrowse

step "close"
menu f close
waitfor "no project" main_title_is "Korvan Pro"
# Configured, split, trained and tested (the four flags), with the trained cycles.
waitfor "the flags of the closed project" sh -c "[ \"\$(sqlite3 -readonly '$W/Road.kvp' \"SELECT sValue FROM Config WHERE Property='Process'\" 2>/dev/null)\" = 15 ]"
[ "$(config_of "$W/Road.kvp" CyclesCompleted)" -gt 0 ] || fail "no trained cycles in Road.kvp"

step "reopen from the recent list"
menu f miMRUList
waitfor "the reopened project in its results" main_title_is "Korvan Pro - Road - [Browse Test Results]"
sql_is "$W/Road.kvp" "SELECT COUNT(*) FROM Test WHERE Mark <> 0" 30 || fail "the marks were lost"

step "a mark, a what-if and a chart of the reopened project: the marks stay as the user set them"
# The column x1 of the results' data pane: its heading, and under it the first row.
read -r hx hy hw hh <<<"$(awk -F'\t' '$1=="heading" && index($2, "tgBrowse/DataPane/") && $10=="x1" {print $4, $5, $6, $7; exit}' "$MAP")"
[ -n "${hh:-}" ] || fail "no heading x1 in the results' data pane"
pointer_to $((hx + hw / 2)) $((hy + hh + 5))
xdotool click 1
# The space bar on the second row takes its mark off.
xdotool key Down space
waitfor "one row unmarked" sql_is "$W/Road.kvp" "SELECT COUNT(*) FROM Test WHERE Mark = 0" 1
unmarked=$(sql "$W/Road.kvp" "SELECT MainPrimaryKey FROM Test WHERE Mark = 0")
# Another program holds a write lock on the project: the space bar's mark says it was not set,
# and the file keeps the marks it had.
mkfifo "$W/lock.sql"
sqlite3 "$W/Road.kvp" <"$W/lock.sql" >/dev/null 2>&1 &
PIDS+=($!)
LOCKPID=$!
exec 7>"$W/lock.sql"
echo "BEGIN IMMEDIATE;" >&7
project_locked() { ! sqlite3 "$W/Road.kvp" "BEGIN IMMEDIATE; ROLLBACK;" >/dev/null 2>&1; }
waitfor "another program's write lock" project_locked
xdotool key space
mark_box_shown() { awk -F'\t' '$1=="window" && $10=="CTestBrowse::ToggleMark" {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
mark_box_gone() { ! mark_box_shown; }
waitfor "the box of the mark not set" mark_box_shown
waitfor "the box taking keys" window_active "CTestBrowse::ToggleMark"
picture mark-locked-box
xdotool key Return
waitfor "the box closed" mark_box_gone
echo "ROLLBACK;" >&7
exec 7>&-
wait "$LOCKPID"
sql_is "$W/Road.kvp" "SELECT MainPrimaryKey FROM Test WHERE Mark = 0" "$unmarked" || fail "the marks changed under the lock"
# A what-if in the interactive row, in the same column: the network predicts that one row.
read -r ix iy iw ih <<<"$(entry widget tgIMode | cut -f4-7 | tr '\t' ' ')"
[ -n "${ih:-}" ] || fail "no interactive row under the results"
settled_picture whatif-before "$ix" "$iy" "$iw" "$ih"
pointer_to $((hx + hw / 2)) $((iy + ih / 2))
xdotool click 1
xdotool type --delay 30 7.5
xdotool key Return
whatif_predicted() { settled_picture whatif-after "$ix" "$iy" "$iw" "$ih"; ! same_pictures whatif-before whatif-after; }
waitfor "the what-if prediction" whatif_predicted
menu v mnuScatter
waitfor "the scatter chart" main_title_is "Korvan Pro - Road - [Scatter Graph Of Actual vs. Predicted]"
sql_is "$W/Road.kvp" "SELECT COUNT(*) FROM Test WHERE Mark <> 0" 29 ||
  fail "the chart changed the marks: $(sql "$W/Road.kvp" "SELECT COUNT(*) FROM Test WHERE Mark <> 0") marked rows, 29 before"
sql_is "$W/Road.kvp" "SELECT MainPrimaryKey FROM Test WHERE Mark = 0" "$unmarked" || fail "the unmarked row is no longer $unmarked"
menu v mnuBPBrowseTest
waitfor "the results browser again" main_title_is "Korvan Pro - Road - [Browse Test Results]"

step "training opened from the results: a visit keeps it as it was"
# The training window comes up while the hourglass holds the main window: the visit must
# not be taken for an activation of it either.
click mnuTrainBP
waitfor "the training window" child_up frmTrainBP
waitfor "Train tool" enabled tool mnuTrainBPTrain
click mnuTrainBPTrain
waitfor "a running training" enabled tool mnuTrainBPStop
click mnuTrainBPStop
waitfor "an idle training window" enabled tool mnuTrainBPTrain
read -r _ _ _ cx cy cw ch _ <<<"$(entry child frmTrainBP | tr '\t' ' ')"
settled_picture reopened-training-before-visit "$cx" "$cy" "$cw" "$ch"
status_before=$(status_text)
visit_another_program
settled_picture reopened-training-after-visit "$cx" "$cy" "$cw" "$ch"
same_pictures reopened-training-before-visit reopened-training-after-visit ||
  fail "the training window changed after a visit to another program (see reopened-training-after-visit.png)"
[ "$(status_text)" = "$status_before" ] || fail "status '$status_before' became '$(status_text)'"
click mnuTrainBPExit
waitfor "the scatter chart" main_title_is "Korvan Pro - Road - [Scatter Graph Of Actual vs. Predicted]"

step "new SFAM project under the proposed name"
menu f mnuNewSFAM
waitfor "new-project dialog" window_active "Create New SFAM Project"
[ "$(field widget fileNameEdit 10)" = KVProject1.kvp ] || fail "proposed name '$(field widget fileNameEdit 10)'"
xdotool key Return
waitfor "the project's title" main_title_is "Korvan Pro - KVProject1"
[ "$(config_of "$W/KVProject1.kvp" Type)" = 1 ] || fail "KVProject1.kvp is no SFAM project"
[ -z "$(config_of "$W/Road.kvp" Type | grep -v 2)" ] || fail "Road.kvp changed kind"

step "configure, split and train the SFAM project"
configure_project Down "$W/sales.mdb"
waitfor "split dialog" window_active "Split The Data"
split_rows
train_sfam_finish "$W/KVProject1.kvp"

step "confusion matrix"
waitfor "a result view" sh -c "case \"\$(awk -F'\t' '\$1==\"window\" && \$2==\"frmMain\" {print \$10}' '$MAP')\" in *'['*) true;; *) false;; esac"
menu v mnuMatrix
waitfor "the confusion matrix" main_title_is "Korvan Pro - KVProject1 - [SFAM Confusion Matrix]"
child_up frmMatrix || fail "no confusion matrix window"
picture confusion-matrix

exit_program
[ "$(config_of "$W/KVProject1.kvp" Process)" = 15 ] || fail "the SFAM project's flags: '$(config_of "$W/KVProject1.kvp" Process)'"
[ "$(config_of "$W/KVProject1.kvp" CyclesCompleted)" -ge 1 ] || fail "no trained cycle in KVProject1.kvp"
echo "road walked to its end"
