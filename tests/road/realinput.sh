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
# browser; Mark All; export; close; reopen from the recent list; the training window opened from
# the results and a visit while it is idle. Then a new SFAM project under
# the proposed name, trained and tested, to the confusion matrix.
#
# The program writes where its controls stand (KORVAN_WIDGET_MAP): child windows of the main
# window are no X windows, so that map is how the driver finds what it clicks.
set -u

KORVAN=$(realpath "${1:?usage: realinput.sh <korvan program> [artifacts folder]}")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/korvan-road.XXXXXX")
ART=${2:-$WORK/artifacts}
mkdir -p "$ART"
LIMIT=${ROAD_STEP_SECONDS:-20}
# The whole road ends well before CTest's own limit, so that it always cleans up after itself.
TOTAL=${ROAD_TOTAL_SECONDS:-100}
PIDS=()
STEP="start"

for tool in Xvfb openbox xdotool xlogo sqlite3 import compare xprop; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps installs it)"; exit 1; }
done

cleanup() {
  local pid
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
    pid=${PIDS[$i]}
    kill "$pid" 2>/dev/null
  done
  for pid in "${PIDS[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
  done
  if [ -z "${KEEP_ROAD:-}" ]; then rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
  echo "FAILED at step '$STEP': $*"
  import -display "$DISPLAY" -window root "$ART/failed.png" 2>/dev/null && echo "picture: $ART/failed.png"
  cp "${MAP:-/nonexistent}" "$ART/failed-map.txt" 2>/dev/null
  echo "--- program output"; tail -20 "$WORK/korvan.log" 2>/dev/null
  exit 1
}

step() { STEP=$1; echo "== $STEP"; }

# Polls "$@" until it succeeds; fails the road after LIMIT seconds.
waitfor() {
  local what=$1; shift
  local deadline=$((SECONDS + LIMIT))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || fail "no $what after ${LIMIT}s"
    [ $SECONDS -lt "$TOTAL" ] || fail "the road took more than ${TOTAL}s"
    sleep 0.1
  done
}

# --- The X server, the window manager and the program --------------------------------------
# A free display number picked at random, so that runs side by side never meet.
unset DISPLAY
for attempt in 1 2 3 4 5; do
  n=$((300 + RANDOM % 600))
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1400x1000x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
  xpid=$!
  deadline=$((SECONDS + 10))
  until DISPLAY=":$n" xprop -root >/dev/null 2>&1 || ! kill -0 $xpid 2>/dev/null || [ $SECONDS -ge $deadline ]; do
    sleep 0.1
  done
  if DISPLAY=":$n" xprop -root >/dev/null 2>&1; then
    PIDS+=($xpid)
    export DISPLAY=":$n"
    break
  fi
  kill $xpid 2>/dev/null
  wait $xpid 2>/dev/null
done
[ -n "${DISPLAY:-}" ] && [ "$DISPLAY" = ":${n:-}" ] || { echo "no X server could be started"; cat "$WORK/xvfb.log"; exit 1; }
openbox >"$WORK/openbox.log" 2>&1 &
PIDS+=($!)
waitfor "window manager" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'

# A private home and settings: no other run's settings, lock or recent files.
for d in home config data state cache runtime tmp work; do mkdir -p "$WORK/$d"; done
chmod 700 "$WORK/runtime"
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data XDG_STATE_HOME=$WORK/state
export XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/runtime TMPDIR=$WORK/tmp
export QT_QPA_PLATFORM=xcb
MAP=$WORK/map.txt
export KORVAN_WIDGET_MAP=$MAP
W=$WORK/work

