#!/usr/bin/env bash
# The configuration window and the row split, walked with real X clicks and keys.
#
#   realinput-config.sh <korvan program> [folder for pictures and logs]
#
# Walk: a new SFAM project; its prediction field refused ("Too Many Classes", OK greyed); a
# click on the list entry that is still selected turns OK back on; a field that fits; OK, then
# Cancel of "Split The Data": the tools of the configured step are there (split, browse all);
# OK of the split while another program holds the project's write lock: one box, no training
# view, the project as it was, also once it has closed. Then a new BackProp project, configured, its split dialog left by the title bar's close box:
# the same tools.
. "$(dirname "$0")/roadlib.sh" "$@"

# One table with a key, a number, a field of 300 classes, one of 3 classes and a number to
# predict.
sqlite3 "$W/shop.mdb" "CREATE TABLE Shop (ID INTEGER PRIMARY KEY, X REAL, Many TEXT, Kind TEXT, Y REAL);" \
  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
   INSERT INTO Shop SELECT i, (i * 37) % 100 / 10.0, 'm' || i, CASE i % 3 WHEN 0 THEN 'a' WHEN 1 THEN 'b' ELSE 'c' END,
          (i * 53) % 100 / 10.0 FROM n;" || fail "no data file"

cmd_ok_enabled() { enabled widget frmConfPrj/Frame1/cmdOk; }
cmd_ok_disabled() { has widget frmConfPrj/Frame1/cmdOk && ! cmd_ok_enabled; }
# The list reads ID, X, Many, Kind, Y: a click on its first entry, then Down steps.
first_field_then() {
  click lstFields 30 8
  local k
  for ((k = 0; k < $1; k++)); do xdotool key Down; done
}
# The tools of the configured step, for the kind's own "Browse All Data".
configured_tools() {
  enabled tool mnuSplit && enabled tool mnuShowAll && enabled tool mnuConfigure
}

start_program

step "new SFAM project"
menu f mnuNewSFAM
choose_file "Create New SFAM Project" "$W/Sf.kvp"
waitfor "the configuration window" child_up frmConfPrj
waitfor "Browse button" enabled widget cmdBrowse
click cmdBrowse
choose_file "Select Data Source" "$W/shop.mdb"
waitfor "fields of the table" enabled widget cmdAllToInput

step "a prediction field with too many classes"
first_field_then 1 # X
waitfor "the move button" enabled widget cmdOneToInput
click cmdOneToInput
first_field_then 1 # Many
waitfor "the prediction button" enabled widget cmdToPrediction
click cmdToPrediction
# The entry the user leaves selected: ID.
click lstFields 30 8
waitfor "OK of the configuration" cmd_ok_enabled
click cmdOk
waitfor "the class box" window_active "Too Many Classes"
picture too-many-classes
xdotool key Return
waitfor "the class box closed" sh -c "! awk -F'\t' '\$1==\"window\" && \$10==\"Too Many Classes\" {f=1} END {exit !f}' '$MAP'"
waitfor "OK greyed" cmd_ok_disabled

step "a click on the entry still selected"
xdotool mousemove 5 5 # no status text of a hover
click lstFields 30 8
waitfor "OK again after a click on the selected entry" cmd_ok_enabled
case "$(status_text)" in "Field: [ID]"*) ;; *) fail "status '$(status_text)' after the click" ;; esac
read -r _ _ _ cx cy cw ch _ <<<"$(entry child frmConfPrj | tr '\t' ' ')"
settled_picture configuration-window "$cx" "$cy" "$cw" "$ch"

