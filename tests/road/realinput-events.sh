#!/usr/bin/env bash
# The window system's own events on the training windows of both kinds, as a person causes
# them: a minimise of the main window from the window manager and its restore, idle and during
# a run (the window stays as it was, a run goes on); the main window's close box while the
# hourglass is up (nothing happens until the work has ended, then the program ends); SIGTERM and SIGHUP with a
# training window open (the program ends as its own close ends it: the training is in the
# project file and the settings are saved).
#
#   realinput-events.sh <korvan program> [folder for pictures and logs]
. "$(dirname "$0")/roadlib.sh" "$@"

# Inputs that repeat with other classes: the SFAM error never reaches 0, a continuous run goes on.
# The rows after the first 120 are the testing rows: enough for a test that takes a while.
ROWS=20000
awk -v n=$ROWS 'BEGIN {print "x1,x2,cls,y"; for (i = 1; i <= n; i++) {a = (i * 37) % 100 / 10; b = (i * 53) % 100 / 10;
     printf "%.1f,%.1f,%d,%.3f\n", a, b, 1 + (i * 7) % 3, 0.3 * a + 0.5 * b}}' >"$W/events.csv"

main_window() { xdotool search --name '^Korvan Pro' | head -1; }
main_shown() { [ "$(xprop -id "$(main_window)" WM_STATE 2>/dev/null | awk '/window state/ {print $3}')" = "$1" ]; }
# The window manager iconifies the main window, then the user brings it back from the task list.
minimise_and_restore() {
  waitfor "the main window among the X windows" main_window_found
  local id=$MAINID
  xdotool windowminimize --sync "$id"
  waitfor "the minimised main window" main_shown Iconic
  sleep 0.5
  xdotool windowactivate --sync "$id" 2>/dev/null
  waitfor "the restored main window" main_shown Normal
  waitfor "the active main window" main_active
}
child_rect() { entry child "$1" | cut -f4-7 | tr '\t' ' '; }
# The training window looks the same and the status bar says the same after a minimise and a
# restore of the main window.
unchanged_by_minimise() { # name-of-pictures child
  local rect status_before
  read -r cx cy cw ch <<<"$(child_rect "$2")"
  settled_picture "$1-before-minimise" "$cx" "$cy" "$cw" "$ch"
  status_before=$(status_text)
  minimise_and_restore
  settled_picture "$1-after-restore" "$cx" "$cy" "$cw" "$ch"
  same_pictures "$1-before-minimise" "$1-after-restore" ||
    fail "the training window changed after a minimise and a restore (see $1-after-restore.png)"
  [ "$(status_text)" = "$status_before" ] || fail "status '$status_before' became '$(status_text)'"
}
# A run that goes on through a minimise and a restore: its chart keeps moving after it.
run_survives_minimise() { # stop-tool pictures
  local gx gy gw gh
  minimise_and_restore
  enabled tool "$1" || fail "the run ended at the minimise"
  read -r gx gy gw gh <<<"$(entry widget Graph | cut -f4-7 | tr '\t' ' ')"
  picture_of "$2-running-after-restore" "$gx" "$gy" "$gw" "$gh"
  # The chart is drawn as the run goes on, however slowly a busy machine lets it go.
  CHART="$2 $gx $gy $gw $gh"
  waitfor "the chart moving after the restore" chart_moved
  enabled tool "$1" || fail "the run ended after the restore"
}
chart_moved() {
  local name x y w h; read -r name x y w h <<<"$CHART"
  sleep 0.5
  picture_of "$name-running-later" "$x" "$y" "$w" "$h"
  ! same_pictures "$name-running-after-restore" "$name-running-later"
}
chart_moved_saw() { echo "the same chart in ${CHART%% *}-running-after-restore.png and ${CHART%% *}-running-later.png"; }
configure() { # key that picks the prediction field after the inputs have gone
  configure_project "$1" "$W/events.mdb"
  waitfor "split dialog" window_active "Split The Data"
  edit_box dsTrainSet/txtBottomNum 120
  edit_box dsTestSet/txtTopNum 121
  edit_box dsTestSet/txtBottomNum $ROWS
  waitfor "rows selected" sh -c "[ \"\$(awk -F'\t' '\$2 ~ /lblTestRows\$/ {print \$10}' '$MAP')\" = $((ROWS - 120)) ]"
  click cmdOK
}
# Sends a signal to the program and waits until it has ended by itself.
end_by_signal() {
  kill -"$1" "$KPID"
  local t0=$SECONDS
  waitfor "the program's end on SIG$1" program_ended
  wait "$KPID" 2>/dev/null
  echo "   ended $((SECONDS - t0))s after SIG$1"
}
# The main window's place is written only by its close.
forget_place() { sed -i '/^MainWidth=/d' "$XDG_CONFIG_HOME/Veltra/Korvan.conf"; }
settings_saved() { grep -q '^MainWidth=' "$XDG_CONFIG_HOME/Veltra/Korvan.conf" 2>/dev/null; }