# --- Reading the program's map ----------------------------------------------------------------
# Fields: kind, name, class, x, y, width, height, enabled, active-or-checked, text.
entry() { awk -F'\t' -v k="$1" -v n="$2" '$1==k && ($2==n || substr($2, length($2)-length(n)) == "/" n) {print; exit}' "$MAP" 2>/dev/null; }
has() { [ -n "$(entry "$1" "$2")" ]; }
enabled() { [ "$(entry "$1" "$2" | cut -f8)" = 1 ]; }
field() { entry "$1" "$2" | cut -f"$3"; }
# A top-level window by its exact title, the active one.
window_active() { awk -F'\t' -v t="$1" '$1=="window" && $10==t && $9==1 {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
main_title() { awk -F'\t' '$1=="window" && $2=="frmMain" {print $10; exit}' "$MAP" 2>/dev/null; }
main_title_is() { [ "$(main_title)" = "$1" ]; }
main_active() { [ "$(field window frmMain 9)" = 1 ]; }
child_up() { awk -F'\t' -v n="$1" '$1=="child" && ($2==n || $3==n) {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
# The active child of the main window, as the child area itself reports it.
child_active() { awk -F'\t' -v n="$1" '$1=="child" && ($2==n || $3==n) && $9==1 {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
popup_up() { awk -F'\t' '$1=="window" && $3=="QMenu" {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
no_popup() { ! popup_up; }
status_text() { field widget Main 10 | sed 's/^ *//; s/ *$//'; }

# --- Real input --------------------------------------------------------------------------------
# A click at the middle of a control (or at dx, dy from its top left corner).
click() {
  local kind=widget
  has tool "$1" && kind=tool
  has item "$1" && kind=item
  local e; e=$(entry $kind "$1")
  [ -n "$e" ] || fail "no control $1 to click"
  local x y w h
  IFS=$'\t' read -r _ _ _ x y w h _ <<<"$e"
  local dx=${2:-$((w / 2))} dy=${3:-$((h / 2))}
  xdotool mousemove --sync $((x + dx)) $((y + dy)) click "${4:-1}"
}
double_click() {
  local e x y w h; e=$(entry widget "$1"); [ -n "$e" ] || fail "no control $1"
  IFS=$'\t' read -r _ _ _ x y w h _ <<<"$e"
  xdotool mousemove --sync $((x + w / 2)) $((y + h / 2)) click --repeat 2 --delay 60 1
}
right_click_at() { xdotool mousemove --sync "$1" "$2" click 3; }
activate_main() {
  local id; id=$(xdotool search --name '^Korvan Pro' | head -1)
  [ -n "$id" ] || fail "no main window"
  xdotool windowactivate --sync "$id" 2>/dev/null
  waitfor "active main window" main_active
}
# A menu of the menu bar opened with its Alt key, then an item clicked by its tool name.
menu() {
  activate_main
  xdotool key "alt+$1"
  waitfor "item $2 of the menu" enabled item "$2"
  click "$2"
  waitfor "menu closed" no_popup
}
# Types a full path into the name box of the file dialog titled $1 and presses Enter.
choose_file() {
  waitfor "dialog '$1'" window_active "$1"
  xdotool key --delay 30 ctrl+a
  xdotool type --delay 15 "$2"
  xdotool key Return
}
picture() { import -window root "$ART/$1.png" || fail "no picture $1"; }
# A picture of a rectangle of the screen: name, x, y, width, height.
picture_of() { import -window root -crop "${4}x${5}+${2}+${3}" +repage "$ART/$1.png" || fail "no picture $1"; }
# The same rectangle taken until two pictures in a row agree: the window has done drawing.
settled_picture() {
  local deadline=$((SECONDS + LIMIT))
  picture_of "$1" "$2" "$3" "$4" "$5"
  while :; do
    sleep 0.3
    picture_of "$1-again" "$2" "$3" "$4" "$5"
    same_pictures "$1" "$1-again" && { rm -f "$ART/$1-again.png"; return; }
    mv "$ART/$1-again.png" "$ART/$1.png"
    [ $SECONDS -lt $deadline ] || fail "the picture $1 never settled"
  done
}
same_pictures() { [ "$(compare -metric AE "$ART/$1.png" "$ART/$2.png" null: 2>&1)" = 0 ]; }
sql() { sqlite3 -readonly "$1" "$2" 2>/dev/null; }
sql_is() { [ "$(sql "$1" "$2")" = "$3" ]; }
config_of() { sql "$1" "SELECT sValue FROM Config WHERE Property='$2'"; }

# The other program of the visits, each under a title of its own.
VISITS=0
visit_another_program() {
  VISITS=$((VISITS + 1))
  local title="another program $VISITS" logo
  xlogo -title "$title" -geometry 200x200+1150+750 >/dev/null 2>&1 &
  PIDS+=($!)
  waitfor "the other program's window" sh -c "xdotool search --name '^$title\$' >/dev/null"
  logo=$(xdotool search --name "^$title\$" | head -1)
  xdotool windowactivate --sync "$logo" 2>/dev/null
  waitfor "the program losing the user" sh -c "! awk -F'\t' '\$1==\"window\" && \$2==\"frmMain\" && \$9==1 {f=1} END {exit !f}' '$MAP'"
  activate_main
  kill "${PIDS[-1]}" 2>/dev/null
}

# --- The road ----------------------------------------------------------------------------------
awk 'BEGIN {print "x1,x2,cls,y"; for (i = 1; i <= 120; i++) {a = (i * 37) % 100 / 10; b = (i * 53) % 100 / 10;
     printf "%.1f,%.1f,%d,%.3f\n", a, b, (a > b) ? 1 : 2, 0.3 * a + 0.5 * b}}' >"$W/sales.csv"

step "start"
(cd "$W" && exec "$KORVAN") >"$WORK/korvan.log" 2>&1 &
KPID=$!
PIDS+=($KPID)
waitfor "main window" main_title_is "Korvan Pro"
# The first click on the status bar hides the splash window; keys go nowhere while it is up.
waitfor "status bar" has widget MainStatusBar
click MainStatusBar
waitfor "splash gone" sh -c "! grep -q $'^window\tfrmSplash' '$MAP'"
activate_main

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
configure() { # project inputs-then-prediction: the prediction's place in the list left after the inputs
  waitfor "Browse button" enabled widget cmdBrowse
  click cmdBrowse
  choose_file "Select Data Source" "$W/sales.mdb"
  waitfor "fields of the table" enabled widget cmdAllToInput
  # The list reads IndexCounter1, x1, x2, cls, y: x1 and x2 become the inputs.
  click lstFields 30 8
  xdotool key Down shift+Down
  waitfor "the move button" enabled widget cmdOneToInput
  click cmdOneToInput
  # Then IndexCounter1, cls, y: the prediction.
  waitfor "inputs" sh -c "[ \"\$(awk -F'\t' '\$2 ~ /cmdOneToInput\$/ {print \$8}' '$MAP')\" = 0 ]"
  click lstFields 30 8
  xdotool key "$1"
  waitfor "the prediction button" enabled widget cmdToPrediction
  click cmdToPrediction
  waitfor "OK of the configuration" enabled widget cmdOk
  click cmdOk
}
configure End
waitfor "split dialog" window_active "Split The Data"
[ "$(config_of "$W/Road.kvp" TableName)" = sales ] || fail "the table is not in the project"

step "split"
split() {
  double_click dsTrainSet/txtBottomNum
  xdotool key --delay 30 ctrl+a; xdotool type --delay 20 90; xdotool key Return
  double_click dsTestSet/txtTopNum
  xdotool key --delay 30 ctrl+a; xdotool type --delay 20 91; xdotool key Return
  waitfor "rows selected" sh -c "[ \"\$(awk -F'\t' '\$2 ~ /lblTestRows\$/ {print \$10}' '$MAP')\" = 30 ]"
  click cmdOK
}
split
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
configure Down
waitfor "split dialog" window_active "Split The Data"
split
waitfor "the SFAM training window" child_up frmTrainSF
waitfor "Train tool" enabled tool mnuTrainBPTrain
click mnuTrainBPTrain
waitfor "the end of the SFAM training" enabled tool mnuTrainBPExit
click mnuTrainBPExit
waitfor "the SFAM test results" sql_is "$W/KVProject1.kvp" "SELECT COUNT(*) FROM Test" 30

step "confusion matrix"
waitfor "a result view" sh -c "case \"\$(awk -F'\t' '\$1==\"window\" && \$2==\"frmMain\" {print \$10}' '$MAP')\" in *'['*) true;; *) false;; esac"
menu v mnuMatrix
waitfor "the confusion matrix" main_title_is "Korvan Pro - KVProject1 - [SFAM Confusion Matrix]"
child_up frmMatrix || fail "no confusion matrix window"
picture confusion-matrix

step "exit"
activate_main
xdotool key alt+f
waitfor "item Exit of the menu" enabled item exit
click exit
for _ in $(seq $((LIMIT * 10))); do kill -0 $KPID 2>/dev/null || break; sleep 0.1; done
kill -0 $KPID 2>/dev/null && fail "the program did not end"
[ "$(config_of "$W/KVProject1.kvp" Process)" = 15 ] || fail "the SFAM project's flags: '$(config_of "$W/KVProject1.kvp" Process)'"
[ "$(config_of "$W/KVProject1.kvp" CyclesCompleted)" -ge 1 ] || fail "no trained cycle in KVProject1.kvp"
echo "road walked to its end"