step "a field that fits, OK, then Cancel of the split"
first_field_then 1 # Kind (Many went back after it: ID, Kind, Many, Y)
waitfor "the prediction button" enabled widget cmdToPrediction
click cmdToPrediction
waitfor "OK of the configuration" cmd_ok_enabled
click cmdOk
waitfor "split dialog" window_active "Split The Data"
picture split-dialog
sql_is "$W/Sf.kvp" "SELECT COUNT(*) FROM Classes" 3 || fail "the class list of Kind is not in the project"
click cmdCancel
waitfor "the split dialog closed" sh -c "! awk -F'\t' '\$1==\"window\" && \$10==\"Split The Data\" {f=1} END {exit !f}' '$MAP'"
waitfor "the tools of the configured step" configured_tools
[ -z "$(status_text | grep 'Select Rows')" ] || fail "the split hint stayed: '$(status_text)'"
picture after-split-cancel
click mnuSplit
waitfor "split dialog again" window_active "Split The Data"
xdotool key Escape
waitfor "the split dialog closed" sh -c "! awk -F'\t' '\$1==\"window\" && \$10==\"Split The Data\" {f=1} END {exit !f}' '$MAP'"

step "OK of the split while another program holds the project's write lock"
split_state() {
  sql "$W/Sf.kvp" "SELECT group_concat(Property || '=' || sValue, ',') FROM (SELECT * FROM Config
                   WHERE Property IN ('Process', 'TrainLow', 'TrainHigh', 'TestLow', 'TestHigh') ORDER BY Property)"
}
BEFORE_SPLIT=$(split_state)
mkfifo "$W/lock.in"
sqlite3 "$W/Sf.kvp" <"$W/lock.in" >/dev/null 2>&1 &
LOCKPID=$!
PIDS+=($LOCKPID)
exec 7>"$W/lock.in"
printf ".timeout 20000\nBEGIN IMMEDIATE;\n" >&7
locked() { ! sqlite3 "$W/Sf.kvp" "BEGIN IMMEDIATE; ROLLBACK;" >/dev/null 2>&1; }
waitfor "the other program's lock" locked
click mnuSplit
waitfor "split dialog" window_active "Split The Data"
click cmdOK
reset_box_shown() { awk -F'\t' '$1=="window" && $10=="CSFam::Reset" {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
reset_box_gone() { ! reset_box_shown; }
waitfor "the box" window_found "CSFam::Reset"
waitfor "the box in the program's map" reset_box_shown
waitfor "the box taking keys" window_active "CSFam::Reset"
picture split-locked-box
xdotool key Return
waitfor "the box closed" reset_box_gone
exec 7>&-
wait "$LOCKPID"
child_up frmTrainSF && fail "the training view opened over a split that was not made"
[ "$(command xdotool search --name "$(title_pattern "CSFam::Reset")" 2>/dev/null | wc -l)" -eq 0 ] ||
  fail "a second box came after the first"
[ "$(split_state)" = "$BEFORE_SPLIT" ] || fail "the project changed: $(split_state), was $BEFORE_SPLIT"

step "new BackProp project"
menu f mnuNewBP
choose_file "Create New BackProp Project" "$W/Bp.kvp"
waitfor "the configuration window" child_up frmConfPrj
# The SFAM project has closed: it is no more split than it was before the refused split.
[ "$(split_state)" = "$BEFORE_SPLIT" ] || fail "the closed project changed: $(split_state), was $BEFORE_SPLIT"
waitfor "Browse button" enabled widget cmdBrowse
click cmdBrowse
choose_file "Select Data Source" "$W/shop.mdb"
waitfor "fields of the table" enabled widget cmdAllToInput
first_field_then 1 # X
waitfor "the move button" enabled widget cmdOneToInput
click cmdOneToInput
first_field_then 3 # Y (ID, Many, Kind, Y)
waitfor "the prediction button" enabled widget cmdToPrediction
click cmdToPrediction
waitfor "OK of the configuration" cmd_ok_enabled
click cmdOk
waitfor "split dialog" window_active "Split The Data"

step "the split dialog's close box"
read -r cx cy <<<"$(close_box_of "Split The Data")"
pointer_to "$cx" "$cy"
xdotool click 1
waitfor "the split dialog closed" sh -c "! awk -F'\t' '\$1==\"window\" && \$10==\"Split The Data\" {f=1} END {exit !f}' '$MAP'"
waitfor "the tools of the configured step" configured_tools

exit_program
echo "road walked to its end"