start_program

step "import a CSV and make a BackProp project"
menu f mnuImport
choose_file "Import" "$W/events.csv"
waitfor "the imported database" sql_is "$W/events.mdb" "SELECT COUNT(*) FROM events" $ROWS
menu f mnuNewBP
choose_file "Create New BackProp Project" "$W/Events.kvp"
waitfor "the configuration window" child_up frmConfPrj
configure End
waitfor "the training window" child_up frmTrainBP

step "BackProp, idle: a minimise and a restore leave the window as it was"
waitfor "Train tool" enabled tool mnuTrainBPTrain
click mnuTrainBPTrain
waitfor "a running training" enabled tool mnuTrainBPStop
sleep 1.5
click mnuTrainBPStop
waitfor "an idle training window" enabled tool mnuTrainBPTrain
unchanged_by_minimise bp-idle frmTrainBP
picture bp-idle-after-restore-screen

step "BackProp, running: the run goes on through a minimise and a restore"
click mnuTrainBPTrain
waitfor "a running training" enabled tool mnuTrainBPStop
run_survives_minimise mnuTrainBPStop bp

step "SIGTERM during a BackProp run: the training is kept"
forget_place
enabled tool mnuTrainBPStop || fail "no running training"
end_by_signal TERM
[ "$(config_of "$W/Events.kvp" CyclesCompleted)" -gt 0 ] || fail "no trained cycles in Events.kvp after SIGTERM"
[ "$(config_of "$W/Events.kvp" Process)" = 7 ] || fail "Events.kvp's flags after SIGTERM: '$(config_of "$W/Events.kvp" Process)'"
settings_saved || fail "the settings were not saved on SIGTERM"

step "the BackProp project reopens in its training window"
start_program "Korvan Pro - Events - [BackProp Training]"

step "the close box under the hourglass of Finish waits for the work"
waitfor "Finish" enabled tool mnuTrainBPExit
forget_place
read -r cx cy <<<"$(close_box_of "$(main_title)")"
# Finish tests the network under the hourglass; the close box is clicked while it works.
click mnuTrainBPExit
pointer_to "$cx" "$cy"
xdotool click 1
picture close-box-under-hourglass
# The program ends once Finish has done its work: tested, and the settings saved.
waitfor "the program's end after Finish" program_ended
sql_is "$W/Events.kvp" "SELECT COUNT(*) FROM Test" $((ROWS - 120)) || fail "the test results are incomplete: $(sql "$W/Events.kvp" "SELECT COUNT(*) FROM Test")"
[ "$(config_of "$W/Events.kvp" Process)" = 15 ] || fail "Events.kvp's flags after Finish: '$(config_of "$W/Events.kvp" Process)'"
settings_saved || fail "the settings were not saved by the close after Finish"
start_program "Korvan Pro - Events - [Browse Test Results]"

step "an SFAM project"
menu f mnuNewSFAM
choose_file "Create New SFAM Project" "$W/EventsSF.kvp"
waitfor "the configuration window" child_up frmConfPrj
configure Down
waitfor "the SFAM training window" child_up frmTrainSF

step "SFAM, idle: a minimise and a restore leave the window as it was"
waitfor "Train tool" enabled tool mnuTrainBPTrain
click mnuTrainBPTrain
waitfor "the end of the SFAM cycle" enabled tool mnuTrainBPExit
unchanged_by_minimise sf-idle frmTrainSF

step "SFAM, running: the run goes on through a minimise and a restore"
click chkContinuous
click mnuTrainBPTrain
waitfor "a running training" enabled tool mnuTrainBPStop
run_survives_minimise mnuTrainBPStop sf

step "SIGHUP during an SFAM run: the training is kept"
forget_place
end_by_signal HUP
[ "$(config_of "$W/EventsSF.kvp" CyclesCompleted)" -gt 1 ] || fail "EventsSF.kvp's cycles after SIGHUP: '$(config_of "$W/EventsSF.kvp" CyclesCompleted)'"
[ "$(config_of "$W/EventsSF.kvp" Process)" = 7 ] || fail "EventsSF.kvp's flags after SIGHUP: '$(config_of "$W/EventsSF.kvp" Process)'"
settings_saved || fail "the settings were not saved on SIGHUP"
no_sanitizer_report
echo "road walked to its end"
